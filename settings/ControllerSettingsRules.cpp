// SPDX-License-Identifier: GPL-3.0-or-later
#include "ControllerSettingsRules.h"

#include "CommandSet.h"
#include "NumberReader.h"
#include "SettingsChannel.h"

namespace {
constexpr quint16 MegaA0 = 54;
constexpr quint16 MegaA15 = 69;
constexpr quint16 UnoA0 = 14;
constexpr quint16 UnoA1 = 15;

quint8 frameByte(quint16 value)
{
    return static_cast<quint8>(value); // pins are 0 to 255; the field width is the frame's
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

bool GetControllerSettings(SettingsChannel& channel, std::optional<quint8> controller,
                           ControllerSettings& settings)
{
    if (!controller)
        return false;
    const FrameFields& answer = channel.frame();

    if (!channel.transact(Request::readFirmwareVersion(*controller)))
        return false;
    settings.FirmwareMajor = answer.data1;
    settings.FirmwareMinor = answer.data2;
    settings.FirmwarePatch = answer.data3;

    if (!channel.transact(Request::queryControllerStatus(*controller)))
        return false;
    settings.BoardLayout = boardLayoutFromStatus(answer.data3);
    settings.HardwareStopAvailable = answer.data3 & StatusBit::EmergencyStopAvailable;
    settings.HardwareStopEnabled = answer.data3 & StatusBit::EmergencyStopOn;

    if (!channel.transact(Request::readOperationPins(*controller)))
        return false;
    settings.OperationPin = answer.data1;
    settings.OperationCircuitPin = answer.data2;
    settings.OperationMonitorPin = answer.data3;

    if (!channel.transact(Request::readProgrammingPins(*controller)))
        return false;
    settings.ProgrammingPin = answer.data1;
    settings.ProgrammingCircuitPin = answer.data2;
    settings.ProgrammingMonitorPin = answer.data3;
    return true;
}

bool SetControllerSettings(SettingsChannel& channel, std::optional<quint8> controller,
                           const ControllerSettings& settings)
{
    if (!controller)
        return true;
    const quint8 c = *controller;
    if (settings.HardwareStopAvailable)
        channel.transact(Request::setHardwareEmergencyStop(c, settings.HardwareStopEnabled));
    channel.transact(Request::setOperationPins(c, frameByte(settings.OperationPin),
                                               frameByte(settings.OperationCircuitPin)));
    channel.transact(Request::setProgrammingPins(c, frameByte(settings.ProgrammingPin),
                                                 frameByte(settings.ProgrammingCircuitPin)));
    channel.transact(Request::setMonitoringPins(c, frameByte(settings.OperationMonitorPin),
                                                frameByte(settings.ProgrammingMonitorPin)));
    return true;
}
