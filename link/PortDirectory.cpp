// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortDirectory.h"

#include "SettingsKeys.h"

#include <QRegularExpression>
#include <QSettings>

namespace {
const QLatin1String kPortsGroup(Settings::PortsGroup);

QString canonicalName(const QString& comName)
{
    return comName.trimmed().toUpper();
}
} // namespace

int PortDirectory::portNumber(const QString& comName)
{
    // The leading number from the fourth character on, as the classic Val() reads it.
    static const QRegularExpression leadingNumber(QStringLiteral("^\\s*(\\d+)"));
    const auto match = leadingNumber.match(comName.mid(3));
    return match.hasMatch() ? match.captured(1).left(9).toInt() : 0;
}

QString PortDirectory::devicePath(const QString& comName)
{
    // The port is chosen by its number alone, so a hand-edited "COM03", "COM3:" or "COM 3" reaches
    // COM3 as the user meant it.
    const int number = portNumber(comName);
    if (number < FirstPort || number > LastPort)
        return QString();
    const QString port = QStringLiteral("COM") + QString::number(number);
#ifdef Q_OS_WIN
    return port;
#else
    QSettings settings{QLatin1String(Settings::Organization), QLatin1String(Settings::Application)};
    settings.beginGroup(kPortsGroup);
    return settings.value(port).toString();
#endif
}

void PortDirectory::registerDevice(const QString& comName, const QString& path)
{
    QSettings settings{QLatin1String(Settings::Organization), QLatin1String(Settings::Application)};
    settings.beginGroup(kPortsGroup);
    settings.setValue(canonicalName(comName), path);
}

void PortDirectory::unregisterDevice(const QString& comName)
{
    QSettings settings{QLatin1String(Settings::Organization), QLatin1String(Settings::Application)};
    settings.beginGroup(kPortsGroup);
    settings.remove(canonicalName(comName));
}
