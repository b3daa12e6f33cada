// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The phone throttles' line protocol as plain functions: what a line from a phone asks for, and
// the lines the program answers with. No sockets, no widgets, so every rule can be checked and
// fuzzed on its own.

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace WiThrottle {

// A line longer than this closes its connection: no phone sends one, a flood would eat memory.
constexpr int MaxLineLength = 4096;
constexpr int HighestFunction = 12;    // the Controller switches F0 to F12
constexpr int HighestPhoneSpeed = 126; // phones send speeds 0 to 126
constexpr int HighestAddress = 10239;  // the longest DCC address
constexpr int HighestShortAddress = 127;
constexpr int DefaultPort = 12090;
constexpr int DefaultHeartbeatSeconds = 10;

enum class LineKind {
    Empty,
    Malformed,   // ignored and logged
    Refused,     // understood and not carried out: logged, and the phone is told why (text)
    Unsupported, // a command of the protocol that the program does not offer; text: the alert, if any
    Heartbeat,   // "*"
    HeartbeatOn, // "*+"
    HeartbeatOff,
    Name,       // "N<name>"
    HardwareId, // "HU<id>"
    Quit,       // "Q"
    Power,      // "PPA<0|1>", value
    Acquire,    // "M<t>+<key><;><address or E roster name>"
    Release,    // "M<t>-<key><;>r"
    Action,     // "M<t>A<key><;><action>"
    Turnout,    // "PTA<C|T|2><system name>": text the system name, value a TurnoutCommand
    Route,      // "PRA2<system name>": text the system name
};

enum TurnoutCommand { Toggle = 0, Close = 2, Throw = 4 };
// The states phones know turnouts and routes by.
enum TurnoutState { TurnoutUnknown = 1, TurnoutClosed = 2, TurnoutThrown = 4 };
enum RouteState { RouteUnknown = 0, RouteSet = 2, RouteNotSet = 4 };

enum class Action {
    None,
    Speed,          // V<0..126>, value
    Direction,      // R<0|1>, value 1 forward
    Function,       // F<1 pressed|0 released><n>, function and pressed
    ForceFunction,  // f<1|0><n>
    EmergencyStop,  // X
    Idle,           // I
    SpeedStepMode,  // s<mode>, value
    QuerySpeed,     // qV
    QueryDirection, // qR
    Ignored,        // known, changes nothing here (momentary setting, release inside an action)
};

struct Line
{
    LineKind kind = LineKind::Malformed;
    QString text;      // name, id, roster name of an acquire, or why a line is malformed or refused
    char throttle = 0; // the multi-throttle's key character
    QString key;       // "S3", "L341", or "*" for every loco of the throttle
    int address = -1;  // of the key, or of an acquire's address element; -1 for "*"
    Action action = Action::None;
    int value = 0;        // speed, direction, mode, power
    int function = -1;    // F, f
    bool pressed = false; // F, f
};

// One line as it came, without its line end.
Line parseLine(const QByteArray& line);

// "S3" for a short address (1 to 127), "L341" for a long one.
QString addressKey(int address);

// Speeds: a phone's 0 to 126 against the Controller's speed byte 0 to 255.
quint8 controllerSpeed(int phoneSpeed);
int phoneSpeed(quint8 controllerSpeed);
// The protocol's speed-step mode (1 = 128, 2 = 28, 8 = 14) for a speed-step code of the loco
// configuration; 128 for a loco without one (not configured, or not defined).
int phoneSpeedStepMode(quint8 speedStepCode);

struct RosterEntry
{
    int address = 0;
    quint8 speedStepCode = 0;
    QString name; // the loco roster's name; empty without an entry
};
// The name a phone lists and acquires a loco by: its roster name without the protocol's
// separators, or "Lok 3".
QString displayName(const RosterEntry& entry);

// A turnout or route as phones list it: the system name they switch it by, the user's name.
struct ListedItem
{
    QString systemName;
    QString name;
    int state = 0;
};
QString turnoutSystemName(int index); // "LT1"
QString routeSystemName(int index);   // "IR1"
// The index a system name stands for; none for a name of the other kind or of no entry.
std::optional<int> turnoutIndex(const QString& systemName);
std::optional<int> routeIndex(const QString& systemName);

// Replies, each a complete line.
QByteArray versionLine();
QByteArray serverTypeLine();
QByteArray serverDescriptionLine();
QByteArray rosterLine(const QList<RosterEntry>& roster);
QString rosterName(int address); // "Lok 3"
QByteArray powerLine(std::optional<bool> on);
QByteArray turnoutTitlesLine();
QByteArray turnoutListLine(const QList<ListedItem>& turnouts);
QByteArray turnoutStateLine(const ListedItem& turnout);
QByteArray routeTitlesLine();
QByteArray routeListLine(const QList<ListedItem>& routes);
QByteArray routeStateLine(const ListedItem& route);
QByteArray heartbeatLine(int seconds);
QByteArray alertLine(const QString& text); // shown by the phone as an alert
QByteArray infoLine(const QString& text);
QByteArray acquiredLine(char throttle, const QString& key);
QByteArray releasedLine(char throttle, const QString& key);
// The labels of F0 to F12; an empty one is "Licht" for F0 and "F<n>" for the others.
QByteArray functionLabelsLine(char throttle, const QString& key, const QStringList& labels = {});
// "M<t>A<key><;>" and the state, e.g. "V63", "R1", "F10", "s2".
QByteArray stateLine(char throttle, const QString& key, const QByteArray& state);
QByteArray speedState(quint8 controllerSpeed);
QByteArray directionState(bool forward);
QByteArray functionState(int function, bool on);

// Texts of the alerts.
QString functionNotAvailableText(int function);
QString heartbeatLostText();
QString shortAddressText(int address);
QString addressMismatchText(const QString& key, const QString& loco);
QString unknownLocoText(const QString& rosterName);
QString notSupportedText(const QString& what); // "Mehrfachtraktionen" ...
QString turnoutsNotAllowedText();
QString turnoutNotForPhonesText();
QString routeNotForPhonesText();

} // namespace WiThrottle
