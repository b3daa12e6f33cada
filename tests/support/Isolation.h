// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTemporaryDir>
#include <QtGlobal>

// No test or benchmark may touch the user's settings or need a display. Call before the
// application object exists; the folder must outlive it.
inline void isolateFromTheUser(const QTemporaryDir& configHome)
{
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}
