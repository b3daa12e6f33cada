// SPDX-License-Identifier: GPL-3.0-or-later
// Phones on 127.0.0.1 drive the real main window's server against taktora-sim over a pty.

#include "CommandSet.h"
#include "Lamp.h"
#include "LineClient.h"
#include "ServiceAdvertiser.h"
#include "SimDashboard.h"
#include "TestMain.h"
#include "TestPhone.h"
#include "ThrottlePanel.h"

#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

namespace {
using Frames = QList<FrameFields>;

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
        QVERIFY(server->listen(0, QHostAddress::LocalHost));

        // Before the check: the alert, and no frame for an acquire.
        Phone a;
        QVERIFY(a.connectTo(server->port()));
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
        QVERIFY(!a.lines.contains("MTAS3<;>V63")); // no echo that would jerk its slider

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

        // A flood closes its line, stops its loco and leaves the other phone connected.
        sent = rig.sim.requests().size();
        Notes notes(rig.window->link());
        b.send(QByteArray(6000, 'M'));
        QVERIFY(b.closedByServer());
        QVERIFY(notes.reasons.contains("zu lang, Verbindung getrennt"));
        QTRY_COMPARE(rig.sim.requests().mid(sent), QList<FrameFields>{Request::stopLoco(1, 3)});
        QVERIFY(a.socket.state() == QAbstractSocket::ConnectedState);

        QVERIFY(takeShownTexts().isEmpty());
    }

    // A phone's failed command is told to that phone and noted, and never opens a box on the PC.
    // The box would run an event loop of its own, in which a phone that hangs up used to be
    // deleted under the line still being handled. Lines that come while a command waits are
    // answered at once; a phone that hangs up meanwhile takes its command along, not its stop.
    void failedCommandToThePhoneNeverABox()
    {
        PhoneRig p({{"WiThrottleApproval", "0"}}, true, {"--fault", "no-answer:2@23"});
        DashboardRig& rig = *p.rig;
        WiThrottleServer* server = p.server;
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

    void advertisementAsPlainDataAndWithoutDaemon()
    {
        const ServiceRecord r = phoneService("werkstatt.fritz.box", 12090);
        QCOMPARE(r.name, QStringLiteral("Taktora auf werkstatt"));
        QCOMPARE(r.type, QStringLiteral("_withrottle._tcp"));
        QCOMPARE(r.txt, (QStringList{"server=Taktora", "version=5.2"}));
        QCOMPARE(phoneService(QString(), 1).name, QStringLiteral("Taktora"));

        ServiceAdvertiser advertiser(nullptr);
        advertiser.publish(r);
        QCOMPARE(advertiser.state(), ServiceAdvertiser::State::NoDaemon);
        QVERIFY(advertiser.stateText().contains("kein Avahi-Dienst"));
    }
};

TAKTORA_TEST_MAIN(TestWiThrottleSim)
#include "tst_withrottle_sim.moc"
