// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary answers to the loco list's read of the Controller's configuration: entries with any
// number, attribute byte and failure, repeating for as long as the Controller keeps answering.
// Whatever comes, the read asks first, then next, ends, and leaves a list of valid, distinct
// loco numbers in ascending order, each record as its first entry said.

#include "CommandSet.h"
#include "ControllerLink.h"
#include "FakeSerialPort.h"
#include "LineClient.h"
#include "LocoConfiguration.h"
#include "LocoRules.h"
#include "LocoTransfer.h"

#include <QMap>

#include <cstdint>
#include <cstdlib>

namespace {
// Each attempt takes four bytes of the input: answered or not (bit 0), then data1 to data3.
// At the end the input starts over, as a Controller that never says "no further entry".
struct ScriptedController
{
    ScriptedController(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    QByteArray answer(const QByteArray& bytes)
    {
        FrameFields request;
        decodeFrame(bytes, request);
        const FrameFields expected =
            answered ? Request::readNextLocoEntry(1) : Request::readFirstLocoEntry(1);
        if (request != expected)
            std::abort();
        ++attempts;
        const uint8_t* e = m_data + (m_at % (m_size / 4)) * 4;
        ++m_at;
        if (!(e[0] & 1))
            return QByteArray();
        answered = true;
        if (e[3] != LocoEntry::None && !firstSeen.contains(wordFromBytes(e[1], e[2])))
            firstSeen.insert(wordFromBytes(e[1], e[2]), Locos::locoFromEntry(e[1], e[2], e[3]));
        return encodeFrame(FrameFields{1, Command::ReadLocoEntry, e[1], e[2], e[3]});
    }

    bool answered = false;
    long attempts = 0;
    QMap<int, clsLoco> firstSeen;

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    ScriptedController controller(data, size);
    FakeClock clock;
    FakeSerialPort port(&clock);
    port.setResponder([&controller](const QByteArray& request) { return controller.answer(request); });
    ControllerLink link;
    openChecked(link, port, clock);
    LineClient line(link, QStringLiteral("Lok-Konfiguration"), LineClient::Kind::Screen);
    LocoConfiguration list;
    ReadLocoList(line, 1, list);
    // Two attempts an entry; a Controller that keeps answering must not hold the window forever.
    if (controller.attempts > 2 * 65537)
        std::abort();

    int previous = 0;
    QString previousKey;
    for (const clsLoco& loco : list) {
        const int number = loco.LocoNumber();
        if (number < Locos::LowestLocoNumber || number > Locos::HighestLocoNumber || number <= previous)
            std::abort();
        if (loco.ListKey() != Locos::listKey(number) || loco.ListKey() <= previousKey)
            std::abort();
        const clsLoco first = controller.firstSeen.value(number);
        if (!controller.firstSeen.contains(number) || first.SpeedStepMode() != loco.SpeedStepMode() ||
            first.Direction() != loco.Direction())
            std::abort();
        previous = number;
        previousKey = loco.ListKey();
    }
    return 0;
}
