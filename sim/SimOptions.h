// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DecoderTiming.h"
#include "EmulatedController.h"
#include "FaultPlan.h"
#include "StoredSettings.h"

#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

class ControllerEmulator;

// Everything the emulator can be told on its command line, with defaults that let the program
// work out of the box: one Mega board as Controller 1 with firmware 5.2.3, a few locos in the
// order a board that was used for a while would hold them, and a decoder on the programming
// track.
struct SimOptions
{
    QList<quint8> controllers{1};
    quint8 firmware[3] = {5, 2, 3};
    EmulatedController::Board board = EmulatedController::Board::Mega;
    bool emergencyStopAvailable = true;
    StoredSettings stored; // pins and emergency stop
    QList<EmulatedController::ConfiguredLoco> locos = defaultLocos();
    QMap<int, quint8> cvs;        // on top of the decoder's factory values
    QSet<int> missingCvs;         // CVs the decoder does not have
    QSet<int> failingAccessories; // accessory decoders the Controller cannot reach
    bool decoderPresent = true;
    int delayMs = 0;
    int lateMs = 2500;
    quint32 faultMixSeed = 0;
    int faultMixPercent = 0;
    DecoderTiming decoderTiming;
    bool pace = false;
    QString registerCom; // "COM3": entry in the program's port directory
    QString logFile;
    QString linkPath; // the device is reached through this link, which SIGUSR1/SIGUSR2 pull and put back
    QList<FaultPlan::Rule> faults;

    static QList<EmulatedController::ConfiguredLoco> defaultLocos();

    // Sets up the boards and the fault plan of `emulator` from these options.
    void applyTo(ControllerEmulator& emulator) const;
};

enum class SimParseResult { Run, Help, Error };

// The emulator's command line (arguments[0] is the program). Help: `message` is the help text.
// Error: `message` says what is wrong.
SimParseResult parseSimArguments(const QStringList& arguments, SimOptions& options, QString& message);

// The pieces, also used on their own.
bool parseControllerList(const QString& text, QList<quint8>& out, QString& error);
bool parseFirmware(const QString& text, quint8 (&out)[3], QString& error);
bool parseBoard(const QString& text, EmulatedController::Board& out, QString& error);
bool parseLocoList(const QString& text, QList<EmulatedController::ConfiguredLoco>& out, QString& error);
bool parseCvList(const QString& text, QMap<int, quint8>& out, QString& error);
bool parseComName(const QString& text, QString& out, QString& error);
