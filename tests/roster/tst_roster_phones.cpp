// SPDX-License-Identifier: GPL-3.0-or-later
// A phone on 127.0.0.1 sees the roster's names and labels, acquires a loco by its name, and the
// server works a push-button function itself and keeps the loco under its top speed.

#include "DashboardRig.h"
#include "Roster.h"
#include "TestMain.h"
#include "TestPhone.h"
#include "WiThrottleServer.h"

#include <QSettings>

namespace {

QTemporaryDir dataHome;

// The main window on the fake port, its phone server on 127.0.0.1, phones let in without asking.
struct RosterPhones : PhoneRig
{
    RosterPhones() : PhoneRig({{"WiThrottleApproval", "0"}}, true, {"--locos", "3:28,218:126,5:14"}) {}
    // "command:loco:data3" of the frames that drive a loco.
    QStringList drivingLines() const
    {
        return rig->sentLines({Command::SetLocoSpeed, Command::LocoFunctionOn, Command::LocoFunctionOff});
    }
};

} // namespace

class tst_roster_phones : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void namesAndLabels();
    void driving_data();
    void driving();
};

void tst_roster_phones::initTestCase()
{
    // No system bus: nothing here may reach an Avahi daemon or send multicast.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/taktora-test");
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
    QList<Roster::Entry> imported = LocoRoster::readFolder(QStringLiteral(ROSTER_DATA)).entries;
    QCOMPARE(LocoRoster::writeFolder(LocoRoster::defaultFolder(), imported), QString());
}

void tst_roster_phones::namesAndLabels()
{
    RosterPhones p;
    Phone phone;
    QVERIFY(phone.connectTo(p.server->port()));
    QVERIFY(phone.waitFor(QStringLiteral("RL3]\\[V 100}|{3}|{S]\\[BR 218}|{218}|{L]\\[Lok 5}|{5}|{S")));
    QVERIFY(phone.sendAndSettle("MT+L218<;>EBR 218"));
    QVERIFY(phone.lines.contains(QStringLiteral("MT+L218<;>")));
    QVERIFY(phone.lines.contains(QStringLiteral(
        "MTLL218<;>]\\[Licht]\\[Fahrgeräusch]\\[Horn]\\[Rangiergang]\\[F4]\\[F5]\\[F6]\\[F7]\\[F8]"
        "\\[F9]\\[F10]\\[F11]\\[F12]\\[")));
    // The number's own name still works; a name the roster does not have is refused.
    QVERIFY(phone.sendAndSettle("MS+S3<;>ELok 3"));
    QVERIFY(phone.lines.contains(QStringLiteral("MS+S3<;>")));
    QVERIFY(phone.sendAndSettle("MU+S5<;>EV 100"));
    QVERIFY(!phone.lines.contains(QStringLiteral("MU+S5<;>")));
}

void tst_roster_phones::driving_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QList<QByteArray>>("actions");
    QTest::addColumn<QStringList>("frames");
    QTest::newRow("horn: press on, release off")
        << QByteArray("L218") << QList<QByteArray>{"F12", "F02"} << QStringList{"27:218:2", "28:218:2"};
    QTest::newRow("latching: press toggles, release nothing")
        << QByteArray("L218") << QList<QByteArray>{"F11", "F01", "F11", "F01"}
        << QStringList{"27:218:1", "28:218:1"};
    QTest::newRow("whistle F12 of loco 3")
        << QByteArray("S3") << QList<QByteArray>{"F112", "F012"} << QStringList{"27:3:12", "28:3:12"};
    QTest::newRow("top speed 80 %") << QByteArray("L218") << QList<QByteArray>{"V126", "V50"}
                                    << QStringList{"23:218:204", "23:218:101"};
    QTest::newRow("loco without entry")
        << QByteArray("S5") << QList<QByteArray>{"V126", "F12", "F02"} << QStringList{"23:5:255", "27:5:2"};
}

void tst_roster_phones::driving()
{
    QFETCH(QByteArray, key);
    QFETCH(QList<QByteArray>, actions);
    QFETCH(QStringList, frames);
    RosterPhones p;
    Phone phone;
    QVERIFY(phone.connectTo(p.server->port()));
    const QByteArray address = key.mid(1);
    QVERIFY(phone.sendAndSettle("MT+" + key + "<;>" + key));
    p.rig->link.port.resetLog();
    for (const QByteArray& action : actions)
        QVERIFY(phone.sendAndSettle("MTA" + key + "<;>" + action));
    QTRY_COMPARE(p.drivingLines(), frames);
}

TAKTORA_TEST_MAIN(tst_roster_phones)
#include "tst_roster_phones.moc"
