// SPDX-License-Identifier: GPL-3.0-or-later
#include "LayoutState.h"

#include "CommandSet.h"

#include <algorithm>

using Change = LayoutState::Change;

QList<Change> LayoutState::apply(const FrameFields& request, const FrameFields& answer)
{
    const quint8 c = request.controller;
    const quint16 number = wordFromBytes(request.data1, request.data2);
    const auto locoChange = [&](LocoState changed) -> QList<Change> {
        LocoState& s = m_locos[Line::locoKey(c, number)];
        if (s == changed)
            return {};
        s = changed;
        return {{Change::Kind::Loco, c, number}};
    };
    const auto powerChange = [&](bool on) -> QList<Change> {
        const auto known = m_power.constFind(c);
        if (known != m_power.cend() && *known == on)
            return {};
        m_power[c] = on;
        return {{Change::Kind::Power, c, 0}};
    };

    LocoState s = loco(c, number);
    switch (request.command) {
    case Command::SetLocoSpeed:
        s.speed = request.data3;
        return locoChange(s);
    case Command::SetLocoDirection:
        s.forward = request.data3 == 1;
        return locoChange(s);
    case Command::LocoFunctionOn:
    case Command::LocoFunctionOff:
        if (request.data3 > 15)
            return {};
        if (request.command == Command::LocoFunctionOn)
            s.functions |= static_cast<quint16>(1u << request.data3);
        else
            s.functions &= static_cast<quint16>(~(1u << request.data3));
        return locoChange(s);
    case Command::StopLoco:
        if (number != AllLocos) {
            s.speed = 0;
            return locoChange(s);
        }
        for (auto it = m_locos.begin(); it != m_locos.end(); ++it)
            if (Line::controllerOf(it.key()) == c)
                it->speed = 0;
        return {{Change::Kind::AllStopped, c, 0}};
    case Command::ControllerControl:
        if (request.data1 == ControlOp::TrackMode && answer.command == Answer::TrackModeAcknowledged)
            return powerChange(request.data2 == TrackMode::Operation);
        if (request.data1 == ControlOp::Restart) {
            // A restart forgets what lives in the Controller's memory.
            for (auto it = m_locos.begin(); it != m_locos.end();)
                it = Line::controllerOf(it.key()) == c ? m_locos.erase(it) : std::next(it);
            m_power.remove(c);
            return {{Change::Kind::Forgotten, c, 0}};
        }
        return {};
    case Command::ControllerQuery:
        if (request.data1 == QueryOp::Status && answer.command != Answer::NoSuchController)
            return powerChange(answer.data3 & StatusBit::LoadCircuitRaised);
        return {};
    default:
        return {};
    }
}

LocoState LayoutState::loco(quint8 controller, quint16 loco) const
{
    return m_locos.value(Line::locoKey(controller, loco));
}

std::optional<bool> LayoutState::power(quint8 controller) const
{
    const auto it = m_power.constFind(controller);
    return it == m_power.cend() ? std::nullopt : std::optional<bool>(*it);
}

QList<quint16> LayoutState::knownLocos(quint8 controller) const
{
    QList<quint16> locos;
    for (auto it = m_locos.cbegin(); it != m_locos.cend(); ++it)
        if (Line::controllerOf(it.key()) == controller)
            locos << Line::locoOf(it.key());
    std::sort(locos.begin(), locos.end());
    return locos;
}
