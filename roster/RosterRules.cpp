// SPDX-License-Identifier: GPL-3.0-or-later
#include "RosterRules.h"

#include <QRegularExpression>

namespace Roster {

bool isValidNumber(int number)
{
    return number >= FirstNumber && number <= LastNumber;
}

bool isValidMaxSpeed(int percent)
{
    return percent >= 0 && percent <= FullSpeed;
}

bool defaultLongAddress(int number)
{
    return number > LastShortAddress;
}

QString entryProblem(const Entry& entry, const QList<Entry>& others)
{
    if (entry.id.trimmed().isEmpty())
        return QStringLiteral("Die Lok braucht einen Namen.");
    if (entryForName(others, entry.id))
        return QStringLiteral("Der Name \"") + entry.id + QStringLiteral("\" ist schon vergeben.");
    if (!isValidNumber(entry.number))
        return QStringLiteral("Die Loknummer muss zwischen 1 und 10239 liegen.");
    if (!entry.longAddress && entry.number > LastShortAddress)
        return QStringLiteral("Eine kurze Adresse reicht nur bis 127.");
    if (!isValidMaxSpeed(entry.maxSpeed))
        return QStringLiteral("Die Höchstgeschwindigkeit muss zwischen 0 und 100 % liegen.");
    return QString();
}

QString listText(int number, const QString& name)
{
    const QString digits = QString::number(number);
    return name.isEmpty() ? digits : digits + QStringLiteral(" – ") + name;
}

QString numberOfListText(const QString& text)
{
    const int dash = text.indexOf(QStringLiteral(" – "));
    return dash < 0 ? text : text.left(dash);
}

quint8 cappedSpeed(quint8 speedValue, int maxSpeedPercent)
{
    const int percent = qBound(0, maxSpeedPercent, FullSpeed);
    const int cap = (255 * percent + FullSpeed / 2) / FullSpeed;
    return static_cast<quint8>(qMin<int>(speedValue, cap));
}

QString fileNameFor(const QString& id, const QStringList& taken)
{
    // JMRI's own rule: characters a file system may refuse become underscores.
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._\\- ]"));
    QString base = QString(id).replace(unsafe, QStringLiteral("_")).trimmed();
    if (base.isEmpty())
        base = QStringLiteral("lok");
    QString name = base + QStringLiteral(".xml");
    for (int n = 2; taken.contains(name, Qt::CaseInsensitive); ++n)
        name = base + QLatin1Char('_') + QString::number(n) + QStringLiteral(".xml");
    return name;
}

const Entry* entryForNumber(const QList<Entry>& entries, int number)
{
    for (const Entry& e : entries)
        if (e.number == number)
            return &e;
    return nullptr;
}

const Entry* entryForName(const QList<Entry>& entries, const QString& name)
{
    for (const Entry& e : entries)
        if (e.id.compare(name, Qt::CaseInsensitive) == 0)
            return &e;
    return nullptr;
}

MergeCount merge(QList<Entry>& mine, const QList<Entry>& imported)
{
    MergeCount count;
    for (const Entry& in : imported) {
        auto same = std::find_if(mine.begin(), mine.end(), [&](const Entry& e) {
            return e.id.compare(in.id, Qt::CaseInsensitive) == 0;
        });
        if (same != mine.end()) {
            const QString file = same->fileName;
            *same = in;
            same->fileName = file;
            ++count.replaced;
            continue;
        }
        QStringList taken;
        for (const Entry& e : mine)
            taken << e.fileName;
        Entry added = in;
        added.fileName = fileNameFor(in.id, taken);
        mine.append(added);
        ++count.added;
    }
    return count;
}

QList<int> numbersWithoutEntry(const QList<int>& configured, const QList<Entry>& entries)
{
    QList<int> numbers;
    for (int n : configured)
        if (isValidNumber(n) && !entryForNumber(entries, n) && !numbers.contains(n))
            numbers << n;
    return numbers;
}

Entry newEntry(int number, const QList<Entry>& entries)
{
    Entry e;
    e.number = number;
    e.longAddress = defaultLongAddress(number);
    const QString base = QStringLiteral("Lok ") + QString::number(number);
    e.id = base;
    for (int n = 2; entryForName(entries, e.id); ++n)
        e.id = base + QStringLiteral(" (") + QString::number(n) + QLatin1Char(')');
    return e;
}

QString keyText(const QString& key, const QString& label, int room)
{
    return label.isEmpty() || label.size() > room ? key : label;
}

QString functionKindText(bool momentary)
{
    return momentary ? QStringLiteral("Taster") : QStringLiteral("Schalter");
}

QString functionTooltip(int function, const Function& f)
{
    QString key = QStringLiteral("F") + QString::number(function);
    if (f.label.isEmpty() && !f.momentary)
        return key;
    QString text = key;
    if (!f.label.isEmpty())
        text += QStringLiteral(": ") + f.label;
    if (f.momentary)
        text += QStringLiteral(" (Taster)");
    return text;
}

QList<QPair<int, int>> plainCvs(const Entry& entry)
{
    QList<QPair<int, int>> cvs;
    for (const auto& [name, value] : entry.cvValues) {
        bool cvOk = false;
        bool valueOk = false;
        const int cv = name.toInt(&cvOk);
        const int v = value.toInt(&valueOk);
        if (cvOk && valueOk && cv >= 1 && cv <= 1023 && v >= 0 && v <= 255)
            cvs.append(qMakePair(cv, v));
    }
    return cvs;
}

void setPlainCvs(Entry& entry, const QList<QPair<int, int>>& cvs)
{
    for (const auto& [cv, value] : cvs) {
        const QString name = QString::number(cv);
        auto it = std::find_if(entry.cvValues.begin(), entry.cvValues.end(),
                               [&](const QPair<QString, QString>& p) { return p.first == name; });
        if (it != entry.cvValues.end())
            it->second = QString::number(value);
        else
            entry.cvValues.append(qMakePair(name, QString::number(value)));
    }
}

} // namespace Roster
