// SPDX-License-Identifier: GPL-3.0-or-later
#include "TurnoutTable.h"

#include "LinkTools.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

using namespace Turnouts;

TurnoutTable::TurnoutTable(const QString& folder, QObject* parent) : QObject(parent), m_folder(folder)
{}

QString TurnoutTable::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString TurnoutTable::filePath() const
{
    return QDir(m_folder).filePath(QStringLiteral("turnouts.json"));
}

QStringList TurnoutTable::load()
{
    QFile file(filePath());
    if (!file.exists()) {
        m_layout = Layout();
        emit changed();
        return {};
    }
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(filePath()), file.errorString())};
    Reading reading = fromJson(file.readAll());
    m_layout = reading.layout;
    emit changed();
    return reading.problems;
}

int TurnoutTable::indexOf(const QString& turnout) const
{
    for (int i = 0; i < m_layout.turnouts.size(); ++i)
        if (m_layout.turnouts[i].name == turnout)
            return i;
    return -1;
}

int TurnoutTable::routeIndexOf(const QString& route) const
{
    for (int i = 0; i < m_layout.routes.size(); ++i)
        if (m_layout.routes[i].name == route)
            return i;
    return -1;
}

QString TurnoutTable::save(const Layout& layout)
{
    if (!QDir().mkpath(m_folder))
        return QStringLiteral("Der Ordner %1 kann nicht angelegt werden.")
            .arg(QDir::toNativeSeparators(m_folder));
    if (const QString why = WriteWholeFile(filePath(), toJson(layout)); !why.isEmpty())
        return QStringLiteral("Die Weichentabelle %1 konnte nicht gespeichert werden: %2")
            .arg(QDir::toNativeSeparators(filePath()), why);
    m_layout = layout;
    emit changed();
    return QString();
}

Position TurnoutTable::position(const QString& turnout) const
{
    return m_positions.value(turnout, Position::Unknown);
}

QList<Position> TurnoutTable::positions() const
{
    QList<Position> list;
    for (const Turnout& t : m_layout.turnouts)
        list << position(t.name);
    return list;
}

bool TurnoutTable::routeIsSet(const QString& route) const
{
    const int i = routeIndexOf(route);
    return i >= 0 && Turnouts::routeIsSet(m_layout.routes[i], m_layout.turnouts, positions());
}

void TurnoutTable::setPosition(const QString& turnout, Position position)
{
    m_positions.insert(turnout, position);
    emit positionChanged(turnout, position);
}

bool TurnoutTable::remoteMaySwitch(int turnout) const
{
    return turnout >= 0 && turnout < m_layout.turnouts.size() && m_layout.turnouts[turnout].phones;
}

bool TurnoutTable::remoteMaySet(int route) const
{
    if (route < 0 || route >= m_layout.routes.size())
        return false;
    for (const RouteStep& step : m_layout.routes[route].steps)
        if (!remoteMaySwitch(indexOf(step.turnout)))
            return false;
    return true;
}

QList<TurnoutTable::Remote> TurnoutTable::remoteTurnouts() const
{
    QList<Remote> list;
    for (int i = 0; i < m_layout.turnouts.size(); ++i)
        if (remoteMaySwitch(i))
            list << Remote{i, m_layout.turnouts[i].name, position(m_layout.turnouts[i].name), false};
    return list;
}

QList<TurnoutTable::Remote> TurnoutTable::remoteRoutes() const
{
    QList<Remote> list;
    for (int i = 0; i < m_layout.routes.size(); ++i)
        if (remoteMaySet(i))
            list << Remote{i, m_layout.routes[i].name, Position::Unknown,
                           routeIsSet(m_layout.routes[i].name)};
    return list;
}
