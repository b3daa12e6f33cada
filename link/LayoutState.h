// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the layout does as far as the program knows it: each loco's speed, direction and
// functions and the track power of each Controller, as the Controller last acknowledged them.
// Every source that drives (the throttles, phones, browsers) reads it here and follows its
// changes, so no screen and no phone shows a loco otherwise than the others.

#include "Frame.h"
#include "LineRules.h"

#include <QHash>
#include <QList>

#include <optional>

struct LocoState
{
    quint8 speed = 0;      // as sent: 0 stopped to 255 full speed
    bool forward = false;  // a loco that was never given a direction runs backward (data 0)
    quint16 functions = 0; // bit n: function n (0 the light, 1 to 12 F1 to F12)

    bool function(int n) const { return n >= 0 && n < 16 && ((functions >> n) & 1); }
    friend bool operator==(const LocoState& a, const LocoState& b)
    {
        return a.speed == b.speed && a.forward == b.forward && a.functions == b.functions;
    }
    friend bool operator!=(const LocoState& a, const LocoState& b) { return !(a == b); }
};

class LayoutState
{
public:
    struct Change
    {
        enum class Kind { Loco, AllStopped, Power, Forgotten };
        Kind kind = Kind::Loco;
        quint8 controller = 0;
        quint16 loco = 0; // Kind::Loco only
    };

    // What an acknowledged exchange tells: the request as sent and the answer accepted for it.
    QList<Change> apply(const FrameFields& request, const FrameFields& answer);

    LocoState loco(quint8 controller, quint16 loco) const;
    std::optional<bool> power(quint8 controller) const;
    QList<quint16> knownLocos(quint8 controller) const;

private:
    QHash<Line::LocoKey, LocoState> m_locos;
    QHash<quint8, bool> m_power;
};
