// SPDX-License-Identifier: GPL-3.0-or-later
// Who may drive from a phone, what it is told for each line and what the server costs at most:
// the rules without sockets, then phones on 127.0.0.1 against the main window's server on the
// fake port.

#include "CommandSet.h"
#include "DashboardRules.h"
#include "krPhoneThrottles.h"
#include "LineClient.h"
#include "LocoRules.h"
#include "TestMain.h"
#include "TestPhone.h"
#include "ThrottlePanel.h"
#include "WiThrottleAccess.h"
#include "WiThrottleSettings.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTcpServer>
#include <QToolButton>

using namespace WiThrottle;
using Frames = QList<FrameFields>;
using Stored = QMap<QString, QString>; // settings of the group "Taktora"

namespace {
const QString kApprovalNeeded = "HM" + approvalNeededText();
} // namespace

class TestWiThrottleAccess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // No system bus: nothing here may reach an Avahi daemon or send multicast.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/taktora-test");
    }

    // ---- The rules ----

    void whoMayDrive_data()
    {
        QTest::addColumn<bool>("approval");
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("approvedHere");
        QTest::addColumn<bool>("drives");
        QTest::newRow("approval off: anyone") << false << "" << false << true;
        QTest::newRow("approved id, other case") << true << "PHONE-A" << false << true;
        QTest::newRow("unknown id") << true << "phone-c" << false << false;
        QTest::newRow("part of an approved id") << true << "phone" << false << false;
        QTest::newRow("no id, approved for the connection") << true << "" << true << true;
    }
    void whoMayDrive()
    {
        QFETCH(bool, approval);
        QFETCH(QString, id);
        QFETCH(bool, approvedHere);
        QFETCH(bool, drives);
        Access access;
        access.approval = approval;
        access.devices = {"phone-a", "tablet-b"};
        QCOMPARE(mayDrive(access, id, approvedHere), drives);
    }

    // The phone's full travel reaches the cap, which the window's scale shows as that percentage;
    // the phone is told a loco's speed on the same shortened scale; at 100 % nothing changes.
    void speedCapAsTheScaleWould()
    {
        for (int v = 0; v <= HighestPhoneSpeed; ++v)
            QCOMPARE(cappedSpeed(v, 100), controllerSpeed(v));
        for (int percent = 1; percent <= 100; ++percent) {
            const quint8 top = cappedSpeed(HighestPhoneSpeed, percent);
            QCOMPARE(top, speedCapValue(percent));
            QCOMPARE(Dashboard::speedPercentText(Dashboard::RestingPosition - top),
                     QStringLiteral("%1 %").arg(percent));
            QCOMPARE(phoneSpeedUnderCap(top, percent), HighestPhoneSpeed);
            QCOMPARE(phoneSpeedUnderCap(255, percent), HighestPhoneSpeed); // the window runs it faster
            QCOMPARE(cappedSpeed(0, percent), quint8(0));
            QVERIFY(cappedSpeed(1, percent) >= 1); // a slider that moves moves the loco
            if (percent >= 50) // from half the scale on, every step of the phone is a step of its own
                QCOMPARE(phoneSpeedUnderCap(cappedSpeed(HighestPhoneSpeed - 1, percent), percent),
                         HighestPhoneSpeed - 1);
        }
        QCOMPARE(cappedSpeed(HighestPhoneSpeed / 2, 50), quint8(64));
        QCOMPARE(cappedSpeed(500, 200), quint8(255)); // out of range is brought into it
    }

    void statusPanel_data()
    {
        QTest::addColumn<ServerStatus>("status");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("tip");
        const QString all = "Handregler-Server auf allen Netzwerken, Port 12090\nVerbunden: ";
        QTest::newRow("off") << ServerStatus{} << ""
                             << "";
        QTest::newRow("one waits") << ServerStatus{true, "192.168.1.5", 12091, 0, 1} << "Handregler: 1 wartet"
                                   << "Handregler-Server auf 192.168.1.5, Port 12091\nVerbunden: 0\n"
                                      "Warten auf Freigabe: 1 (Handregler per Smartphone)";
        QTest::newRow("two drive, three wait")
            << ServerStatus{true, "", 12090, 2, 3} << "Handregler: 2, 3 warten"
            << all + "2\nWarten auf Freigabe: 3 (Handregler per Smartphone)";
        QTest::newRow("browsers only")
            << ServerStatus{true, "", 0, 1, 0, 12080} << "Handregler: 1 verbunden"
            << "Handregler im Browser auf allen Netzwerken, Port 12080\nVerbunden: 1";
    }
    void statusPanel()
    {
        QFETCH(ServerStatus, status);
        QFETCH(QString, text);
        QFETCH(QString, tip);
        QCOMPARE(statusPanelText(status), text);
        QCOMPARE(statusPanelTip(status), tip);
    }

    // Nothing stored is the defaults; what is stored out of range or mistyped comes back safe.
    void settings()
    {
        QSettings("KORADIN", "KORADIN").clear();
        const Access defaults = WiThrottle::Settings::access();
        QVERIFY(defaults.approval && defaults.allowPower && defaults.devices.isEmpty());
        QCOMPARE(defaults.maxConnections, 32);

        WriteSetting("WiThrottleApproval", "ja", "Taktora");
        WriteSetting("WiThrottleAllowPower", "0", "Taktora");
        WriteSetting("WiThrottleMaxSpeed", "250", "Taktora");
        WriteSetting("WiThrottleMaxConnections", "1000", "Taktora");
        WriteSetting("WiThrottleDevices", "b,, a ,B", "Taktora"); // blanks, an empty entry, a repeat
        Access read = WiThrottle::Settings::access();
        QVERIFY(read.approval); // never opened by a typo
        QVERIFY(!read.allowPower);
        QCOMPARE(read.maxSpeedPercent, 100);
        QCOMPARE(read.maxConnections, HighestMaxConnections);
        QCOMPARE(read.devices, (QStringList{"b", "a"}));

        read.approval = false;
        read.maxSpeedPercent = 40;
        read.devices << "c";
        WiThrottle::Settings::writeAccess(read);
        QCOMPARE(ReadSetting("WiThrottleDevices", "", "Taktora"), QStringLiteral("b,a,c"));
        QCOMPARE(ReadSetting("WiThrottleApproval", "", "Taktora"), QStringLiteral("0"));
        QCOMPARE(WiThrottle::Settings::access().maxSpeedPercent, 40);
    }

    // ---- Phones on 127.0.0.1 ----

    // An unknown phone is told to wait and sends no frame; the status bar and the dialog show it;
    // approved, it drives, and its id is kept. A rejected one is told and disconnected.
    void approvalAndRejection()
    {
        PhoneRig p;
        QLabel* label = p.panel();
        krPhoneThrottles* dialog = p.dialog();
        auto* waiting = dialog->findChild<QListWidget*>("lstWaiting");
        auto* approve = dialog->findChild<QPushButton*>("cmdApprove");

        Phone anna;
        QVERIFY(anna.connectTo(p.server->port()));
        anna.send("HUphone-a");
        for (const char* line : {"MT+S3<;>S3", "MTAS3<;>V63", "PPA1"})
            QVERIFY(anna.sendAndSettle(line, "NAnna"));
        QCOMPARE(anna.lines.count(kApprovalNeeded), 4); // at its id, then at each refused action
        QCOMPARE(p.drivingFrames(), Frames{});
        QCOMPARE(label->text(), QStringLiteral("Handregler: 1 wartet"));
        QVERIFY(waiting->item(0)->text().contains("Anna") && waiting->item(0)->text().contains("phone-a"));

        Phone ben;
        QVERIFY(ben.connectTo(p.server->port()));
        QVERIFY(ben.sendAndSettle("MT+S7<;>S7", "NBen"));
        QVERIFY(!approve->isEnabled()); // two wait: which one?
        waiting->setCurrentRow(waiting->item(0)->text().contains("Anna") ? 0 : 1);
        approve->click();
        QVERIFY(anna.waitFor("Hm" + approvedText()));
        QCOMPARE(ReadSetting("WiThrottleDevices", "", "Taktora"), QStringLiteral("phone-a"));
        QCOMPARE(label->text(), QStringLiteral("Handregler: 1, 1 wartet"));
        QVERIFY(anna.sendAndSettle("MT+S3<;>S3", "NAnna"));
        QVERIFY(anna.sendAndSettle("MTAS3<;>V63", "NAnna"));
        QTRY_COMPARE(p.drivingFrames(), Frames{Request::setLocoSpeed(1, 3, controllerSpeed(63))});

        QTest::keyClick(dialog, Qt::Key_Escape); // closes the dialog and refuses no one
        QCOMPARE(label->text(), QStringLiteral("Handregler: 1, 1 wartet"));
        dialog->findChild<QPushButton*>("cmdReject")->click(); // Ben, the only one left
        QVERIFY(ben.waitFor("HM" + rejectedText()));
        QVERIFY(ben.closedByServer());
        QVERIFY(takeShownTexts().isEmpty()); // never a box on the PC
    }

    // 40 connections at once: 32 are served, the others are told and closed at once.
    void connectionLimit()
    {
        PhoneRig p;
        QList<QTcpSocket*> sockets;
        QObject owner;
        for (int i = 0; i < 40; ++i) {
            auto* s = new QTcpSocket(&owner);
            s->connectToHost(QHostAddress::LocalHost, p.server->port());
            sockets << s;
        }
        const auto closed = [&] {
            return std::count_if(sockets.cbegin(), sockets.cend(), [](const QTcpSocket* s) {
                return s->state() == QAbstractSocket::UnconnectedState;
            });
        };
        QTRY_COMPARE(closed(), 8);
        QCOMPARE(p.server->phones().size(), 32);
        int told = 0;
        for (QTcpSocket* s : std::as_const(sockets))
            if (s->state() == QAbstractSocket::UnconnectedState &&
                s->readAll() == alertLine(tooManyConnectionsText(32)))
                ++told;
        QCOMPARE(told, 8);
    }

    // A connection that does not say who it is in time is closed; one that does stays.
    void silentConnectionsAreClosed()
    {
        PhoneRig p({{"WiThrottleApproval", "0"}});
        p.server->setIdentifyMs(400);
        Notes notes(p.rig->window->link());
        Phone silent, named;
        QVERIFY(silent.connectTo(p.server->port()));
        QVERIFY(named.connectTo(p.server->port()));
        named.send("NAnna");
        silent.send("MT+S3<;>S3"); // driving is not saying who it is
        QVERIFY(silent.closedByServer());
        QTest::qWait(200);
        QCOMPARE(named.socket.state(), QAbstractSocket::ConnectedState);
        QTRY_COMPARE(p.server->phones().size(), 1);
        QVERIFY(notes.reasons.contains("ohne Namen, Verbindung getrennt"));
        QTRY_COMPARE(p.drivingFrames(), Frames{Request::stopLoco(1, 3)}); // its loco stopped
    }

    // A phone that asks and never reads: what waits for it stays bounded, and once past the bound
    // its connection is closed and its loco stopped. The traffic is bounded too.
    void clientThatNeverReads()
    {
        PhoneRig p({{"WiThrottleApproval", "0"}});
        Notes notes(p.rig->window->link());
        QTcpSocket deaf;
        deaf.setReadBufferSize(1024); // stops taking from the network once that much waits
        deaf.connectToHost(QHostAddress::LocalHost, p.server->port());
        QVERIFY(deaf.waitForConnected(3000));
        deaf.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
        deaf.write("NTaub\nMT+S3<;>S3\nMTAS3<;>V63\n");
        QTRY_COMPARE(p.drivingFrames(), Frames{Request::setLocoSpeed(1, 3, controllerSpeed(63))});
        // Each acquire is answered with some 400 bytes.
        QByteArray lines;
        for (int i = 0; i < 1000; ++i)
            lines += "MT+S3<;>S3\n";
        qint64 sent = 0;
        const qint64 most = 4 * 1024 * 1024;
        while (!p.server->phones().isEmpty() && sent < most) {
            sent += deaf.write(lines);
            QTest::qWait(5);
        }
        QTRY_VERIFY(p.server->phones().isEmpty());
        QTRY_COMPARE(p.drivingFrames(),
                     (Frames{Request::setLocoSpeed(1, 3, controllerSpeed(63)), Request::stopLoco(1, 3)}));
        QVERIFY(notes.reasons.contains("liest nicht mit, Verbindung getrennt"));
    }

    // What one connection holds stays bounded: locos up to MaxHeldLocos.
    void heldLocosAreBounded()
    {
        PhoneRig p({{"WiThrottleApproval", "0"}});
        Phone phone;
        QVERIFY(phone.connectTo(p.server->port()));
        QByteArray acquires;
        for (int loco = 1; loco <= MaxHeldLocos + 1; ++loco)
            acquires += "MT+S" + QByteArray::number(loco) + "<;>S" + QByteArray::number(loco) + '\n';
        QVERIFY(phone.sendAndSettle(acquires + "MT+S1<;>S1", "NAnna")); // the first once more
        QCOMPARE(phone.lines.count("HM" + tooManyLocosText(MaxHeldLocos)), 1);
        QCOMPARE(p.server->phones().first().locos.size(), MaxHeldLocos);
        QVERIFY(phone.sendAndSettle("MTA*<;>V63", "NAnna"));
        QTRY_COMPARE(p.drivingFrames().size(), MaxHeldLocos);
    }

    // What a phone is told for each line (alerts, track power and speeds exactly), the frames and
    // the monitor's reasons, under the stored permissions. "click" presses loco 3's direction
    // button, "hold" opens a window that keeps the line and the track switched off. Where forward
    // is given, button, picture, tooltip, phone and loco entry must all say that direction (1 forward).
    void phoneLines_data()
    {
        QTest::addColumn<Stored>("stored");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<QStringList>("told");
        QTest::addColumn<Frames>("frames");
        QTest::addColumn<QStringList>("logged");
        QTest::addColumn<int>("forward"); // of loco 3; -1 unchecked
        const auto row = [](const char* name, const Stored& stored, const QStringList& sent,
                            const QStringList& told, const Frames& frames, const QStringList& logged,
                            int forward = -1) {
            QTest::newRow(name) << stored << sent << told << frames << logged << forward;
        };
        const QString fast = "Geschwindigkeit über 126", s128 = shortAddressText(128);
        const QString s7 = addressMismatchText("S3", "S7"), named = addressMismatchText("S3", "Lok 1000"),
                      unknown = unknownLocoText("Lok 9"), power = powerNotAllowedText();
        const QString busy =
            "Der Controller ist belegt: die Lok-Konfiguration ist geöffnet. Bitte später noch einmal.";
        const QString acquire = "MT+S3<;>S3", v0 = "MTAS3<;>V0";
        row("speeds beyond 126 ignored, negative stops; steps of a loco outside the configuration", {},
            {"MT+S9<;>S9", "MTAS9<;>V127", "MTAS9<;>V200", "MTAS9<;>V999", "MTAS9<;>V-1", "MT+L128<;>L128"},
            {"MTAS9<;>V0", "MTAS9<;>s1", "MTAL128<;>V0", "MTAL128<;>s1"}, {Request::stopLoco(1, 9)},
            {fast, fast, fast});
        row("short addresses end at 127", {}, {"MT+S128<;>S128"}, {"HM" + s128}, {}, {s128});
        row("a key names its own loco, a roster name a configured one", {},
            {"MT+S3<;>S7", "MT+S3<;>ELok 1000", "MT+S9<;>ELok 9", "MTAS3<;>V10"},
            {"HM" + s7, "HM" + named, "HM" + unknown}, {}, {s7, named, unknown, "Lok nicht übernommen"});
        row("button pressed: forward", {}, {acquire, "click"}, {v0}, {Request::setLocoDirection(1, 3, true)},
            {}, 1);
        row("phone R0: backward", {}, {acquire, "click", "MTAS3<;>R0"}, {v0},
            {Request::setLocoDirection(1, 3, true), Request::setLocoDirection(1, 3, false)}, {}, 0);
        row("a window holds the line: refused with its reason, the stop passes, the track is off already", {},
            {acquire, "hold", "MTAS3<;>V10", "MTAS3<;>F10", "MTAS3<;>X", "PPA0", "PPA1"},
            {v0, "HM" + busy, "HM" + busy, "PPA0", "HM" + busy}, {Request::stopLoco(1, 3)},
            {busy, busy, busy});
        row("track power refused both ways", {{"WiThrottleAllowPower", "0"}}, {"PPA1", "PPA0"},
            {"HM" + power, "HM" + power}, {}, {power, power});
        row("half speed: full travel is 50 %, half travel a quarter", {{"WiThrottleMaxSpeed", "50"}},
            {acquire, "MTAS3<;>V126", "MTA*<;>qV", "MTAS3<;>V63", "MTA*<;>qV", "MTAS3<;>X"},
            {v0, "MTAS3<;>V126", "MTAS3<;>V63"},
            {Request::setLocoSpeed(1, 3, 128), Request::setLocoSpeed(1, 3, 64), Request::stopLoco(1, 3)}, {});
    }
    void phoneLines()
    {
        QFETCH(Stored, stored);
        QFETCH(QStringList, sent);
        QFETCH(QStringList, told);
        QFETCH(Frames, frames);
        QFETCH(QStringList, logged);
        QFETCH(int, forward);
        stored.insert("WiThrottleApproval", "0");
        PhoneRig p(stored); // loco 3 on throttle 2
        Notes notes(p.rig->window->link());
        Phone phone;
        QVERIFY(phone.connectTo(p.server->port()));
        QVERIFY(phone.waitFor("RL2]\\[Lok 3}|{3}|{S]\\[Lok 1000}|{1000}|{L"));
        phone.lines.clear();
        p.rig->link.port.resetLog(); // the roster read of the greeting
        QToolButton* button = p.rig->window->throttle(2)->directionButton();
        LineClient window(p.rig->window->link(), "Lok-Konfiguration", LineClient::Kind::Screen);
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
        const QRegularExpression exact("^(HM|PPA|MTA.*<;>V)");
        QCOMPARE(phone.lines.filter(exact), told.filter(exact));
        QTRY_COMPARE(p.rig->sent(), frames);
        QCOMPARE(notes.reasons, logged);
        if (forward < 0)
            return;
        const FrameFields e = p.rig->board().answer(Request::readLocoEntry(1, 3));
        const QString listed = Locos::directionNodeText(Locos::locoFromEntry(e.data1, e.data2, e.data3));
        QCOMPARE(listed, QStringLiteral("Fahrtrichtung: ") + (forward ? "vorwärts" : "rückwärts"));
        QCOMPARE(button->toolTip(), listed);
        QCOMPARE(button->isChecked(), forward == 1);
        const QIcon picture(forward ? ":/icons/direction_forward.png" : ":/icons/direction_reverse.png");
        QCOMPARE(button->icon().pixmap(32).toImage(), picture.pixmap(32).toImage());
        QCOMPARE(phone.lines.filter("MTAS3<;>R").last(), QString("MTAS3<;>R%1").arg(forward));
    }

    // The network the settings name, and one that is not an address at all: nowhere, not everywhere.
    void listeningAddress()
    {
        QTcpServer probe; // a free port for the settings
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const QString port = QString::number(probe.serverPort());
        probe.close();
        PhoneRig p({{"WiThrottle", "1"}, {"WiThrottlePort", port}, {"WiThrottleAddress", "127.0.0.1"}},
                   false);
        QCOMPARE(p.server->address(), QHostAddress(QHostAddress::LocalHost));
        QCOMPARE(QString::number(p.server->port()), port);
        krPhoneThrottles* dialog = p.dialog();
        auto* networks = dialog->findChild<QComboBox*>("cboAddress");
        QCOMPARE(networks->itemText(0), QStringLiteral("Alle Netzwerke"));
        QCOMPARE(networks->currentData().toString(), QStringLiteral("127.0.0.1"));
        QVERIFY(p.panel()->toolTip().startsWith("Handregler-Server auf 127.0.0.1, Port "));

        WriteSetting("WiThrottleAddress", "nirgendwo", "Taktora");
        p.server->close();
        krPhoneThrottles::startFromSettings(*p.server);
        QVERIFY(!p.server->isListening());
        QCOMPARE(p.server->errorString(), QStringLiteral("keine gültige Netzwerkadresse"));
        QVERIFY(!p.panel()->isVisibleTo(p.rig->window.get()));
    }
};

TAKTORA_TEST_MAIN(TestWiThrottleAccess)
#include "tst_withrottle_access.moc"
