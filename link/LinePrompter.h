// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SerialPortInterface.h"

#include <QString>

// The questions and reports a transaction from the screen puts to the user. The line itself
// shows nothing; the program's window layer answers through this, and a source without a
// screen (a phone, a browser) never reaches it: its failures go back to it as outcomes.
class LinePrompter
{
public:
    virtual ~LinePrompter() = default;

    // Every attempt failed: whether the user wants the attempts run once more.
    virtual bool retryAfterNoAnswer(quint8 controller) = 0;
    // The port could not be written; told once per transaction and kind of error.
    virtual void portFailed(const QString& portName, const PortError& error) = 0;
};
