// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CommandSet.h"
#include "ControllerLink.h"
#include "DashboardRig.h"
#include "krPhoneThrottles.h"
#include "WiThrottleServer.h"

#include <QAction>
#include <QHostAddress>
#include <QLabel>
#include <QSettings>
#include <QStringList>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

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

// The reasons of the lines the phones' server puts into the traffic monitor.
struct Notes
{
    QObject context;
    QStringList reasons;
    explicit Notes(ControllerLink& link)
    {
        QObject::connect(&link, &ControllerLink::noted, &context,
                         [this](const QString&, const QString&, const QString& why) { reasons << why; });
    }
};

// The main window on the fake port with its phone server listening on 127.0.0.1; settings of the
// group "Taktora" as given, the rest cleared.
struct PhoneRig
{
    std::unique_ptr<DashboardRig> rig;
    WiThrottleServer* server = nullptr;

    explicit PhoneRig(const QMap<QString, QString>& settings = {}, bool checked = true,
                      const QStringList& simArguments = {"--locos", "3:28,1000:126"})
    {
        QSettings("KORADIN", "KORADIN").clear();
        for (auto it = settings.cbegin(); it != settings.cend(); ++it)
            WriteSetting(it.key(), it.value(), "Taktora");
        rig = std::make_unique<DashboardRig>(simArguments);
        if (checked)
            rig->check();
        server = rig->window->phoneServer();
        if (!server->isListening())
            server->listen(0, QHostAddress::LocalHost);
    }
    krPhoneThrottles* dialog()
    {
        rig->window->findChild<QAction*>("btnPhones")->trigger();
        return rig->window->findChild<krPhoneThrottles*>();
    }
    QLabel* panel() const { return rig->find<QLabel>("pnlPhones"); }
    // The frames that drive: what the roster reads of the loco configuration left out.
    QList<FrameFields> drivingFrames() const
    {
        QList<FrameFields> out;
        for (const FrameFields& f : rig->sent())
            if (f.command != Command::ReadLocoEntry)
                out << f;
        return out;
    }
};
