// SPDX-License-Identifier: GPL-3.0-or-later
#include "TurnoutRules.h"

#include "CommandSet.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace Turnouts {

bool operator==(const Turnout& a, const Turnout& b)
{
    return a.name == b.name && a.kind == b.kind && a.decoder == b.decoder && a.port == b.port &&
           a.closedIsOn == b.closedIsOn && a.phones == b.phones;
}

bool operator==(const RouteStep& a, const RouteStep& b)
{
    return a.turnout == b.turnout && a.position == b.position;
}

bool operator==(const Route& a, const Route& b)
{
    return a.name == b.name && a.steps == b.steps;
}

bool operator==(const Layout& a, const Layout& b)
{
    return a.turnouts == b.turnouts && a.routes == b.routes && a.routeGapMs == b.routeGapMs;
}

QStringList kindTexts()
{
    return {QStringLiteral("Weiche"), QStringLiteral("Signal"), QStringLiteral("Sonstiges")};
}

QString kindText(Kind kind)
{
    return kindTexts().value(static_cast<int>(kind));
}

std::optional<Kind> kindOfText(const QString& text)
{
    const int i = kindTexts().indexOf(text);
    return i < 0 ? std::nullopt : std::optional<Kind>(static_cast<Kind>(i));
}

QString positionText(Position position)
{
    switch (position) {
    case Position::Closed:
        return QStringLiteral("gerade");
    case Position::Thrown:
        return QStringLiteral("abzweigend");
    case Position::Unknown:
        break;
    }
    return QStringLiteral("unbekannt");
}

std::optional<Position> positionOfText(const QString& text)
{
    for (Position p : {Position::Closed, Position::Thrown, Position::Unknown})
        if (positionText(p) == text)
            return p;
    return std::nullopt;
}

FrameFields switchFrame(quint8 controller, const Turnout& turnout, Position position)
{
    const bool on = (position == Position::Closed) == turnout.closedIsOn;
    return Request::switchAccessory(controller, static_cast<quint16>(turnout.decoder),
                                    static_cast<quint8>(turnout.port - 1), on);
}

Position toggled(Position position)
{
    return position == Position::Closed ? Position::Thrown : Position::Closed;
}

namespace {
template <typename T> bool nameTaken(const QString& name, const QList<T>& others)
{
    for (const T& other : others)
        if (other.name.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

template <typename T> QString nameProblem(const QString& name, const QList<T>& others)
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("Bitte einen Namen eingeben.");
    if (name.size() > MaxNameLength)
        return QStringLiteral("Der Name ist länger als %1 Zeichen.").arg(MaxNameLength);
    if (nameTaken(name, others))
        return QStringLiteral("Der Name „%1“ ist schon vergeben.").arg(name.trimmed());
    return QString();
}

const Turnout* find(const QList<Turnout>& turnouts, const QString& name)
{
    for (const Turnout& t : turnouts)
        if (t.name == name)
            return &t;
    return nullptr;
}
} // namespace

QString turnoutProblem(const Turnout& turnout, const QList<Turnout>& others)
{
    if (QString problem = nameProblem(turnout.name, others); !problem.isEmpty())
        return problem;
    if (turnout.decoder < LowestDecoder || turnout.decoder > HighestDecoder)
        return QStringLiteral("Die Decoder-ID muss zwischen %1 und %2 liegen.")
            .arg(LowestDecoder)
            .arg(HighestDecoder);
    if (turnout.port < 1 || turnout.port > Ports)
        return QStringLiteral("Der Ausgang muss zwischen 1 und %1 liegen.").arg(Ports);
    return QString();
}

QString routeProblem(const Route& route, const QList<Route>& others, const QList<Turnout>& turnouts)
{
    if (QString problem = nameProblem(route.name, others); !problem.isEmpty())
        return problem;
    if (route.steps.isEmpty())
        return QStringLiteral("Die Fahrstraße braucht mindestens eine Weiche.");
    for (const RouteStep& step : route.steps) {
        if (!find(turnouts, step.turnout))
            return unknownTurnoutText(step.turnout);
        if (step.position == Position::Unknown)
            return QStringLiteral("Für „%1“ fehlt die Stellung.").arg(step.turnout);
    }
    return QString();
}

QString removalProblem(const QString& turnout, const QList<Route>& routes)
{
    for (const Route& route : routes)
        for (const RouteStep& step : route.steps)
            if (step.turnout == turnout)
                return QStringLiteral("„%1“ gehört zur Fahrstraße „%2“. Bitte zuerst die Fahrstraße ändern.")
                    .arg(turnout, route.name);
    return QString();
}

void renameInRoutes(QList<Route>& routes, const QString& from, const QString& to)
{
    for (Route& route : routes)
        for (RouteStep& step : route.steps)
            if (step.turnout == from)
                step.turnout = to;
}

int boundedRouteGap(int ms)
{
    return qBound(0, ms, HighestRouteGapMs);
}

bool routeIsSet(const Route& route, const QList<Turnout>& turnouts, const QList<Position>& positions)
{
    for (const RouteStep& step : route.steps) {
        const Turnout* t = find(turnouts, step.turnout);
        if (!t || positions.value(int(t - turnouts.constData()), Position::Unknown) != step.position)
            return false;
    }
    return !route.steps.isEmpty();
}

QByteArray toJson(const Layout& layout)
{
    QJsonArray turnouts;
    for (const Turnout& t : layout.turnouts)
        turnouts.append(QJsonObject{{"name", t.name},
                                    {"kind", kindText(t.kind)},
                                    {"decoder", t.decoder},
                                    {"port", t.port},
                                    {"closed", t.closedIsOn ? "ein" : "aus"},
                                    {"phones", t.phones}});
    QJsonArray routes;
    for (const Route& r : layout.routes) {
        QJsonArray steps;
        for (const RouteStep& s : r.steps)
            steps.append(QJsonObject{{"turnout", s.turnout}, {"position", positionText(s.position)}});
        routes.append(QJsonObject{{"name", r.name}, {"steps", steps}});
    }
    return QJsonDocument(
               QJsonObject{{"turnouts", turnouts}, {"routes", routes}, {"routeGapMs", layout.routeGapMs}})
        .toJson();
}

Reading fromJson(const QByteArray& json)
{
    Reading reading;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (!document.isObject()) {
        reading.problems << QStringLiteral("Die Datei ist keine Weichentabelle: %1").arg(error.errorString());
        return reading;
    }
    const QJsonObject root = document.object();
    Layout& layout = reading.layout;
    layout.routeGapMs = boundedRouteGap(root.value("routeGapMs").toInt(DefaultRouteGapMs));
    for (const QJsonValue value : root.value("turnouts").toArray()) {
        const QJsonObject o = value.toObject();
        Turnout t;
        t.name = o.value("name").toString().trimmed();
        const auto kind = kindOfText(o.value("kind").toString());
        t.kind = kind.value_or(Kind::Other);
        t.decoder = o.value("decoder").toInt(-1);
        t.port = o.value("port").toInt(-1);
        t.closedIsOn = o.value("closed").toString() != QLatin1String("aus");
        t.phones = o.value("phones").toBool(true);
        const QString problem = turnoutProblem(t, layout.turnouts);
        if (problem.isEmpty())
            layout.turnouts << t;
        else
            reading.problems << QStringLiteral("Weiche „%1“ ausgelassen: %2").arg(t.name, problem);
    }
    for (const QJsonValue value : root.value("routes").toArray()) {
        const QJsonObject o = value.toObject();
        Route r;
        r.name = o.value("name").toString().trimmed();
        for (const QJsonValue s : o.value("steps").toArray())
            r.steps << RouteStep{
                s.toObject().value("turnout").toString(),
                positionOfText(s.toObject().value("position").toString()).value_or(Position::Unknown)};
        const QString problem = routeProblem(r, layout.routes, layout.turnouts);
        if (problem.isEmpty())
            layout.routes << r;
        else
            reading.problems << QStringLiteral("Fahrstraße „%1“ ausgelassen: %2").arg(r.name, problem);
    }
    return reading;
}

QString switchedText(const Turnout& turnout, Position position)
{
    return QStringLiteral("„%1“ steht %2.").arg(turnout.name, positionText(position));
}

QString notSwitchedText(const QString& turnout, const QString& why)
{
    return QStringLiteral("„%1“ wurde nicht geschaltet: %2").arg(turnout, why);
}

QString routeSetText(const Route& route)
{
    return QStringLiteral("Fahrstraße „%1“ gestellt.").arg(route.name);
}

QString routeStoppedText(const QString& route, const QString& turnout, const QString& why)
{
    return QStringLiteral("Fahrstraße „%1“ angehalten: „%2“ wurde nicht geschaltet: %3")
        .arg(route, turnout, why);
}

QString unknownTurnoutText(const QString& name)
{
    return QStringLiteral("Eine Weiche „%1“ gibt es nicht.").arg(name);
}

QString routeRunningText()
{
    return QStringLiteral("Eine Fahrstraße wird gerade gestellt. Bitte warten.");
}

} // namespace Turnouts
