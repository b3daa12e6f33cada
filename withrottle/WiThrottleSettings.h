// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The phone throttles' settings, read and written through the program's one list of keys.

#include "SettingsKeys.h"
#include "WiThrottleAccess.h"

#include <QString>

namespace WiThrottle::Settings {

using Key = ::Settings::Key;
inline constexpr Key Enabled = ::Settings::WiThrottleEnabled;
inline constexpr Key Port = ::Settings::WiThrottlePort;
inline constexpr Key Address = ::Settings::WiThrottleAddress;
inline constexpr Key Approval = ::Settings::WiThrottleApproval;
inline constexpr Key Devices = ::Settings::WiThrottleDevices;
inline constexpr Key AllowPower = ::Settings::WiThrottleAllowPower;
inline constexpr Key AllowTurnouts = ::Settings::WiThrottleAllowTurnouts;
inline constexpr Key MaxSpeed = ::Settings::WiThrottleMaxSpeed;
inline constexpr Key MaxConnections = ::Settings::WiThrottleMaxConnections;

QString read(const Key& key);
void write(const Key& key, const QString& value);

bool enabled();
quint16 port();
QString address();
Access access();
void writeAccess(const Access& access);

} // namespace WiThrottle::Settings
