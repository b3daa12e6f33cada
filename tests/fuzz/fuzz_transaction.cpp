// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes from the port, split at arbitrary points and arriving at arbitrary times,
// through the one transaction every window uses. Whatever the line does, the transaction may
// only accept a six-byte answer with a right check byte that it actually read, must leave the
// caller's bytes alone when it fails, and must give up within attempts x timeout.

#include "FakeSerialPort.h"
#include "krTaktoraTools.h"
#include "MessageBox.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    MessageBox::setTestMode(true);
    const int attempts = data[0] % 4; // 0 means 3
    const bool showErrors = data[1] & 1;
    const int timeoutSeconds = 1 + (data[1] >> 1) % 2;

    // Each arrival: one byte of header (low three bits: how many bytes, the rest: delay in
    // 50 ms steps), then that many bytes of the stream.
    QList<FakeSerialPort::Arrival> arrivals;
    for (size_t at = 2; at < size;) {
        const int count = data[at] & 7;
        const qint64 delay = qint64(data[at] >> 3) * 50;
        ++at;
        const size_t take = qMin(size - at, size_t(count));
        arrivals.append({QByteArray(reinterpret_cast<const char*>(data + at), qsizetype(take)), delay});
        at += take;
    }

    FakeLink link;
    link.port.scheduleArrivals(arrivals);
    const FrameFields request{1, 2, 253, 0, 0};
    FrameFields frame = request;
    const bool accepted = link.screen.ControllerTransaction(frame, attempts, showErrors, timeoutSeconds);
    MessageBox::takeShown();

    const int tries = attempts == 0 ? 3 : attempts;
    if (link.clock.nowMs() > qint64(tries) * timeoutSeconds * 1000)
        std::abort(); // blocked longer than its attempts allow
    if (link.port.written().size() > tries)
        std::abort();
    for (const QByteArray& written : link.port.written())
        if (written != encodeFrame(request))
            std::abort(); // every attempt sends the request as passed
    if (!accepted) {
        if (frame != request)
            std::abort();
        return 0;
    }
    if (frame.command == 255)
        std::abort();
    // The answer is the first six bytes of one read, with their own check byte.
    bool seen = false;
    for (const QByteArray& read : link.port.reads())
        seen = seen || (read.size() >= FrameSize && read.left(FrameSize) == encodeFrame(frame));
    if (!seen)
        std::abort();
    return 0;
}
