// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LayoutState.h"
#include "TurnoutSwitcher.h"
#include "WebProtocol.h"
#include "WiThrottleAccess.h"

#include <QHostAddress>
#include <QList>
#include <QObject>

#include <optional>

class ControllerLink;
class LineClient;
class LocoRoster;
class QHttpServer;
class QTcpServer;
class QWebSocket;
class TurnoutTable;
class WebSession;
struct Outcome;

// The browser throttle: serves its page and, on `/json`, a WebSocket per page that speaks the
// messages of WebProtocol.h. Each page is a source on the Controller line of its own, like a
// phone; what a page is told of a loco, the power and the turnouts is what the line and the table
// know, whoever changed it. It keeps the phones' door: a page drives once the user has approved
// its token (unless approval is off), within the same permissions, speed cap and limits.
class WebThrottleServer : public QObject
{
    Q_OBJECT

public:
    WebThrottleServer(ControllerLink& link, QObject* parent);
    ~WebThrottleServer() override;

    bool listen(quint16 port, const QHostAddress& address = QHostAddress::Any);
    void close();
    bool isListening() const;
    quint16 port() const;
    QString errorString() const { return m_error; }

    void setAccess(const WiThrottle::Access& access);
    const WiThrottle::Access& access() const { return m_access; }
    void setRoster(const LocoRoster* roster) { m_roster = roster; }
    void setTurnouts(TurnoutTable* table);

    // Serves a connection that did not come through the port (a test's); beyond the limit it is
    // closed at once. Takes the socket over.
    void attach(QWebSocket* socket);

    struct BrowserInfo
    {
        quint64 number = 0;
        QString name;
        QString address;
        QList<int> locos;
        bool waiting = false; // greeted, and not yet approved
    };
    QList<BrowserInfo> browsers() const;
    // The user's answer to a waiting page: approved (its token kept in access().devices), or
    // rejected and disconnected.
    bool approve(quint64 number);
    bool reject(quint64 number);

signals:
    void browsersChanged();
    // The access changed here (a page approved): the phones' server and the settings follow.
    void accessChanged(const WiThrottle::Access& access);

private:
    void accept();
    void dropped(WebSession* session);
    bool mayDrive(const WebSession* session) const;
    QString approvalState(const WebSession* session) const;
    void handle(WebSession* session, const QByteArray& text);
    void greet(WebSession* session, const Web::Message& m);
    void answerList(WebSession* session, const QString& list);
    QByteArray rosterMessage() const;
    // The Controller's loco configuration, read once per check when no one has read it yet.
    void readRoster();
    void throttle(WebSession* session, const Web::Message& m);
    void switchTurnout(WebSession* session, const Web::Message& m);
    void setRoute(WebSession* session, const Web::Message& m);
    // What a switch or route tells the asking page when it did not go through.
    TurnoutSwitcher::Done refusalOnFailure(WebSession* session);
    void submit(WebSession* session, const FrameFields& request);
    std::optional<quint8> requireChecked(WebSession* session);
    void refuse(WebSession* session, int code, const QString& why, const QByteArray& text);
    void note(WebSession* session, const QByteArray& text, const QString& reason);
    void stopAndRelease(WebSession* session);
    Web::ThrottleFields fieldsOf(const LocoState& state) const;
    QByteArray turnoutsMessage() const;
    QByteArray routesMessage() const;
    void tellAll(const QByteArray& message);

    // What the line and the table report.
    void locoChanged(quint8 controller, quint16 loco, const LocoState& state);
    void turnoutMoved(const QString& turnout);

    ControllerLink& m_link;
    QHttpServer* m_http;
    QTcpServer* m_tcp = nullptr;
    LineClient* m_rosterReader;
    bool m_rosterReading = false;
    QList<WebSession*> m_sessions;
    WiThrottle::Access m_access;
    const LocoRoster* m_roster = nullptr;
    TurnoutTable* m_turnouts = nullptr;
    quint64 m_lastNumber = 0;
    QString m_error;
};
