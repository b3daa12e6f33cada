// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes from a phone, cut into lines as the session cuts them. Whatever a line holds,
// the parser must give an answer the server can act on without a check of its own: an address a
// frame can carry, a speed a phone can mean, a function number that is not negative.

#include "WiThrottleProtocol.h"

#include <cstdint>
#include <cstdlib>

using namespace WiThrottle;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QByteArray& raw : input.split('\n')) {
        const Line line = parseLine(raw.endsWith('\r') ? raw.chopped(1) : raw);
        const bool multi =
            line.kind == LineKind::Acquire || line.kind == LineKind::Release || line.kind == LineKind::Action;
        if (multi && line.key.isEmpty())
            std::abort();
        if (multi && line.key != QLatin1String("*") && (line.address < 1 || line.address > HighestAddress))
            std::abort();
        if (line.kind == LineKind::Acquire && line.text.isEmpty() && addressKey(line.address).isEmpty())
            std::abort();
        if (line.action == Action::Speed && (line.value < 0 || line.value > HighestPhoneSpeed))
            std::abort();
        if ((line.action == Action::Function || line.action == Action::ForceFunction) && line.function < 0)
            std::abort();
        if (line.kind == LineKind::Power && line.value != 0 && line.value != 1)
            std::abort();
        // What a phone is told of a speed reads back as that speed.
        if (line.action == Action::Speed && phoneSpeed(controllerSpeed(line.value)) != line.value)
            std::abort();
        if (raw.size() > MaxLineLength && line.kind != LineKind::Malformed)
            std::abort();
    }
    return 0;
}
