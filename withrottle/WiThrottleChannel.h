// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Frame.h"

#include <optional>

// What a loco looks like on the main window, and what a phone asks the window to do with it.
struct PhoneLocoState
{
    quint8 speed = 0;      // the Controller's speed byte, 0 to 255
    bool forward = false;  // as a throttle's released direction button
    quint16 functions = 0; // bit n for Fn, F0 being the light
};

struct ThrottleAction
{
    enum Kind { Speed, Direction, Function, Stop };
    Kind kind = Speed;
    int value = 0;    // speed byte; 1 forward / 0 reverse; 1 on / 0 off
    int function = 0; // for Function
};

// What the phone server needs of the main window: which Controller it checked, the window's one
// frame, its throttles and its load circuit. Every command from a phone goes through here, so it
// sends the same frames as the same action on the window.
class WiThrottleChannel
{
public:
    virtual ~WiThrottleChannel() = default;

    // The Controller the window has checked successfully; none before a check, after a failed
    // one and after the options were changed.
    virtual std::optional<quint8> checkedController() const = 0;
    // Runs the action through the handlers of an on-screen throttle that shows this loco, so its
    // controls follow; false, and nothing sent, when no throttle shows it.
    virtual bool actOnScreen(quint16 loco, const ThrottleAction& action) = 0;
    // What an on-screen throttle shows of this loco; none when no throttle shows it.
    virtual std::optional<PhoneLocoState> onScreenState(quint16 loco) const = 0;
    // The window's frame: 2 attempts, errors shown, 2 seconds; frame() holds the answer after.
    virtual bool transact(const FrameFields& request) = 0;
    virtual const FrameFields& frame() const = 0;
    // The load circuit as the window reads it, and switched through the window's own button.
    virtual bool readTrackPower() = 0;
    virtual void switchTrackPower(bool on) = 0;
};
