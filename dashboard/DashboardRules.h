// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The dashboard's rules as plain functions, so they can be checked without a window.

#include <QColor>
#include <QString>

#include <optional>

namespace Dashboard {

// Status colours of the dashboard.
const QColor Red(255, 0, 0);
const QColor Green(0, 192, 0);
const QColor DarkYellow(192, 192, 0);
const QColor Yellow(255, 255, 0);
const QColor LampGrey(128, 128, 128);
const QColor LampBlack(0, 0, 0);

constexpr int HighestCheckableController = 250;
constexpr int RestingPosition = 255; // slider position of a standing loco

// The Controller number a command is sent to; none when it does not fit a frame byte.
std::optional<quint8> controllerByte(const QString& text);
// The Controller number the check accepts, and with it the windows opened from the main window:
// the field's leading number from 0 to 250, rounded as every number sent is; none otherwise.
std::optional<quint8> checkableController(const QString& text);
// Why a window does not open for a Controller number the check refuses.
QString refusedControllerText(const QString& text);

// The manual was found but nothing opened it (no viewer for PDF files).
QString manualNotOpenedText(const QString& path);

QString programVersionText(); // "Taktora V5.2 (build 16)"
QString firmwareVersionText(int major, int minor, int revision);

struct VersionVerdict
{
    bool accepted = false;
    QString report; // empty when accepted
};
VersionVerdict checkFirmwareVersion(int major, int minor, int revision);
QString versionReportTitle();

QString boardLayoutText(quint8 statusBits);
QString speedStepText(quint8 entryAttributes);

quint8 speedValue(int sliderPosition);
QString speedPercentText(int sliderPosition);
// The direction button's tooltip: "Fahrtrichtung: vorwärts" (pressed) or "Fahrtrichtung: rückwärts".
QString directionText(bool forward);

// "Slider02", "AccessoryAdress00"
QString panelSettingKey(const QString& word, int index);

bool isHostedStart(const QString& executablePath);

} // namespace Dashboard
