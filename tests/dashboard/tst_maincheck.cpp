#include "DashboardRig.h"
#include "krTaktoraTools.h"
#include "Lamp.h"
#include "MessageBox.h"
#include "TestMain.h"
#include "ThrottlePanel.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

namespace {
QColor textColour(QLabel* label)
{
    return label->palette().color(QPalette::WindowText);
}
const QColor kRed(255, 0, 0), kGreen(0, 192, 0), kDarkYellow(192, 192, 0);
} // namespace

class TestMainCheck : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        clearAllSettings();
        MessageBox::takeShown();
    }

    void startUpInSimulation()
    {
        DashboardRig rig{QString()}; // fresh settings: no stored port
        QCOMPARE(PortName(), QStringLiteral("NUL"));
        QVERIFY(rig.link.port.openedNames().isEmpty());
        QCOMPARE(rig.find<QLabel>("pnlInfo")->text(), QStringLiteral("Taktora V5.2 (build 16)"));
        QCOMPARE(rig.find<QLabel>("pnlComPort")->text(), QStringLiteral("Simulation"));
        QCOMPARE(rig.find<QLabel>("pnlBoardLayout")->text(), QStringLiteral("unbekannt"));
        const QStringList panels{"pnlInfo",       "pnlBlank",  "pnlComPortCaption",
                                 "pnlComPort",    "pnlBlank2", "pnlBoardLayoutCaption",
                                 "pnlBoardLayout"};
        const QList<int> twips{9084, 952, 1764, 1587, 952, 1940, 1764};
        for (int i = 0; i < panels.size(); ++i)
            QCOMPARE(rig.find<QLabel>(panels[i])->minimumWidth(), TwipsToPixels(twips[i]));
        QCOMPARE(rig.find<QLabel>("pnlBoardLayoutCaption")->text(), QStringLiteral("Boardlayout"));
        QCOMPARE(rig.find<QLabel>("pnlComPort")->toolTip(),
                 QStringLiteral("Zeigt die aktuell-verwendete Schnittstelle an"));
        auto* status = rig.find<QLabel>("lblStatus");
        QCOMPARE(status->text(), QStringLiteral("---"));
        QCOMPARE(textColour(status), kDarkYellow);
        QVERIFY(rig.find<QAction>("btnOptions")->isVisible());
        QVERIFY(rig.window->runsStandalone());

        QString duringThePause;
        QTimer::singleShot(200, this, [&] { duringThePause = status->text(); });
        rig.window->btnCheck_Click();
        // The pause of simulation mode lets the window run with the checking text shown.
        QCOMPARE(duringThePause, QStringLiteral("--- Controller wird geprüft ---"));
        QCOMPARE(status->text(), QStringLiteral("Controller im Simulationsmodus"));
        QCOMPARE(textColour(status), kGreen);
        QVERIFY(!rig.find<QWidget>("ControllerFrame")->isHidden());
        QVERIFY(!rig.find<QPushButton>("cmdControllerSettings")->isEnabled());
        // The load circuit is never read in simulation, and counts as lowered.
        QCOMPARE(rig.find<Lamp>("shpCircuitOn")->color(), QColor(128, 128, 128));
        rig.find<QPushButton>("btnLoadCircuit")->click();
        QCOMPARE(rig.find<Lamp>("shpCircuitOff")->color(), kRed);
        QVERIFY(rig.sent().isEmpty());
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    // The frames of a check in their order, its status text and the board layout are
    // tst_dashboard_sim's; here the stored panel settings it restores, and what it enables.
    void successfulCheckRestoresThePanels()
    {
        DashboardRig rig;
        WriteSetting("Slider01", "1000", "Taktora");
        WriteSetting("AccessoryAdress03", "300", "Taktora");
        rig.check("1");

        QCOMPARE(textColour(rig.find<QLabel>("lblStatus")), kGreen);
        QVERIFY(rig.find<QPushButton>("cmdControllerSettings")->isEnabled());
        QVERIFY(!rig.find<QWidget>("ControllerFrame")->isHidden());
        QCOMPARE(rig.find<QLabel>("lblFahrstufen_0")->text(), QStringLiteral("n.v."));
        QCOMPARE(rig.find<QLabel>("lblFahrstufen_1")->text(), QStringLiteral("126 FS"));
        QCOMPARE(rig.find<QLineEdit>("krAccessory_3")->text(), QStringLiteral("300"));
        QCOMPARE(rig.find<QLineEdit>("krAccessory_0")->text(), QStringLiteral("1"));
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void controllerNumberRange_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("sentTo"); // -1: nothing sent
        QTest::newRow("251") << "251" << -1;
        QTest::newRow("-1") << "-1" << -1;
        QTest::newRow("250") << "250" << 250;
        QTest::newRow("0") << "0" << 0;
        QTest::newRow("abc") << "abc" << 0;
    }
    void controllerNumberRange()
    {
        QFETCH(QString, text);
        QFETCH(int, sentTo);
        DashboardRig rig;
        rig.controller.number = 99; // nobody answers but with "not found"
        rig.check("1");
        rig.find<QWidget>("ControllerFrame")->show();
        rig.find<QLabel>("lblStatus")->setText("vorher");
        rig.find<QLineEdit>("txtControllerNr")->setText(text);
        rig.window->btnCheck_Click();
        if (sentTo < 0) {
            QVERIFY(rig.sent().isEmpty());
            QCOMPARE(rig.find<QLabel>("lblStatus")->text(), QStringLiteral("vorher"));
        } else {
            QCOMPARE(rig.sent().value(0), Request::queryControllerStatus(quint8(sentTo)));
            QCOMPARE(rig.find<QLabel>("lblStatus")->text(),
                     QStringLiteral("Controller %1 nicht gefunden").arg(sentTo));
            QCOMPARE(textColour(rig.find<QLabel>("lblStatus")), kRed);
        }
        QVERIFY(rig.find<QWidget>("ControllerFrame")->isHidden());
    }

    void hostedStartUsesItsOwnPortAndHidesOptions()
    {
        WriteSetting("SignalOutputTo", "COM7", "KORADIN");
        DashboardRig rig(QStringLiteral("COM3"), QStringLiteral("/usr/lib/koradin/KORADIN"));
        QVERIFY(!rig.window->runsStandalone());
        QCOMPARE(PortName(), QStringLiteral("COM7"));
        QVERIFY(rig.link.port.openedNames().isEmpty());
        QVERIFY(!rig.find<QAction>("btnOptions")->isVisible());
        QCOMPARE(rig.find<QLabel>("pnlComPort")->text(), QStringLiteral("COM7"));
    }

    void optionsDialogAlwaysAsksForANewCheck()
    {
        DashboardRig rig(QStringLiteral("NUL"));
        rig.window->btnCheck_Click();
        QVERIFY(!rig.find<QWidget>("ControllerFrame")->isHidden());
        bool sawDialog = false;
        QTimer::singleShot(0, this, [&] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                sawDialog = dialog->objectName() == QLatin1String("krOptions");
                dialog->reject();
            }
        });
        rig.window->Toolbar1_ButtonClick(rig.find<QAction>("btnOptions"));
        QVERIFY(sawDialog);
        QVERIFY(rig.find<QWidget>("ControllerFrame")->isHidden());
        QCOMPARE(rig.find<QLabel>("lblStatus")->text(),
                 QStringLiteral("Nach Änderung der Einstellungen bitte Controller erneut prüfen"));
        QCOMPARE(textColour(rig.find<QLabel>("lblStatus")), kRed);
        QVERIFY(!rig.find<QPushButton>("cmdControllerSettings")->isEnabled());
    }

    void toolbarButtons()
    {
        DashboardRig rig;
        // The four buttons, then behind a separator the traffic monitor and the decoder sheet.
        const QStringList keys{"btnOptions", "btnHelp",    "btnInfo",        "btnClose",
                               "",           "btnMonitor", "btnDecoderSheet"};
        const QStringList tips{"Einstellungen aufrufen",
                               "Handbuch aufrufen",
                               "Programmversion und Copyright anzeigen ",
                               "Taktora verlassen",
                               "",
                               "Datenverkehr anzeigen",
                               "Decoder-Datenblatt"};
        auto* toolbar = rig.find<QToolBar>("Toolbar1");
        QCOMPARE(toolbar->actions().size(), keys.size());
        for (int i = 0; i < keys.size(); ++i) {
            QCOMPARE(toolbar->actions()[i]->isSeparator(), keys[i].isEmpty());
            if (keys[i].isEmpty())
                continue;
            QCOMPARE(toolbar->actions()[i]->objectName(), keys[i]);
            QCOMPARE(toolbar->actions()[i]->toolTip(), tips[i]);
            QVERIFY(!toolbar->actions()[i]->icon().isNull());
        }

        QString opened;
        rig.window->setDocumentOpener([&](const QString& path) {
            opened = path;
            return true;
        });
        const QString manual = QCoreApplication::applicationDirPath() + "/Handbuch_Taktora.pdf";
        QFile::remove(manual);
        rig.window->Toolbar1_ButtonClick(rig.find<QAction>("btnHelp"));
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.startsWith("Handbuch nicht vorhanden.\n\nFür Rückfragen")); // the error report
        QVERIFY(opened.isEmpty());

        QFile file(manual);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        rig.window->Toolbar1_ButtonClick(rig.find<QAction>("btnHelp"));
        QFile::remove(manual);
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(opened, manual);

        QAction unknown(QStringLiteral("x"));
        unknown.setObjectName("btnSomethingElse");
        rig.window->Toolbar1_ButtonClick(&unknown);
        const auto plain = MessageBox::takeShown();
        QCOMPARE(plain.size(), 1);
        QCOMPARE(plain[0].text, QStringLiteral("Auswahl noch nicht implementiert"));
        QCOMPARE(plain[0].icon, QMessageBox::NoIcon);
        QCOMPARE(plain[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
};

TAKTORA_TEST_MAIN(TestMainCheck)
#include "tst_maincheck.moc"
