// SPDX-License-Identifier: GPL-3.0-or-later
#include "LineRules.h"

#include "CommandSet.h"

namespace Line {

bool stopsAllLocos(const FrameFields& request)
{
    return request.command == Command::StopLoco && wordFromBytes(request.data1, request.data2) == AllLocos;
}

bool switchesTrackOff(const FrameFields& request)
{
    return request.command == Command::ControllerControl && request.data1 == ControlOp::TrackMode &&
           request.data2 == TrackMode::Off;
}

bool switchesTrackOn(const FrameFields& request)
{
    return request.command == Command::ControllerControl && request.data1 == ControlOp::TrackMode &&
           request.data2 != TrackMode::Off;
}

bool isStop(const FrameFields& request)
{
    return request.command == Command::StopLoco || switchesTrackOff(request);
}

std::optional<LocoKey> speedFor(const FrameFields& request)
{
    if (request.command != Command::SetLocoSpeed)
        return std::nullopt;
    return locoKey(request.controller, wordFromBytes(request.data1, request.data2));
}

std::optional<LocoKey> drivenLoco(const FrameFields& request)
{
    switch (request.command) {
    case Command::SetLocoSpeed:
    case Command::SetLocoDirection:
    case Command::LocoFunctionOn:
    case Command::LocoFunctionOff:
        return locoKey(request.controller, wordFromBytes(request.data1, request.data2));
    case Command::StopLoco:
        if (stopsAllLocos(request))
            return std::nullopt;
        return locoKey(request.controller, wordFromBytes(request.data1, request.data2));
    default:
        return std::nullopt;
    }
}

} // namespace Line
