// SPDX-License-Identifier: GPL-3.0-or-later
#include "OutcomeText.h"

#include "ControllerLink.h"

namespace Line {

QString failureText(const Outcome& outcome, const QString& portName)
{
    switch (outcome.status) {
    case Outcome::Status::Answered:
    case Outcome::Status::Simulation:
    case Outcome::Status::Superseded:
        return QString();
    case Outcome::Status::NoAnswer:
        return noAnswerText(outcome.answer.controller);
    case Outcome::Status::PortError:
        return portErrorText(portName, outcome.portError.text);
    case Outcome::Status::NotChecked:
        return notCheckedText();
    case Outcome::Status::Busy:
        return busyText(outcome.reason);
    case Outcome::Status::Overflow:
        return overflowText();
    }
    return QString();
}

QString notCheckedText()
{
    return QStringLiteral("Bitte zuerst im Programm den Controller prüfen.");
}

QString noAnswerText(int controller)
{
    return QStringLiteral("Controller %1 antwortet nicht.").arg(controller);
}

QString portErrorText(const QString& portName, const QString& error)
{
    return QStringLiteral("Fehler beim Zugriff auf %1: %2").arg(portName, error);
}

QString busyText(const QString& reason)
{
    return reason.isEmpty()
               ? QStringLiteral("Der Controller ist belegt. Bitte später noch einmal.")
               : QStringLiteral("Der Controller ist belegt: %1. Bitte später noch einmal.").arg(reason);
}

QString overflowText()
{
    return QStringLiteral("Zu viele Befehle auf einmal: dieser wurde nicht ausgeführt.");
}

} // namespace Line
