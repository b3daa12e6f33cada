// SPDX-License-Identifier: GPL-3.0-or-later
#include "LocoEntries.h"

#include "CommandSet.h"
#include "LineClient.h"

namespace {
constexpr int kTimeoutSeconds = 2;
}

LocoEntriesRead readLocoEntries(LineClient& client, quint8 controller, int attempts, bool showErrors,
                                const std::function<void()>& afterExchange, int limit)
{
    LocoEntriesRead read;
    FrameFields request = Request::readFirstLocoEntry(controller);
    while (read.entries.size() < limit) {
        const Outcome outcome = client.transact(request, attempts, showErrors, kTimeoutSeconds);
        if (afterExchange)
            afterExchange();
        // A failed "next" leaves the request in the frame: neither an entry nor the end.
        if (!outcome.answered()) {
            read.stoppedBy = outcome.status;
            return read;
        }
        if (outcome.answer.data3 == LocoEntry::None) {
            read.complete = true;
            client.link().rememberLocoEntries(controller, read.entries);
            return read;
        }
        read.entries << LocoEntryRecord{wordFromBytes(outcome.answer.data1, outcome.answer.data2),
                                        outcome.answer.data3};
        request = Request::readNextLocoEntry(controller);
    }
    return read;
}
