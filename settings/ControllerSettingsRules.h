// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The rules of the Controller settings dialog as plain functions: what the Controller's answers
// mean, how pins are written for the user, and the order of the exchanges.

#include <QString>

#include <optional>

class LineClient;

// What the dialog holds of one Controller; everything starts at 0 or false, which is also what
// stays of a value that could not be read.
struct ControllerSettings
{
    quint16 FirmwareMajor = 0;
    quint16 FirmwareMinor = 0;
    quint16 FirmwarePatch = 0;
    qint32 BoardLayout = 0; // see BoardLayout below
    bool HardwareStopAvailable = false;
    bool HardwareStopEnabled = false;
    quint16 OperationPin = 0;
    quint16 OperationCircuitPin = 0;
    quint16 OperationMonitorPin = 0;
    quint16 ProgrammingPin = 0;
    quint16 ProgrammingCircuitPin = 0;
    quint16 ProgrammingMonitorPin = 0;
};

namespace BoardLayout {
constexpr qint32 Undefined = 0;
constexpr qint32 Mega = 1;
constexpr qint32 Uno = 2;
} // namespace BoardLayout

namespace SettingsTexts {
const QString Caption = QStringLiteral("Controller-Einstellungen");
const QString NotAvailable = QStringLiteral("n/v");
const QString Saved = QStringLiteral("Neue Einstellungen wurden im Controller gespeichert");
QString changeWarning();
} // namespace SettingsTexts

// "1.4.2"; "0.0.0" when nothing was read.
QString GetFirmwareVersion(const ControllerSettings& settings);
// From the status bits of the Controller's answer; an Uno bit wins over a Mega bit.
qint32 boardLayoutFromStatus(quint8 statusBits);
QString boardLayoutText(qint32 layout); // "Mega", "Uno", "Undefiniert"

// The analog inputs sit at 54 to 69 on a Mega and at 14 and up on an Uno; the user knows them as
// "A0" to "A15". 0 is a pin that is not assigned ("n/a").
QString NumberToPINFormat(quint16 myPin, qint32 layout);
// An analog name ("A3", any case) back to its number on the layout; 0 for anything else.
quint16 PINFormatToNumber(const QString& text, qint32 layout);

// The check box is offered only for a Controller that has the stop, and only when the opener
// allowed it.
bool offersHardwareStop(const ControllerSettings& settings, bool allowHWNotstop);

// The exchanges go through the dialog's source on the line, each with 2 attempts, errors not
// shown, 2 seconds.
// Firmware version, status, operation pins, programming pins, in this order; stops at the first
// exchange that fails, leaving that and the later values as they were. True: all four read.
// Without a Controller number that fits a frame nothing is sent and the result is false.
bool GetControllerSettings(LineClient& line, std::optional<quint8> controller, ControllerSettings& settings);
// The emergency stop (only where the Controller has one), then the operation, programming and
// monitoring pins. Every step is sent whatever the earlier ones gave, unless the line refused one
// (the Controller must be checked first): then none would get through. Always true.
bool SetControllerSettings(LineClient& line, std::optional<quint8> controller,
                           const ControllerSettings& settings);
