// SPDX-License-Identifier: GPL-3.0-or-later
#include "WiThrottleSession.h"

#include "PhoneConnection.h"
#include "WiThrottleAccess.h"
#include "WiThrottleProtocol.h"

#include <QPointer>

#include <utility>

namespace {
qsizetype lineEnd(const QByteArray& buffer, qsizetype from)
{
    for (qsizetype i = from; i < buffer.size(); ++i)
        if (buffer[i] == '\n' || buffer[i] == '\r')
            return i;
    return -1;
}
} // namespace

WiThrottleSession::WiThrottleSession(PhoneConnection* connection, int heartbeatSeconds, QObject* parent)
    : QObject(parent), m_connection(connection)
{
    m_connection->setParent(this);
    m_heartbeat.setSingleShot(true);
    // A coarse timer may fire a twentieth of its interval early.
    m_heartbeat.setTimerType(Qt::PreciseTimer);
    m_heartbeat.setInterval(heartbeatSeconds * 1000);
    connect(&m_heartbeat, &QTimer::timeout, this, [this] {
        m_heartbeatOn = false; // until the phone asks again
        emit heartbeatLost();
    });
    connect(m_connection, &PhoneConnection::readyRead, this, &WiThrottleSession::readLines);
    connect(m_connection, &PhoneConnection::disconnected, this, [this] {
        m_heartbeat.stop();
        emit disconnected();
    });
}

QString WiThrottleSession::peer() const
{
    return m_connection->peer();
}

QString WiThrottleSession::displayName() const
{
    return name.isEmpty() ? peer() : name;
}

bool WiThrottleSession::isOpen() const
{
    return !m_closing && m_connection->isConnected();
}

void WiThrottleSession::send(const QByteArray& lines)
{
    if (!isOpen())
        return;
    if (m_connection->bytesToWrite() + lines.size() > WiThrottle::MaxPendingOutput) {
        // The phone reads nothing: nothing more goes out or is listened to. Aborted from the
        // event loop, since whoever sends may be going through the sessions; its locos stop
        // when the connection is gone.
        m_closing = true;
        m_overflowed = true;
        m_heartbeat.stop();
        QTimer::singleShot(0, m_connection, &PhoneConnection::abort);
        return;
    }
    m_connection->write(lines);
}

void WiThrottleSession::close(bool atOnce)
{
    if (m_closing)
        return;
    m_closing = true;
    m_heartbeat.stop();
    if (atOnce) {
        m_connection->abort();
        return;
    }
    m_connection->close(); // disconnected follows once the written lines are out
    // A phone that reads nothing would keep it open for ever.
    QTimer::singleShot(CloseGraceMs, m_connection, &PhoneConnection::abort);
}

void WiThrottleSession::setHeartbeatMonitored(bool on)
{
    m_heartbeatOn = on && !m_closing;
    if (m_heartbeatOn)
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
        while (m_connection->bytesAvailable() > 0) // nothing more is listened to
            m_connection->read(ReadChunk);
        return;
    }
    // One line after the other, in the order they came: should a line's handler ever let events
    // in, what arrives meanwhile waits in the connection, and this loop takes it in its turn.
    if (m_handling)
        return;
    m_handling = true;
    const QPointer<WiThrottleSession> alive(this);
    qsizetype start = 0;
    while (!m_closing) {
        const qsizetype end = lineEnd(m_buffer, start);
        const qsizetype length = (end < 0 ? m_buffer.size() : end) - start;
        if (length > WiThrottle::MaxLineLength) {
            const QByteArray head = m_buffer.mid(start, 60);
            m_buffer.clear();
            m_handling = false;
            emit overlongLine(head);
            return;
        }
        if (end < 0) {
            if (m_connection->bytesAvailable() <= 0)
                break; // the rest of a line still on its way
            m_buffer.remove(0, start);
            start = 0;
            m_buffer += m_connection->read(ReadChunk);
            continue;
        }
        const QByteArray line = m_buffer.mid(start, end - start);
        start = end + 1;
        if (m_heartbeatOn)
            m_heartbeat.start(); // every line keeps the phone's locos alive
        if (line.isEmpty())
            continue;
        emit lineReceived(line);
        if (!alive)
            return;
    }
    m_buffer.remove(0, qMin(start, m_buffer.size()));
    m_handling = false;
}
