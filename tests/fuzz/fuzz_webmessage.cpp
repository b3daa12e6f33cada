// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes from a browser page, as one WebSocket message. Whatever it holds, the parser
// must give an answer the server can act on without a check of its own: an address a frame can
// carry, a speed within the page's scale, a function the Controller switches, a known state.

#include "WebProtocol.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

using namespace Web;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const Message m = parseMessage(input);
    if (input.size() > MaxMessageBytes && m.kind != Kind::Invalid)
        std::abort();
    if (m.address && (*m.address < 1 || *m.address > HighestAddress))
        std::abort();
    if (m.speed && (!std::isfinite(*m.speed) || *m.speed > 1))
        std::abort();
    for (auto it = m.functions.cbegin(); it != m.functions.cend(); ++it)
        if (it.key() < 0 || it.key() > HighestFunction)
            std::abort();
    if (m.kind == Kind::Throttle && m.throttle.isEmpty())
        std::abort();
    if ((m.kind == Kind::Power || m.kind == Kind::Turnout) && m.state != On && m.state != Off)
        std::abort();
    if (m.kind == Kind::Route && m.state != On)
        std::abort();
    return 0;
}
