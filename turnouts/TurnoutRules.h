// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Turnouts, signals and routes as plain data and functions: what an entry is, which frame sets
// it, whether the user's input holds, how the table is stored. The Controller reports no
// accessory state, so a turnout's position is only ever what was last sent to it.

#include "Frame.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace Turnouts {

enum class Kind { Turnout, Signal, Other };
enum class Position { Unknown, Closed, Thrown };

constexpr int LowestDecoder = 1;
constexpr int HighestDecoder = 511; // the accessory panels' range
constexpr int Ports = 4;
constexpr int MaxNameLength = 60;
constexpr int DefaultRouteGapMs = 100;
constexpr int HighestRouteGapMs = 5000;

struct Turnout
{
    QString name;
    Kind kind = Kind::Turnout;
    int decoder = 1;
    int port = 1;           // 1 to 4, as printed on the decoder
    bool closedIsOn = true; // "gerade" is the output switched on, "abzweigend" switched off
    bool phones = true;     // phones and browsers may switch it
};

struct RouteStep
{
    QString turnout;
    Position position = Position::Closed;
};

struct Route
{
    QString name;
    QList<RouteStep> steps; // set in this order
};

struct Layout
{
    QList<Turnout> turnouts;
    QList<Route> routes;
    int routeGapMs = DefaultRouteGapMs;
};

bool operator==(const Turnout& a, const Turnout& b);
bool operator==(const RouteStep& a, const RouteStep& b);
bool operator==(const Route& a, const Route& b);
bool operator==(const Layout& a, const Layout& b);

QString kindText(Kind kind);             // "Weiche", "Signal", "Sonstiges"
QString positionText(Position position); // "gerade", "abzweigend", "unbekannt"
QStringList kindTexts();
std::optional<Kind> kindOfText(const QString& text);
std::optional<Position> positionOfText(const QString& text);

// The frame that sets the turnout: its port switched on or off, whichever means the position.
FrameFields switchFrame(quint8 controller, const Turnout& turnout, Position position);
// The position a toggle goes to: from "gerade" to "abzweigend", from anything else to "gerade".
Position toggled(Position position);

// What is wrong with the entry as the user typed it; empty when nothing is. `others` are the
// table's other entries, whose names it must not repeat.
QString turnoutProblem(const Turnout& turnout, const QList<Turnout>& others);
QString routeProblem(const Route& route, const QList<Route>& others, const QList<Turnout>& turnouts);
// A turnout that a route sets cannot go: the route would set nothing in its place.
QString removalProblem(const QString& turnout, const QList<Route>& routes);
// Routes follow a turnout's new name.
void renameInRoutes(QList<Route>& routes, const QString& from, const QString& to);

int boundedRouteGap(int ms);

// Whether every turnout of the route stands as the route sets it.
bool routeIsSet(const Route& route, const QList<Turnout>& turnouts, const QList<Position>& positions);

// The table as stored (JSON), and read back tolerantly: an entry that does not hold is left out
// and named in `problems`; a file that is no table at all leaves an empty layout.
QByteArray toJson(const Layout& layout);
struct Reading
{
    Layout layout;
    QStringList problems;
};
Reading fromJson(const QByteArray& json);

// Texts of the operations.
QString switchedText(const Turnout& turnout, Position position);
QString notSwitchedText(const QString& turnout, const QString& why);
QString routeSetText(const Route& route);
QString routeStoppedText(const QString& route, const QString& turnout, const QString& why);
QString unknownTurnoutText(const QString& name);
QString routeRunningText();

} // namespace Turnouts
