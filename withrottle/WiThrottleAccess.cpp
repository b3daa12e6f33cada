// SPDX-License-Identifier: GPL-3.0-or-later
#include "WiThrottleAccess.h"

#include "WiThrottleProtocol.h"

#include <QtGlobal>

#include <algorithm>

namespace WiThrottle {

QStringList parseDeviceList(const QString& text)
{
    QStringList devices;
    for (const QString& part : text.split(QLatin1Char(','))) {
        const QString id = part.trimmed();
        if (!id.isEmpty() && !isApproved(id, devices))
            devices << id;
    }
    return devices;
}

QString deviceListText(const QStringList& devices)
{
    return parseDeviceList(devices.join(QLatin1Char(','))).join(QLatin1Char(','));
}

bool storableId(const QString& id)
{
    if (id.isEmpty() || id != id.trimmed())
        return false;
    return std::none_of(id.cbegin(), id.cend(),
                        [](const QChar c) { return c == QLatin1Char(',') || !c.isPrint(); });
}

bool isApproved(const QString& id, const QStringList& devices)
{
    return !id.isEmpty() && devices.contains(id, Qt::CaseInsensitive);
}

bool mayDrive(const Access& access, const QString& id, bool approvedForConnection)
{
    return !access.approval || approvedForConnection || isApproved(id, access.devices);
}

quint8 speedCapValue(int percent)
{
    // The lowest speed value the window's scale shows as that percentage.
    return static_cast<quint8>((boundedMaxSpeed(percent) * 255 + 99) / 100);
}

quint8 cappedSpeed(int phone, int percent)
{
    const int v = qBound(0, phone, HighestPhoneSpeed);
    if (v == 0)
        return 0;
    // At least the lowest step: a phone that moves its slider moves its loco.
    const int cap = speedCapValue(percent);
    return static_cast<quint8>(qMax(1, (v * cap + HighestPhoneSpeed / 2) / HighestPhoneSpeed));
}

int phoneSpeedUnderCap(quint8 controllerSpeed, int percent)
{
    const int cap = speedCapValue(percent);
    // A loco the window runs beyond the cap shows the phone's full travel.
    return qMin(HighestPhoneSpeed, (controllerSpeed * HighestPhoneSpeed + cap / 2) / cap);
}

int boundedMaxSpeed(int percent)
{
    return qBound(LowestMaxSpeed, percent, 100);
}

int boundedMaxConnections(int count)
{
    return qBound(1, count, HighestMaxConnections);
}

std::optional<QHostAddress> listenAddress(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return QHostAddress(QHostAddress::Any);
    QHostAddress address;
    if (!address.setAddress(trimmed))
        return std::nullopt;
    // "192.168.1" would be read as 192.168.0.1: an IPv4 address is written out in four parts.
    if (address.protocol() == QAbstractSocket::IPv4Protocol && trimmed.count(QLatin1Char('.')) != 3)
        return std::nullopt;
    return address;
}

QString statusPanelText(const ServerStatus& s)
{
    if (!s.listening)
        return QString();
    if (s.waiting > 0)
        return s.driving > 0 ? QStringLiteral("Handregler: %1, %2 %3")
                                   .arg(s.driving)
                                   .arg(s.waiting)
                                   .arg(s.waiting == 1 ? QStringLiteral("wartet") : QStringLiteral("warten"))
                             : QStringLiteral("Handregler: %1 %2")
                                   .arg(s.waiting)
                                   .arg(s.waiting == 1 ? QStringLiteral("wartet") : QStringLiteral("warten"));
    return s.driving > 0 ? QStringLiteral("Handregler: %1 verbunden").arg(s.driving)
                         : QStringLiteral("Handregler: bereit");
}

QString statusPanelTip(const ServerStatus& s)
{
    if (!s.listening)
        return QString();
    QStringList doors;
    const QString where = s.address.isEmpty() ? QStringLiteral("allen Netzwerken") : s.address;
    if (s.port != 0)
        doors << QStringLiteral("Handregler-Server auf %1, Port %2").arg(where).arg(s.port);
    if (s.webPort != 0)
        doors << QStringLiteral("Handregler im Browser auf %1, Port %2").arg(where).arg(s.webPort);
    QString tip = doors.join(QLatin1Char('\n')) + QStringLiteral("\nVerbunden: %1").arg(s.driving);
    if (s.waiting > 0)
        tip += QStringLiteral("\nWarten auf Freigabe: %1 (Handregler per Smartphone)").arg(s.waiting);
    return tip;
}

QString approvalNeededText()
{
    return QStringLiteral("Dieses Gerät muss erst am PC freigegeben werden.");
}

QString approvedText()
{
    return QStringLiteral("Dieses Gerät ist am PC freigegeben.");
}

QString rejectedText()
{
    return QStringLiteral("Dieses Gerät wurde am PC abgelehnt.");
}

QString powerNotAllowedText()
{
    return QStringLiteral("Die Gleisspannung darf von Handreglern nicht geschaltet werden.");
}

QString tooManyConnectionsText(int limit)
{
    return QStringLiteral("Zu viele Handregler: höchstens %1 auf einmal.").arg(limit);
}

QString tooManyLocosText(int limit)
{
    return QStringLiteral("Zu viele Loks auf diesem Handregler: höchstens %1 auf einmal.").arg(limit);
}

} // namespace WiThrottle
