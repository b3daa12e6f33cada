// SPDX-License-Identifier: GPL-3.0-or-later
#include "ControllerSettingsRules.h"

#include "CommandSet.h"
#include "LineClient.h"
#include "LineReady.h"
#include "NumberReader.h"

#include <QList>

namespace {
constexpr quint16 MegaA0 = 54;
constexpr quint16 MegaA15 = 69;
constexpr quint16 UnoA0 = 14;
constexpr quint16 UnoA1 = 15;

quint8 frameByte(quint16 value)
{
    return static_cast<quint8>(value); // pins are 0 to 255; the field width is the frame's
}

Outcome transact(LineClient& line, const FrameFields& request)
{
    return line.transact(request, 2, false, 2);
}
} // namespace

namespace SettingsTexts {
QString changeWarning()
{
    return QStringLiteral("Eine Anpassung dieser Einstellungen ändert massiv die Funktionsweise Ihres "
                          "Controllers.\n\nBitte nehmen Sie diese daher nur nach ausdrücklicher Rücksprache "
                          "mit unserem Support vor.\n\nMöchten Sie fortfahren ?");
}
} // namespace SettingsTexts

QString GetFirmwareVersion(const ControllerSettings& settings)
{
    return QString::number(settings.FirmwareMajor) + QLatin1Char('.') +
           QString::number(settings.FirmwareMinor) + QLatin1Char('.') +
           QString::number(settings.FirmwarePatch);
}

qint32 boardLayoutFromStatus(quint8 statusBits)
{
    if (statusBits & StatusBit::BoardUno)
        return BoardLayout::Uno;
    if (statusBits & StatusBit::BoardMega)
        return BoardLayout::Mega;
    return BoardLayout::Undefined;
}

QString boardLayoutText(qint32 layout)
{
    switch (layout) {
    case BoardLayout::Mega:
        return QStringLiteral("Mega");
    case BoardLayout::Uno:
        return QStringLiteral("Uno");
    default:
        return QStringLiteral("Undefiniert");
    }
}

QString NumberToPINFormat(quint16 myPin, qint32 layout)
{
    if (myPin == 0)
        return QStringLiteral("n/a");
    if (layout == BoardLayout::Mega && myPin >= MegaA0 && myPin <= MegaA15)
        return QStringLiteral("A") + QString::number(myPin - MegaA0);
    // Only A0 and A1 are named on an Uno: its higher numbers are digital pins on other boards.
    if (layout == BoardLayout::Uno && (myPin == UnoA0 || myPin == UnoA1))
        return QStringLiteral("A") + QString::number(myPin - UnoA0);
    return QString::number(myPin);
}

quint16 PINFormatToNumber(const QString& text, qint32 layout)
{
    if (!text.startsWith(QLatin1Char('A'), Qt::CaseInsensitive))
        return 0;
    // Read as the field check reads it; what reaches here has passed the A0 to A15 list.
    const qint64 analog = wholeValue(leadingNumber(text.mid(1)));
    if (layout == BoardLayout::Mega)
        return static_cast<quint16>(analog + MegaA0);
    if (layout == BoardLayout::Uno)
        return static_cast<quint16>(analog + UnoA0);
    return 0;
}

bool offersHardwareStop(const ControllerSettings& settings, bool allowHWNotstop)
{
    return settings.HardwareStopAvailable && !allowHWNotstop;
}

bool GetControllerSettings(LineClient& line, std::optional<quint8> controller, ControllerSettings& settings)
{
    if (!controller)
        return false;

    Outcome read = transact(line, Request::readFirmwareVersion(*controller));
    if (!read.answered())
        return false;
    settings.FirmwareMajor = read.answer.data1;
    settings.FirmwareMinor = read.answer.data2;
    settings.FirmwarePatch = read.answer.data3;

    read = transact(line, Request::queryControllerStatus(*controller));
    if (!read.answered())
        return false;
    settings.BoardLayout = boardLayoutFromStatus(read.answer.data3);
    settings.HardwareStopAvailable = read.answer.data3 & StatusBit::EmergencyStopAvailable;
    settings.HardwareStopEnabled = read.answer.data3 & StatusBit::EmergencyStopOn;

    read = transact(line, Request::readOperationPins(*controller));
    if (!read.answered())
        return false;
    settings.OperationPin = read.answer.data1;
    settings.OperationCircuitPin = read.answer.data2;
    settings.OperationMonitorPin = read.answer.data3;

    read = transact(line, Request::readProgrammingPins(*controller));
    if (!read.answered())
        return false;
    settings.ProgrammingPin = read.answer.data1;
    settings.ProgrammingCircuitPin = read.answer.data2;
    settings.ProgrammingMonitorPin = read.answer.data3;
    return true;
}

bool SetControllerSettings(LineClient& line, std::optional<quint8> controller,
                           const ControllerSettings& settings)
{
    if (!controller)
        return true;
    const quint8 c = *controller;
    QList<FrameFields> steps;
    if (settings.HardwareStopAvailable)
        steps << Request::setHardwareEmergencyStop(c, settings.HardwareStopEnabled);
    steps << Request::setOperationPins(c, frameByte(settings.OperationPin),
                                       frameByte(settings.OperationCircuitPin))
          << Request::setProgrammingPins(c, frameByte(settings.ProgrammingPin),
                                         frameByte(settings.ProgrammingCircuitPin))
          << Request::setMonitoringPins(c, frameByte(settings.OperationMonitorPin),
                                        frameByte(settings.ProgrammingMonitorPin));
    for (const FrameFields& step : std::as_const(steps))
        if (Line::refused(transact(line, step)))
            break;
    return true;
}
