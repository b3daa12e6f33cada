// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "WiThrottleChannel.h"
#include "WiThrottleProtocol.h"

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>

#include <optional>

class QTcpServer;
class ServiceAdvertiser;
class WiThrottleSession;

// The phone throttles' server: listens on the GUI thread, one session per phone, and turns every
// line into the main window's own actions through its channel. Changes on the window and from
// other phones come back to every phone that holds the loco.
class WiThrottleServer : public QObject
{
    Q_OBJECT

public:
    WiThrottleServer(WiThrottleChannel& channel, QObject* parent);
    ~WiThrottleServer() override;

    // Any address by default, so phones on the layout's network reach it; tests pass 127.0.0.1.
    bool listen(quint16 port, const QHostAddress& address = QHostAddress::Any);
    void close();
    bool isListening() const;
    quint16 port() const;
    QString errorString() const { return m_error; }
    void setHeartbeatSeconds(int seconds) { m_heartbeatSeconds = seconds; }
    int heartbeatSeconds() const { return m_heartbeatSeconds; }
    ServiceAdvertiser* advertiser() const { return m_advertiser; }

    struct PhoneInfo
    {
        QString name;
        QString address;
        QList<int> locos;
    };
    QList<PhoneInfo> phones() const;

    // What the window reports: a change of one of its throttles, of the load circuit, the
    // global stop, and a new check of the Controller.
    void reportSpeed(quint16 loco, quint8 speed);
    void reportDirection(quint16 loco, bool forward);
    void reportFunction(quint16 loco, int function, bool on);
    void reportPower(bool on);
    void reportAllStopped();
    void reportControllerChecked();

signals:
    void phonesChanged();
    // A line that was not understood, for the traffic monitor.
    void lineIgnored(const QString& peer, const QString& line, const QString& reason);

private:
    void accept();
    void greet(WiThrottleSession* session);
    void handle(WiThrottleSession* session, const QByteArray& text);
    void acquire(WiThrottleSession* session, const WiThrottle::Line& line, const QByteArray& text);
    // Tells the phone why its line is not carried out, and logs the line for the monitor.
    void refuse(WiThrottleSession* session, const QByteArray& text, const QString& why);
    // "s1", "s2" or "s8": the loco's speed steps from the configuration, as the phone knows them.
    QByteArray speedStepState(int address);
    void release(WiThrottleSession* session, char throttle, const QString& key);
    void act(WiThrottleSession* session, const WiThrottle::Line& line, const QString& key, int loco);
    bool drive(quint16 loco, const ThrottleAction& action);
    void stopAndRelease(WiThrottleSession* session);
    bool requireChecked(WiThrottleSession* session);
    const QList<WiThrottle::RosterEntry>& roster();
    PhoneLocoState& state(quint16 loco);
    // Tells every phone holding the loco, except the one whose command caused the change.
    void update(quint16 loco, const PhoneLocoState& now);
    void sendToHolders(quint16 loco, const QByteArray& state, WiThrottleSession* except);

    WiThrottleChannel& m_channel;
    QTcpServer* m_server;
    ServiceAdvertiser* m_advertiser;
    QList<WiThrottleSession*> m_sessions;
    QHash<quint16, PhoneLocoState> m_states;
    std::optional<QList<WiThrottle::RosterEntry>> m_roster;
    std::optional<bool> m_power;
    WiThrottleSession* m_origin = nullptr;
    int m_heartbeatSeconds = WiThrottle::DefaultHeartbeatSeconds;
    QString m_error;
};
