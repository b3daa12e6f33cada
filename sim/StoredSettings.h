// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EmulatedController.h"

#include <QCommandLineOption>
#include <QList>
#include <QString>

#include <optional>

class QCommandLineParser;

// What a board keeps besides its loco configuration, as the emulator's command line sets it: the
// pins of both modes and whether the hardware emergency stop is switched on. Pins left unset are
// the factory pins of the board's layout.
struct StoredSettings
{
    bool emergencyStopOn = false;
    std::optional<EmulatedController::Pins> operationPins;
    std::optional<EmulatedController::Pins> programmingPins;

    // After the board's layout is set, which brings its own factory pins.
    void applyTo(EmulatedController& board) const;

    static QList<QCommandLineOption> options();
    // Takes the values over once the parser has run; false, with `message`, for a wrong one.
    bool read(const QCommandLineParser& parser, QString& message);
};

// "OUTPUT,LOAD,MONITORING": pin numbers 0 to 255 as the firmware stores them (54 is A0 on a Mega).
bool parsePins(const QString& text, EmulatedController::Pins& out, QString& error);
