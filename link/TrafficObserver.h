#pragma once

#include "Frame.h"

#include <QByteArray>

// Watches the line for a traffic display. The transaction asks for a watcher once per attempt,
// so without one the line costs a pointer test.
class TrafficObserver
{
public:
    enum class Outcome { Answered, Failed, NoAnswer };

    virtual ~TrafficObserver() = default;
    // Before the bytes go out; retry for every attempt after the first one of a transaction.
    virtual void requestSent(const FrameFields& request, bool retry) = 0;
    // After the attempt: whatever came back (none, too few or six bytes) and what it meant.
    virtual void attemptEnded(const QByteArray& answer, Outcome outcome) = 0;
};

// One watcher at a time; nullptr removes it. The caller keeps ownership.
void InstallTrafficObserver(TrafficObserver* observer);
