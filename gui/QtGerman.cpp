// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtGerman.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool LoadQtGerman()
{
    auto* translator = new QTranslator(QCoreApplication::instance());
    // Where the system keeps Qt's translations, then beside the program (a Windows installation
    // carries its own).
    const QStringList folders{
        QLibraryInfo::path(QLibraryInfo::TranslationsPath),
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations"))};
    for (const QString& folder : folders) {
        if (translator->load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                             QStringLiteral("_"), folder))
            return QCoreApplication::installTranslator(translator);
    }
    delete translator;
    return false;
}
