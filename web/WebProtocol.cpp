// SPDX-License-Identifier: GPL-3.0-or-later
#include "WebProtocol.h"

#include "TaktoraVersion.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace Web {

namespace {

Message invalid(const char* why)
{
    Message m;
    m.why = QString::fromUtf8(why);
    return m;
}

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonObject typed(const char* type, const QJsonValue& data)
{
    return QJsonObject{{QStringLiteral("type"), QLatin1String(type)}, {QStringLiteral("data"), data}};
}

// "F0" to "F12" -> 0 to 12.
std::optional<int> functionKey(const QString& key)
{
    if (key.size() < 2 || key.size() > 3 || key[0] != QLatin1Char('F'))
        return std::nullopt;
    bool ok = false;
    const int n = key.mid(1).toInt(&ok);
    return ok && n >= 0 && n <= HighestFunction && key.mid(1) == QString::number(n) ? std::optional<int>(n)
                                                                                    : std::nullopt;
}

Message throttle(const QJsonObject& data)
{
    Message m;
    m.kind = Kind::Throttle;
    m.throttle = data.value(QStringLiteral("throttle")).toString();
    if (m.throttle.isEmpty() || m.throttle.size() > 32)
        return invalid("Regler ohne Namen");
    for (auto it = data.begin(); it != data.end(); ++it) {
        const QString key = it.key();
        const QJsonValue v = it.value();
        if (key == QLatin1String("throttle")) {
            continue;
        } else if (key == QLatin1String("address")) {
            const double a = v.toDouble(-1);
            if (!v.isDouble() || a != std::floor(a) || a < 1 || a > HighestAddress)
                return invalid("ungültige Adresse");
            m.address = int(a);
        } else if (key == QLatin1String("speed")) {
            if (!v.isDouble() || !std::isfinite(v.toDouble()) || v.toDouble() > 1)
                return invalid("ungültige Geschwindigkeit");
            m.speed = v.toDouble();
        } else if (key == QLatin1String("forward")) {
            if (!v.isBool())
                return invalid("ungültige Richtung");
            m.forward = v.toBool();
        } else if (key == QLatin1String("release")) {
            m.release = true;
        } else if (key == QLatin1String("status")) {
            m.status = true;
        } else if (const auto f = functionKey(key)) {
            if (!v.isBool())
                return invalid("ungültige Funktion");
            m.functions.insert(*f, v.toBool());
        }
        // Other keys of the wider protocol (speed steps, names) change nothing here.
    }
    return m;
}

} // namespace

Message parseMessage(const QByteArray& text)
{
    if (text.size() > MaxMessageBytes)
        return invalid("Nachricht zu lang");
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (!document.isObject())
        return invalid("kein JSON-Objekt");
    const QJsonObject object = document.object();
    const QString type = object.value(QStringLiteral("type")).toString();
    const QJsonObject data = object.value(QStringLiteral("data")).toObject();
    Message m;
    if (type == QLatin1String("hello")) {
        m.kind = Kind::Hello;
        m.client = data.value(QStringLiteral("client")).toString().left(64);
        m.name = data.value(QStringLiteral("name")).toString().simplified().left(60);
    } else if (type == QLatin1String("ping")) {
        m.kind = Kind::Ping;
    } else if (type == QLatin1String("goodbye")) {
        m.kind = Kind::Goodbye;
    } else if (type == QLatin1String("estop")) {
        m.kind = Kind::EmergencyStop;
    } else if (type == QLatin1String("roster") || type == QLatin1String("turnouts") ||
               type == QLatin1String("routes")) {
        m.kind = Kind::List;
        m.list = type;
    } else if (type == QLatin1String("power")) {
        m.kind = Kind::Power;
        m.state = data.value(QStringLiteral("state")).toInt(-1);
        if (m.state != On && m.state != Off) { // a question for the state
            m.kind = Kind::List;
            m.list = type;
        }
    } else if (type == QLatin1String("throttle")) {
        return throttle(data);
    } else if (type == QLatin1String("turnout") || type == QLatin1String("route")) {
        m.kind = type == QLatin1String("turnout") ? Kind::Turnout : Kind::Route;
        m.name = data.value(QStringLiteral("name")).toString();
        m.state = data.value(QStringLiteral("state")).toInt(-1);
        const bool valid = m.kind == Kind::Turnout ? (m.state == On || m.state == Off) : m.state == On;
        if (!valid || m.name.isEmpty())
            return invalid("ungültiger Zustand");
    } else {
        return invalid("unbekannter Typ");
    }
    return m;
}

QByteArray helloMessage(const QString& approval, bool powerAllowed, bool turnoutsAllowed)
{
    return compact(typed(
        "hello", QJsonObject{{"product", QString::fromUtf8(TaktoraVersion::ProductName)},
                             {"version",
                              QStringLiteral("%1.%2").arg(TaktoraVersion::Major).arg(TaktoraVersion::Minor)},
                             {"heartbeat", 10000},
                             {"approval", approval},
                             {"powerAllowed", powerAllowed},
                             {"turnoutsAllowed", turnoutsAllowed}}));
}

QByteArray pongMessage()
{
    return compact(QJsonObject{{"type", "pong"}});
}

QByteArray errorMessage(int code, const QString& text)
{
    return compact(typed("error", QJsonObject{{"code", code}, {"message", text}}));
}

QByteArray powerMessage(std::optional<bool> on)
{
    return compact(typed("power", QJsonObject{{"state", on ? (*on ? On : Off) : Unknown}}));
}

QByteArray rosterMessage(const QList<RosterItem>& roster)
{
    QJsonArray entries;
    for (const RosterItem& r : roster) {
        QJsonArray keys;
        for (int f = 0; f <= HighestFunction; ++f)
            keys.append(QJsonObject{{"name", QStringLiteral("F%1").arg(f)},
                                    {"label", r.labels.value(f)},
                                    {"lockable", !r.momentary.value(f, false)}});
        entries.append(typed("rosterEntry", QJsonObject{{"name", r.name},
                                                        {"address", QString::number(r.address)},
                                                        {"isLongAddress", r.address > 127},
                                                        {"functionKeys", keys}}));
    }
    return compact(QJsonObject{{"type", "roster"}, {"data", entries}});
}

QByteArray throttleMessage(const QString& throttle, const ThrottleFields& fields)
{
    QJsonObject data{{"throttle", throttle}};
    if (fields.address)
        data.insert("address", *fields.address);
    if (fields.speed)
        data.insert("speed", std::round(*fields.speed * 1000) / 1000);
    if (fields.forward)
        data.insert("forward", *fields.forward);
    for (auto it = fields.functions.cbegin(); it != fields.functions.cend(); ++it)
        data.insert(QStringLiteral("F%1").arg(it.key()), it.value());
    return compact(typed("throttle", data));
}

QByteArray releasedMessage(const QString& throttle)
{
    return compact(typed("throttle", QJsonObject{{"throttle", throttle}, {"release", QJsonValue::Null}}));
}

namespace {
QJsonObject itemObject(const char* item, const ListedItem& listed)
{
    return typed(
        item,
        QJsonObject{{"name", listed.systemName}, {"userName", listed.userName}, {"state", listed.state}});
}
} // namespace

QByteArray itemMessage(const char* item, const ListedItem& listed)
{
    return compact(itemObject(item, listed));
}

QByteArray listMessage(const char* list, const char* item, const QList<ListedItem>& items)
{
    QJsonArray array;
    for (const ListedItem& i : items)
        array.append(itemObject(item, i));
    return compact(QJsonObject{{"type", QLatin1String(list)}, {"data", array}});
}

} // namespace Web
