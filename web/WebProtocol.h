// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The browser throttle's messages as plain functions: a subset of the JSON WebSocket messages
// that JMRI's web throttles speak, so clients written for those work here too, and the lines the
// program answers with. No sockets, no widgets: every rule can be checked and fuzzed on its own.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace Web {

// A message longer than this is not read: no page sends one, a flood would eat memory.
constexpr int MaxMessageBytes = 8192;
constexpr int HighestFunction = 12;
constexpr int HighestAddress = 10239;
constexpr int DefaultPort = 12080;
// A page pings every 10 s; one silent for this long has gone.
constexpr int SilenceSeconds = 30;
constexpr int HelloSeconds = 10;
// Messages of one page a second beyond this are dropped: a slider sends ten.
constexpr int MessagesPerSecond = 60;
// Unsent messages to one page beyond this: the page reads nothing, its connection goes.
constexpr qint64 MaxPendingBytes = qint64{256} * 1024;

enum class Kind { Invalid, Hello, Ping, Goodbye, Power, EmergencyStop, List, Throttle, Turnout, Route };

struct Message
{
    Kind kind = Kind::Invalid;
    QString why;    // of an invalid message, for the traffic monitor
    QString list;   // "roster", "turnouts", "routes"
    QString client; // hello: the page's token
    QString name;   // hello: the page's name; turnout, route: the system name
    int state = -1; // power, turnout, route: 2 on/closed/set, 4 off/thrown
    // throttle
    QString throttle;
    std::optional<int> address;
    std::optional<double> speed; // 0 to 1; below 0 stops the loco
    std::optional<bool> forward;
    QMap<int, bool> functions;
    bool release = false;
    bool status = false;
};

Message parseMessage(const QByteArray& text);

// JMRI's states.
constexpr int On = 2;
constexpr int Off = 4;
constexpr int Unknown = 0;

struct RosterItem
{
    QString name;
    int address = 0;
    QStringList labels;    // F0 to F12, empty where the roster has none
    QList<bool> momentary; // F0 to F12
};
struct ListedItem
{
    QString systemName;
    QString userName;
    int state = Unknown;
};

QByteArray helloMessage(const QString& approval, bool powerAllowed, bool turnoutsAllowed);
QByteArray pongMessage();
QByteArray errorMessage(int code, const QString& text);
QByteArray powerMessage(std::optional<bool> on);
QByteArray rosterMessage(const QList<RosterItem>& roster);
// The whole state of a throttle's loco, or only what changed (fields left out stay as they were).
struct ThrottleFields
{
    std::optional<int> address;
    std::optional<double> speed;
    std::optional<bool> forward;
    QMap<int, bool> functions;
};
QByteArray throttleMessage(const QString& throttle, const ThrottleFields& fields);
QByteArray releasedMessage(const QString& throttle);
QByteArray listMessage(const char* list, const char* item, const QList<ListedItem>& items);
QByteArray itemMessage(const char* item, const ListedItem& listed);

} // namespace Web
