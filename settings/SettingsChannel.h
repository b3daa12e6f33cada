// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Frame.h"

// What reading and writing a Controller's settings needs of the dialog: its one frame.
class SettingsChannel
{
public:
    virtual ~SettingsChannel() = default;

    // Fills the dialog's frame with the request and runs the transaction (2 attempts, errors not
    // shown, 2 seconds); afterwards frame() holds the answer, or the request on failure.
    virtual bool transact(const FrameFields& request) = 0;
    virtual const FrameFields& frame() const = 0;
};
