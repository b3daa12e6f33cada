// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary answers to the loco list's read of the Controller's configuration: entries with any
// number, attribute byte and failure, repeating for as long as the Controller keeps answering.
// Whatever comes, the read asks first, then next, ends, and leaves a list of valid, distinct
// loco numbers in ascending order, each record as its first entry said.

#include "CommandSet.h"
#include "LocoConfiguration.h"
#include "LocoRules.h"
#include "LocoTransfer.h"

#include <QMap>

#include <cstdint>
#include <cstdlib>

namespace {
// Each exchange takes four bytes of the input: answered or not (bit 0), then data1 to data3.
// At the end the input starts over, as a Controller that never says "no further entry".
class ScriptedController final : public LocoListChannel
{
public:
    ScriptedController(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    quint8 controllerByte() const override { return 1; }
    FrameFields& frame() override { return m_frame; }
    bool transact() override
    {
        const FrameFields expected =
            exchanges == 0 ? Request::readFirstLocoEntry(1) : Request::readNextLocoEntry(1);
        if (m_frame != expected)
            std::abort();
        ++exchanges;
        const uint8_t* e = m_data + (m_at % (m_size / 4)) * 4;
        ++m_at;
        if (!(e[0] & 1))
            return false;
        m_frame.data1 = e[1];
        m_frame.data2 = e[2];
        m_frame.data3 = e[3];
        if (e[3] != LocoEntry::None && !firstSeen.contains(wordFromBytes(e[1], e[2])))
            firstSeen.insert(wordFromBytes(e[1], e[2]), Locos::locoFromEntry(e[1], e[2], e[3]));
        return true;
    }

    int exchanges = 0;
    QMap<int, clsLoco> firstSeen;

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
    FrameFields m_frame;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    ScriptedController controller(data, size);
    LocoConfiguration list;
    ReadLocoList(controller, list);
    if (controller.exchanges > 65537)
        std::abort(); // a Controller that keeps answering must not hold the window forever

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
