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
    ControllerLink link; // the line the window is opened on, with the screen's boxes
    SimProcess sim;
    std::unique_ptr<W> window;

    explicit SimWindow(const QStringList& arguments) : sim(arguments) { AttachScreenPrompts(link); }
    ~SimWindow()
    {
        window.reset();
        link.close();
    }
    template <typename T = QWidget> T* get(const QString& name) const
    {
        return window->template findChild<T*>(name);
    }
};
