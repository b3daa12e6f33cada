// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "krLocoList.h"
#include "krTaktoraTools.h"
#include "SimProcess.h"

#include <QCoreApplication>

#include <memory>

// The loco list window of one Controller on the emulator as COM3 (or, in simulation mode, on no
// port at all), shown and activated once.
struct LocoListRig
{
    SimProcess sim;
    std::unique_ptr<krLocoList> window;

    explicit LocoListRig(const QStringList& args) : sim(args) {}
    ~LocoListRig()
    {
        window.reset();
        CloseControllerPort();
    }
    bool open(quint16 controller = 1, bool simulation = false)
    {
        SetPortName(simulation ? QStringLiteral("NUL") : QStringLiteral("COM3"));
        if (!simulation && !sim.attachAs(QStringLiteral("COM3"), false))
            return false;
        window = std::make_unique<krLocoList>();
        window->setControllerID(controller);
        window->show();
        QCoreApplication::processEvents(); // the first activation, also without an activation event
        return true;
    }
    template <typename T = QWidget> T* get(const QString& name) const { return window->findChild<T*>(name); }
};
