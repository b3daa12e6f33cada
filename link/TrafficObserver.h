// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Frame.h"
#include "LineTraffic.h"

#include <QByteArray>


// Watches the line: the traffic monitor, or a test that follows a whole session. The
// transaction looks for a watcher once per attempt and once at its end, so without one the line
// costs a pointer test. Simulation mode tells nothing.
class TrafficObserver
{
public:
    enum class Outcome { Answered, Failed, NoAnswer };

    virtual ~TrafficObserver() = default;
    // Before the bytes go out; retry for every attempt after the first one of a transaction.
    virtual void requestSent(const FrameFields& request, bool retry) = 0;
    // After the attempt: whatever came back (none, too few or six bytes) and what it meant.
    virtual void attemptEnded(const QByteArray& answer, Outcome outcome) = 0;
    // After the last attempt and any failure box.
    virtual void transactionEnded(const TransactionRecord& record) { (void)record; }
};

// One watcher at a time; nullptr removes it. The caller keeps ownership.
void InstallTrafficObserver(TrafficObserver* observer);
