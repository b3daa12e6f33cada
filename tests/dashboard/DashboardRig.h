// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ControllerEmulator.h"
#include "FakeSerialPort.h"
#include "krTaktora.h"
#include "krTaktoraTools.h"
#include "MessageBox.h"
#include "SimOptions.h"

#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <initializer_list>
#include <memory>

// The main window on the fake port, answered in-process by the core of taktora-sim set up from
// its command line: the real board's answers and state, no pseudo-terminal, and a clock that
// moves only when a transaction waits in vain.
struct DashboardRig
{
    FakeLink link;
    ControllerEmulator emulator;
    std::unique_ptr<krTaktora> window;

    explicit DashboardRig(const QStringList& simArguments = {},
                          const QString& portSetting = QStringLiteral("COM3"))
    {
        SimOptions options;
        QString error;
        if (parseSimArguments(QStringList{"taktora-sim"} + simArguments, options, error) !=
            SimParseResult::Run)
            qFatal("%s", qPrintable(error));
        options.applyTo(emulator);
        link.port.setResponder([this](const QByteArray& request) { return emulator.receive(request); });
        WriteSetting(QStringLiteral("SignalOutputTo"), portSetting, QStringLiteral("Taktora"));
        window = std::make_unique<krTaktora>(QStringLiteral("/opt/taktora/taktora"), &link.link);
        window->resize(1300, 800);
    }
    ~DashboardRig()
    {
        window.reset();
        MessageBox::takeShown();
    }

    EmulatedController& board() { return *emulator.controller(1); }
    QList<FrameFields> sent() const { return link.port.writtenFrames(); }
    // "command:loco-or-decoder:data3" of each frame sent with one of these commands, in order.
    QStringList sentLines(std::initializer_list<quint8> commands) const
    {
        QStringList out;
        for (const FrameFields& f : sent())
            if (std::find(commands.begin(), commands.end(), f.command) != commands.end())
                out << QStringLiteral("%1:%2:%3").arg(f.command).arg(f.data1 + 256 * f.data2).arg(f.data3);
        return out;
    }
    // Checks the Controller of that number and forgets the frames of the check.
    void check(const QString& number = QStringLiteral("1"))
    {
        find<QLineEdit>("txtControllerNr")->setText(number);
        find<QPushButton>("btnCheck")->click();
        link.port.resetLog();
    }
    template <typename T> T* find(const QString& name) const { return window->findChild<T*>(name); }
};
