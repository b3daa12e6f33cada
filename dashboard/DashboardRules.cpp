// SPDX-License-Identifier: GPL-3.0-or-later
#include "DashboardRules.h"

#include "CommandSet.h"
#include "NumberReader.h"
#include "TaktoraVersion.h"

#include <QFileInfo>

namespace Dashboard {

std::optional<quint8> controllerByte(const QString& text)
{
    // The field takes any text; its leading number counts, rounded as every number sent is.
    const qint64 number = wholeValue(leadingNumber(text));
    if (number < 0 || number > 255)
        return std::nullopt;
    return static_cast<quint8>(number);
}

std::optional<quint8> checkableController(const QString& text)
{
    // Compared before rounding, as a field check compares: 250.4 and -0.4 do not pass, 249.6 is 250.
    const double number = leadingNumber(text);
    if (number < 0 || number > HighestCheckableController)
        return std::nullopt;
    return static_cast<quint8>(wholeValue(number));
}

QString refusedControllerText(const QString& text)
{
    QString shown = text.trimmed();
    if (shown.size() > 20)
        shown = shown.left(20) + QStringLiteral("…");
    return QStringLiteral("Die Controller-Nummer „") + shown +
           QStringLiteral("“ ist nicht im gültigen Bereich (0 bis ") +
           QString::number(HighestCheckableController) +
           QStringLiteral(").\n\nBitte geben Sie die Nummer Ihres Controllers ein und prüfen Sie ihn.");
}

QString programVersionText()
{
    return QString::fromUtf8(TaktoraVersion::ProductName) + QStringLiteral(" V") +
           QString::number(TaktoraVersion::Major) + QStringLiteral(".") +
           QString::number(TaktoraVersion::Minor) + QStringLiteral(" (build ") +
           QString::number(TaktoraVersion::Revision) + QStringLiteral(")");
}

QString firmwareVersionText(int major, int minor, int revision)
{
    return QString::number(major) + QStringLiteral(".") + QString::number(minor) + QStringLiteral(".") +
           QString::number(revision);
}

QString versionReportTitle()
{
    return QString::fromUtf8(TaktoraVersion::ProgramTitle) + QStringLiteral(" Versionskontrolle");
}

VersionVerdict checkFirmwareVersion(int major, int minor, int revision)
{
    using namespace TaktoraVersion;
    const QString product = QString::fromUtf8(ProductName);
    const QString firmware = firmwareVersionText(major, minor, revision);
    const auto ordinal = [](int a, int b, int c) { return a * 10000 + b * 100 + c; };

    if (major == Major && minor == Minor) {
        if (ordinal(major, minor, revision) >=
            ordinal(MinimumFirmwareMajor, MinimumFirmwareMinor, MinimumFirmwareRevision))
            return {true, QString()};
        return {false,
                QStringLiteral("Version Firmware: \t\t") + firmware +
                    QStringLiteral("\nMindestversion: \t\t") +
                    firmwareVersionText(MinimumFirmwareMajor, MinimumFirmwareMinor, MinimumFirmwareRevision) +
                    QStringLiteral("\n\nDie Firmware ist zu alt für diese Version\nvon ") + product +
                    QStringLiteral(".\n\nBitte aktualisieren Sie die Firmware.")};
    }
    QString report = QStringLiteral("Version ") + product + QStringLiteral(": \t") +
                     firmwareVersionText(Major, Minor, Revision) +
                     QStringLiteral("\nVersion Firmware: \t\t") + firmware +
                     QStringLiteral("\n\nBitte aktualisieren Sie ");
    if (Major * 100 + Minor > major * 100 + minor)
        report += QStringLiteral("die Firmware des Controllers.");
    else
        report += QStringLiteral("die ") + product + QStringLiteral("-Software");
    return {false, report};
}

QString boardLayoutText(quint8 statusBits)
{
    if (statusBits & StatusBit::BoardUno)
        return QStringLiteral("Uno");
    if (statusBits & StatusBit::BoardMega)
        return QStringLiteral("Mega");
    return QStringLiteral("unbekannt");
}

QString speedStepText(quint8 entryAttributes)
{
    if (entryAttributes == LocoEntry::None)
        return QStringLiteral("n.v.");
    switch (entryAttributes & LocoEntry::SpeedStepMask) {
    case SpeedSteps::Steps14:
        return QStringLiteral("14 FS");
    case SpeedSteps::Steps28:
        return QStringLiteral("28 FS");
    case SpeedSteps::Steps126:
        return QStringLiteral("126 FS");
    default:
        return QStringLiteral("Fehler");
    }
}

quint8 speedValue(int sliderPosition)
{
    return static_cast<quint8>(RestingPosition - qBound(0, sliderPosition, RestingPosition));
}

QString speedPercentText(int sliderPosition)
{
    return QString::number(speedValue(sliderPosition) * 100 / RestingPosition) + QStringLiteral(" %");
}

QString directionText(bool forward)
{
    // The words of the loco list's direction node, so button and list read alike.
    return QStringLiteral("Fahrtrichtung: ") +
           (forward ? QStringLiteral("vorwärts") : QStringLiteral("rückwärts"));
}

QString panelSettingKey(const QString& word, int index)
{
    return word + QStringLiteral("%1").arg(index, 2, 10, QLatin1Char('0'));
}

bool isHostedStart(const QString& executablePath)
{
    return QFileInfo(executablePath)
               .completeBaseName()
               .compare(QStringLiteral("koradin"), Qt::CaseInsensitive) == 0;
}

QString manualNotOpenedText(const QString& path)
{
    return QStringLiteral("Das Handbuch konnte nicht geöffnet werden: für PDF-Dateien ist kein "
                          "Anzeigeprogramm eingerichtet.\n\nSie finden das Handbuch hier:\n") +
           path;
}

} // namespace Dashboard
