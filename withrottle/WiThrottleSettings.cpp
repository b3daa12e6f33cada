// SPDX-License-Identifier: GPL-3.0-or-later
#include "WiThrottleSettings.h"

#include "LinkTools.h"
#include "WiThrottleProtocol.h"

namespace WiThrottle::Settings {

namespace {
// "1" or "0"; anything else is the default, so a mistyped value never opens the door.
bool flag(const Key& key)
{
    const QString value = read(key).trimmed();
    if (value == QLatin1String("1") || value == QLatin1String("0"))
        return value == QLatin1String("1");
    return QLatin1String(key.fallback) == QLatin1String("1");
}

int number(const Key& key)
{
    bool ok = false;
    const int value = read(key).trimmed().toInt(&ok);
    return ok ? value : QByteArray(key.fallback).toInt();
}

QString flagText(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}
} // namespace

QString read(const Key& key)
{
    return ReadSetting(key);
}

void write(const Key& key, const QString& value)
{
    WriteSetting(key, value);
}

bool enabled()
{
    return flag(Enabled);
}

quint16 port()
{
    const int value = number(Port);
    return value > 0 && value <= 65535 ? static_cast<quint16>(value) : DefaultPort;
}

QString address()
{
    return read(Address).trimmed();
}

Access access()
{
    Access a;
    a.approval = flag(Approval);
    a.devices = parseDeviceList(read(Devices));
    a.allowPower = flag(AllowPower);
    a.allowTurnouts = flag(AllowTurnouts);
    a.maxSpeedPercent = boundedMaxSpeed(number(MaxSpeed));
    a.maxConnections = boundedMaxConnections(number(MaxConnections));
    return a;
}

void writeAccess(const Access& a)
{
    write(Approval, flagText(a.approval));
    write(Devices, deviceListText(a.devices));
    write(AllowPower, flagText(a.allowPower));
    write(AllowTurnouts, flagText(a.allowTurnouts));
    write(MaxSpeed, QString::number(boundedMaxSpeed(a.maxSpeedPercent)));
    write(MaxConnections, QString::number(boundedMaxConnections(a.maxConnections)));
}

} // namespace WiThrottle::Settings
