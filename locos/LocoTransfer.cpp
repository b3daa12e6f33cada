// SPDX-License-Identifier: GPL-3.0-or-later
#include "LocoTransfer.h"

#include "CommandSet.h"
#include "LocoConfiguration.h"
#include "LocoRules.h"

namespace {
// A Controller holds each loco number at most once, so no honest list is longer than the
// numbers two bytes can carry; a Controller that keeps answering beyond that is faulty and
// must not hold the window forever.
constexpr int MostEntries = 65536;
} // namespace

void ReadLocoList(LocoListChannel& channel, LocoConfiguration& list,
                  const std::function<void()>& afterExchange)
{
    list.clear();
    FrameFields& frame = channel.frame();
    frame = Request::readFirstLocoEntry(channel.controllerByte());
    for (int entries = 0; entries <= MostEntries; ++entries) {
        const bool answered = channel.transact();
        if (afterExchange)
            afterExchange();
        // A failed "next" leaves the request in the frame: neither an entry nor the end.
        if (!answered || frame.data3 == LocoEntry::None)
            return;
        list.insert(Locos::locoFromEntry(frame.data1, frame.data2, frame.data3));
        frame = Request::readNextLocoEntry(channel.controllerByte());
    }
}

void WriteLocoEntry(LocoListChannel& channel, quint16 locoNumber, quint8 speedStepCode)
{
    channel.frame() = Request::writeLocoEntry(channel.controllerByte(), locoNumber, speedStepCode);
    channel.transact();
}

void RestartController(LocoListChannel& channel)
{
    channel.frame() = Request::restartController(channel.controllerByte());
    channel.transact();
}
