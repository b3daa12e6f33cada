// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QTcpSocket;

// One phone's byte stream as a session uses it. On the network it is a TCP socket; the fuzzer
// puts a connection of its own in its place, so whole sessions run without a network.
class PhoneConnection : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // At most `max` of the bytes that have arrived.
    virtual QByteArray read(qint64 max) = 0;
    virtual qint64 bytesAvailable() const = 0;
    virtual void write(const QByteArray& bytes) = 0;
    // Hands what was written to the network now, as far as it takes it.
    virtual void flush() = 0;
    // Written and not yet taken by the network.
    virtual qint64 bytesToWrite() const = 0;
    virtual bool isConnected() const = 0;
    // Once what was written has gone; disconnected() follows.
    virtual void close() = 0;
    // At once, dropping what waits in either direction; disconnected() follows while connected.
    virtual void abort() = 0;
    // The phone's address as a user reads it: "192.168.1.20".
    virtual QString peer() const = 0;

signals:
    void readyRead();
    void disconnected();
};

// A phone on the network.
class TcpPhoneConnection final : public PhoneConnection
{
    Q_OBJECT

public:
    // What the socket reads ahead of the session; beyond it the network holds the phone back.
    static constexpr qint64 ReadAhead = qint64{64} * 1024;

    // Takes the socket over.
    TcpPhoneConnection(QTcpSocket* socket, QObject* parent);

    QByteArray read(qint64 max) override;
    qint64 bytesAvailable() const override;
    void write(const QByteArray& bytes) override;
    void flush() override;
    qint64 bytesToWrite() const override;
    bool isConnected() const override;
    void close() override;
    void abort() override;
    QString peer() const override;

private:
    QTcpSocket* m_socket;
};
