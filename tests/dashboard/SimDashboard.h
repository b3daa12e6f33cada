// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "krTaktora.h"
#include "krTaktoraTools.h"
#include "SerialPortInterface.h"
#include "SimWindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// The main window started against taktora-sim, which the settings name as its port COM3.
struct SimDashboard : SimWindow<krTaktora>
{
    explicit SimDashboard(const QStringList& args) : SimWindow(args) {}
    bool start()
    {
        if (!sim.start())
            return false;
        sim.registerAs(QStringLiteral("COM3"));
        WriteSetting(QStringLiteral("SignalOutputTo"), QStringLiteral("COM3"), QStringLiteral("Taktora"));
        window = std::make_unique<krTaktora>(QStringLiteral("/usr/bin/taktora"), &link);
        return link.port().isOpen();
    }
    QString status() const { return window->findChild<QLabel*>("lblStatus")->text(); }
    // Checks the Controller of that number and gives the status it shows.
    QString check(const QString& number = QStringLiteral("1"))
    {
        window->findChild<QLineEdit*>("txtControllerNr")->setText(number);
        window->findChild<QPushButton*>("btnCheck")->click();
        return status();
    }
};
