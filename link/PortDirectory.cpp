#include "PortDirectory.h"

#include <QRegularExpression>
#include <QSettings>

namespace {
const QString kPortsGroup = QStringLiteral("Ports");

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
#ifdef Q_OS_WIN
    return canonicalName(comName);
#else
    QSettings settings(QStringLiteral("KORADIN"), QStringLiteral("KORADIN"));
    settings.beginGroup(kPortsGroup);
    return settings.value(canonicalName(comName)).toString();
#endif
}

void PortDirectory::registerDevice(const QString& comName, const QString& path)
{
    QSettings settings(QStringLiteral("KORADIN"), QStringLiteral("KORADIN"));
    settings.beginGroup(kPortsGroup);
    settings.setValue(canonicalName(comName), path);
}

void PortDirectory::unregisterDevice(const QString& comName)
{
    QSettings settings(QStringLiteral("KORADIN"), QStringLiteral("KORADIN"));
    settings.beginGroup(kPortsGroup);
    settings.remove(canonicalName(comName));
}
