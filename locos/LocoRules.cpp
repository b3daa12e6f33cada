// SPDX-License-Identifier: GPL-3.0-or-later
#include "LocoRules.h"

#include "CommandSet.h"
#include "sysList.h"

namespace Locos {

namespace {
const QString kSeparator = QStringLiteral("#");
constexpr quint8 ForwardBit = 0x80;
} // namespace

QString listKey(int locoNumber)
{
    return QStringLiteral("L") + QStringLiteral("%1").arg(locoNumber, 5, 10, QLatin1Char('0'));
}

clsLoco locoFromEntry(quint8 data1, quint8 data2, quint8 data3)
{
    const quint16 number = wordFromBytes(data1, data2);
    clsLoco loco;
    // A number above 32767 cannot be a loco; the list refuses the record (see LocoConfiguration).
    loco.setLocoNumber(static_cast<qint16>(number));
    loco.setListKey(listKey(number));
    loco.setSpeedStepMode(data3 & LocoEntry::SpeedStepMask);
    loco.setDirection((data3 & ForwardBit) ? 1 : 0);
    return loco;
}

QString locoNodeKey(int locoNumber)
{
    return QString::number(locoNumber) + kSeparator;
}

QString speedStepNodeKey(int locoNumber)
{
    return locoNodeKey(locoNumber) + QStringLiteral("fs");
}

QString directionNodeKey(int locoNumber)
{
    return locoNodeKey(locoNumber) + QStringLiteral("fr");
}

int locoNumberOfNodeKey(const QString& key)
{
    return sysListEntry(1, key, kSeparator).toInt();
}

QString locoNodeText(const clsLoco& loco)
{
    return QString::number(loco.LocoNumber());
}

QString speedStepNodeText(const clsLoco& loco)
{
    QString steps;
    switch (loco.SpeedStepMode()) {
    case SpeedSteps::Steps14:
        steps = QStringLiteral("14");
        break;
    case SpeedSteps::Steps28:
        steps = QStringLiteral("28");
        break;
    case SpeedSteps::Steps126:
        steps = QStringLiteral("126");
        break;
    default:
        steps = QStringLiteral("undef.");
        break;
    }
    return steps + QStringLiteral(" Fahrstufen");
}

QString directionNodeText(const clsLoco& loco)
{
    QString direction;
    if (loco.Direction() == 1)
        direction = QStringLiteral("vorwärts");
    else if (loco.Direction() == 0)
        direction = QStringLiteral("rückwärts");
    return QStringLiteral("Fahrtrichtung: ") + direction;
}

QString speedStepTextOfButton(const QString& buttonKey)
{
    return buttonKey.mid(3);
}

quint8 speedStepCodeOfText(const QString& speedStepText)
{
    if (speedStepText.compare(QStringLiteral("28"), Qt::CaseInsensitive) == 0)
        return SpeedSteps::Steps28;
    if (speedStepText.compare(QStringLiteral("126"), Qt::CaseInsensitive) == 0)
        return SpeedSteps::Steps126;
    return SpeedSteps::Steps14;
}

QString locoQuestionTitle(int locoNumber)
{
    return QStringLiteral("Lok ") + QString::number(locoNumber);
}

QString deleteQuestion(int locoNumber)
{
    return QStringLiteral("Möchten Sie Lok-Nummer ") + QString::number(locoNumber) +
           QStringLiteral(" aus der Konfiguration löschen ?");
}

QString speedStepQuestion(const QString& speedStepText)
{
    return QStringLiteral("Geschwindigkeit auf ") + speedStepText + QStringLiteral(" Fahrstufen anpassen ?");
}

QString restartQuestionTitle()
{
    return QStringLiteral("Controller-Neustart");
}

QString restartQuestion()
{
    return QStringLiteral("Möchten Sie zur Aktivierung der neuen Lok-Einstellungen ") +
           QStringLiteral("den Controller neu starten ?");
}

QString windowCaption()
{
    return QStringLiteral("Lok-Konfiguration / Programmierung");
}

} // namespace Locos
