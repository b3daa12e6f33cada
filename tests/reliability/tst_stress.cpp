// SPDX-License-Identifier: GPL-3.0-or-later
// Every source of frames at once, for a bounded time, against the emulator on a real
// pseudo-terminal: phones that flood, stop and hang up, the keyboard on a throttle, the loco list
// window reading the configuration, and the cable pulled and put back. Built to run
// under the sanitizers: besides not crashing, the line must keep its promises.

#include "CommandSet.h"
#include "krLocoList.h"
#include "krTaktoraTools.h"
#include "LineClient.h"
#include "LineRules.h"
#include "MessageBox.h"
#include "SimDashboard.h"
#include "TestMain.h"
#include "WiThrottleServer.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <memory>
#include <vector>

namespace {
// Seconds of stress; TAKTORA_STRESS_SECONDS sets more for a longer run by hand.
int stressSeconds()
{
    const int s = qEnvironmentVariableIntValue("TAKTORA_STRESS_SECONDS");
    return s > 0 ? s : 8;
}

// A phone on its own loco: floods speeds, stops now and then, and hangs up now and then.
struct StressPhone
{
    StressPhone(int loco, quint16 port) : loco(loco), port(port) {}
    int loco;
    quint16 port;
    std::unique_ptr<QTcpSocket> socket;
    int tick = 0;
    // The server answers its greeting and every name with a heartbeat line, in the order of the
    // lines it handles: once as many came back as were asked for, it has handled all before.
    int beatsAsked = 0;
    int beatsHeard = 0;
    QByteArray partial;
    QByteArray key() const { return QByteArray(loco > 127 ? "L" : "S") + QByteArray::number(loco); }

    void connectNow(int n)
    {
        if (socket) { // hung up: what it wrote still reaches the server, as a phone's last lines do
            socket->disconnectFromHost();
            if (socket->state() != QAbstractSocket::UnconnectedState)
                socket->waitForDisconnected(2000);
        }
        socket = std::make_unique<QTcpSocket>();
        beatsAsked = 2;
        beatsHeard = 0;
        partial.clear();
        QObject::connect(socket.get(), &QTcpSocket::readyRead, socket.get(), [this] {
            partial += socket->readAll();
            for (qsizetype end; (end = partial.indexOf('\n')) >= 0; partial.remove(0, end + 1))
                if (partial.startsWith('*'))
                    ++beatsHeard;
        });
        socket->connectToHost(QHostAddress::LocalHost, port);
        socket->waitForConnected(2000);
        socket->write("HUstress" + QByteArray::number(n) + "\nNPhone " + QByteArray::number(n) + "\nMT+" +
                      key() + "<;>" + key() + "\n");
    }
    // Phones that came back while the Controller was unchecked were refused their loco.
    void takeLoco() { socket->write("MT+" + key() + "<;>" + key() + "\n"); }
    void askForBeat(int n)
    {
        ++beatsAsked;
        socket->write("NPhone " + QByteArray::number(n) + "\n");
    }
    // One turn: what the phone sends; true when it asked for a stop.
    bool turn(int n)
    {
        ++tick;
        if (tick % 97 == 0) { // a hang-up: the server stops the loco after it
            connectNow(n);
            return true;
        }
        QByteArray lines;
        for (int i = 0; i < 20; ++i)
            lines += "MTA" + key() + "<;>V" + QByteArray::number((tick * 20 + i) % 127) + "\n";
        const bool stop = tick % 7 == 0;
        if (stop)
            lines += "MTA" + key() + "<;>X\n";
        socket->write(lines);
        return stop;
    }
};
} // namespace

class TestStress : public QObject
{
    Q_OBJECT

private slots:
    void everySourceAtOnce()
    {
        QTemporaryDir folder;
        const QString cable = folder.filePath(QStringLiteral("ttyTaktora"));
        SimDashboard rig({"--link", cable, "--locos", "3:28,1000:126,7:14,5:28,44:28,218:126,12:14"});
        QVERIFY2(rig.start(), qPrintable(rig.sim.errorString()));
        ControllerLink& link = rig.window->link();
        QCOMPARE(rig.check(), QStringLiteral("OK (Firmware 5.2.3) "));
        WiThrottleServer* server = rig.window->phoneServer();
        WiThrottle::Access open = server->access();
        open.approval = false; // the phones drive without waiting for the PC
        server->setAccess(open);
        QVERIFY(server->listen(0, QHostAddress::LocalHost));

        // What the line did, in the order it did it, and what it must not have done.
        QStringList findings;
        QHash<int, int> stopsOnTheWire; // loco -> StopLoco frames sent for it
        bool lost = false;
        QObject watch;
        connect(&link, &ControllerLink::portLost, &watch, [&] { lost = true; });
        connect(&link, &ControllerLink::checkChanged, &watch, [&] {
            if (link.checkedController())
                lost = false;
        });
        connect(&link, &ControllerLink::transactionEnded, &watch, [&](const TransactionRecord& r) {
            const QString frame = frameToString(encodeFrame(r.request)) + QStringLiteral(" from ") + r.origin;
            const bool stop = Line::isStop(r.request);
            if (const auto holder = link.exclusiveReason();
                holder && r.origin != "Lok-Konfiguration" && !stop)
                findings << "inside the loco list's hold: " + frame;
            if (lost && r.origin != "Hauptfenster")
                findings << "before the check after a replug: " + frame;
            if (r.request.command == Command::StopLoco)
                ++stopsOnTheWire[wordFromBytes(r.request.data1, r.request.data2)];
        });

        std::vector<StressPhone> phones;
        phones.reserve(3); // the sockets' handlers hold on to their phone
        for (const int loco : {3, 1000, 7})
            phones.emplace_back(loco, server->port());
        for (int n = 0; n < int(phones.size()); ++n)
            phones[n].connectNow(n);
        QHash<int, int> stopsGiven; // loco -> stops the phones asked for while the line was checked
        bool counting = true;
        QTimer sources;
        int keys = 0;
        connect(&sources, &QTimer::timeout, &watch, [&] {
            for (int n = 0; n < int(phones.size()); ++n)
                if (phones[n].turn(n) && counting)
                    ++stopsGiven[phones[n].loco];
            // The keyboard on whatever has the focus: throttle 0 (loco 3), or the loco list while it is open.
            if (QWidget* focus = QApplication::focusWidget())
                QTest::keyClick(focus, ++keys % 2 ? Qt::Key_Up : Qt::Key_Down);
        });
        rig.window->show();
        rig.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
        QTest::keyClick(rig.window.get(), Qt::Key_1, Qt::ControlModifier);
        sources.start(5);

        // Holds the sources until the server has handled every line the phones wrote and the line
        // has sent what they asked for.
        const auto settle = [&] {
            sources.stop();
            for (int n = 0; n < int(phones.size()); ++n)
                phones[n].askForBeat(n);
            for (const StressPhone& phone : phones)
                QTRY_VERIFY_WITH_TIMEOUT(phone.beatsHeard >= phone.beatsAsked, 20000);
            QTRY_COMPARE(link.waitingRequests(), 0);
        };

        QElapsedTimer elapsed;
        elapsed.start();
        int pulls = 0;
        for (int round = 0; elapsed.elapsed() < stressSeconds() * 1000; ++round) {
            QTest::qWait(300);
            { // the loco list reads the configuration under its hold
                krLocoList list(link, rig.window.get());
                list.setControllerID(1);
                list.show();
                QTRY_VERIFY(list.configuration().size() == 7);
            }
            QTest::qWait(300);
            if (round % 2 == 0)
                continue;
            // The cable goes and comes back while everything goes on. Stops still on their way
            // when it goes are refused by right, so the count pauses with the phones' backlog handled.
            settle();
            if (QTest::currentTestFailed())
                return;
            counting = false;
            sources.start();
            ++pulls;
            ::kill(pid_t(rig.sim.pid()), SIGUSR1);
            QTRY_VERIFY(lost);
            QTest::qWait(200);
            ::kill(pid_t(rig.sim.pid()), SIGUSR2);
            QTRY_COMPARE(rig.status(),
                         QStringLiteral("Schnittstelle wieder verbunden – bitte Controller erneut prüfen"));
            QTest::qWait(200); // the sources go on; nothing may reach the Controller
            QCOMPARE(rig.check(), QStringLiteral("OK (Firmware 5.2.3) "));
            for (StressPhone& phone : phones)
                phone.takeLoco();
            settle();
            if (QTest::currentTestFailed())
                return;
            counting = true;
            sources.start();
        }
        settle();
        if (QTest::currentTestFailed())
            return;
        rig.window->findChild<QPushButton*>("btnGlobalStop")->click();

        QVERIFY(pulls > 0);
        QVERIFY2(findings.isEmpty(), qPrintable(findings.mid(0, 5).join('\n')));
        for (auto it = stopsGiven.cbegin(); it != stopsGiven.cend(); ++it)
            QVERIFY2(stopsOnTheWire.value(it.key()) >= it.value(), qPrintable(QString::number(it.key())));
        QCOMPARE(stopsOnTheWire.value(AllLocos), 1);
        qInfo("%d s, %d keys, %d pulls, stops sent per loco: 3: %d, 1000: %d, 7: %d", stressSeconds(), keys,
              pulls, stopsOnTheWire.value(3), stopsOnTheWire.value(1000), stopsOnTheWire.value(7));
        MessageBox::takeShown(); // the port boxes of the pulls
    }
};

TAKTORA_TEST_MAIN(TestStress)
#include "tst_stress.moc"
