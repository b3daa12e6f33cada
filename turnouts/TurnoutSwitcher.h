// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Switches turnouts and sets routes for one source of frames (the window, a phone, a browser):
// each frame waits its turn on the line like any other of that source, a route's frames go one
// after another with the table's gap between them, and a route stops at the first turnout that
// did not switch. Whoever asked hears the result.

#include "TurnoutRules.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

class LineClient;
class QTimer;
class TurnoutTable;
struct Outcome;

class TurnoutSwitcher : public QObject
{
    Q_OBJECT

public:
    struct Result
    {
        bool ok = false;
        QString text;          // what the user is told
        QString failedTurnout; // the turnout that did not switch, if one did not
    };
    using Done = std::function<void(const Result&)>;

    TurnoutSwitcher(TurnoutTable& table, LineClient& source, QObject* parent = nullptr);
    // The switcher a remote source keeps in `slot`, made at its first use as a child of `owner`:
    // most phones and pages never switch anything.
    static TurnoutSwitcher& madeOnce(TurnoutSwitcher*& slot, TurnoutTable& table, LineClient& source,
                                     QObject* owner);

    void switchTurnout(const QString& name, Turnouts::Position position, const Done& done = {});
    void toggle(const QString& name, const Done& done = {});
    void setRoute(const QString& name, Done done = {});

private:
    struct RouteRun
    {
        Turnouts::Route route;
        int next = 0;
        Done done;
    };
    void sendStep();
    // The frame through the source; `then` hears whether it went through and why not.
    void send(const Turnouts::Turnout& turnout, Turnouts::Position position,
              const std::function<void(const QString& why)>& then);

    TurnoutTable& m_table;
    LineClient& m_source;
    QTimer* m_gap;
    std::optional<RouteRun> m_route;
};
