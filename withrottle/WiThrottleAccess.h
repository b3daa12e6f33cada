// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Who may drive from a phone, what a phone may do, and what the server costs at most, as plain
// functions: the server asks them, the dialog and the status bar show what they say.

#include <QHostAddress>
#include <QString>
#include <QStringList>

#include <optional>

namespace WiThrottle {

// What the server lets phones do; the settings hold it (WiThrottleSettings.h).
struct Access
{
    bool approval = true;      // a device the program does not know waits until the PC approves it
    QStringList devices;       // the ids of the approved devices
    bool allowPower = true;    // phones switch the track power
    bool allowTurnouts = true; // phones switch the turnouts marked for them, and routes of those
    int maxSpeedPercent = 100; // the phones' full speed, in percent of the Controller's
    int maxConnections = 32;
};
inline bool operator==(const Access& a, const Access& b)
{
    return a.approval == b.approval && a.devices == b.devices && a.allowPower == b.allowPower &&
           a.allowTurnouts == b.allowTurnouts && a.maxSpeedPercent == b.maxSpeedPercent &&
           a.maxConnections == b.maxConnections;
}
inline bool operator!=(const Access& a, const Access& b)
{
    return !(a == b);
}

constexpr int LowestMaxSpeed = 1;
constexpr int HighestMaxConnections = 64;
// Unsent output of one connection beyond this: the phone reads nothing, its connection goes.
constexpr qint64 MaxPendingOutput = qint64{256} * 1024;
// A connection that has not said who it is by then is closed.
constexpr int IdentifySeconds = 10;
// Locos one connection holds at once: more than any phone shows, few enough that a connection
// acquiring every address on every throttle costs no more than a handful.
constexpr int MaxHeldLocos = 32;

// "a, b,c" -> {"a", "b", "c"}: blanks around the ids and empty entries left out, each id once.
QStringList parseDeviceList(const QString& text);
QString deviceListText(const QStringList& devices);
// Whether an id can be kept in the comma-separated list as it is.
bool storableId(const QString& id);
// Ids compare without regard to case; no id is never approved.
bool isApproved(const QString& id, const QStringList& devices);
// Whether a connection may drive: approval off, approved for this connection, or its id approved.
bool mayDrive(const Access& access, const QString& id, bool approvedForConnection);

// The speed cap works as a shorter scale on the phone's slider: its full travel reaches the cap,
// half of it half the cap, and a phone is told the speed of a loco on that same scale.
quint8 speedCapValue(int percent); // the Controller's speed value at the cap
quint8 cappedSpeed(int phoneSpeed, int percent);
int phoneSpeedUnderCap(quint8 controllerSpeed, int percent);

// Settings as they are stored, read back; what is out of range is brought into it.
int boundedMaxSpeed(int percent);
int boundedMaxConnections(int count);
// Empty: every network of the computer. None: not an address of any kind.
std::optional<QHostAddress> listenAddress(const QString& text);

// The status bar's panel while the server listens.
struct ServerStatus
{
    bool listening = false;
    QString address; // empty: every network
    quint16 port = 0;
    int driving = 0;     // connected and allowed to drive
    int waiting = 0;     // connected, named and waiting for approval
    quint16 webPort = 0; // the browsers' page, 0 while it is not served
};
QString statusPanelText(const ServerStatus& status);
QString statusPanelTip(const ServerStatus& status);

// Alerts and notes.
QString approvalNeededText();
QString approvedText();
QString rejectedText();
QString powerNotAllowedText();
QString tooManyConnectionsText(int limit);
QString tooManyLocosText(int limit);

} // namespace WiThrottle
