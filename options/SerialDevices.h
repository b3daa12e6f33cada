// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

#include <functional>

// A serial device the system offers right now (USB adapters, on-board ports).
struct SerialDevice
{
    QString path;         // /dev/ttyACM0
    QString description;  // Arduino Mega 2560
    QString manufacturer; // Arduino (www.arduino.cc)
    QString stablePath{}; // /dev/serial/by-id/usb-Arduino...-if00, where the system offers one
};
using SerialDeviceList = QList<SerialDevice>;

// Finds the devices; the options dialog takes another one in tests, where no hardware is attached.
using SerialDeviceScanner = std::function<SerialDeviceList()>;

// The system's serial devices, sorted by path.
SerialDeviceList scanSerialDevices();

// The name by which the system also offers the device in `byIdFolder` (on Linux a link in
// /dev/serial/by-id made from the maker, the product and the serial number). It stays the same
// when the board comes back as ttyACM1 instead of ttyACM0. Empty when there is none.
QString stableDeviceName(const QString& devicePath,
                         const QString& byIdFolder = QStringLiteral("/dev/serial/by-id"));
