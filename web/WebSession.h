// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>

class LineClient;
class QWebSocket;
class TurnoutSwitcher;

// One browser page's connection: its WebSocket, its own source on the Controller line, the locos
// its throttles hold, and the watch that closes it when it falls silent.
class WebSession : public QObject
{
    Q_OBJECT

public:
    WebSession(QWebSocket* socket, QObject* parent);

    void send(const QByteArray& message);
    void close();
    QString peer() const;
    // The name the page gave, else its address.
    QString displayName() const;
    // Whether another message may be served this second; a flood is dropped, not queued.
    bool mayServe();
    int takeDropped();

    quint64 number = 0;
    QString token; // the page's own id, kept in its browser
    QString name;
    bool greeted = false;
    bool approvedHere = false;
    QMap<QString, int> throttles; // "T1" -> loco address
    LineClient* line = nullptr;
    TurnoutSwitcher* turnouts = nullptr;

signals:
    void messageReceived(const QByteArray& message);
    void silent();
    void overflowed();
    void disconnected();

private:
    QWebSocket* m_socket;
    QTimer m_silence;
    QElapsedTimer m_second;
    int m_served = 0;
    int m_dropped = 0;
    qint64 m_pending = 0; // handed to the socket and not yet written
    bool m_overflowed = false;
};
