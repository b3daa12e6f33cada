// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The one loop that reads a Controller's loco configuration, for the loco list window, the
// throttles' loco lists and the phones' roster alike.

#include "ControllerLink.h"

#include <functional>

class LineClient;

struct LocoEntriesRead
{
    QList<LocoEntryRecord> entries; // in the Controller's own order
    bool complete = false;          // the Controller said there is no further entry
    Outcome::Status stoppedBy = Outcome::Status::Answered;
};

// First entry, then next, next ... until the Controller reports no further entry, an exchange
// fails (the entries read so far stay) or `limit` entries have come, which no honest Controller
// reaches. `afterExchange` runs after each exchange. A complete read becomes what the line
// knows of that Controller's configuration.
LocoEntriesRead readLocoEntries(LineClient& client, quint8 controller, int attempts, bool showErrors,
                                const std::function<void()>& afterExchange = {}, int limit = 65536);
