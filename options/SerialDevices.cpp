#include "SerialDevices.h"

#include <QSerialPortInfo>

#include <algorithm>

SerialDeviceList scanSerialDevices()
{
    SerialDeviceList devices;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
        devices.append({info.systemLocation(), info.description(), info.manufacturer()});
    std::sort(devices.begin(), devices.end(),
              [](const SerialDevice& a, const SerialDevice& b) { return a.path < b.path; });
    return devices;
}
