// SPDX-License-Identifier: GPL-3.0-or-later
// The phones' turnouts and routes: the ones the user marked for phones, listed by index, switched
// through each phone's own source on the line, and every change told to every phone, whoever
// made it (the window, a phone, a browser).

#include "TurnoutSwitcher.h"
#include "TurnoutTable.h"
#include "WiThrottleServer.h"
#include "WiThrottleSession.h"

#include <QPointer>

using namespace WiThrottle;
using Turnouts::Position;

namespace {

int phoneState(Position position)
{
    switch (position) {
    case Position::Closed:
        return TurnoutClosed;
    case Position::Thrown:
        return TurnoutThrown;
    case Position::Unknown:
        break;
    }
    return TurnoutUnknown;
}

QList<ListedItem> listedTurnouts(const TurnoutTable& table)
{
    QList<ListedItem> list;
    for (const TurnoutTable::Remote& t : table.remoteTurnouts())
        list << ListedItem{turnoutSystemName(t.index), t.name, phoneState(t.position)};
    return list;
}

QList<ListedItem> listedRoutes(const TurnoutTable& table)
{
    QList<ListedItem> list;
    for (const TurnoutTable::Remote& r : table.remoteRoutes())
        list << ListedItem{routeSystemName(r.index), r.name, r.set ? RouteSet : RouteNotSet};
    return list;
}

} // namespace

void WiThrottleServer::setTurnouts(TurnoutTable* table)
{
    if (m_turnouts)
        disconnect(m_turnouts, nullptr, this, nullptr);
    m_turnouts = table;
    if (m_turnouts) {
        connect(m_turnouts, &TurnoutTable::changed, this, &WiThrottleServer::tellTurnouts);
        connect(m_turnouts, &TurnoutTable::positionChanged, this,
                [this](const QString& turnout) { turnoutMoved(turnout); });
    }
    tellTurnouts();
}

QByteArray WiThrottleServer::turnoutLines() const
{
    // Where phones may not switch, they are shown nothing to switch.
    const bool shown = m_turnouts && m_access.allowTurnouts;
    return turnoutTitlesLine() + turnoutListLine(shown ? listedTurnouts(*m_turnouts) : QList<ListedItem>()) +
           routeTitlesLine() + routeListLine(shown ? listedRoutes(*m_turnouts) : QList<ListedItem>());
}

void WiThrottleServer::tellTurnouts()
{
    const QByteArray lines = turnoutLines();
    for (WiThrottleSession* s : std::as_const(m_sessions))
        s->send(lines);
}

void WiThrottleServer::turnoutMoved(const QString& turnout)
{
    if (!m_turnouts || !m_access.allowTurnouts)
        return;
    QByteArray lines;
    for (const ListedItem& t : listedTurnouts(*m_turnouts))
        if (t.name == turnout)
            lines += turnoutStateLine(t);
    // A route is set while each of its turnouts stands as it sets it: any move may change that.
    for (const ListedItem& r : listedRoutes(*m_turnouts))
        lines += routeStateLine(r);
    for (WiThrottleSession* s : std::as_const(m_sessions))
        s->send(lines);
}

void WiThrottleServer::switchTurnout(WiThrottleSession* session, const WiThrottle::Line& line,
                                     const QByteArray& text)
{
    const auto index = turnoutIndex(line.text);
    const Turnouts::Turnout* turnout = m_turnouts && index && *index < m_turnouts->turnouts().size()
                                           ? &m_turnouts->turnouts()[*index]
                                           : nullptr;
    if (!m_access.allowTurnouts || !m_turnouts)
        return refuse(session, text, turnoutsNotAllowedText());
    if (!turnout || !m_turnouts->remoteMaySwitch(*index))
        return refuse(session, text, turnoutNotForPhonesText());
    TurnoutSwitcher& switcher =
        TurnoutSwitcher::madeOnce(session->turnouts, *m_turnouts, *session->line, session);
    if (line.value == Toggle)
        switcher.toggle(turnout->name, refusalOnFailure(session, text));
    else
        switcher.switchTurnout(turnout->name, line.value == Close ? Position::Closed : Position::Thrown,
                               refusalOnFailure(session, text));
}

void WiThrottleServer::setRoute(WiThrottleSession* session, const WiThrottle::Line& line,
                                const QByteArray& text)
{
    const auto index = routeIndex(line.text);
    if (!m_access.allowTurnouts || !m_turnouts)
        return refuse(session, text, turnoutsNotAllowedText());
    if (!index || !m_turnouts->remoteMaySet(*index))
        return refuse(session, text, routeNotForPhonesText());
    TurnoutSwitcher::madeOnce(session->turnouts, *m_turnouts, *session->line, session)
        .setRoute(m_turnouts->routes()[*index].name, refusalOnFailure(session, text));
}

TurnoutSwitcher::Done WiThrottleServer::refusalOnFailure(WiThrottleSession* session, const QByteArray& text)
{
    // The phone may have gone by the time the Controller answered.
    const QPointer<WiThrottleSession> alive(session);
    return [this, alive, text](const TurnoutSwitcher::Result& result) {
        if (alive && !result.ok)
            refuse(alive.data(), text, result.text);
    };
}
