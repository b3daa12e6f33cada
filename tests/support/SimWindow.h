// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ControllerLink.h"
#include "krTaktoraTools.h"
#include "SimProcess.h"

#include <QWidget>

#include <memory>

// A window of the program against taktora-sim started with the test's arguments; the window
// goes before the port is closed.
template <typename W> struct SimWindow
{
    ControllerLink& link = ProgramLink(); // the line the window is opened on
    SimProcess sim;
    std::unique_ptr<W> window;

    explicit SimWindow(const QStringList& arguments) : sim(arguments) {}
    ~SimWindow()
    {
        window.reset();
        CloseControllerPort();
    }
    template <typename T = QWidget> T* get(const QString& name) const
    {
        return window->template findChild<T*>(name);
    }
};
