// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QStringList>
#include <QTcpSocket>
#include <QtTest>

// A phone on 127.0.0.1 as the protocol sees it: lines out, lines in.
struct Phone
{
    QTcpSocket socket;
    QStringList lines;
    QByteArray partial;

    // Connected and greeted.
    bool connectTo(quint16 port)
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] {
            partial += socket.readAll();
            for (qsizetype end; (end = partial.indexOf('\n')) >= 0; partial.remove(0, end + 1))
                lines << QString::fromUtf8(partial.left(end));
        });
        socket.connectToHost(QHostAddress::LocalHost, port);
        return socket.waitForConnected(3000) &&
               QTest::qWaitFor([this] { return lines.contains("PPA2") || lines.contains("PPA0"); });
    }
    void send(const QByteArray& line)
    {
        socket.write(line + '\n');
        socket.flush();
    }
    bool waitFor(const QString& line, int ms = 5000)
    {
        return QTest::qWaitFor([&] { return lines.contains(line); }, ms);
    }
    // Sends the line and waits until the server has dealt with it: a name is answered at once.
    bool sendAndSettle(const QByteArray& line, const QByteArray& name = "Ntest")
    {
        const qsizetype named = lines.filter(QRegularExpression("^\\*\\d+$")).size();
        send(line);
        send(name);
        return QTest::qWaitFor([&] { return lines.filter(QRegularExpression("^\\*\\d+$")).size() > named; });
    }
    bool closedByServer(int ms = 5000)
    {
        return QTest::qWaitFor([this] { return socket.state() == QAbstractSocket::UnconnectedState; }, ms);
    }
};
