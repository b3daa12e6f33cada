// SPDX-License-Identifier: GPL-3.0-or-later
#include "LocoTransfer.h"

#include "CommandSet.h"
#include "LineClient.h"
#include "LocoConfiguration.h"
#include "LocoRules.h"

namespace {
constexpr int Attempts = 2;
constexpr bool ShowErrors = true;
constexpr int TimeoutSeconds = 2;
} // namespace

LocoEntriesRead ReadLocoList(LineClient& line, quint8 controller, LocoConfiguration& list,
                             const std::function<void()>& afterExchange)
{
    list.clear();
    const LineClient::Batch batch(line);
    LocoEntriesRead read = readLocoEntries(line, controller, Attempts, ShowErrors, afterExchange);
    for (const LocoEntryRecord& entry : read.entries)
        list.insert(Locos::locoFromEntry(lowByte(entry.number), highByte(entry.number), entry.attributes));
    return read;
}

Outcome WriteLocoEntry(LineClient& line, quint8 controller, quint16 locoNumber, quint8 speedStepCode)
{
    return line.transact(Request::writeLocoEntry(controller, locoNumber, speedStepCode), Attempts, ShowErrors,
                         TimeoutSeconds);
}

Outcome RestartController(LineClient& line, quint8 controller)
{
    return line.transact(Request::restartController(controller), Attempts, ShowErrors, TimeoutSeconds);
}
