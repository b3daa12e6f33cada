// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The phone throttles' settings: every key with its default in this one place, in the settings
// group "Taktora", read and written with ReadSetting and WriteSetting.

#include "WiThrottleAccess.h"

#include <QString>

namespace WiThrottle::Settings {

struct Key
{
    const char* name;
    const char* fallback;
};

inline constexpr char Section[] = "Taktora";
inline constexpr Key Enabled{"WiThrottle", "0"};
inline constexpr Key Port{"WiThrottlePort", "12090"};
inline constexpr Key Address{"WiThrottleAddress", ""}; // empty: every network
inline constexpr Key Approval{"WiThrottleApproval", "1"};
inline constexpr Key Devices{"WiThrottleDevices", ""}; // approved ids, comma-separated
inline constexpr Key AllowPower{"WiThrottleAllowPower", "1"};
inline constexpr Key MaxSpeed{"WiThrottleMaxSpeed", "100"};
inline constexpr Key MaxConnections{"WiThrottleMaxConnections", "32"};

QString read(const Key& key);
void write(const Key& key, const QString& value);

bool enabled();
quint16 port();
QString address();
Access access();
void writeAccess(const Access& access);

} // namespace WiThrottle::Settings
