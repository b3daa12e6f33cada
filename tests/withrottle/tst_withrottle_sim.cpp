// SPDX-License-Identifier: GPL-3.0-or-later
// Phones on 127.0.0.1 drive the real main window's server against taktora-sim over a pty.

#include "CommandSet.h"
#include "ControllerLink.h"
#include "DashboardRig.h"
#include "krTrafficMonitor.h"
#include "Lamp.h"
#include "LineClient.h"
#include "LocoRules.h"
#include "ServiceAdvertiser.h"
#include "SimDashboard.h"
#include "TestMain.h"
#include "TestPhone.h"
#include "ThrottlePanel.h"
#include "TrafficModel.h"
#include "WiThrottleServer.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSlider>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QToolButton>

#include <atomic>
#include <thread>

namespace {
using Frames = QList<FrameFields>;

// A phone in a thread of its own: its lines keep coming while the window's thread is busy.
struct BlockingPhone
{
    QTcpSocket socket;
    bool connectTo(quint16 port)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        return socket.waitForConnected(3000);
    }
    void send(const QByteArray& lines)
    {
        socket.write(lines);
        while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(1000)) {
        }
    }
    bool awaitLine(const QByteArray& prefix)
    {
        for (QDeadlineTimer end(5000); !end.hasExpired();) {
            while (socket.canReadLine())
                if (socket.readLine().startsWith(prefix))
                    return true;
            socket.waitForReadyRead(50);
        }
        return false;
    }
};

bool pollFor(const std::function<bool()>& done, int ms)
{
    for (QDeadlineTimer end(ms); !end.hasExpired(); std::this_thread::sleep_for(std::chrono::milliseconds(5)))
        if (done())
            return true;
    return false;
}

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

QStringList monitorRows(krTrafficMonitor* monitor)
{
    monitor->model()->publish();
    QStringList rows;
    for (int r = 0; r < monitor->model()->rowCount(); ++r)
        rows << monitor->model()->rowText(r, "|");
    return rows;
}
} // namespace

class TestWiThrottleSim : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // No system bus: nothing here may reach an Avahi daemon or send multicast.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/taktora-test");
        QSettings("KORADIN", "KORADIN").clear();
        WriteSetting("WiThrottleApproval", "0", "Taktora"); // who may drive: tst_withrottle_access
    }

    void phonesDriveThroughTheWindow()
    {
        SimDashboard rig({});
        QVERIFY2(rig.start(), qPrintable(rig.sim.errorString()));
        WiThrottleServer* server = rig.window->phoneServer();
        server->setHeartbeatSeconds(1);
        QVERIFY(server->listen(0, QHostAddress::LocalHost));

        // Before the check: the alert, and no frame for an acquire.
        Phone a;
        QVERIFY(a.connectTo(server->port()));
        QVERIFY(a.lines.contains("RL0") && a.lines.contains("PPA2"));
        QVERIFY(a.lines.contains("HMBitte zuerst im Programm den Controller prüfen."));
        a.lines.clear();
        a.send("MT+S3<;>S3");
        QVERIFY(a.waitFor("HMBitte zuerst im Programm den Controller prüfen."));
        QVERIFY(rig.sim.requests().isEmpty());

        rig.check("1");
        QVERIFY(a.waitFor("RL4]\\[Lok 3}|{3}|{S]\\[Lok 1000}|{1000}|{L]\\[Lok 7}|{7}|{S]\\[Lok 5}|{5}|{S"));
        ThrottlePanel* shown = rig.window->throttle(2); // loco 3 after the check
        int sent = rig.sim.requests().size();

        // Acquire, half speed forward, light on: the frames of the throttle, its slider moved.
        a.send("NTaschenlok");
        a.send("MT+S3<;>S3");
        QVERIFY(a.waitFor("MTAS3<;>s2"));
        QVERIFY(a.lines.contains("MTAS3<;>V0") && a.lines.contains("MTAS3<;>R0"));
        a.send("MTAS3<;>V63");
        a.send("MTAS3<;>R1");
        a.send("MTAS3<;>F10");
        a.send("MTAS3<;>F00");
        a.send("MTAS3<;>F128"); // beyond the Controller's functions
        QVERIFY(a.waitFor("HMF28 steht nicht zur Verfügung: der Controller schaltet nur F0 bis F12."));
        QTRY_COMPARE(
            rig.sim.requests().mid(sent),
            (QList<FrameFields>{Request::setLocoSpeed(1, 3, 128), Request::setLocoDirection(1, 3, true),
                                Request::locoFunction(1, 3, LightFunction, true)}));
        QCOMPARE(shown->slider()->value(), 255 - 128);
        QVERIFY(shown->lightButton()->isChecked());
        QVERIFY(!shown->directionButton()->isEnabled()); // moving: locked for the mouse
        QVERIFY(!a.lines.contains("MTAS3<;>V63"));       // no echo that would jerk its slider

        // A second phone on the same loco sees the state, and each sees the other's changes.
        Phone b;
        QVERIFY(b.connectTo(server->port()));
        b.send("MT+S3<;>S3");
        QVERIFY(b.waitFor("MTAS3<;>V63") && b.lines.contains("MTAS3<;>F10"));
        a.lines.clear();
        b.send("MTAS3<;>V30");
        QVERIFY(a.waitFor("MTAS3<;>V30"));
        QCOMPARE(shown->slider()->value(), 255 - 61); // the throttle follows the phone
        shown->lightButton()->click();                // the mouse
        QVERIFY(a.waitFor("MTAS3<;>F00") && b.waitFor("MTAS3<;>F00"));
        b.send("MTAS3<;>R0"); // reversing while moving is passed on
        QVERIFY(a.waitFor("MTAS3<;>R0"));
        QVERIFY(!shown->directionButton()->isChecked());
        rig.window->findChild<QPushButton*>("btnGlobalStop")->click();
        QVERIFY(a.waitFor("MTAS3<;>V0") && b.waitFor("MTAS3<;>V0"));

        // Track power from a phone: the window's lamps and both phones told.
        a.send("PPA1");
        QVERIFY(a.waitFor("PPA1") && b.waitFor("PPA1"));
        QCOMPARE(rig.window->findChild<Lamp*>("shpCircuitOn")->color(), QColor(0, 192, 0));

        // Malformed lines are logged in the open monitor and send nothing; a flood closes its line
        // and stops its loco.
        rig.window->findChild<QAction*>("btnMonitor")->trigger();
        auto* monitor = rig.window->findChild<krTrafficMonitor*>();
        sent = rig.sim.requests().size();
        a.send("MTAS3<;>Vschnell");
        a.send("MTAL99999<;>V10");
        a.send("\x01\x02");
        b.send(QByteArray(6000, 'M'));
        QVERIFY(QTest::qWaitFor([&] { return b.socket.state() == QAbstractSocket::UnconnectedState; }, 5000));
        QStringList logged;
        QTRY_VERIFY((logged = monitorRows(monitor)).filter("nicht ausgeführt").size() == 4);
        QVERIFY(logged.filter("zu lang, Verbindung getrennt").size() == 1);
        QTRY_COMPARE(rig.sim.requests().mid(sent), QList<FrameFields>{Request::stopLoco(1, 3)});
        QVERIFY(a.socket.state() == QAbstractSocket::ConnectedState);

        // A phone that asked for heartbeats and goes silent: alert, loco stopped and released.
        a.send("MTAS3<;>V126");
        QTRY_COMPARE(shown->slider()->value(), 0);
        a.lines.clear();
        a.send("*+");
        QVERIFY(a.waitFor("HMVerbindung unterbrochen: Ihre Loks wurden angehalten und freigegeben.", 4000));
        QVERIFY(a.lines.contains("MT-S3<;>"));
        QTRY_COMPARE(rig.sim.requests().last(), Request::stopLoco(1, 3));
        QTRY_COMPARE(shown->slider()->value(), 255);
        QVERIFY(takeShownTexts().isEmpty());
    }

    void startUpDialogAndALocoOnNoThrottle()
    {
        QTcpServer probe; // a free port for the settings
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 port = probe.serverPort();
        probe.close();
        WriteSetting("WiThrottle", "1", "Taktora");
        WriteSetting("WiThrottlePort", QString::number(port), "Taktora");
        SimDashboard rig({});
        QVERIFY2(rig.start(), qPrintable(rig.sim.errorString()));
        QVERIFY(rig.window->phoneServer()->isListening()); // from start-up on
        QCOMPARE(rig.window->phoneServer()->port(), port);
        rig.window->findChild<QAction*>("btnPhones")->trigger();
        auto* dialog = rig.window->findChild<QDialog*>("krPhoneThrottles");
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->findChild<QLabel*>("lblServerState")->text(),
                 QStringLiteral("Der Server wartet auf Port %1.").arg(port));
        rig.check("1");

        // Loco 1000 stands on no throttle: the phone's commands become the throttles' frames.
        Phone phone;
        QVERIFY(phone.connectTo(port));
        QVERIFY(
            phone.waitFor("RL4]\\[Lok 3}|{3}|{S]\\[Lok 1000}|{1000}|{L]\\[Lok 7}|{7}|{S]\\[Lok 5}|{5}|{S"));
        phone.send("NWerkstatt");
        phone.send("MT+L1000<;>ELok 1000");
        QVERIFY(phone.waitFor("MTAL1000<;>s1"));
        QVERIFY(dialog->findChild<QListWidget*>("lstPhones")->item(0)->text().endsWith("Lok 1000"));
        const int sent = rig.sim.requests().size();
        phone.lines.clear();
        for (const char* line : {"MTAL1000<;>V126", "MTAL1000<;>R0", "MTAL1000<;>F13"})
            phone.send(line);
        QTRY_COMPARE(rig.sim.requests().mid(sent),
                     (Frames{Request::setLocoSpeed(1, 1000, 255), Request::setLocoDirection(1, 1000, false),
                             Request::locoFunction(1, 1000, 3, true)}));
        // Questions are answered once what the phone sent before them has gone out.
        for (const char* line : {"MTAL1000<;>X", "MTA*<;>qV", "MTA*<;>qR"})
            phone.send(line);
        QVERIFY(phone.waitFor("MTAL1000<;>V0") && phone.waitFor("MTAL1000<;>R0"));
        QCOMPARE(rig.sim.requests().mid(sent + 3), Frames{Request::stopLoco(1, 1000)});
        phone.send("MT-*<;>r");
        QVERIFY(phone.waitFor("MT-L1000<;>"));
        phone.send("Q");
        QVERIFY(QTest::qWaitFor([&] { return phone.socket.state() == QAbstractSocket::UnconnectedState; }));
        QCOMPARE(rig.sim.requests().size(), sent + 4); // released before it quit: nothing to stop

        dialog->findChild<QCheckBox*>("chkWiThrottle")->click();
        QVERIFY(!rig.window->phoneServer()->isListening());
        QCOMPARE(ReadSetting("WiThrottle", "", "Taktora"), QStringLiteral("0"));
    }

    // What a phone is told for each line (the alerts exactly), the frames and the monitor's reasons;
    // "click" presses loco 3's direction button, "hold" opens a window that keeps the line and the
    // track switched off. Then button, picture, tooltip, phone and loco entry must all say the same
    // direction (1 forward).
    void phoneLines_data()
    {
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<QStringList>("told");
        QTest::addColumn<Frames>("frames");
        QTest::addColumn<QStringList>("logged");
        QTest::addColumn<int>("forward"); // of loco 3; -1 unchecked
        using namespace WiThrottle;
        const auto row = [](const char* name, const QStringList& sent, const QStringList& told,
                            const Frames& frames, const QStringList& logged, int forward = -1) {
            QTest::newRow(name) << sent << told << frames << logged << forward;
        };
        const QString fast = "Geschwindigkeit über 126", s128 = shortAddressText(128),
                      no = "nicht unterstützt";
        const QString s7 = addressMismatchText("S3", "S7"), named = addressMismatchText("S3", "Lok 1000"),
                      unknown = unknownLocoText("Lok 9");
        row("speeds beyond 126 ignored, negative stops; steps of a loco outside the configuration",
            {"MT+S9<;>S9", "MTAS9<;>V127", "MTAS9<;>V200", "MTAS9<;>V999", "MTAS9<;>V-1", "MT+L128<;>L128"},
            {"MTAS9<;>s1", "MTAL128<;>s1"}, {Request::stopLoco(1, 9)}, {fast, fast, fast});
        row("short addresses end at 127", {"MT+S128<;>S128", "MT+L128<;>S128", "MTAS128<;>V10"},
            {"HM" + s128, "HM" + s128, "HM" + s128}, {}, {s128, s128, s128});
        row("a key names its own loco, a roster name a configured one",
            {"MT+S3<;>S7", "MT+S3<;>ELok 1000", "MT+S9<;>ELok 9", "MTAS3<;>V10"},
            {"HM" + s7, "HM" + named, "HM" + unknown}, {}, {s7, named, unknown, "Lok nicht übernommen"});
        row("not offered yet", {"PTA2LT12", "PRA2IR:1", "RC+<;>S3<;>S3", "D0123"},
            {"HM" + notSupportedText("Weichen"), "HM" + notSupportedText("Fahrstraßen"),
             "HM" + notSupportedText("Mehrfachtraktionen"), "HM" + notSupportedText("Direkte DCC-Befehle")},
            {}, {no, no, no, no});
        row("button pressed: forward", {"MT+S3<;>S3", "click"}, {}, {Request::setLocoDirection(1, 3, true)},
            {}, 1);
        row("phone R0: backward", {"MT+S3<;>S3", "click", "MTAS3<;>R0"}, {},
            {Request::setLocoDirection(1, 3, true), Request::setLocoDirection(1, 3, false)}, {}, 0);
        const QString busy =
            "Der Controller ist belegt: die Lok-Konfiguration ist geöffnet. Bitte später noch einmal.";
        row("a window holds the line: refused with its reason, the stop passes, the track is off already",
            {"MT+S3<;>S3", "hold", "MTAS3<;>V10", "MTAS3<;>F10", "MTAS3<;>X", "PPA0", "PPA1"},
            {"HM" + busy, "HM" + busy, "PPA0", "HM" + busy}, {Request::stopLoco(1, 3)}, {busy, busy, busy});
    }
    void phoneLines()
    {
        QFETCH(QStringList, sent);
        QFETCH(QStringList, told);
        QFETCH(Frames, frames);
        QFETCH(QStringList, logged);
        QFETCH(int, forward);
        QSettings("KORADIN", "KORADIN").clear();
        WriteSetting("WiThrottleApproval", "0", "Taktora");
        DashboardRig rig({"--locos", "3:28,1000:126"});
        rig.check(); // loco 3 on throttle 2
        WiThrottleServer* server = rig.window->phoneServer();
        QVERIFY(server->listen(0, QHostAddress::LocalHost));
        Notes notes(rig.window->link());
        Phone phone;
        QVERIFY(phone.connectTo(server->port()));
        QVERIFY(phone.waitFor("RL2]\\[Lok 3}|{3}|{S]\\[Lok 1000}|{1000}|{L"));
        phone.lines.clear();
        rig.link.port.resetLog(); // the roster read of the greeting
        QToolButton* button = rig.window->throttle(2)->directionButton();
        LineClient window(rig.window->link(), "Lok-Konfiguration", LineClient::Kind::Screen);
        for (const QString& line : sent) {
            if (line == "click")
                button->click();
            else if (line == "hold")
                window.holdExclusive("die Lok-Konfiguration ist geöffnet", true);
            else
                QVERIFY(phone.sendAndSettle(line.toUtf8()));
        }
        QVERIFY(phone.sendAndSettle("MTA*<;>qR"));
        for (const QString& line : told)
            QVERIFY2(phone.lines.contains(line), qPrintable(line));
        QCOMPARE(phone.lines.filter(QRegularExpression("^HM")), told.filter(QRegularExpression("^HM")));
        QTRY_COMPARE(rig.sent(), frames);
        QCOMPARE(notes.reasons, logged);
        if (forward < 0)
            return;
        const FrameFields e = rig.board().answer(Request::readLocoEntry(1, 3));
        const QString listed = Locos::directionNodeText(Locos::locoFromEntry(e.data1, e.data2, e.data3));
        QCOMPARE(listed, QStringLiteral("Fahrtrichtung: ") + (forward ? "vorwärts" : "rückwärts"));
        QCOMPARE(button->toolTip(), listed);
        QCOMPARE(button->isChecked(), forward == 1);
        const QIcon picture(forward ? ":/icons/direction_forward.png" : ":/icons/direction_reverse.png");
        QCOMPARE(button->icon().pixmap(32).toImage(), picture.pixmap(32).toImage());
        QCOMPARE(phone.lines.filter("MTAS3<;>R").last(), QString("MTAS3<;>R%1").arg(forward));
    }

    // A phone's failed command is told to that phone and noted, and never opens a box on the PC.
    // The box would run an event loop of its own, in which a phone that hangs up used to be
    // deleted under the line still being handled. Lines that come while a command waits are
    // answered at once; a phone that hangs up meanwhile takes its command along, not its stop.
    void failedCommandToThePhoneNeverABox()
    {
        DashboardRig rig({"--fault", "no-answer:2@23"});
        rig.check();
        WiThrottleServer* server = rig.window->phoneServer();
        QVERIFY(server->listen(0, QHostAddress::LocalHost));
        Notes notes(rig.window->link());
        Phone phone;
        QVERIFY(phone.connectTo(server->port()));
        QVERIFY(phone.sendAndSettle("MT+S3<;>S3"));
        QTRY_VERIFY(!phone.lines.filter(QRegularExpression("^RL4")).isEmpty());
        rig.link.port.resetLog(); // the roster read

        MessageBox::setTestMode(false); // real boxes, each with its event loop
        const auto testMode = qScopeGuard([] { MessageBox::setTestMode(true); });
        QList<QMessageBox*> boxes;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || boxes.contains(box))
                return;
            boxes << box;
            phone.send("Nzweiter");
            phone.socket.abort();
            QTimer::singleShot(1000, box, &QMessageBox::reject);
        });
        watch.start(20);
        phone.send("MTAS3<;>V10");
        const QString alert = "HMController 1 antwortet nicht.";
        QVERIFY(QTest::qWaitFor([&] { return phone.lines.contains(alert) || !boxes.isEmpty(); }));
        QTest::qWait(500);
        QCOMPARE(boxes.size(), 0);
        QCOMPARE(notes.reasons, QStringList{alert.mid(2)});

        const int named = phone.lines.count("*10");
        LineClient reader(rig.window->link(), "Lok-Liste", LineClient::Kind::Screen);
        {
            LineClient::Batch read(reader); // a long read lets events through; the phone's command waits
            phone.send("MTAS3<;>V20");
            phone.send("Nzweiter");
            QVERIFY(QTest::qWaitFor([&] { return phone.lines.count("*10") > named; }));
            QCOMPARE(rig.window->link().waitingRequests(), 1);
            phone.socket.abort();
            QTRY_COMPARE(server->phones().size(), 0);
            QTRY_COMPARE(rig.window->link().waitingRequests(), 0);
        }
        QTest::qWait(50);
        const FrameFields speed10 = Request::setLocoSpeed(1, 3, WiThrottle::controllerSpeed(10));
        QCOMPARE(rig.sent(), (Frames{speed10, speed10, Request::stopLoco(1, 3)}));
    }

    // One phone floods a loco with 3,000 speed lines over a paced line while another phone stops
    // its loco and the window stops all: the stops pass what of the flood still waits, and the
    // flood's speeds are merged into far fewer frames, the last one its newest.
    void floodIsMergedAndStopsGoFirst()
    {
        SimDashboard rig({"--pace"});
        QVERIFY2(rig.start(), qPrintable(rig.sim.errorString()));
        rig.check("1");
        WiThrottleServer* server = rig.window->phoneServer();
        QVERIFY(server->listen(0, QHostAddress::LocalHost));
        auto* stop = rig.window->findChild<QPushButton*>("btnGlobalStop");
        const auto floodFrames = [](const Frames& frames) {
            return std::count_if(frames.cbegin(), frames.cend(), [](const FrameFields& f) {
                return f.command == Command::SetLocoSpeed && wordFromBytes(f.data1, f.data2) == 3;
            });
        };
        const FrameFields newest = Request::setLocoSpeed(1, 3, 255);
        const Frames stops{Request::stopLoco(1, 1000), Request::stopLoco(1, AllLocos)};
        std::atomic<bool> done{false};
        std::atomic<qsizetype> given{-1};
        std::thread phones([&] {
            BlockingPhone a, b;
            if (a.connectTo(server->port()) && b.connectTo(server->port())) {
                a.send("MT+S3<;>S3\n");
                b.send("MT+L1000<;>L1000\n");
                QByteArray lines[2];
                for (int i = 0; i < 3000; ++i)
                    lines[i / 1500] += "MTAS3<;>V" + QByteArray::number(i == 2999 ? 126 : 1 + i % 100) + '\n';
                if (a.awaitLine("MTAS3<;>s") && b.awaitLine("MTAL1000<;>s")) {
                    a.send(lines[0]);
                    pollFor([&] { return floodFrames(rig.sim.requests()) > 0; }, 20000);
                    given = floodFrames(rig.sim.requests());
                    b.send("MTAL1000<;>X\n");
                    QMetaObject::invokeMethod(
                        stop, [stop] { stop->click(); }, Qt::QueuedConnection);
                    pollFor(
                        [&] {
                            return rig.sim.requests().count(stops[0]) + rig.sim.requests().count(stops[1]) ==
                                   2;
                        },
                        30000);
                    a.send(lines[1]);
                    pollFor([&] { return rig.sim.requests().contains(newest); }, 30000);
                }
            }
            done = true;
        });
        const bool finished = QTest::qWaitFor([&] { return done.load(); }, 120000);
        phones.join();
        QVERIFY(finished);

        const Frames wire = rig.sim.requests();
        const qsizetype last = wire.lastIndexOf(newest);
        QVERIFY(last >= 0 && given > 0);
        for (const FrameFields& s : stops) {
            const qsizetype at = wire.indexOf(s);
            QVERIFY(at >= 0 && at < last);
            // Once given, a stop waits for the exchange on the wire and at most two more.
            QVERIFY2(
                floodFrames(wire.mid(0, at)) - given <= 3,
                qPrintable(
                    QString("%1 flood frames before the stop").arg(floodFrames(wire.mid(0, at)) - given)));
        }
        QVERIFY2(floodFrames(wire) < 300, qPrintable(QString("%1 speed frames").arg(floodFrames(wire))));
        QCOMPARE(floodFrames(wire.mid(last + 1)), 0); // the newest speed is the last
    }

    void advertisementAsPlainDataAndWithoutDaemon()
    {
        const ServiceRecord r = phoneService("werkstatt.fritz.box", 12090);
        QCOMPARE(r.name, QStringLiteral("Taktora auf werkstatt"));
        QCOMPARE(r.type, QStringLiteral("_withrottle._tcp"));
        QCOMPARE(r.port, quint16(12090));
        QCOMPARE(r.txt, (QStringList{"server=Taktora", "version=5.2"}));
        QCOMPARE(phoneService(QString(), 1).name, QStringLiteral("Taktora"));

        ServiceAdvertiser advertiser(nullptr);
        advertiser.publish(r);
        QCOMPARE(advertiser.state(), ServiceAdvertiser::State::NoDaemon);
        QVERIFY(advertiser.stateText().contains("kein Avahi-Dienst"));
        advertiser.withdraw();
        QCOMPARE(advertiser.state(), ServiceAdvertiser::State::Off);
    }
};

TAKTORA_TEST_MAIN(TestWiThrottleSim)
#include "tst_withrottle_sim.moc"
