// SPDX-License-Identifier: GPL-3.0-or-later
#include "WiThrottleSession.h"

#include "WiThrottleProtocol.h"

#include <QPointer>
#include <QTcpSocket>

#include <utility>

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

QString WiThrottleSession::displayName() const
{
    return name.isEmpty() ? peer() : name;
}

bool WiThrottleSession::isOpen() const
{
    return !m_closing && m_socket->state() == QAbstractSocket::ConnectedState;
}

void WiThrottleSession::send(const QByteArray& lines)
{
    if (!isOpen())
        return;
    if (m_socket->bytesToWrite() > MaxPendingOutput) {
        // Nothing more goes out or is listened to; aborted from the event loop, since whoever
        // sends may be going through the sessions.
        m_closing = true;
        m_heartbeat.stop();
        QTimer::singleShot(0, m_socket, &QTcpSocket::abort);
        return;
    }
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

bool WiThrottleSession::mayNote()
{
    if (!m_noteSecond.isValid() || m_noteSecond.hasExpired(1000)) {
        m_noteSecond.start();
        m_notes = 0;
    }
    if (m_notes < NotesPerSecond) {
        ++m_notes;
        return true;
    }
    ++m_unnoted;
    return false;
}

int WiThrottleSession::takeUnnoted()
{
    return std::exchange(m_unnoted, 0);
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
    // One line after the other, in the order they came: should a line's handler ever let events
    // in, what arrives meanwhile only joins the buffer, and this loop takes it in its turn.
    if (m_handling)
        return;
    m_handling = true;
    const QPointer<WiThrottleSession> alive(this);
    qsizetype start = 0;
    while (!m_closing) {
        qsizetype end = start;
        while (end < m_buffer.size() && m_buffer[end] != '\n' && m_buffer[end] != '\r')
            ++end;
        if (end - start > WiThrottle::MaxLineLength) {
            const QByteArray head = m_buffer.mid(start, 60);
            m_buffer.clear();
            m_handling = false;
            emit overlongLine(head);
            return;
        }
        if (end == m_buffer.size()) {
            // The socket tells of bytes only once per call: take what came during the handlers.
            if (m_socket->bytesAvailable() > 0) {
                m_buffer += m_socket->readAll();
                continue;
            }
            break; // the rest of a line still on its way
        }
        const QByteArray line = m_buffer.mid(start, end - start);
        start = end + 1;
        if (line.isEmpty())
            continue;
        emit lineReceived(line);
        if (!alive)
            return;
    }
    m_buffer.remove(0, qMin(start, m_buffer.size()));
    m_handling = false;
}
