// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Frame.h"

#include <QString>

// How long the programming track keeps the board busy before it answers. A verify takes
// longer when the decoder does not acknowledge, since the board waits out the whole
// acknowledgement window (real boards: about 35 ms with and 145 ms without an acknowledgement);
// a write waits for the decoder to store the value. All zero: answers at once, as tests want.
struct DecoderTiming
{
    int verifyAckMs = 0;
    int verifyNoAckMs = 0;
    int writeMs = 0;

    // The time for one request and the answer the board gives it; 0 for anything but the
    // programming commands.
    int busyMs(const FrameFields& request, const FrameFields& answer) const;
};

// "35,145": acknowledged and unacknowledged verify times in milliseconds.
bool parseVerifyTiming(const QString& text, DecoderTiming& timing, QString& error);
