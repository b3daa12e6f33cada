// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoredSettings.h"

#include <QCommandLineParser>

namespace {
const QString EmergencyStopOn = QStringLiteral("emergency-stop-on");
const QString OperationPins = QStringLiteral("operation-pins");
const QString ProgrammingPins = QStringLiteral("programming-pins");
} // namespace

void StoredSettings::applyTo(EmulatedController& board) const
{
    board.setEmergencyStopOn(emergencyStopOn);
    if (operationPins)
        board.setOperationPins(*operationPins);
    if (programmingPins)
        board.setProgrammingPins(*programmingPins);
}

QList<QCommandLineOption> StoredSettings::options()
{
    return {
        QCommandLineOption(EmergencyStopOn, QStringLiteral("The hardware emergency stop is switched on.")),
        QCommandLineOption(OperationPins,
                           QStringLiteral("Stored pins of the operation mode: output, load current, "
                                          "monitoring (default 3,2,54 on a Mega, 3,2,14 on an Uno)."),
                           QStringLiteral("O,L,M")),
        QCommandLineOption(ProgrammingPins,
                           QStringLiteral("Stored pins of the programming mode: output, load current, "
                                          "monitoring (default 11,10,55 on a Mega, 11,10,15 on an Uno)."),
                           QStringLiteral("O,L,M"))};
}

bool StoredSettings::read(const QCommandLineParser& parser, QString& message)
{
    StoredSettings s;
    s.emergencyStopOn = parser.isSet(EmergencyStopOn);
    if (s.emergencyStopOn && parser.isSet(QStringLiteral("no-emergency-stop"))) {
        message = QStringLiteral("emergency-stop-on: the board has no emergency stop (--no-emergency-stop)");
        return false;
    }
    for (auto [name, pins] :
         {std::pair{OperationPins, &s.operationPins}, {ProgrammingPins, &s.programmingPins}}) {
        EmulatedController::Pins p;
        if (!parser.isSet(name))
            continue;
        if (!parsePins(parser.value(name), p, message))
            return false;
        *pins = p;
    }
    *this = s;
    return true;
}

bool parsePins(const QString& text, EmulatedController::Pins& out, QString& error)
{
    const QStringList items = text.split(QLatin1Char(','));
    int pins[3] = {0, 0, 0};
    bool ok = items.size() == 3;
    for (int i = 0; ok && i < 3; ++i) {
        pins[i] = items[i].trimmed().toInt(&ok);
        ok = ok && pins[i] >= 0 && pins[i] <= 255;
    }
    if (!ok) {
        error = QStringLiteral("pins \"%1\": expected OUTPUT,LOAD,MONITORING, each 0 to 255").arg(text);
        return false;
    }
    out = EmulatedController::Pins{static_cast<quint8>(pins[0]), static_cast<quint8>(pins[1]),
                                   static_cast<quint8>(pins[2])};
    return true;
}
