// SPDX-License-Identifier: GPL-3.0-or-later
// The main window on the emulator's core in-process (DashboardRig), and once on taktora-sim over
// a real pseudo-terminal.

#include "AccessoryPanel.h"
#include "CommandSet.h"
#include "DashboardRig.h"
#include "DashboardRules.h"
#include "Lamp.h"
#include "LocoNumberBox.h"
#include "ManualLocation.h"
#include "SimDashboard.h"
#include "TestMain.h"
#include "ThrottlePanel.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <memory>

namespace {
const QColor kRed(255, 0, 0), kGreen(0, 192, 0);

QColor textColour(const QLabel* label)
{
    return label->palette().color(QPalette::WindowText);
}

QColor faceColour(QWidget* button)
{
    // What the user sees: the button's face beside its text.
    const QImage image = button->grab().toImage();
    return image.pixelColor(4, image.height() / 2);
}

using Steps = QStringList;
using Frames = QList<FrameFields>;

// "Ctrl+2", "PgUp", "Esc": a key to the focused control.
void press(QWidget* window, const QString& step)
{
    const QKeyCombination key = QKeySequence::fromString(step)[0];
    QVERIFY(key.key() != Qt::Key_unknown);
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window;
    QTest::keyClick(target, key.key(), key.keyboardModifiers());
}

// Escape to the control that has the focus in that window, or to the window.
void escapeTo(QWidget* window)
{
    QWidget* focused = window->focusWidget();
    QTest::keyClick(focused ? focused : window, Qt::Key_Escape);
}

// "drag:krSlider_1:254" leaves the slider where a drag does; "click:btnStop_0" clicks a control;
// "fn:1:F12" clicks a function key of throttle 1.
void mouse(QWidget* window, const QString& step)
{
    const QStringList part = step.split(QLatin1Char(':'));
    if (part[0] == QLatin1String("drag"))
        return window->findChild<QSlider*>(part[1])->setSliderPosition(part[2].toInt());
    if (part[0] == QLatin1String("click"))
        return QTest::mouseClick(window->findChild<QWidget*>(part[1]), Qt::LeftButton);
    auto* keys = window->findChild<QToolBar*>(QStringLiteral("tlbFunctionKeys_") + part[1]);
    QTest::mouseClick(keys->widgetForAction(keys->findChild<QAction*>(part[2])), Qt::LeftButton);
}

// A window for the keyboard throttles: active (the keys need that), throttle 1 on loco 1000.
std::unique_ptr<DashboardRig> activeWindow()
{
    WriteSetting(QStringLiteral("Slider01"), QStringLiteral("1000"), QStringLiteral("Taktora"));
    auto rig = std::make_unique<DashboardRig>(QStringList{"--locos", "1:28,1000:126,3:14,4:28"});
    rig->window->show();
    rig->window->activateWindow();
    if (!QTest::qWaitForWindowActive(rig->window.get()))
        qWarning("the window did not become active");
    rig->check();
    return rig;
}
} // namespace

class TestDashboard : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QSettings("KORADIN", "KORADIN").clear();
        MessageBox::takeShown();
    }

    void rules()
    {
        using namespace Dashboard;
        QCOMPARE(speedStepText(130), QStringLiteral("28 FS")); // other attribute bits are ignored
        QCOMPARE(boardLayoutText(StatusBit::BoardUno | StatusBit::BoardMega), QStringLiteral("Uno"));
        QCOMPARE(boardLayoutText(StatusBit::LoadCircuitRaised), QStringLiteral("unbekannt"));
        QVERIFY(isHostedStart("koradin.exe"));
        QVERIFY(!isHostedStart("/opt/koradin/taktora"));
    }

    // Which manual the help button opens in the layouts the program runs from.
    void findManual_data()
    {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("expected");
        const QString installed = "usr/share/doc/taktora/Handbuch_Taktora.pdf";
        QTest::newRow("none") << QStringList() << QString();
        QTest::newRow("installed") << QStringList{installed} << installed;
        QTest::newRow("beside the program first")
            << QStringList{installed, "usr/bin/Handbuch_Taktora.pdf"} << "usr/bin/Handbuch_Taktora.pdf";
    }
    void findManual()
    {
        QFETCH(QStringList, present);
        QFETCH(QString, expected);
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkpath("usr/bin"));
        for (const QString& path : present) {
            QVERIFY(QDir(root.path()).mkpath(QFileInfo(path).path()));
            QVERIFY(QFile(root.filePath(path)).open(QIODevice::WriteOnly));
        }
        const QString found = Dashboard::findManual(root.filePath("usr/bin"));
        QCOMPARE(found, expected.isEmpty() ? QString() : root.filePath(expected));
    }

    void startsInSimulationAndChecksNothing()
    {
        DashboardRig rig({}, QString()); // fresh settings: no stored port
        QCOMPARE(rig.link.link.portName(), QStringLiteral("NUL"));
        QVERIFY(rig.link.port.openedNames().isEmpty());
        QCOMPARE(rig.find<QLabel>("pnlComPort")->text(), QStringLiteral("Simulation"));
        auto* status = rig.find<QLabel>("lblStatus");
        QCOMPARE(status->text(), QStringLiteral("---"));
        QVERIFY(rig.window->runsStandalone());

        rig.find<QPushButton>("btnCheck")->click();
        QCOMPARE(status->text(), QStringLiteral("Controller im Simulationsmodus"));
        QCOMPARE(textColour(status), kGreen);
        QVERIFY(!rig.find<QWidget>("ControllerFrame")->isHidden());
        QVERIFY(!rig.find<QPushButton>("cmdControllerSettings")->isEnabled());
        // The load circuit is never read in simulation, and counts as lowered.
        rig.find<QPushButton>("btnLoadCircuit")->click();
        QCOMPARE(rig.find<Lamp>("shpCircuitOff")->color(), kRed);
        QVERIFY(rig.sent().isEmpty());
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    // What a check that goes wrong shows; the good check is checkAndDriveOnARealLine's.
    void failedChecks_data()
    {
        QTest::addColumn<QStringList>("sim");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("status"); // empty: nothing sent, nothing changed
        QTest::addColumn<bool>("controlsStay");
        QTest::addColumn<QString>("box"); // the beginning of the one box shown, if any
        const auto row = [](const char* name, const QStringList& sim, const char* number,
                            const QString& status, bool controlsStay, const QString& box) {
            QTest::newRow(name) << sim << QString(number) << status << controlsStay << box;
        };
        const QStringList nobody{"--controller", "99"};
        row("251", nobody, "251", QString(), false, QString());
        row("250", nobody, "250", "Controller 250 nicht gefunden", false, QString());
        const QString version = "Versionsprobleme zwischen Taktora und Firmware";
        const QString report =
            "KORADIN Taktora Versionskontrolle: Version Taktora: \t5.2.16\nVersion Firmware: \t\t";
        row("newer firmware", {"--firmware", "6.0.9"}, "1", version, true,
            report + "6.0.9\n\nBitte aktualisieren Sie die Taktora-Software");
        row("older major, newer minor", {"--firmware", "4.99.9"}, "1", version, true,
            report + "4.99.9\n\nBitte aktualisieren Sie die Firmware des Controllers.\n\nFür Rückfragen");
        row("silent", {"--fault", "no-answer"}, "1", "Kommunikationsfehler", true,
            "KORADIN Taktora: Controller 1 antwortet nicht.");
    }
    void failedChecks()
    {
        QFETCH(QStringList, sim);
        QFETCH(QString, number);
        QFETCH(QString, status);
        QFETCH(bool, controlsStay);
        QFETCH(QString, box);
        DashboardRig rig(sim);
        rig.find<QWidget>("ControllerFrame")->show();
        rig.find<QLabel>("lblStatus")->setText("vorher");
        rig.find<QLineEdit>("txtControllerNr")->setText(number);
        rig.find<QPushButton>("btnCheck")->click();
        QCOMPARE(rig.find<QLabel>("lblStatus")->text(), status.isEmpty() ? QStringLiteral("vorher") : status);
        QCOMPARE(rig.sent().isEmpty(), status.isEmpty());
        if (!status.isEmpty())
            QCOMPARE(textColour(rig.find<QLabel>("lblStatus")), kRed);
        QCOMPARE(rig.find<QWidget>("ControllerFrame")->isHidden(), !controlsStay);
        QVERIFY(!rig.find<QPushButton>("cmdControllerSettings")->isEnabled());
        QStringList shown;
        for (const MessageBox::Shown& b : MessageBox::takeShown())
            shown << (b.title + ": " + b.text).left(box.size());
        QCOMPARE(shown, box.isEmpty() ? QStringList() : QStringList{box});
    }

    // The loco list, the decoder sheet and the Controller settings take the Controller number as
    // the check does, however the field changed after it: the check's refusal opens nothing.
    void windowsOpenOnlyForACheckableNumber_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("number");
        for (const char* button : {"btnProgrammedLocos", "btnDecoderSheet", "cmdControllerSettings"})
            for (const char* number : {"257", "249.6"})
                QTest::addRow("%s %s", button, number) << button << number;
    }
    void windowsOpenOnlyForACheckableNumber()
    {
        QFETCH(QString, button);
        QFETCH(QString, number);
        const bool opens = number == "249.6"; // as Controller 250
        DashboardRig rig({"--controller", "1,250"});
        rig.check();
        rig.find<QLineEdit>("txtControllerNr")->setText(number);
        QString opened;
        QTimer closer; // gone with this row, so it cannot reach the next row's window
        connect(&closer, &QTimer::timeout, this, [&] {
            // A window names its Controller once its first activation has run.
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog && dialog->windowTitle().contains("(Controller ")) {
                opened = dialog->windowTitle();
                dialog->reject();
            }
        });
        closer.start(5);
        if (auto* action = rig.find<QAction>(button))
            action->trigger();
        else
            rig.find<QPushButton>(button)->click();
        QCOMPARE(opened.isEmpty(), !opens);
        QCOMPARE(opened.endsWith(" (Controller 250)"), opens);
        QCOMPARE(rig.sent().isEmpty(), !opens);
        for (const FrameFields& frame : rig.sent())
            QCOMPARE(frame.controller, quint8(250));
        QCOMPARE(takeShownTexts(), opens
                                       ? QStringList()
                                       : QStringList{"Die Controller-Nummer „" + number +
                                                     "“ ist nicht im gültigen Bereich (0 bis 250).\n\nBitte "
                                                     "geben Sie die Nummer Ihres Controllers ein und prüfen "
                                                     "Sie ihn."});
    }

    void toolbarButtons()
    {
        DashboardRig rig;
        // The four buttons, then behind a separator the traffic monitor, the phones, the decoder
        // sheet, the loco roster and the turnouts; each button's key stands in its tooltip, behind the
        // tooltip's own text.
        QStringList keys;
        for (const QAction* action : rig.find<QToolBar>("Toolbar1")->actions()) {
            keys << action->objectName() + "|" + action->toolTip();
        }
        QCOMPARE(keys,
                 (QStringList{
                     "btnOptions|Einstellungen aufrufen (F2)", "btnHelp|Handbuch aufrufen (F1)",
                     "btnInfo|Programmversion und Copyright anzeigen (F3)",
                     "btnClose|Taktora verlassen (Strg+Q)", "|", "btnMonitor|Datenverkehr anzeigen (F5)",
                     "btnPhones|Handregler per Smartphone (F6)", "btnDecoderSheet|Decoder-Datenblatt (F7)",
                     "btnRoster|Lok-Roster (F8)", "btnTurnouts|Weichen und Fahrstraßen (F9)"}));

        QString opened;
        bool viewer = true;
        rig.window->setDocumentOpener([&](const QString& path) {
            opened = path;
            return viewer;
        });
        const QString manual = QCoreApplication::applicationDirPath() + "/Handbuch_Taktora.pdf";
        QFile::remove(manual);
        rig.window->Toolbar1_ButtonClick(rig.find<QAction>("btnHelp"));
        QVERIFY(takeShownTexts().value(0).startsWith("Handbuch nicht vorhanden.\n\nFür Rückfragen"));
        QVERIFY(opened.isEmpty());
        QFile file(manual);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        rig.window->show();
        QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
        QTest::keyClick(rig.window.get(), Qt::Key_F1);
        QCOMPARE(opened, manual);
        QVERIFY(takeShownTexts().isEmpty());
        // No viewer: the user learns where the manual is.
        viewer = false;
        QTest::keyClick(rig.window.get(), Qt::Key_F1);
        QFile::remove(manual);
        const QString told = takeShownTexts().value(0);
        QVERIFY2(told.startsWith("Das Handbuch konnte nicht geöffnet werden") &&
                     told.endsWith(QDir::toNativeSeparators(manual)),
                 qPrintable(told));
    }

    // The board decodes the frames itself: what the user chose is what it does.
    void mouseReachesTheBoard()
    {
        DashboardRig rig;
        rig.check();
        ThrottlePanel* t = rig.window->throttle(0);
        t->locoNumberBox()->setEditText("1234");
        const qint64 releasedIcon = t->directionButton()->icon().cacheKey();
        QTest::mouseClick(t->directionButton(), Qt::LeftButton);
        QVERIFY(t->directionButton()->icon().cacheKey() != releasedIcon);
        QTest::mouseClick(t->lightButton(), Qt::LeftButton);
        QCOMPARE(faceColour(t->lightButton()), QColor(255, 255, 0));
        t->functionKeys()->findChild<QAction*>("F12")->trigger();
        t->slider()->setValue(55);
        QCOMPARE(t->speedLabel()->text(), QStringLiteral("78 %"));
        QVERIFY(!t->directionButton()->isEnabled()); // locked while moving
        const EmulatedController::LocoState loco = rig.board().locoState(1234);
        QCOMPARE(loco.speed, quint8(200));
        QVERIFY(loco.forward);
        QCOMPARE(loco.functions, quint32(1 << LightFunction | 1 << 12));
        QCOMPARE(rig.sent().value(1), FrameFields({1, 27, 210, 4, 0})); // the number low byte first

        AccessoryPanel* panel = rig.window->accessoryPanel(0);
        panel->decoderField()->setText("300");
        QTest::mouseClick(panel->onButton(3), Qt::LeftButton);
        QTest::mouseClick(panel->onButton(1), Qt::LeftButton);
        QTest::mouseClick(panel->offButton(3), Qt::LeftButton);
        QCOMPARE(rig.board().accessoryOutputs(300), quint8(1 << 1));
    }

    void numbersThatCannotTravelSendNothing_data()
    {
        QTest::addColumn<QString>("loco");
        QTest::addColumn<QString>("controller");
        QTest::addColumn<bool>("badLoco");
        const auto row = [](const char* loco, const char* controller, bool badLoco) {
            QTest::newRow(qPrintable(QStringLiteral("%1 at %2").arg(loco, controller)))
                << QString(loco) << QString(controller) << badLoco;
        };
        row("65536", "1", true);
        row("3", "256", false);
    }
    void numbersThatCannotTravelSendNothing()
    {
        QFETCH(QString, loco);
        QFETCH(QString, controller);
        QFETCH(bool, badLoco);
        DashboardRig rig;
        rig.check();
        rig.find<QLineEdit>("txtControllerNr")->setText(controller);
        ThrottlePanel* t = rig.window->throttle(1);
        t->locoNumberBox()->setEditText(loco);
        t->slider()->setValue(100);
        t->lightButton()->click();
        t->ShowSpeedStepMode();
        rig.find<QPushButton>("btnGlobalStop")->click();
        // Only the global stop, which names no loco, may still go out.
        QCOMPARE(rig.sent(),
                 badLoco ? QList<FrameFields>{Request::stopLoco(1, AllLocos)} : QList<FrameFields>{});
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(t->slider()->value(), 255);
        QCOMPARE(t->speedStepLabel()->text(), QStringLiteral("Fehler"));
        QCOMPARE(t->locoNumberBox()->toolTip().contains(QStringLiteral("keine gültige Lok-Nummer")), badLoco);
    }

    // Raised behind the window's back: the button reads the board and lowers it, and closing asks.
    void raisedLoadCircuitIsLoweredByTheButtonAndOnClosing()
    {
        DashboardRig rig;
        rig.check();
        rig.board().answer(Request::setTrackMode(1, TrackMode::Operation));
        rig.find<QPushButton>("btnLoadCircuit")->click();
        QCOMPARE(rig.sent(),
                 (QList<FrameFields>{Request::queryControllerStatus(1), FrameFields({1, 1, 10, 0, 0}),
                                     Request::queryControllerStatus(1)}));
        QCOMPARE(rig.board().trackMode(), TrackMode::Off);
        QCOMPARE(rig.find<Lamp>("shpCircuitOff")->color(), kRed);

        rig.board().answer(Request::setTrackMode(1, TrackMode::Operation));
        MessageBox::setNextAnswer(QMessageBox::Yes);
        QVERIFY(rig.window->close());
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("Laststromkreis ist noch aufgeregelt.\n\nAbregeln ?"));
        QCOMPARE(shown[0].buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(rig.board().trackMode(), TrackMode::Off);
    }

    // A key sends exactly what the mouse sends for the same action, frame for frame.
    void keysSendWhatTheMouseSends_data()
    {
        QTest::addColumn<Steps>("keys");
        QTest::addColumn<Steps>("mouse");
        QTest::addColumn<Frames>("frames");
        QTest::newRow("speed by steps and pages, stop")
            << Steps{"Ctrl+2", "Up", "PgUp", "Down", "Ctrl+H"}
            << Steps{"drag:krSlider_1:254", "drag:krSlider_1:244", "drag:krSlider_1:245", "click:btnStop_1"}
            << Frames{Request::setLocoSpeed(1, 1000, 1), Request::setLocoSpeed(1, 1000, 11),
                      Request::setLocoSpeed(1, 1000, 10), Request::stopLoco(1, 1000)};
        QTest::newRow("direction at rest, locked while moving")
            << Steps{"Ctrl+4", "Ctrl+R", "Up", "Ctrl+R"}
            << Steps{"click:krDirection_3", "drag:krSlider_3:254", "click:krDirection_3"}
            << Frames{Request::setLocoDirection(1, 4, true), Request::setLocoSpeed(1, 4, 1)};
        QTest::newRow("light and functions")
            << Steps{"Ctrl+1", "Ctrl+L", "Ctrl+F1", "Ctrl+F12", "Ctrl+F1", "Ctrl+L"}
            << Steps{"click:chkLight_0", "fn:0:F1", "fn:0:F12", "fn:0:F1", "click:chkLight_0"}
            << Frames{Request::locoFunction(1, 1, LightFunction, true), Request::locoFunction(1, 1, 1, true),
                      Request::locoFunction(1, 1, 12, true), Request::locoFunction(1, 1, 1, false),
                      Request::locoFunction(1, 1, LightFunction, false)};
    }
    void keysSendWhatTheMouseSends()
    {
        QFETCH(Steps, keys);
        QFETCH(Steps, mouse);
        QFETCH(Frames, frames);
        auto rig = activeWindow();
        for (const QString& step : mouse)
            ::mouse(rig->window.get(), step);
        const Frames byMouse = rig->sent();
        rig.reset();
        rig = activeWindow();
        for (const QString& step : keys)
            press(rig->window.get(), step);
        QCOMPARE(rig->sent(), byMouse);
        QCOMPARE(byMouse, frames);
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    // The whole way over a real line: check, drive, close, and the next start restores the panels.
    void checkAndDriveOnARealLine()
    {
        SimDashboard rig({"--board", "mega", "--firmware", "5.2.3"});
        QVERIFY2(rig.start(), qPrintable(rig.sim.errorString()));
        rig.check("1");
        QCOMPARE(rig.status(), QStringLiteral("OK (Firmware 5.2.3) "));
        QCOMPARE(rig.sim.requests(),
                 (QList<FrameFields>{Request::queryControllerStatus(1), Request::readFirmwareVersion(1),
                                     Request::readLocoEntry(1, 1), Request::readLocoEntry(1, 2),
                                     Request::readLocoEntry(1, 3), Request::readLocoEntry(1, 4),
                                     Request::queryControllerStatus(1), Request::queryControllerStatus(1)}));

        ThrottlePanel* t = rig.window->throttle(0);
        t->locoNumberBox()->setEditText("1000");
        t->slider()->setValue(55);
        rig.window->accessoryPanel(0)->decoderField()->setText("300");
        rig.window->findChild<QPushButton*>("btnLoadCircuit")->click();
        QCOMPARE(rig.window->findChild<Lamp*>("shpCircuitOn")->color(), kGreen);
        QCOMPARE(rig.sim.requests().mid(8),
                 (QList<FrameFields>{Request::setLocoSpeed(1, 1000, 200), Request::queryControllerStatus(1),
                                     Request::setTrackMode(1, TrackMode::Operation),
                                     Request::queryControllerStatus(1)}));
        QVERIFY(MessageBox::takeShown().isEmpty());

        // Closing with the track power still on, answered No: it stays on, the panels are saved.
        MessageBox::setNextAnswer(QMessageBox::No);
        QVERIFY(rig.window->close());
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QCOMPARE(rig.sim.requests().last(), Request::queryControllerStatus(1));
        rig.window = std::make_unique<krTaktora>(QStringLiteral("/usr/bin/taktora"), &rig.link);
        rig.check("1");
        QCOMPARE(rig.window->throttle(0)->locoNumberBox()->currentText(), QStringLiteral("1000"));
        QCOMPARE(rig.window->throttle(0)->speedStepLabel()->text(), QStringLiteral("126 FS"));
        QCOMPARE(rig.window->accessoryPanel(0)->decoderField()->text(), QStringLiteral("300"));
    }

    // Escape first closes what is open over the window; only an Escape with nothing else to do
    // stops every loco.
    void escapeClosesWhatIsOpenBeforeItStops_data()
    {
        QTest::addColumn<QString>("open");
        QTest::newRow("a throttle's loco list") << "list";
        QTest::newRow("a menu") << "menu";
        QTest::newRow("a dialog") << "dialog";
    }
    void escapeClosesWhatIsOpenBeforeItStops()
    {
        QFETCH(QString, open);
        auto rig = activeWindow();
        ThrottlePanel* t = rig->window->throttle(1);
        t->slider()->setValue(100);
        QMenu menu(rig->window.get());
        menu.addAction(QStringLiteral("Eintrag"));
        QDialog dialog(rig->window.get());
        bool dialogClosed = false;
        if (open == "dialog") {
            QTimer::singleShot(0, this, [&] {
                escapeTo(QApplication::activeModalWidget());
                dialogClosed = !dialog.isVisible();
                dialog.accept(); // in case the Escape did not close it
            });
            dialog.exec();
            QVERIFY(dialogClosed);
        } else {
            if (open == "list")
                t->locoNumberBox()->showPopup();
            else
                menu.popup(rig->window->mapToGlobal(QPoint(200, 200)));
            QTRY_VERIFY(QApplication::activePopupWidget());
            // A list's popup gives its entries the focus; offscreen, no window takes it.
            escapeTo(open == "list" ? t->locoNumberBox()->view() : QApplication::activePopupWidget());
            QTRY_VERIFY(!QApplication::activePopupWidget());
        }
        QVERIFY(!rig->sent().contains(Request::stopLoco(1, AllLocos)));
        QCOMPARE(t->slider()->value(), 100);

        press(rig->window.get(), "Esc");
        QCOMPARE(rig->sent().last(), Request::stopLoco(1, AllLocos));
        QCOMPARE(t->slider()->value(), 255);
    }

    // A loco chosen from the list shows its speed steps at once, the focus still in the field.
    void choosingFromTheListShowsTheSpeedSteps()
    {
        auto rig = activeWindow();
        LocoNumberBox* box = rig->window->throttle(0)->locoNumberBox();
        box->setFocus();
        QTRY_VERIFY(box->hasFocus());
        box->showPopup();
        QTRY_VERIFY(QApplication::activePopupWidget());
        QCOMPARE(box->itemText(1), QStringLiteral("1000"));
        rig->link.port.resetLog();
        QAbstractItemView* list = box->view();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(box->model()->index(1, 0)).center());
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QCOMPARE(box->currentText(), QStringLiteral("1000"));
        QVERIFY(box->hasFocus());
        QCOMPARE(rig->sent(), QList<FrameFields>{Request::readLocoEntry(1, 1000)});
        QCOMPARE(rig->window->throttle(0)->speedStepLabel()->text(), QStringLiteral("126 FS"));
    }
};

TAKTORA_TEST_MAIN(TestDashboard)
#include "tst_dashboard.moc"
