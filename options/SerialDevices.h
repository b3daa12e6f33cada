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
};
using SerialDeviceList = QList<SerialDevice>;

// Finds the devices; the options dialog takes another one in tests, where no hardware is attached.
using SerialDeviceScanner = std::function<SerialDeviceList()>;

// The system's serial devices, sorted by path.
SerialDeviceList scanSerialDevices();
