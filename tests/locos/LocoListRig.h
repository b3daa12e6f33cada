// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "krLocoList.h"
#include "krTaktoraTools.h"
#include "SimWindow.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QTreeView>

// The loco list window of one Controller on the emulator as COM3 (or, in simulation mode, on no
// port at all), shown and activated once.
struct LocoListRig : SimWindow<krLocoList>
{
    explicit LocoListRig(const QStringList& args) : SimWindow(args) {}
    bool open(quint8 controller = 1, bool simulation = false)
    {
        link.setPortName(simulation ? QStringLiteral("NUL") : QStringLiteral("COM3"));
        if (!simulation && !sim.attachAs(link, QStringLiteral("COM3"), false))
            return false;
        if (!simulation)
            link.setChecked(controller); // as the main window's check does
        window = std::make_unique<krLocoList>(link);
        window->setControllerID(controller);
        // Every change of the tree keeps the model's contract, or the test fails.
        new QAbstractItemModelTester(window->findChild<QTreeView*>(QStringLiteral("tvLocoList"))->model(),
                                     QAbstractItemModelTester::FailureReportingMode::QtTest, window.get());
        window->show();
        QCoreApplication::processEvents(); // the first activation, also without an activation event
        return true;
    }
};
