// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Reading the Controller's loco configuration and writing its entries, over the window's one
// frame. The window decides what happens around an exchange (questions, waits, the tree).

#include "Frame.h"

#include <functional>

class LocoConfiguration;

// What the transfer needs of its window: the Controller it addresses and its frame, through
// which every request goes out and every answer comes back.
class LocoListChannel
{
public:
    virtual ~LocoListChannel() = default;
    virtual quint8 controllerByte() const = 0;
    virtual FrameFields& frame() = 0;
    // ControllerTransaction on frame(): 2 attempts, errors shown, 2 seconds.
    virtual bool transact() = 0;
};

// Empties the list, then reads first, next, next, ... until the Controller reports no further
// entry or an exchange fails (the entries read so far stay). `afterExchange` runs after every
// exchange; the window lets itself repaint there.
void ReadLocoList(LocoListChannel& channel, LocoConfiguration& list,
                  const std::function<void()>& afterExchange = {});

// One WriteLocoEntry: code 1 to 3 enters the loco with that speed-step code, 0 removes it. The
// answer is not looked at; the re-read that follows shows what the Controller holds.
void WriteLocoEntry(LocoListChannel& channel, quint16 locoNumber, quint8 speedStepCode);

// RestartController; the answer is not looked at.
void RestartController(LocoListChannel& channel);
