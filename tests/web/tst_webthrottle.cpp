// SPDX-License-Identifier: GPL-3.0-or-later
// The browser throttle: its messages as the parser takes them, and the page in Debian's headless
// Chromium on 127.0.0.1 against the main window on the emulator: a page drives a loco and the
// main window follows and back, two pages see each other, the emergency stop, a page waiting
// for approval, and the page at 360 px wide with every control in reach.

#include "CommandSet.h"
#include "DashboardRig.h"
#include "Roster.h"
#include "TestMain.h"
#include "WebThrottleServer.h"
#include "WiThrottleSettings.h"

#include <QLabel>
#include <QProcess>
#include <QSettings>
#include <QSlider>

using namespace Web;

namespace {

QTemporaryDir dataHome;

// The main window, checked, with the browser throttle on 127.0.0.1 and the approval as given.
struct WebRig
{
    std::unique_ptr<DashboardRig> rig;
    WebThrottleServer* server;
    explicit WebRig(bool approval)
    {
        QSettings("KORADIN", "KORADIN").clear();
        WriteSetting(QStringLiteral("WiThrottleApproval"), approval ? "1" : "0", QStringLiteral("Taktora"));
        rig = std::make_unique<DashboardRig>(QStringList{"--locos", "3:28,1000:126"});
        rig->check();
        server = rig->window->webServer();
        server->setAccess(WiThrottle::Settings::access());
        server->listen(0, QHostAddress::LocalHost);
    }
    // "command:loco:data3" of the frames that drive.
    QStringList driving() const
    {
        return rig->sentLines(
            {Command::SetLocoDirection, Command::SetLocoSpeed, Command::StopLoco, Command::LocoFunctionOn});
    }
    // Runs the page's scenario in Debian's own Python, whose Selenium drives Debian's Chromium;
    // `step` acts when the page says it has got that far.
    QString run(const QString& scenario, const std::function<void(const QString&)>& step = {})
    {
        QProcess browser;
        QString said;
        QObject::connect(&browser, &QProcess::readyReadStandardOutput, [&] {
            while (browser.canReadLine()) {
                const QString line = QString::fromUtf8(browser.readLine()).trimmed();
                said += line + '\n';
                if (line.startsWith("step ") && step)
                    step(line.mid(5));
            }
        });
        const QStringList args{BROWSER_SCRIPT, scenario,
                               QStringLiteral("http://127.0.0.1:%1/").arg(server->port())};
        browser.start(
            "/usr/bin/python3",
            args + QStringList(qEnvironmentVariable("TAKTORA_WEB_SHOTS")).filter(QRegularExpression(".")));
        if (!QTest::qWaitFor([&] { return browser.state() == QProcess::NotRunning; }, 120000))
            browser.kill();
        return browser.exitCode() == 0 ? said : said + QString::fromUtf8(browser.readAllStandardError());
    }
};

} // namespace

class tst_webthrottle : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/taktora-test");
        // Loco 3 in the roster, its F1 labelled: the page shows both.
        qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
        Roster::Entry v100;
        v100.id = QStringLiteral("V 100");
        v100.number = 3;
        v100.functions[1].label = QStringLiteral("Rauch");
        QList<Roster::Entry> entries{v100};
        QCOMPARE(LocoRoster::writeFolder(LocoRoster::defaultFolder(), entries), QString());
    }

    void messages()
    {
        const Message drive = parseMessage("{\"type\":\"throttle\",\"data\":{\"throttle\":\"T1\",\"speed\":0."
                                           "5,\"F12\":true,\"forward\":false}}");
        QCOMPARE(drive.kind, Kind::Throttle);
        QCOMPARE(drive.speed, 0.5);
        QCOMPARE(drive.forward, false);
        QCOMPARE(drive.functions, (QMap<int, bool>{{12, true}}));
        // Out of range, of the wrong kind, too long, or no object at all: nothing to act on.
        for (const QByteArray& bad :
             {QByteArray("{\"type\":\"throttle\",\"data\":{\"throttle\":\"T1\",\"address\":10240}}"),
              QByteArray("{\"type\":\"throttle\",\"data\":{\"throttle\":\"T1\",\"speed\":\"1\"}}"),
              QByteArray("{\"type\":\"throttle\",\"data\":{\"address\":3}}"),
              QByteArray("{\"type\":\"turnout\",\"data\":{\"name\":\"LT1\",\"state\":3}}"),
              QByteArray("[1,2]"),
              "{\"type\":\"ping\",\"pad\":\"" + QByteArray(MaxMessageBytes, 'x') + "\"}"})
            QVERIFY2(parseMessage(bad).kind == Kind::Invalid, bad.left(80).constData());
        QCOMPARE(parseMessage("{\"type\":\"power\",\"data\":{\"state\":4}}").state, Off);
        QCOMPARE(parseMessage("{\"type\":\"power\"}").kind, Kind::List); // a question for the state
    }

    // The page drives loco 3: its frames on the line, the main window's throttle of loco 3
    // follows; the main window's slider moves the page's.
    void pageDrivesAndTheMainWindowFollows()
    {
        WebRig web(false);
        web.rig->link.port.resetLog();
        QString followed;
        const QString said = web.run("drive", [&](const QString& step) {
            if (step != "driven")
                return;
            // Throttle 2 holds loco 3 since the check.
            followed = web.rig->find<QLabel>("lblSliderValue_2")->text();
            web.rig->find<QSlider>("krSlider_2")->setValue(255 - 51);
        });
        QVERIFY2(said.endsWith("done\n"), qPrintable(said));
        QCOMPARE(followed, QStringLiteral("50 %"));
        // A page that has gone leaves no loco running.
        QTRY_COMPARE(web.rig->find<QLabel>("lblSliderValue_2")->text(), QStringLiteral("0 %"));
        const QStringList frames = web.driving();
        QVERIFY2(frames.contains("23:3:128") && frames.contains("22:3:1") && frames.contains("27:3:1"),
                 qPrintable(frames.join(' ')));
    }

    void pagesSeeEachOther()
    {
        WebRig web(false);
        const QString said = web.run("follow");
        QVERIFY2(said.endsWith("done\n"), qPrintable(said));
    }

    void emergencyStopForAll()
    {
        WebRig web(false);
        web.rig->link.port.resetLog();
        const QString said = web.run("estop");
        QVERIFY2(said.endsWith("done\n"), qPrintable(said));
        QVERIFY(web.driving().contains("24:65535:0"));
    }

    void pageWaitsForApproval()
    {
        WebRig web(true);
        const QString said = web.run("waiting", [&](const QString&) {
            QCOMPARE(web.server->browsers().size(), 1);
            QVERIFY(web.server->browsers().first().waiting);
            // The main window's status bar counts the page at the door, as it does phones.
            QCOMPARE(web.rig->find<QLabel>("pnlPhones")->text(), QStringLiteral("Handregler: 1 wartet"));
            QVERIFY(web.server->approve(web.server->browsers().first().number));
            QCOMPARE(web.rig->find<QLabel>("pnlPhones")->text(), QStringLiteral("Handregler: 1 verbunden"));
        });
        QVERIFY2(said.endsWith("done\n"), qPrintable(said));
        // Kept like a phone's: the next start lets the page in at once.
        QCOMPARE(WiThrottle::Settings::access().devices.size(), 1);
    }

    void narrowScreen()
    {
        WebRig web(false);
        const QString said = web.run("narrow");
        QVERIFY2(said.endsWith("done\n"), qPrintable(said));
    }
};

TAKTORA_TEST_MAIN(tst_webthrottle)
#include "tst_webthrottle.moc"
