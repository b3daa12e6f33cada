// SPDX-License-Identifier: GPL-3.0-or-later
#include "ManualLocation.h"

#include <QDir>
#include <QFileInfo>

namespace Dashboard {

QString manualFileName()
{
    return QStringLiteral("Handbuch_Taktora.pdf");
}

QString findManual(const QString& programDir)
{
    const QDir dir(programDir);
    for (const QString& candidate :
         {dir.filePath(manualFileName()),
          dir.filePath(QStringLiteral("../share/doc/taktora/") + manualFileName())}) {
        if (QFileInfo(candidate).isFile())
            return QDir::cleanPath(candidate);
    }
    return {};
}

} // namespace Dashboard
