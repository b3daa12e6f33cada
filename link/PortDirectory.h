// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// How a COM name reaches a device. On Windows the COM name is the device; on Linux and macOS the
// settings group "Ports" maps it (COM3 -> /dev/ttyACM0, or an emulator's pseudo-terminal).
namespace PortDirectory {
constexpr int FirstPort = 1;
constexpr int LastPort = 24;

// Numeric value of the name from its fourth character on ("COM12" gives 12; junk gives 0).
int portNumber(const QString& comName);
// The device path for a COM name; empty when the name reaches no device.
QString devicePath(const QString& comName);
void registerDevice(const QString& comName, const QString& devicePath);
void unregisterDevice(const QString& comName);
} // namespace PortDirectory
