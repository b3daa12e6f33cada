// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How the owner of the line weighs a request: what goes before anything waiting, and which
// waiting request a newer one makes stale. Plain functions over the command set, so the rules
// can be tested without a port.

#include "Frame.h"

#include <optional>

namespace Line {

// A loco together with the Controller that drives it.
using LocoKey = quint32;
constexpr LocoKey locoKey(quint8 controller, quint16 loco)
{
    return (static_cast<quint32>(controller) << 16) | loco;
}
constexpr quint8 controllerOf(LocoKey key)
{
    return static_cast<quint8>(key >> 16);
}
constexpr quint16 locoOf(LocoKey key)
{
    return static_cast<quint16>(key & 0xFFFF);
}

// A loco's stop, the stop of all locos, and the track switched off: they pass every queue and
// every window that holds the line, and nothing merges them away.
bool isStop(const FrameFields& request);
bool stopsAllLocos(const FrameFields& request);
bool switchesTrackOff(const FrameFields& request);
bool switchesTrackOn(const FrameFields& request);

// The loco a speed is for: while it waits, a newer speed for the same loco replaces it.
std::optional<LocoKey> speedFor(const FrameFields& request);
// The loco a drive request (speed, direction, function, stop) is for; none for the others and
// for the stop of all locos.
std::optional<LocoKey> drivenLoco(const FrameFields& request);

} // namespace Line
