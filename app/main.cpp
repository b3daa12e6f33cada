// SPDX-License-Identifier: GPL-3.0-or-later
#include "krTaktora.h"
#include "QtGerman.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("KORADIN"));
    QApplication::setApplicationName(QStringLiteral("Taktora"));
    // Desktops match the window to the installed menu entry (and its icon) by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.koradin.taktora"));
    LoadQtGerman();

    // The name the program was started under decides the hosted start; the resolved file is
    // always taktora, so take it from argv rather than from the application's file path.
    krTaktora window(QString::fromLocal8Bit(argv[0]));
    window.showAfterSplash();
    return QApplication::exec();
}
