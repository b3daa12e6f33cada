// SPDX-License-Identifier: GPL-3.0-or-later
// The Controller's cable is pulled while the program runs: the real main window on a real
// pseudo-terminal that disappears between exchanges and in the middle of one.

#include "CommandSet.h"
#include "krTaktora.h"
#include "MessageBox.h"
#include "SerialDevices.h"
#include "SimDashboard.h"
#include "TestMain.h"
#include "ThrottlePanel.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QSlider>
#include <QThread>

#include <csignal>
#include <unistd.h>

namespace {
const QString kNoAnswer = QStringLiteral("Controller 1 antwortet nicht.");
const QString kPortError = QStringLiteral(
    "Fehler beim Zugriff auf COM3\n\nBitte überprüfen Sie den eingestellten COM-Port.\n\n(Fehler ");

// The boxes shown since the last call, a port error as "port": each transaction that fails
// on the vanished port reports it once, however many attempts it makes.
QStringList shownBoxes()
{
    QStringList texts;
    for (const MessageBox::Shown& box : MessageBox::takeShown())
        texts << (box.text.startsWith(kPortError) ? QStringLiteral("port") : box.text);
    return texts;
}
const QStringList kFailedCommand{QStringLiteral("port"), kNoAnswer};

} // namespace

class TestUnplugged : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QSettings(QStringLiteral("KORADIN"), QStringLiteral("KORADIN")).clear();
        MessageBox::takeShown();
    }

    // The cable goes while the window waits, then during a command: said once each time, the port
    // marked, the same path reopened when the cable is back, and nothing sent before a new check.
    void reconnectsWhenTheCableIsBack()
    {
        QTemporaryDir folder;
        const QString link = folder.filePath(QStringLiteral("ttyTaktora"));
        SimDashboard dash({"--link", link});
        QVERIFY2(dash.start(), qPrintable(dash.sim.errorString()));
        SimProcess& sim = dash.sim;
        auto* port = dash.window->findChild<QLabel*>(QStringLiteral("pnlComPort"));
        auto* controls = dash.window->findChild<QWidget*>(QStringLiteral("ControllerFrame"));
        auto* board = dash.window->findChild<QLabel*>(QStringLiteral("pnlBoardLayout"));
        for (const bool duringACommand : {false, true}) {
            QCOMPARE(dash.check(), QStringLiteral("OK (Firmware 5.2.3) "));
            QCOMPARE(board->text(), QStringLiteral("Mega"));
            ::kill(pid_t(sim.pid()), SIGUSR1);
            if (duringACommand) {
                while (QFileInfo::exists(link)) // no events meanwhile: the window has not noticed
                    QThread::msleep(5);
                dash.window->throttle(0)->slider()->setValue(100);
                QCOMPARE(shownBoxes(), kFailedCommand);
            }
            QTRY_COMPARE(port->text(), QStringLiteral("COM3 getrennt"));
            QCOMPARE(shownBoxes(), duringACommand ? QStringList() : QStringList{"port"});
            QCOMPARE(board->text(), QStringLiteral("unbekannt")); // until the next check

            const qsizetype sent = sim.requests().size();
            ::kill(pid_t(sim.pid()), SIGUSR2);
            QTRY_COMPARE(port->text(), QStringLiteral("COM3"));
            QCOMPARE(dash.status(),
                     QStringLiteral("Schnittstelle wieder verbunden – bitte Controller erneut prüfen"));
            QVERIFY(controls->isHidden());
            QCOMPARE(sim.requests().size(), sent);
            QCOMPARE(shownBoxes(), QStringList());
        }
        QCOMPARE(dash.check(), QStringLiteral("OK (Firmware 5.2.3) "));
        dash.window->throttle(0)->slider()->setValue(60);
        QCOMPARE(sim.requests().last(), Request::setLocoSpeed(1, 1, 195));
        QCOMPARE(shownBoxes(), QStringList());
    }

    // The cable is pulled and put back while the decoder sheet is open: the Controller must be
    // checked again, so the window's next operation says so and sends nothing.
    void windowsWaitForACheckAfterAReplug()
    {
        QTemporaryDir folder;
        const QString link = folder.filePath(QStringLiteral("ttyTaktora"));
        SimDashboard dash({"--link", link});
        QVERIFY2(dash.start(), qPrintable(dash.sim.errorString()));
        QCOMPARE(dash.check(), QStringLiteral("OK (Firmware 5.2.3) "));
        auto* port = dash.window->findChild<QLabel*>(QStringLiteral("pnlComPort"));
        qsizetype before = -1;
        qsizetype after = -2;
        QStringList said;
        QTimer::singleShot(0, dash.window.get(), [&] {
            QWidget* window = QApplication::activeModalWidget();
            QVERIFY(window);
            const auto closing = qScopeGuard([window] { window->close(); });
            // Opened: the first activation has read and switched the track off.
            QTRY_VERIFY(window->windowTitle().endsWith(QStringLiteral("(Controller 1)")));
            QCoreApplication::processEvents();
            ::kill(pid_t(dash.sim.pid()), SIGUSR1);
            QTRY_COMPARE(port->text(), QStringLiteral("COM3 getrennt"));
            ::kill(pid_t(dash.sim.pid()), SIGUSR2);
            QTRY_COMPARE(port->text(), QStringLiteral("COM3"));
            MessageBox::takeShown();
            before = dash.sim.requests().size();
            window->findChild<QPushButton*>(QStringLiteral("cmdReadAll"))->click();
            said = shownBoxes();
            after = dash.sim.requests().size();
        });
        dash.window->findChild<QAction*>(QStringLiteral("btnDecoderSheet"))->trigger();
        QCOMPARE(said, QStringList{QStringLiteral("Bitte zuerst den Controller prüfen.")});
        QCOMPARE(after, before);
    }

    // A board found under /dev/serial/by-id is known by that name, which stays when it comes back
    // as another ttyACM.
    void boardsAreKnownByTheirStableName()
    {
        QTemporaryDir dev;
        QDir(dev.path()).mkpath(QStringLiteral("serial/by-id"));
        for (const char* name : {"ttyACM0", "ttyACM1", "ttyUSB0"})
            QVERIFY(QFile(dev.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly));
        const QString byId = dev.filePath(QStringLiteral("serial/by-id"));
        const QString board = byId + QStringLiteral("/usb-KORADIN_Controller_1234-if00");
        QCOMPARE(::symlink("../../ttyACM0", qPrintable(byId + QStringLiteral("/usb-Other_Board_9-if00"))), 0);
        QCOMPARE(::symlink("../../ttyACM1", qPrintable(board)), 0);
        QCOMPARE(stableDeviceName(dev.filePath(QStringLiteral("ttyACM1")), byId), board);
        QCOMPARE(stableDeviceName(dev.filePath(QStringLiteral("ttyACM1")), dev.filePath("none")), QString());
    }
};

TAKTORA_TEST_MAIN(TestUnplugged)
#include "tst_unplugged.moc"
