// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SerialDevices.h"

#include <QStringList>

// The rules of the port choice, free of widgets.
namespace PortChoice {

// "<Simulationsmodus>" at position 0, then COM1 to COM24 at positions 1 to 24.
QStringList listEntries();

// A stored port name is taken over when it is "COM" and one or two digits, in any case, with a
// number of at most 24.
bool isAcceptedPortName(const QString& stored);

// The list position a stored name selects: its COM entry when the name is accepted and equals an
// entry (ignoring case), else 0, the simulation mode. "COM07" and "COM0" thus select simulation.
int listIndexForStoredName(const QString& stored);

// The port name a list position stands for: "NUL" for simulation or no selection.
QString portNameForListIndex(int index);

// What a COM name reaches, for the user: "COM3 → /dev/ttyACM0 (vorhanden)".
QString mappingText(const QString& comName, const QString& devicePath, bool deviceExists);

// A device a COM name reaches that the system does not list (a pseudo-terminal, a board that is
// unplugged): "/dev/pts/4 (zugeordnet)".
QString mappedOnlyLabel(const QString& devicePath);

// One detected device as the user sees it: "Arduino Mega 2560 – /dev/ttyACM0"; without a
// description the maker stands in, without either the path alone. A device with a stable name
// shows that, with the kernel's name after it: ".../by-id/usb-Arduino...-if00 (ttyACM0)".
QString deviceLabel(const SerialDevice& device);

// The path a COM name is given for a detected device: its stable name where it has one.
inline QString assignedPath(const SerialDevice& device)
{
    return device.stablePath.isEmpty() ? device.path : device.stablePath;
}

} // namespace PortChoice
