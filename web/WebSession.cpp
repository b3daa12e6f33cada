// SPDX-License-Identifier: GPL-3.0-or-later
#include "WebSession.h"

#include "WebProtocol.h"

#include <QWebSocket>

#include <algorithm>

WebSession::WebSession(QWebSocket* socket, QObject* parent) : QObject(parent), m_socket(socket)
{
    m_socket->setParent(this);
    m_socket->setMaxAllowedIncomingMessageSize(Web::MaxMessageBytes);
    m_socket->setMaxAllowedIncomingFrameSize(Web::MaxMessageBytes);
    m_silence.setSingleShot(true);
    m_silence.setInterval(Web::HelloSeconds * 1000);
    connect(&m_silence, &QTimer::timeout, this, &WebSession::silent);
    m_silence.start();
    m_second.start();
    connect(m_socket, &QWebSocket::textMessageReceived, this, [this](const QString& text) {
        m_silence.start(Web::SilenceSeconds * 1000);
        emit messageReceived(text.toUtf8());
    });
    connect(m_socket, &QWebSocket::binaryMessageReceived, this, [this](const QByteArray& data) {
        m_silence.start(Web::SilenceSeconds * 1000);
        emit messageReceived(data);
    });
    connect(m_socket, &QWebSocket::disconnected, this, &WebSession::disconnected);
    // Written counts the frames' headers too, so the count may dip below what was handed over.
    connect(m_socket, &QWebSocket::bytesWritten, this,
            [this](qint64 written) { m_pending = std::max<qint64>(0, m_pending - written); });
}

void WebSession::send(const QByteArray& message)
{
    // A page that reads nothing would let its unsent messages grow without end: it goes.
    if (m_overflowed || m_pending > Web::MaxPendingBytes) {
        if (!std::exchange(m_overflowed, true))
            emit overflowed();
        return;
    }
    m_pending += m_socket->sendTextMessage(QString::fromUtf8(message));
}

void WebSession::close()
{
    m_socket->close();
}

QString WebSession::peer() const
{
    return m_socket->peerAddress().toString();
}

QString WebSession::displayName() const
{
    return name.isEmpty() ? peer() : name;
}

bool WebSession::mayServe()
{
    if (m_second.elapsed() >= 1000) {
        m_second.restart();
        m_served = 0;
    }
    if (++m_served <= Web::MessagesPerSecond)
        return true;
    ++m_dropped;
    return false;
}

int WebSession::takeDropped()
{
    return std::exchange(m_dropped, 0);
}
