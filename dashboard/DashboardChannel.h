// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Frame.h"

#include <optional>

// What the throttles and panels need of the main window: its one frame, the Controller number
// of the moment, and the flag that keeps programmatic slider moves off the wire.
class DashboardChannel
{
public:
    virtual ~DashboardChannel() = default;

    // Fills the window's frame with the request and runs the transaction (2 attempts, errors
    // shown, 2 seconds); afterwards frame() holds the answer, or the request on failure.
    virtual bool transact(const FrameFields& request) = 0;
    virtual const FrameFields& frame() const = 0;
    // None when the number field holds a value that does not fit a frame byte.
    virtual std::optional<quint8> controllerNumber() const = 0;
    virtual bool suppressSpeedCommand() const = 0;
    virtual void setSuppressSpeedCommand(bool on) = 0;
};
