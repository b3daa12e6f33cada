// The real main window on a real pseudo-terminal against taktora-sim.

#include "AccessoryPanel.h"
#include "CommandSet.h"
#include "krTaktora.h"
#include "krTaktoraTools.h"
#include "Lamp.h"
#include "LocoNumberBox.h"
#include "MessageBox.h"
#include "SimDashboard.h"
#include "TestMain.h"
#include "ThrottlePanel.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSlider>

class TestDashboardSim : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QSettings("KORADIN", "KORADIN").clear();
        MessageBox::takeShown();
    }

    void checkAndDriveAgainstTheEmulator()
    {
        SimDashboard rig({"--board", "mega", "--firmware", "5.2.3"});
        QVERIFY2(rig.start(), qPrintable(rig.sim.errorString()));
        rig.check("1");
        QCOMPARE(rig.status(), QStringLiteral("OK (Firmware 5.2.3) "));
        QCOMPARE(rig.window->findChild<QLabel*>("pnlBoardLayout")->text(), QStringLiteral("Mega"));
        QCOMPARE(rig.window->findChild<QLabel*>("pnlComPort")->text(), QStringLiteral("COM3"));
        QCOMPARE(rig.sim.requests(),
                 (QList<FrameFields>{Request::queryControllerStatus(1), Request::readFirmwareVersion(1),
                                     Request::readLocoEntry(1, 1), Request::readLocoEntry(1, 2),
                                     Request::readLocoEntry(1, 3), Request::readLocoEntry(1, 4),
                                     Request::queryControllerStatus(1), Request::queryControllerStatus(1)}));
        QCOMPARE(rig.window->throttle(2)->speedStepLabel()->text(), QStringLiteral("28 FS"));

        ThrottlePanel* t = rig.window->throttle(0);
        t->FillLocoNumberList();
        QStringList listed;
        for (int i = 0; i < t->locoNumberBox()->count(); ++i)
            listed << t->locoNumberBox()->itemText(i);
        QCOMPARE(listed, (QStringList{"3", "1000", "7", "5"})); // the Controller's own order

        t->locoNumberBox()->setEditText("1000");
        t->slider()->setValue(55);
        t->lightButton()->click();
        rig.window->accessoryPanel(0)->decoderField()->setText("300");
        rig.window->accessoryPanel(0)->onButton(1)->click();
        rig.window->findChild<QPushButton*>("btnLoadCircuit")->click();
        QCOMPARE(rig.window->findChild<Lamp*>("shpCircuitOn")->color(), QColor(0, 192, 0));
        rig.window->findChild<QPushButton*>("btnGlobalStop")->click();
        QCOMPARE(t->slider()->value(), 255);

        const QList<FrameFields> tail = rig.sim.requests().mid(8 + 5);
        QCOMPARE(tail,
                 (QList<FrameFields>{
                     Request::setLocoSpeed(1, 1000, 200), Request::locoFunction(1, 1000, LightFunction, true),
                     Request::switchAccessory(1, 300, 1, true), Request::queryControllerStatus(1),
                     Request::setTrackMode(1, TrackMode::Operation), Request::queryControllerStatus(1),
                     Request::stopLoco(1, AllLocos)}));
        QVERIFY(MessageBox::takeShown().isEmpty());

        // Closing with the track power still on, answered No: it stays on, the panels are saved.
        MessageBox::setNextAnswer(QMessageBox::No);
        QVERIFY(rig.window->close());
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QCOMPARE(rig.sim.requests().last(), Request::queryControllerStatus(1));
        QCOMPARE(ReadSetting("Slider00", "", "Taktora"), QStringLiteral("1000"));
        QCOMPARE(ReadSetting("AccessoryAdress00", "", "Taktora"), QStringLiteral("300"));
    }

    void wrongControllerAndOldFirmware()
    {
        SimDashboard rig({"--controller", "2", "--firmware", "5.1.9"});
        QVERIFY2(rig.start(), qPrintable(rig.sim.errorString()));
        rig.check("1");
        QCOMPARE(rig.status(), QStringLiteral("Controller 1 nicht gefunden"));
        rig.window->findChild<QWidget*>("ControllerFrame")->show();
        rig.check("2");
        QCOMPARE(rig.status(), QStringLiteral("Versionsprobleme zwischen Taktora und Firmware"));
        QCOMPARE(rig.statusColour(), QColor(255, 0, 0));
        // A version problem leaves the controls as they were, without the settings.
        QVERIFY(!rig.window->findChild<QWidget*>("ControllerFrame")->isHidden());
        QVERIFY(!rig.window->findChild<QPushButton*>("cmdControllerSettings")->isEnabled());
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, QStringLiteral("KORADIN Taktora Versionskontrolle"));
        QVERIFY(shown[0].text.contains(
            "Bitte aktualisieren Sie die Firmware des Controllers.\n\nFür Rückfragen"));
    }

    void silentControllerGivesACommunicationError()
    {
        SimDashboard rig({"--fault", "no-answer"});
        QVERIFY2(rig.start(), qPrintable(rig.sim.errorString()));
        rig.window->findChild<QWidget*>("ControllerFrame")->show();
        rig.check("1");
        QCOMPARE(rig.status(), QStringLiteral("Kommunikationsfehler"));
        QCOMPARE(rig.statusColour(), QColor(255, 0, 0));
        QVERIFY(!rig.window->findChild<QWidget*>("ControllerFrame")->isHidden());
        QCOMPARE(rig.window->findChild<QLabel*>("pnlBoardLayout")->text(), QStringLiteral("unbekannt"));
        QCOMPARE(rig.sim.requests().size(), 2); // two attempts, then the box
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("Controller 1 antwortet nicht."));
    }
};

TAKTORA_TEST_MAIN(TestDashboardSim)
#include "tst_dashboard_sim.moc"
