// SPDX-License-Identifier: GPL-3.0-or-later
#include "WiThrottleSession.h"

#include "WiThrottleProtocol.h"

#include <QTcpSocket>

WiThrottleSession::WiThrottleSession(QTcpSocket* socket, int heartbeatSeconds, QObject* parent)
    : QObject(parent), m_socket(socket)
{
    m_socket->setParent(this);
    m_heartbeat.setSingleShot(true);
    m_heartbeat.setInterval(heartbeatSeconds * 1000);
    connect(&m_heartbeat, &QTimer::timeout, this, &WiThrottleSession::heartbeatLost);
    connect(m_socket, &QTcpSocket::readyRead, this, &WiThrottleSession::readLines);
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        m_heartbeat.stop();
        emit disconnected();
    });
}

QString WiThrottleSession::peer() const
{
    // A server listening on every address sees IPv4 phones as "::ffff:a.b.c.d".
    bool v4 = false;
    const quint32 address = m_socket->peerAddress().toIPv4Address(&v4);
    return v4 ? QHostAddress(address).toString() : m_socket->peerAddress().toString();
}

bool WiThrottleSession::isOpen() const
{
    return !m_closing && m_socket->state() == QAbstractSocket::ConnectedState;
}

void WiThrottleSession::send(const QByteArray& lines)
{
    if (isOpen())
        m_socket->write(lines);
}

void WiThrottleSession::close(bool atOnce)
{
    if (m_closing)
        return;
    m_closing = true;
    m_heartbeat.stop();
    if (atOnce)
        m_socket->abort();
    else
        m_socket->disconnectFromHost(); // emits disconnected once the written lines are out
}

void WiThrottleSession::setHeartbeatMonitored(bool on)
{
    if (on)
        m_heartbeat.start();
    else
        m_heartbeat.stop();
}

void WiThrottleSession::readLines()
{
    if (m_closing) {
        m_socket->readAll(); // nothing more is listened to
        return;
    }
    m_buffer += m_socket->readAll();
    if (m_heartbeat.isActive())
        m_heartbeat.start(); // any line keeps the phone's locos alive
    // Cut the lines out first: a line's handler may show a box whose event loop reads on.
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (;;) {
        qsizetype end = start;
        while (end < m_buffer.size() && m_buffer[end] != '\n' && m_buffer[end] != '\r')
            ++end;
        if (end - start > WiThrottle::MaxLineLength) {
            const QByteArray head = m_buffer.mid(start, 60);
            m_buffer.clear();
            emit overlongLine(head);
            return;
        }
        if (end == m_buffer.size())
            break; // the rest of a line still on its way
        if (end > start)
            lines << m_buffer.mid(start, end - start);
        start = end + 1;
    }
    m_buffer.remove(0, start);
    for (const QByteArray& line : lines) {
        if (m_closing)
            return;
        emit lineReceived(line);
    }
}
