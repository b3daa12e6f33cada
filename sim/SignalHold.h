// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <csignal>
#include <initializer_list>

// Signals the emulator's loop reacts to stay blocked except while the loop waits, so none slips in
// between the check of its flag and the wait, and none that arrives before the loop runs is lost.
namespace SignalHold {
// Installs `handler` for the signals `which` and blocks them.
inline void hold(void (*handler)(int), std::initializer_list<int> which)
{
    struct sigaction action
    {
    };
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigset_t held;
    sigemptyset(&held);
    for (const int signal : which) {
        sigaction(signal, &action, nullptr);
        sigaddset(&held, signal);
    }
    sigprocmask(SIG_BLOCK, &held, nullptr);
}

// Lets the signals `which` through while the loop waits with `waitMask`.
inline void letThrough(sigset_t& waitMask, std::initializer_list<int> which)
{
    for (const int signal : which)
        sigdelset(&waitMask, signal);
}
} // namespace SignalHold
