// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The real main window on the bench emulator, as the phone and browser benchmarks drive it.

#include "BenchEmulator.h"
#include "ControllerLink.h"
#include "krTaktora.h"
#include "LinkTools.h"

#include <QLineEdit>

#include <memory>

// Shown, on the emulator's port (COM9), remote throttles let in without approval, Controller 1
// checked.
inline std::unique_ptr<krTaktora> checkedMainWindow(BenchEmulator& emulator)
{
    emulator.link().close(); // the window's own line opens the port
    WriteSetting(Settings::SignalOutputTo, QStringLiteral("COM9"));
    WriteSetting(Settings::WiThrottleApproval, QStringLiteral("0"));
    auto window = std::make_unique<krTaktora>(QStringLiteral("taktora"));
    window->show();
    window->findChild<QLineEdit*>(QStringLiteral("txtControllerNr"))->setText(QStringLiteral("1"));
    window->btnCheck_Click();
    return window;
}
