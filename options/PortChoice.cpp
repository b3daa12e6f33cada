// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortChoice.h"

#include "PortDirectory.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace PortChoice {

QStringList listEntries()
{
    QStringList entries{QStringLiteral("<Simulationsmodus>")};
    for (int n = PortDirectory::FirstPort; n <= PortDirectory::LastPort; ++n)
        entries << QStringLiteral("COM") + QString::number(n);
    return entries;
}

bool isAcceptedPortName(const QString& stored)
{
    static const QRegularExpression pattern(QStringLiteral("^COM([0-9]{1,2})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(stored);
    return match.hasMatch() && match.captured(1).toInt() <= PortDirectory::LastPort;
}

int listIndexForStoredName(const QString& stored)
{
    if (!isAcceptedPortName(stored))
        return 0;
    const QStringList entries = listEntries();
    for (int i = 1; i < entries.size(); ++i) {
        if (entries.at(i).compare(stored, Qt::CaseInsensitive) == 0)
            return i;
    }
    return 0;
}

QString portNameForListIndex(int index)
{
    if (index < PortDirectory::FirstPort || index > PortDirectory::LastPort)
        return QStringLiteral("NUL");
    return QStringLiteral("COM") + QString::number(index);
}

QString mappingText(const QString& comName, const QString& devicePath, bool deviceExists)
{
    if (devicePath.isEmpty())
        return comName + QStringLiteral(" ist keinem Gerät zugeordnet");
    return comName + QStringLiteral(" → ") + devicePath +
           (deviceExists ? QStringLiteral(" (vorhanden)") : QStringLiteral(" (nicht angeschlossen)"));
}

QString mappedOnlyLabel(const QString& devicePath)
{
    return devicePath + QStringLiteral(" (zugeordnet)");
}

QString deviceLabel(const SerialDevice& device)
{
    QString name = device.description.trimmed();
    if (name.isEmpty() || name.compare(QStringLiteral("n/a"), Qt::CaseInsensitive) == 0)
        name = device.manufacturer.trimmed();
    // A stable name is what gets assigned; the kernel's name tells which board it is today.
    QString path = device.stablePath.isEmpty() ? device.path
                                               : device.stablePath + QStringLiteral(" (") +
                                                     QFileInfo(device.path).fileName() + QLatin1Char(')');
    if (name.isEmpty())
        return path;
    return name + QStringLiteral(" – ") + path;
}

} // namespace PortChoice
