// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Test entry point: no test may touch the user's settings or need a display, and no message box
// may block a test.

#include "Isolation.h"
#include "MessageBox.h"
#include "QtGerman.h"

#include <QApplication>
#include <QtTest>

// The texts of the message boxes shown since the last look.
inline QStringList takeShownTexts()
{
    QStringList texts;
    for (const MessageBox::Shown& box : MessageBox::takeShown())
        texts << box.text;
    return texts;
}

#define TAKTORA_TEST_MAIN(TestClass)                                                                         \
    int main(int argc, char** argv)                                                                          \
    {                                                                                                        \
        QTemporaryDir configHome;                                                                            \
        isolateFromTheUser(configHome);                                                                      \
        QApplication app(argc, argv);                                                                        \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                             \
        LoadQtGerman();                                                                                      \
        MessageBox::setTestMode(true);                                                                       \
        TestClass tc;                                                                                        \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }
