// SPDX-License-Identifier: GPL-3.0-or-later
#include "PhoneConnection.h"

#include <QHostAddress>
#include <QTcpSocket>

TcpPhoneConnection::TcpPhoneConnection(QTcpSocket* socket, QObject* parent)
    : PhoneConnection(parent), m_socket(socket)
{
    m_socket->setParent(this);
    m_socket->setReadBufferSize(ReadAhead);
    connect(m_socket, &QTcpSocket::readyRead, this, &PhoneConnection::readyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &PhoneConnection::disconnected);
}

QByteArray TcpPhoneConnection::read(qint64 max)
{
    return m_socket->read(max);
}

qint64 TcpPhoneConnection::bytesAvailable() const
{
    return m_socket->bytesAvailable();
}

void TcpPhoneConnection::write(const QByteArray& bytes)
{
    m_socket->write(bytes);
}

void TcpPhoneConnection::flush()
{
    m_socket->flush();
}

qint64 TcpPhoneConnection::bytesToWrite() const
{
    return m_socket->bytesToWrite();
}

bool TcpPhoneConnection::isConnected() const
{
    return m_socket->state() == QAbstractSocket::ConnectedState;
}

void TcpPhoneConnection::close()
{
    m_socket->disconnectFromHost();
}

void TcpPhoneConnection::abort()
{
    m_socket->abort();
}

QString TcpPhoneConnection::peer() const
{
    // A server listening on every address sees IPv4 phones as "::ffff:a.b.c.d".
    bool v4 = false;
    const quint32 address = m_socket->peerAddress().toIPv4Address(&v4);
    return v4 ? QHostAddress(address).toString() : m_socket->peerAddress().toString();
}
