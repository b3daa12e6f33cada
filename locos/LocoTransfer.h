// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Reading the Controller's loco configuration and writing its entries, through the window's
// source on the line; every exchange with 2 attempts, errors shown, 2 seconds. The window
// decides what happens around an exchange (questions, waits, the tree).

#include "ControllerLink.h"
#include "LocoEntries.h"

#include <functional>

class LineClient;
class LocoConfiguration;

// Empties the list, then fills it from the line's one read of the configuration (first, next,
// next, ... until the Controller reports no further entry or an exchange fails; the entries read
// so far stay). The read is one batch: only stops go out between its exchanges. `afterExchange`
// runs after every exchange; the window lets itself repaint there. A complete read becomes what
// the line knows of the Controller's configuration.
LocoEntriesRead ReadLocoList(LineClient& line, quint8 controller, LocoConfiguration& list,
                             const std::function<void()>& afterExchange = {});

// One WriteLocoEntry: code 1 to 3 enters the loco with that speed-step code, 0 removes it. The
// answer is not looked at; the re-read that follows shows what the Controller holds.
Outcome WriteLocoEntry(LineClient& line, quint8 controller, quint16 locoNumber, quint8 speedStepCode);

// RestartController; the answer is not looked at.
Outcome RestartController(LineClient& line, quint8 controller);
