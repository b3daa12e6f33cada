// SPDX-License-Identifier: GPL-3.0-or-later
// Turnouts and routes: the frames a position stands for, what the table accepts and how it comes
// back from its file; switched from the window and from phones on 127.0.0.1, every phone told of
// every change, a route stopped at a decoder the Controller cannot reach, and the refusals.

#include "krTurnouts.h"
#include "TestMain.h"
#include "TestPhone.h"
#include "TurnoutTable.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

using namespace Turnouts;

namespace {

QTemporaryDir dataHome;

Layout station()
{
    Layout layout;
    layout.turnouts = {{"W12 Bahnhof Einfahrt", Kind::Turnout, 3, 1, true, true},
                       {"W13 Gleis 2", Kind::Turnout, 3, 2, true, true},
                       {"W14 Abstellgleis", Kind::Turnout, 30, 1, false, true},
                       {"A1 Einfahrsignal", Kind::Signal, 4, 1, true, false}};
    layout.routes = {
        {"Einfahrt Gleis 2", {{"W12 Bahnhof Einfahrt", Position::Thrown}, {"W13 Gleis 2", Position::Closed}}},
        {"Abstellgleis",
         {{"W12 Bahnhof Einfahrt", Position::Closed},
          {"W14 Abstellgleis", Position::Thrown},
          {"W13 Gleis 2", Position::Thrown}}}};
    layout.routeGapMs = 0;
    return layout;
}

// The main window on the emulator, whose Controller cannot reach decoder 30, with the station's
// table and phones let in without asking.
struct Station : PhoneRig
{
    explicit Station(const QString& allowTurnouts = "1")
        : PhoneRig({{"WiThrottleApproval", "0"}, {"WiThrottleAllowTurnouts", allowTurnouts}}, true,
                   {"--failing-accessory", "30"})
    {}
    krTurnouts* window()
    {
        rig->window->findChild<QAction*>("btnTurnouts")->trigger();
        return rig->window->findChild<krTurnouts*>();
    }
    // "command:decoder:port" of the accessory frames, each attempt.
    QStringList switched() const
    {
        return rig->sentLines({Command::SwitchAccessoryOn, Command::SwitchAccessoryOff});
    }
};

} // namespace

class tst_turnouts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // No system bus: nothing here may reach an Avahi daemon or send multicast.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/taktora-test");
        qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
        TurnoutTable table;
        QCOMPARE(table.save(station()), QString());
    }

    void rules()
    {
        // The output that means "gerade" is switched on for it, off for "abzweigend", or the other
        // way round; decoder 300 is low byte 44, high byte 1; port 2 is data byte 1.
        Turnout t{"W1", Kind::Turnout, 300, 2, true, true};
        QCOMPARE(switchFrame(7, t, Position::Closed), Request::switchAccessory(7, 300, 1, true));
        QCOMPARE(switchFrame(7, t, Position::Thrown).command, Command::SwitchAccessoryOff);
        t.closedIsOn = false;
        QCOMPARE(switchFrame(7, t, Position::Closed).command, Command::SwitchAccessoryOff);
        QCOMPARE((QList<quint8>{switchFrame(7, t, Position::Thrown).data1,
                                switchFrame(7, t, Position::Thrown).data2}),
                 (QList<quint8>{44, 1}));

        const Layout layout = station();
        QCOMPARE(turnoutProblem({"w13 gleis 2", Kind::Turnout, 5, 1, true, true}, layout.turnouts),
                 QStringLiteral("Der Name „w13 gleis 2“ ist schon vergeben."));
        QCOMPARE(turnoutProblem({"W20", Kind::Turnout, 512, 1, true, true}, layout.turnouts),
                 QStringLiteral("Die Decoder-ID muss zwischen 1 und 511 liegen."));
        QCOMPARE(turnoutProblem({" ", Kind::Turnout, 5, 1, true, true}, layout.turnouts),
                 QStringLiteral("Bitte einen Namen eingeben."));
        QCOMPARE(routeProblem({"R", {{"W99", Position::Closed}}}, {}, layout.turnouts),
                 QStringLiteral("Eine Weiche „W99“ gibt es nicht."));
        QVERIFY(removalProblem("W13 Gleis 2", layout.routes).contains("Einfahrt Gleis 2"));

        // Back from its file as it went in; a damaged entry is left out and named.
        QCOMPARE(fromJson(toJson(layout)).layout, layout);
        QByteArray damaged = toJson(layout).replace("\"decoder\": 4", "\"decoder\": 0");
        const Reading reading = fromJson(damaged);
        QCOMPARE(reading.layout.turnouts.size(), 3);
        QCOMPARE(reading.problems, QStringList{"Weiche „A1 Einfahrsignal“ ausgelassen: Die Decoder-ID muss "
                                               "zwischen 1 und 511 liegen."});
    }

    void windowAndPhones()
    {
        Station s;
        Phone a, b;
        QVERIFY(a.connectTo(s.server->port()));
        QVERIFY(b.connectTo(s.server->port()));
        // The signal is the PC's only: phones are not shown it, nor the routes that set it.
        const QString list = "PTL]\\[LT1}|{W12 Bahnhof Einfahrt}|{1]\\[LT2}|{W13 Gleis 2}|{1]\\[LT3}|{W14 "
                             "Abstellgleis}|{1";
        QVERIFY(a.waitFor(list));

        // A phone throws W12: its frame, the other phone follows, the window shows it.
        krTurnouts* window = s.window();
        QVERIFY(window);
        a.send("PTATLT1");
        QVERIFY(b.waitFor("PTA4LT1"));
        QCOMPARE(s.switched(), QStringList{"25:3:0"});
        QCOMPARE(window->turnoutTable()->item(0, 4)->text(), QStringLiteral("abzweigend"));
        // The window sets W13 straight: both phones hear it.
        window->findChild<QPushButton*>("cmdClosed_1")->click();
        QVERIFY(a.waitFor("PTA2LT2") && b.waitFor("PTA2LT2"));
        QVERIFY(a.waitFor("PRA2IR1")); // which makes "Einfahrt Gleis 2" set
        QCOMPARE(s.switched(), (QStringList{"25:3:0", "26:3:1"}));
        // A toggle of W12 goes back to straight.
        b.send("PTA2LT1");
        QVERIFY(a.waitFor("PTA2LT1"));

        // The route stops at W14, which the Controller refuses twice; W13 is not sent.
        s.rig->link.port.resetLog();
        window->findChild<QPushButton*>("cmdSetRoute_1")->click();
        QTRY_COMPARE(window->status(),
                     routeStoppedText("Abstellgleis", "W14 Abstellgleis", "Controller 1 antwortet nicht."));
        QCOMPARE(s.switched(), (QStringList{"26:3:0", "26:30:0", "26:30:0"}));

        // A phone sets the first route: both turnouts in order.
        s.rig->link.port.resetLog();
        b.send("PRA2IR1");
        QVERIFY(a.waitFor("PTA4LT1"));
        QTRY_COMPARE(s.switched(), (QStringList{"25:3:0", "26:3:1"}));
    }

    // The editor as the user fills it in; a renamed turnout keeps its routes; one a route sets stays.
    void editing()
    {
        Station s;
        krTurnouts* window = s.window();
        QString problem;
        QTimer::singleShot(0, [&problem] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            dialog->findChild<QLineEdit*>("txtName")->setText("W13 Gleis 2"); // taken
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            problem = dialog->findChild<QLabel*>("lblProblem")->text();
            dialog->findChild<QLineEdit*>("txtName")->setText("W15 Schuppen");
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        window->findChild<QPushButton*>("cmdAddTurnout")->click();
        QCOMPARE(problem, QStringLiteral("Der Name „W13 Gleis 2“ ist schon vergeben."));
        QVERIFY(window->putTurnout(1, {"W13 Gleis zwei", Kind::Turnout, 3, 2, true, true}));
        QVERIFY(!window->removeTurnout(0));
        QCOMPARE(window->status(), removalProblem("W12 Bahnhof Einfahrt", station().routes));

        TurnoutTable stored; // as the next start reads it
        QCOMPARE(stored.load(), QStringList());
        const Turnout added{"W15 Schuppen", Kind::Turnout, 4, 2, true, true}; // after the signal's output
        QCOMPARE(stored.turnouts().last(), added);
        QCOMPARE(stored.routes()[0].steps[1].turnout, QStringLiteral("W13 Gleis zwei"));
        QCOMPARE(TurnoutTable().save(station()), QString());
    }

    void refusals()
    {
        {
            Station s;
            Phone phone;
            QVERIFY(phone.connectTo(s.server->port()));
            QVERIFY(phone.sendAndSettle("PTACLT4")); // the signal
            QVERIFY(phone.lines.contains("HMDiese Weiche dürfen Handregler nicht schalten."));
            QVERIFY(phone.sendAndSettle("PTAXLT1")); // no such command: nothing goes out
            QCOMPARE(s.switched(), QStringList());
            // The phone that set the route hears where it stopped.
            phone.send("PRA2IR2");
            QVERIFY(phone.waitFor("HM" + routeStoppedText("Abstellgleis", "W14 Abstellgleis",
                                                          "Controller 1 antwortet nicht.")));
        }
        Station s("0");
        Phone phone;
        QVERIFY(phone.connectTo(s.server->port()));
        QVERIFY(phone.waitFor("PTL"));
        QVERIFY(phone.sendAndSettle("PTACLT1"));
        QVERIFY(phone.lines.contains("HM" + WiThrottle::turnoutsNotAllowedText()));
        QCOMPARE(s.switched(), QStringList());
    }
};

TAKTORA_TEST_MAIN(tst_turnouts)
#include "tst_turnouts.moc"
