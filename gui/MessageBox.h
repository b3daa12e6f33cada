// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>

// Every message box of the program goes through here. The program always shows a real modal
// QMessageBox; a test switches on the test mode, gives the answers it wants, and reads back
// what would have been shown.
class MessageBox
{
public:
    struct Shown
    {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    };

    // An empty or blank title becomes the program title.
    static QMessageBox::StandardButton
    show(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
         QMessageBox::StandardButtons buttons,
         QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

    // Exclamation icon, OK button.
    static void warning(QWidget* parent, const QString& text, const QString& title = QString());
    // Question icon, Yes and No, No the default.
    static QMessageBox::StandardButton question(QWidget* parent, const QString& text,
                                                const QString& title = QString());

    // Test seam.
    static void setTestMode(bool on);
    static bool testMode();
    // Answers given, in order, to the next boxes; without one a box answers with its default
    // button (or its first button when it has none).
    static void setNextAnswer(QMessageBox::StandardButton answer);
    static QList<Shown> takeShown();
    static QList<Shown> shown();
};
