// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LayoutState.h"
#include "TurnoutSwitcher.h"
#include "WiThrottleAccess.h"
#include "WiThrottleProtocol.h"

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>

#include <functional>
#include <optional>

class ControllerLink;
class LineClient;
class LocoRoster;
class PhoneConnection;
class QTcpServer;
class ServiceAdvertiser;
class TurnoutTable;
class WiThrottleSession;
struct Outcome;

// The phone throttles' server: listens on the GUI thread, one session per phone, each with its
// own source on the Controller line. A phone's commands wait their turn there and it hears of
// their failures; what a phone is told of a loco and of the track power is what the line knows,
// whoever changed it: the window, the keyboard or another phone.
// Anyone on the network can reach it, so it keeps its door: a device drives once the user has
// approved it (unless approval is off), within the permissions of WiThrottle::Access; a device
// has one connection, a new one takes over from the old; and the connections, their input and
// their unsent output are bounded.
class WiThrottleServer : public QObject
{
    Q_OBJECT

public:
    WiThrottleServer(ControllerLink& link, QObject* parent);
    ~WiThrottleServer() override;

    // Any address by default, so phones on the layout's network reach it; tests pass 127.0.0.1.
    bool listen(quint16 port, const QHostAddress& address = QHostAddress::Any);
    void close();
    bool isListening() const;
    quint16 port() const;
    QHostAddress address() const;
    QString errorString() const { return m_error; }
    void setHeartbeatSeconds(int seconds) { m_heartbeatSeconds = seconds; }
    int heartbeatSeconds() const { return m_heartbeatSeconds; }
    // How long a new connection has to send its name or id.
    void setIdentifyMs(int ms) { m_identifyMs = ms; }
    ServiceAdvertiser* advertiser() const { return m_advertiser; }

    // Takes effect at once: a phone that may no longer drive has its locos stopped and is told.
    void setAccess(const WiThrottle::Access& access);
    const WiThrottle::Access& access() const { return m_access; }

    // The loco roster whose names, labels, push-button functions and top speeds phones get.
    void setRoster(const LocoRoster* roster) { m_locoRoster = roster; }
    // The turnouts and routes phones list and switch (WiThrottleTurnouts.cpp).
    void setTurnouts(TurnoutTable* table);

    // Serves a connection that did not come through the port (the fuzzer's); beyond the limit of
    // connections it is closed at once. Takes the connection over.
    bool attach(PhoneConnection* connection);

    struct PhoneInfo
    {
        quint64 number = 0;
        QString name;
        QString id;
        QString address;
        QList<int> locos;
        bool waiting = false; // named, and not yet approved
    };
    QList<PhoneInfo> phones() const;
    WiThrottle::ServerStatus status() const;

    // The user's answer to a waiting phone: approved (its id is kept in access().devices; a phone
    // without one for this connection only), or rejected and disconnected. False when no phone of
    // that number waits.
    bool approve(quint64 number);
    bool reject(quint64 number);

signals:
    // The phones, their locos, their approval, or whether the server listens.
    void phonesChanged();

private:
    void accept();
    void dropped(WiThrottleSession* session);
    bool mayDrive(const WiThrottleSession* session) const;
    bool isWaiting(const WiThrottleSession* session) const;
    // Refuses the line of a phone that is not approved; true when it may go on.
    bool admitted(WiThrottleSession* session, const QByteArray& text);
    void identify(WiThrottleSession* session, const QString& id);
    // The phone has come back on a new connection: the old one goes, its locos stay running.
    void replace(WiThrottleSession* old, WiThrottleSession* now);
    WiThrottleSession* session(quint64 number) const;
    // "V63" for a loco at that speed, on the phones' scale under the speed cap.
    QByteArray phoneSpeedState(quint8 controllerSpeed) const;
    void greet(WiThrottleSession* session);
    void handle(WiThrottleSession* session, const QByteArray& text);
    void rename(WiThrottleSession* session, const QString& name);
    void acquire(WiThrottleSession* session, const WiThrottle::Line& line, const QByteArray& text);
    void release(WiThrottleSession* session, char throttle, const QString& key);
    void act(WiThrottleSession* session, const WiThrottle::Line& line, const QString& key, int loco,
             const QByteArray& text);
    void answerQuestions(WiThrottleSession* session);
    void switchPower(WiThrottleSession* session, bool on, const QByteArray& text);
    // Sends the request through the phone's source; a failure is told to the phone and noted.
    void submit(WiThrottleSession* session, const FrameFields& request, const QByteArray& text,
                const std::function<void(WiThrottleSession*, const Outcome&)>& then = {});
    void failed(WiThrottleSession* session, const QByteArray& text, const Outcome& outcome);
    void stopAndRelease(WiThrottleSession* session);
    std::optional<quint8> requireChecked(WiThrottleSession* session);
    // Tells the phone why its line is not carried out, and notes the line for the monitor.
    void refuse(WiThrottleSession* session, const QByteArray& text, const QString& why);
    void note(WiThrottleSession* session, const QByteArray& text, const QString& reason);
    // The lines of a flood that were left out of the monitor, as one line.
    void noteUnnoted(WiThrottleSession* session);

    // Turnouts and routes (WiThrottleTurnouts.cpp).
    QByteArray turnoutLines() const;
    void tellTurnouts();
    void turnoutMoved(const QString& turnout);
    void switchTurnout(WiThrottleSession* session, const WiThrottle::Line& line, const QByteArray& text);
    void setRoute(WiThrottleSession* session, const WiThrottle::Line& line, const QByteArray& text);
    // What a switch or route tells the asking phone when it did not go through.
    TurnoutSwitcher::Done refusalOnFailure(WiThrottleSession* session, const QByteArray& text);

    // The roster is the loco configuration the line last read completely.
    QList<WiThrottle::RosterEntry> roster() const;
    // A push-button ("Taster") function of the loco in the loco roster.
    bool isMomentary(int address, int function) const;
    // "s1", "s2" or "s8": the loco's speed steps from the configuration, as the phone knows them.
    QByteArray speedStepState(int address) const;
    // A read of the roster is on its way, so a phone's greeting waits for it.
    bool rosterComing() const;
    void tellRoster(WiThrottleSession* session);
    void readRosterSoon();
    void readRoster();

    // What the line reports.
    // The phones drive the Controller the window has checked.
    bool drives(quint8 controller) const;
    void locoChanged(quint8 controller, quint16 loco, const LocoState& state, const LineClient* origin);
    void allLocosStopped(quint8 controller, const LineClient* origin);
    void powerChanged(quint8 controller, bool on, const LineClient* origin);
    void locoStatesForgotten(quint8 controller);
    void checkChanged();
    void locoEntriesChanged(quint8 controller);
    // Tells every phone holding the loco, except the one whose request it was.
    void tellHolders(quint16 loco, const LocoState& before, const LocoState& now, const LineClient* origin);
    void forgetUnheld();

    ControllerLink& m_link;
    LineClient* m_rosterReader;
    QTcpServer* m_server;
    ServiceAdvertiser* m_advertiser;
    QList<WiThrottleSession*> m_sessions;
    // The line's state of each loco a phone holds, as of its last change: a change is told to
    // the phones as what it changed, not as the whole state.
    QHash<Line::LocoKey, LocoState> m_told;
    bool m_rosterQueued = false;
    bool m_rosterReading = false;
    std::optional<quint8> m_rosterTried; // read once per check
    int m_heartbeatSeconds = WiThrottle::DefaultHeartbeatSeconds;
    int m_identifyMs = WiThrottle::IdentifySeconds * 1000;
    WiThrottle::Access m_access;
    const LocoRoster* m_locoRoster = nullptr;
    TurnoutTable* m_turnouts = nullptr;
    quint64 m_lastNumber = 0;
    QString m_error;
};
