// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>

class QTcpSocket;

// One phone's connection: splits what arrives into lines, watches the heartbeat once the phone
// has asked for it, and remembers which locos the phone holds on which of its throttles.
class WiThrottleSession : public QObject
{
    Q_OBJECT

public:
    WiThrottleSession(QTcpSocket* socket, int heartbeatSeconds, QObject* parent);

    void send(const QByteArray& lines);
    // Gracefully after what was sent, or at once, dropping what waits in either direction.
    void close(bool atOnce = false);
    QString peer() const;
    bool isOpen() const;

    QString name;
    QString id;
    // throttle character -> key ("S3") -> loco address
    QMap<char, QMap<QString, int>> locos;

    void setHeartbeatMonitored(bool on);

signals:
    void lineReceived(const QByteArray& line);
    void overlongLine(const QByteArray& start);
    void heartbeatLost();
    void disconnected();

private:
    void readLines();

    QTcpSocket* m_socket;
    QByteArray m_buffer;
    QTimer m_heartbeat;
    bool m_closing = false;
};
