// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <csignal>

// The USB cable between the computer and the board, which a user can pull and put back while the
// emulator runs: SIGUSR1 pulls it, SIGUSR2 puts it back. The device is then reached through a
// link of its own (--link PATH) that goes with the cable and comes back under the same path, as
// /dev/serial/by-id does for a real board.
namespace CablePlug {
enum class Request { None, Pull, PlugIn };

// Installs the handlers and blocks both signals, before anyone learns the device path.
void holdSignals();
// Lets them through while the emulator waits with `waitMask`, as its stop signals are.
void letThrough(sigset_t& waitMask);
// The last request since the previous call.
Request take();

// Points `link` at `target`, replacing what was there in one step. False with `error` set.
bool makeLink(const QString& link, const QString& target, QString& error);
void removeLink(const QString& link);
} // namespace CablePlug
