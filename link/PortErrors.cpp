// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortErrors.h"

#include "SerialPortInterface.h"

QString portErrorDescription(int number)
{
    switch (number) {
    case PortErrorNumber::DeviceUnavailable:
        return QStringLiteral("Das Gerät ist nicht verfügbar. Es wurde entfernt oder wird von einem anderen "
                              "Programm benutzt.");
    case PortErrorNumber::PermissionDenied:
#ifdef Q_OS_WIN
        return QStringLiteral(
            "Zugriff verweigert. Die Schnittstelle wird von einem anderen Programm benutzt.");
#else
        return QStringLiteral("Zugriff verweigert. Ihr Benutzer muss der Gruppe angehören, der das Gerät "
                              "gehört (meist „dialout“): sudo usermod -aG dialout IHR_BENUTZERNAME, danach "
                              "neu anmelden.");
#endif
    case PortErrorNumber::InvalidPortNumber:
        return QStringLiteral("Ungültige Schnittstellennummer. Diese Schnittstelle gibt es nicht.");
    case PortErrorNumber::PortAlreadyOpen:
        return QStringLiteral("Die Schnittstelle ist bereits geöffnet.");
    case PortErrorNumber::PortNotOpen:
        return QStringLiteral("Die Schnittstelle ist nicht geöffnet.");
    case PortErrorNumber::ReadFailed:
        return QStringLiteral("Von der Schnittstelle konnte nicht gelesen werden. Ist das Kabel noch "
                              "eingesteckt?");
    case PortErrorNumber::WriteFailed:
        return QStringLiteral("Auf die Schnittstelle konnte nicht geschrieben werden. Ist das Kabel noch "
                              "eingesteckt?");
    default:
        return QStringLiteral("Unbekannter Fehler an der Schnittstelle.");
    }
}

QString openErrorText(const QString& portName, const PortError& error)
{
    QString text = QStringLiteral("Fehler beim Zugriff auf ") + portName + QStringLiteral("\n\n(Fehler ") +
                   QString::number(error.number);
    if (error.number == PortErrorNumber::DeviceUnavailable ||
        error.number == PortErrorNumber::InvalidPortNumber)
        return text + QStringLiteral(" - Schnittstelle nicht verfügbar)");
    return text + QStringLiteral(" - ") + error.text + QStringLiteral(")");
}
