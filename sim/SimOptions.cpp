// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimOptions.h"

#include "CommandSet.h"
#include "ControllerEmulator.h"
#include "DecoderCvFile.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <QSet>

namespace {
bool toNumber(const QString& text, int low, int high, int& out)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok || n < low || n > high)
        return false;
    out = n;
    return true;
}

QStringList listItems(const QString& text)
{
    QStringList items = text.split(QLatin1Char(','), Qt::KeepEmptyParts);
    for (QString& item : items)
        item = item.trimmed();
    return items;
}

quint8 speedStepCode(int steps)
{
    switch (steps) {
    case 14:
        return SpeedSteps::Steps14;
    case 28:
        return SpeedSteps::Steps28;
    case 126:
        return SpeedSteps::Steps126;
    default:
        return SpeedSteps::NotDefined;
    }
}
} // namespace

QList<EmulatedController::ConfiguredLoco> SimOptions::defaultLocos()
{
    return {{3, SpeedSteps::Steps28},
            {1000, SpeedSteps::Steps126},
            {7, SpeedSteps::Steps14},
            {5, SpeedSteps::Steps28}};
}

void SimOptions::applyTo(ControllerEmulator& emulator) const
{
    EmulatedController board;
    board.setFirmware(firmware[0], firmware[1], firmware[2]);
    board.setBoard(this->board);
    board.setEmergencyStopAvailable(emergencyStopAvailable);
    stored.applyTo(board);
    board.setLocoConfiguration(locos);
    board.decoder().setPresent(decoderPresent);
    for (auto it = cvs.cbegin(); it != cvs.cend(); ++it)
        board.decoder().setCv(it.key(), it.value());
    for (int cv : missingCvs)
        board.decoder().setMissing(cv);
    for (int decoder : failingAccessories)
        board.setAccessoryFailing(static_cast<quint16>(decoder));
    emulator.setControllers(controllers, board);
    emulator.faults().clear();
    for (const FaultPlan::Rule& rule : faults)
        emulator.faults().add(rule);
    emulator.faults().setMix(faultMixSeed, faultMixPercent);
    emulator.setDecoderTiming(decoderTiming);
}

bool parseControllerList(const QString& text, QList<quint8>& out, QString& error)
{
    QList<quint8> numbers;
    for (const QString& item : listItems(text)) {
        int n = 0;
        if (!toNumber(item, 0, 254, n)) {
            error =
                QStringLiteral("controller \"%1\": expected numbers 0 to 254, separated by commas").arg(text);
            return false;
        }
        if (!numbers.contains(static_cast<quint8>(n)))
            numbers.append(static_cast<quint8>(n));
    }
    out = numbers;
    return true;
}

bool parseFirmware(const QString& text, quint8 (&out)[3], QString& error)
{
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    int values[3] = {0, 0, 0};
    if (parts.size() != 3 || !toNumber(parts[0], 0, 255, values[0]) ||
        !toNumber(parts[1], 0, 255, values[1]) || !toNumber(parts[2], 0, 255, values[2])) {
        error = QStringLiteral("firmware \"%1\": expected X.Y.Z, each 0 to 255").arg(text);
        return false;
    }
    for (int i = 0; i < 3; ++i)
        out[i] = static_cast<quint8>(values[i]);
    return true;
}

bool parseBoard(const QString& text, EmulatedController::Board& out, QString& error)
{
    const QString name = text.trimmed().toLower();
    if (name == QLatin1String("uno"))
        out = EmulatedController::Board::Uno;
    else if (name == QLatin1String("mega"))
        out = EmulatedController::Board::Mega;
    else if (name == QLatin1String("unknown"))
        out = EmulatedController::Board::Unknown;
    else {
        error = QStringLiteral("board \"%1\": expected uno, mega or unknown").arg(text);
        return false;
    }
    return true;
}

bool parseLocoList(const QString& text, QList<EmulatedController::ConfiguredLoco>& out, QString& error)
{
    QList<EmulatedController::ConfiguredLoco> entries;
    if (text.trimmed().isEmpty()) {
        out = entries;
        return true;
    }
    QSet<int> listed; // a board of ten thousand locos must not take seconds to set up
    for (const QString& item : listItems(text)) {
        const QStringList parts = item.split(QLatin1Char(':'));
        // NUMBER or FROM-TO; a range runs downwards when FROM is the greater.
        const QStringList bounds = parts[0].split(QLatin1Char('-'));
        int from = 0;
        int to = 0;
        int steps = 28;
        if (parts.size() > 2 || bounds.size() > 2 ||
            !toNumber(bounds[0], 1, EmulatedController::HighestLocoNumber, from) ||
            !toNumber(bounds.last(), 1, EmulatedController::HighestLocoNumber, to) ||
            (parts.size() == 2 && (!toNumber(parts[1], 0, 255, steps) || speedStepCode(steps) == 0))) {
            error = QStringLiteral("loco \"%1\": expected NUMBER[:STEPS] or FROM-TO[:STEPS], numbers 1 to "
                                   "10239, steps 14, 28 or 126")
                        .arg(item);
            return false;
        }
        const int step = from <= to ? 1 : -1;
        for (int number = from;; number += step) {
            if (listed.contains(number)) {
                error = QStringLiteral("loco %1 is listed twice").arg(number);
                return false;
            }
            listed.insert(number);
            entries.append({static_cast<quint16>(number), speedStepCode(steps)});
            if (number == to)
                break;
        }
    }
    out = entries;
    return true;
}

bool parseCvList(const QString& text, QMap<int, quint8>& out, QString& error)
{
    QMap<int, quint8> cvs;
    if (text.trimmed().isEmpty()) {
        out = cvs;
        return true;
    }
    for (const QString& item : listItems(text)) {
        const QStringList parts = item.split(QLatin1Char('='));
        int cv = 0;
        int value = 0;
        if (parts.size() != 2 || !toNumber(parts[0], EmulatedDecoder::FirstCv, EmulatedDecoder::LastCv, cv) ||
            !toNumber(parts[1], 0, 255, value)) {
            error = QStringLiteral("cv \"%1\": expected CV=VALUE, CV 1 to 1024, value 0 to 255").arg(item);
            return false;
        }
        cvs.insert(cv, static_cast<quint8>(value));
    }
    out = cvs;
    return true;
}

bool parseComName(const QString& text, QString& out, QString& error)
{
    static const QRegularExpression pattern(QStringLiteral("^COM(\\d{1,2})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto match = pattern.match(text.trimmed());
    const int n = match.hasMatch() ? match.captured(1).toInt() : 0;
    if (n < 1 || n > 24) {
        error = QStringLiteral("register \"%1\": expected COM1 to COM24").arg(text);
        return false;
    }
    out = QStringLiteral("COM%1").arg(n);
    return true;
}

SimParseResult parseSimArguments(const QStringList& arguments, SimOptions& options, QString& message)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "KORADIN Controller emulator: serves the Controller's command set on a pseudo-terminal.\n"
        "Prints the pseudo-terminal's path on its first line, then runs until terminated."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption controller(
        QStringLiteral("controller"),
        QStringLiteral("Controller number(s) served, e.g. 1 or 1,2 (default 1)."),
        QStringLiteral("N[,N...]"));
    const QCommandLineOption firmware(QStringLiteral("firmware"),
                                      QStringLiteral("Firmware version reported (default 5.2.3)."),
                                      QStringLiteral("X.Y.Z"));
    const QCommandLineOption board(QStringLiteral("board"),
                                   QStringLiteral("Board layout: uno, mega or unknown (default mega)."),
                                   QStringLiteral("LAYOUT"));
    const QCommandLineOption noEmergencyStop(QStringLiteral("no-emergency-stop"),
                                             QStringLiteral("The board has no hardware emergency stop."));
    const QCommandLineOption locos(
        QStringLiteral("locos"),
        QStringLiteral("Configured locos in the board's order, NUMBER[:STEPS] or a range FROM-TO[:STEPS] "
                       "with STEPS 14, 28 or 126 (default \"3:28,1000:126,7:14,5:28\"; \"\" for none; "
                       "\"1-10239\" fills the board)."),
        QStringLiteral("LIST"));
    const QCommandLineOption cv(QStringLiteral("cv"),
                                QStringLiteral("CVs of the decoder on the programming track, e.g. 1=3,29=6 "
                                               "(on top of its factory values)."),
                                QStringLiteral("CV=V[,...]"));
    const QCommandLineOption decoderCvs(
        QStringLiteral("decoder-cvs"),
        QStringLiteral("CVs of the decoder from a file the decoder sheet saved (before --cv)."),
        QStringLiteral("FILE.csv"));
    const QCommandLineOption missingCv(
        QStringLiteral("missing-cv"),
        QStringLiteral(
            "CVs the decoder does not have: it acknowledges no write or verify of them, e.g. 19,30-32."),
        QStringLiteral("LIST"));
    const QCommandLineOption failingAccessory(
        QStringLiteral("failing-accessory"),
        QStringLiteral(
            "Accessory decoders the Controller cannot reach: it refuses switching them, e.g. 12,30."),
        QStringLiteral("LIST"));
    const QCommandLineOption noDecoder(
        QStringLiteral("no-decoder"), QStringLiteral("Nothing on the programming track: programming fails."));
    const QCommandLineOption delay(QStringLiteral("delay-ms"),
                                   QStringLiteral("Reaction time before each answer, in milliseconds."),
                                   QStringLiteral("N"));
    const QCommandLineOption verifyMs(
        QStringLiteral("verify-ms"),
        QStringLiteral("Programming track: time a verify takes when the decoder acknowledges and when it "
                       "does not, e.g. 35,145 (default 0,0)."),
        QStringLiteral("ACK,NOACK"));
    const QCommandLineOption writeMs(QStringLiteral("write-ms"),
                                     QStringLiteral("Programming track: time a write takes (default 0)."),
                                     QStringLiteral("N"));
    const QCommandLineOption pace(QStringLiteral("pace"),
                                  QStringLiteral("Deliver answers no sooner than a 115200 baud line would."));
    const QCommandLineOption registerCom(
        QStringLiteral("register"),
        QStringLiteral("Point the program's port COMn at this emulator (settings group \"Ports\")."),
        QStringLiteral("COMn"));
    const QCommandLineOption log(QStringLiteral("log"),
                                 QStringLiteral("Write every request and answer to FILE, one line each."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption fault(
        QStringLiteral("fault"),
        QStringLiteral("Inject a fault (repeatable): KIND[:COUNT][@COMMAND], KIND one of no-answer, "
                       "bad-check, command-255, short, trailing, late; COUNT requests (default all), only "
                       "those with command byte COMMAND."),
        QStringLiteral("SPEC"));
    const QCommandLineOption faultMix(
        QStringLiteral("fault-mix"),
        QStringLiteral("Give PERCENT of all requests a fault of a random kind, drawn on the fixed SEED."),
        QStringLiteral("SEED:PERCENT"));
    const QCommandLineOption late(QStringLiteral("late-ms"),
                                  QStringLiteral("How much later a \"late\" answer comes (default 2500)."),
                                  QStringLiteral("N"));
    parser.addOptions({help, controller, firmware, board, noEmergencyStop, locos, cv, noDecoder, delay, pace,
                       registerCom, log, fault, faultMix, late});
    parser.addOptions({verifyMs, writeMs});
    const QCommandLineOption link(
        QStringLiteral("link"),
        QStringLiteral(
            "Reach the device through a link at PATH, printed and registered instead of the "
            "terminal. SIGUSR1 pulls the cable (terminal and link go), SIGUSR2 puts it back (a new "
            "terminal behind the same link)."),
        QStringLiteral("PATH"));
    parser.addOption(link);
    parser.addOptions({decoderCvs, missingCv, failingAccessory});

    parser.addOptions(StoredSettings::options());
    if (!parser.parse(arguments)) {
        message = parser.errorText();
        return SimParseResult::Error;
    }
    if (parser.isSet(help)) {
        message = parser.helpText();
        return SimParseResult::Help;
    }
    if (!parser.positionalArguments().isEmpty()) {
        message = QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first());
        return SimParseResult::Error;
    }

    SimOptions o;
    bool ok = true;
    if (ok && parser.isSet(controller))
        ok = parseControllerList(parser.value(controller), o.controllers, message);
    if (ok && parser.isSet(firmware))
        ok = parseFirmware(parser.value(firmware), o.firmware, message);
    if (ok && parser.isSet(board))
        ok = parseBoard(parser.value(board), o.board, message);
    if (ok)
        ok = o.stored.read(parser, message);
    if (ok && parser.isSet(locos))
        ok = parseLocoList(parser.value(locos), o.locos, message);
    if (ok && parser.isSet(decoderCvs))
        ok = readDecoderCvFile(parser.value(decoderCvs), o.cvs, message);
    if (ok && parser.isSet(cv)) {
        QMap<int, quint8> single;
        ok = parseCvList(parser.value(cv), single, message);
        o.cvs.insert(single);
    }
    if (ok && parser.isSet(missingCv))
        ok = parseMissingCvs(parser.value(missingCv), o.missingCvs, message);
    const QStringList failing =
        parser.isSet(failingAccessory) ? listItems(parser.value(failingAccessory)) : QStringList();
    for (const QString& item : failing) {
        int decoder = 0;
        if (ok && !toNumber(item, 1, EmulatedController::HighestAccessoryDecoder, decoder)) {
            message = QStringLiteral("failing-accessory \"%1\": expected decoders 1 to 511").arg(item);
            ok = false;
        }
        o.failingAccessories.insert(decoder);
    }
    if (ok && parser.isSet(registerCom))
        ok = parseComName(parser.value(registerCom), o.registerCom, message);
    if (ok && parser.isSet(delay) && !toNumber(parser.value(delay), 0, 60000, o.delayMs)) {
        message = QStringLiteral("delay-ms \"%1\": expected 0 to 60000").arg(parser.value(delay));
        ok = false;
    }
    if (ok && parser.isSet(late) && !toNumber(parser.value(late), 0, 60000, o.lateMs)) {
        message = QStringLiteral("late-ms \"%1\": expected 0 to 60000").arg(parser.value(late));
        ok = false;
    }
    if (ok && parser.isSet(faultMix))
        ok = FaultPlan::parseMix(parser.value(faultMix), o.faultMixSeed, o.faultMixPercent, message);
    if (ok && parser.isSet(verifyMs))
        ok = parseVerifyTiming(parser.value(verifyMs), o.decoderTiming, message);
    if (ok && parser.isSet(writeMs) && !toNumber(parser.value(writeMs), 0, 60000, o.decoderTiming.writeMs)) {
        message = QStringLiteral("write-ms \"%1\": expected 0 to 60000").arg(parser.value(writeMs));
        ok = false;
    }
    for (const QString& spec : parser.values(fault)) {
        FaultPlan::Rule rule;
        if (!ok || !(ok = FaultPlan::parse(spec, rule, message)))
            break;
        o.faults.append(rule);
    }
    if (!ok)
        return SimParseResult::Error;
    o.emergencyStopAvailable = !parser.isSet(noEmergencyStop);
    o.decoderPresent = !parser.isSet(noDecoder);
    o.pace = parser.isSet(pace);
    o.logFile = parser.value(log);
    o.linkPath = parser.value(link);
    options = o;
    return SimParseResult::Run;
}
