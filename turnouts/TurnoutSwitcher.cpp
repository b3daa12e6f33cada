// SPDX-License-Identifier: GPL-3.0-or-later
#include "TurnoutSwitcher.h"

#include "ControllerLink.h"
#include "LineClient.h"
#include "OutcomeText.h"
#include "TurnoutTable.h"

#include <QTimer>

using namespace Turnouts;

TurnoutSwitcher::TurnoutSwitcher(TurnoutTable& table, LineClient& source, QObject* parent)
    : QObject(parent), m_table(table), m_source(source), m_gap(new QTimer(this))
{
    m_gap->setSingleShot(true);
    connect(m_gap, &QTimer::timeout, this, &TurnoutSwitcher::sendStep);
}

TurnoutSwitcher& TurnoutSwitcher::madeOnce(TurnoutSwitcher*& slot, TurnoutTable& table, LineClient& source,
                                           QObject* owner)
{
    if (!slot)
        slot = new TurnoutSwitcher(table, source, owner);
    return *slot;
}

void TurnoutSwitcher::send(const Turnout& turnout, Position position,
                           const std::function<void(const QString&)>& then)
{
    const auto controller = m_source.link().checkedController();
    if (!controller)
        return then(Line::notCheckedText());
    const QPointer<TurnoutSwitcher> alive(this);
    const QString name = turnout.name;
    m_source.submit(switchFrame(*controller, turnout, position),
                    [this, alive, name, position, then](const Outcome& outcome) {
                        if (!alive)
                            return;
                        // Simulation mode sends nothing: the position stays unknown.
                        if (outcome.answered())
                            m_table.setPosition(name, position);
                        then(Line::failureText(outcome, m_source.link().portName()));
                    });
}

void TurnoutSwitcher::switchTurnout(const QString& name, Position position, const Done& done)
{
    const int i = m_table.indexOf(name);
    if (i < 0) {
        if (done)
            done(Result{false, unknownTurnoutText(name), name});
        return;
    }
    const Turnout turnout = m_table.turnouts()[i];
    send(turnout, position, [turnout, position, done](const QString& why) {
        if (done)
            done(why.isEmpty() ? Result{true, switchedText(turnout, position), QString()}
                               : Result{false, notSwitchedText(turnout.name, why), turnout.name});
    });
}

void TurnoutSwitcher::toggle(const QString& name, const Done& done)
{
    switchTurnout(name, toggled(m_table.position(name)), done);
}

void TurnoutSwitcher::setRoute(const QString& name, Done done)
{
    const int i = m_table.routeIndexOf(name);
    if (i < 0 || m_route) {
        if (done)
            done(Result{false,
                        m_route ? routeRunningText()
                                : QStringLiteral("Eine Fahrstraße „%1“ gibt es nicht.").arg(name),
                        QString()});
        return;
    }
    m_route = RouteRun{m_table.routes()[i], 0, std::move(done)};
    sendStep();
}

void TurnoutSwitcher::sendStep()
{
    RouteRun& run = *m_route;
    const auto finish = [this](const Result& result) {
        const Done done = std::move(m_route->done);
        m_route.reset();
        if (done)
            done(result);
    };
    if (run.next >= run.route.steps.size())
        return finish(Result{true, routeSetText(run.route), QString()});
    const RouteStep step = run.route.steps[run.next++];
    const int t = m_table.indexOf(step.turnout);
    // The table may have changed since the route started: a turnout gone is a failed step.
    if (t < 0)
        return finish(Result{false,
                             routeStoppedText(run.route.name, step.turnout, unknownTurnoutText(step.turnout)),
                             step.turnout});
    const QString route = run.route.name;
    send(m_table.turnouts()[t], step.position, [this, route, step, finish](const QString& why) {
        if (!why.isEmpty())
            return finish(Result{false, routeStoppedText(route, step.turnout, why), step.turnout});
        // Decoders draw current while they switch: the next one waits for the gap.
        m_gap->start(m_table.layout().routeGapMs);
    });
}
