#include "AccessoryPanel.h"
#include "DashboardRig.h"
#include "DashboardRules.h"
#include "krOptions.h"
#include "krTaktoraTools.h"
#include "Lamp.h"
#include "LocoNumberBox.h"
#include "MessageBox.h"
#include "TestMain.h"
#include "ThrottlePanel.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QToolBar>
#include <QToolButton>

#include <memory>
#include <typeinfo>
#ifdef __GNUG__
#include <cxxabi.h>
#endif

namespace {
const QColor kRed(255, 0, 0), kGreen(0, 192, 0), kBlack(0, 0, 0);

// The object's class as the compiler knows it, without namespaces.
QString dynamicClassName(const QObject* object)
{
    QString name = QString::fromLatin1(typeid(*object).name());
#ifdef __GNUG__
    int status = 0;
    const std::unique_ptr<char, void (*)(void*)> plain(
        abi::__cxa_demangle(typeid(*object).name(), nullptr, nullptr, &status), std::free);
    if (status == 0)
        name = QString::fromLatin1(plain.get());
#endif
    return name.mid(name.lastIndexOf(QLatin1Char(':')) + 1).remove(QStringLiteral("class "));
}

QColor faceColour(QWidget* button)
{
    // What the user sees: sample the button's face beside its text.
    const QImage image = button->grab().toImage();
    return image.pixelColor(4, image.height() / 2);
}
} // namespace

class TestOperating : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        clearAllSettings();
        MessageBox::takeShown();
    }

    void sliderSendsSpeedAndLocksDirectionWhileMoving()
    {
        DashboardRig rig;
        rig.check("1");
        ThrottlePanel* t = rig.window->throttle(2);
        QCOMPARE(t->locoNumberBox()->currentText(), QStringLiteral("3"));
        t->slider()->setValue(55);
        QCOMPARE(rig.sent(), QList<FrameFields>{Request::setLocoSpeed(1, 3, 200)});
        QCOMPARE(t->speedLabel()->text(), QStringLiteral("78 %"));
        QCOMPARE(t->slider()->toolTip(), QStringLiteral("78 %"));
        QVERIFY(!t->directionButton()->isEnabled());
        QVERIFY(!t->locoNumberBox()->isEnabled());
        t->slider()->setValue(255);
        QVERIFY(t->directionButton()->isEnabled());
        QVERIFY(t->locoNumberBox()->isEnabled());
        QCOMPARE(rig.sent().last(), Request::setLocoSpeed(1, 3, 0));
    }

    void directionLightAndFunctionKeys()
    {
        DashboardRig rig;
        rig.check("1");
        ThrottlePanel* t = rig.window->throttle(0);
        t->locoNumberBox()->setEditText("1234");
        const qint64 releasedIcon = t->directionButton()->icon().cacheKey();
        QTest::mouseClick(t->directionButton(), Qt::LeftButton);
        QVERIFY(t->directionButton()->icon().cacheKey() != releasedIcon);
        QTest::mouseClick(t->lightButton(), Qt::LeftButton);
        QCOMPARE(faceColour(t->lightButton()), QColor(255, 255, 0));
        QTest::mouseClick(t->lightButton(), Qt::LeftButton);
        QVERIFY(faceColour(t->lightButton()) != QColor(255, 255, 0));

        t->locoNumberBox()->setEditText("300");
        QAction* f12 = t->functionKeys()->findChild<QAction*>("F12");
        f12->trigger();
        f12->trigger();
        QCOMPARE(rig.sent(), (QList<FrameFields>{Request::setLocoDirection(1, 1234, true),
                                                 Request::locoFunction(1, 1234, 0, true),
                                                 Request::locoFunction(1, 1234, 0, false),
                                                 Request::locoFunction(1, 300, 12, true),
                                                 Request::locoFunction(1, 300, 12, false)}));
        QCOMPARE(rig.sent()[1], FrameFields({1, 27, 210, 4, 0}));
        QCOMPARE(rig.sent()[4], FrameFields({1, 28, 44, 1, 12}));
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
        row("abc", "1", true);
        row("65536", "1", true);
        row("65535.2", "1", true); // too big before it is rounded
        row(" ", "1", true);
        row("3", "256", false);
        row("3", "-2", false);
    }
    void numbersThatCannotTravelSendNothing()
    {
        QFETCH(QString, loco);
        QFETCH(QString, controller);
        QFETCH(bool, badLoco);
        DashboardRig rig;
        rig.check("1");
        rig.find<QLineEdit>("txtControllerNr")->setText(controller);
        ThrottlePanel* t = rig.window->throttle(1);
        t->locoNumberBox()->setEditText(loco);
        t->slider()->setValue(100);
        t->lightButton()->click();
        t->ShowSpeedStepMode();
        rig.window->btnGlobalStop_Click();
        // Only the global stop, which names no loco, may still go out.
        const auto c = Dashboard::controllerByte(controller);
        QCOMPARE(rig.sent(), c ? QList<FrameFields>{Request::stopLoco(*c, AllLocos)} : QList<FrameFields>{});
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(t->slider()->value(), 255);
        QCOMPARE(t->speedStepLabel()->text(), QStringLiteral("Fehler"));
        QCOMPARE(t->locoNumberBox()->toolTip().contains(QStringLiteral("keine gültige Lok-Nummer")), badLoco);
    }

    void stopsMoveSlidersWithoutSpeedCommands()
    {
        DashboardRig rig;
        rig.check("1");
        for (int i = 0; i < krTaktora::ThrottleCount; ++i)
            rig.window->throttle(i)->slider()->setValue(100 + i);
        rig.forget();

        ThrottlePanel* t0 = rig.window->throttle(0);
        QTest::mouseClick(t0->stopButton(), Qt::LeftButton);
        QCOMPARE(rig.sent(), QList<FrameFields>{Request::stopLoco(1, 1)});
        QCOMPARE(t0->slider()->value(), 255);
        QCOMPARE(t0->speedLabel()->text(), QStringLiteral("0 %"));
        QVERIFY(t0->directionButton()->isEnabled());
        QVERIFY(t0->locoNumberBox()->isEnabled());
        QCOMPARE(faceColour(t0->stopButton()), kRed);

        rig.forget();
        rig.find<QPushButton>("btnGlobalStop")->click();
        QCOMPARE(rig.sent(), QList<FrameFields>{FrameFields({1, 24, 255, 255, 0})});
        for (int i = 0; i < krTaktora::ThrottleCount; ++i) {
            QCOMPARE(rig.window->throttle(i)->slider()->value(), 255);
            QCOMPARE(rig.window->throttle(i)->speedLabel()->text(), QStringLiteral("0 %"));
        }
        // The stops leave speeds to the user again.
        rig.window->throttle(3)->slider()->setValue(0);
        QCOMPARE(rig.sent().last(), Request::setLocoSpeed(1, 4, 255));
    }

    void movesThatQueuedUpWhileBlockedSendOnlyTheNewest()
    {
        DashboardRig rig;
        rig.check("1");
        rig.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        QSlider* slider = rig.window->throttle(1)->slider();
        const int x = slider->width() / 2;
        const auto post = [&](QEvent::Type type, int y, Qt::MouseButton button, Qt::MouseButtons buttons) {
            const QPointF at(x, y);
            QCoreApplication::postEvent(slider, new QMouseEvent(type, at, at, slider->mapToGlobal(at), button,
                                                                buttons, Qt::NoModifier));
        };
        post(QEvent::MouseButtonPress, slider->height() - 6, Qt::LeftButton, Qt::LeftButton);
        QCoreApplication::processEvents();
        QVERIFY(slider->isSliderDown());
        rig.forget();

        // Ten moves arrive while the window is busy; then the user lets go.
        for (int i = 1; i <= 10; ++i)
            post(QEvent::MouseMove, slider->height() - 6 - i * 12, Qt::NoButton, Qt::LeftButton);
        QCoreApplication::processEvents(); // the moves
        QCoreApplication::processEvents(); // what they left to do
        QCOMPARE(rig.sent().size(), 1);
        const int afterMoves = slider->value();
        QCOMPARE(rig.sent().last(), Request::setLocoSpeed(1, 2, Dashboard::speedValue(afterMoves)));

        for (int i = 11; i <= 15; ++i)
            post(QEvent::MouseMove, slider->height() - 6 - i * 12, Qt::NoButton, Qt::LeftButton);
        post(QEvent::MouseButtonRelease, slider->height() - 6 - 15 * 12, Qt::LeftButton, Qt::NoButton);
        QCoreApplication::processEvents();
        QVERIFY(!slider->isSliderDown());
        QVERIFY(slider->value() < afterMoves);
        QCOMPARE(rig.sent().size(), 2);
        QCOMPARE(rig.sent().last(), Request::setLocoSpeed(1, 2, Dashboard::speedValue(slider->value())));
    }

    void leavingTheLocoFieldReadsItsSpeedSteps()
    {
        DashboardRig rig;
        rig.check("1");
        rig.window->show();
        QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
        LocoNumberBox* box = rig.window->throttle(0)->locoNumberBox();
        box->setFocus();
        box->setEditText("1000");
        QWidget other; // as a message box would, another window takes the focus
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QVERIFY(rig.sent().isEmpty());

        rig.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
        QTRY_VERIFY(box->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(rig.sent(), QList<FrameFields>{Request::readLocoEntry(1, 1000)});
        QCOMPARE(rig.window->throttle(0)->speedStepLabel()->text(), QStringLiteral("126 FS"));
    }

    // The list in the Controller's order: tst_dashboard_sim. Here the typed number survives a refill.
    void locoNumberListKeepsTheTypedNumber()
    {
        DashboardRig rig;
        rig.check("1");
        ThrottlePanel* t = rig.window->throttle(0);
        t->locoNumberBox()->setEditText("42");
        t->FillLocoNumberList();
        QCOMPARE(t->locoNumberBox()->count(), 3);
        QCOMPARE(t->locoNumberBox()->currentText(), QStringLiteral("42"));

        rig.controller.locos.clear();
        t->FillLocoNumberList();
        QCOMPARE(t->locoNumberBox()->count(), 0);
        QCOMPARE(t->locoNumberBox()->currentText(), QStringLiteral("42"));
    }

    // ON against the emulator is tst_dashboard_sim's; wrong numbers are in the table above.
    void accessoryOffButtonsAndColours()
    {
        DashboardRig rig;
        rig.check("1");
        AccessoryPanel* p0 = rig.window->accessoryPanel(0);
        p0->decoderField()->setText("300");
        QTest::mouseClick(p0->offButton(3), Qt::LeftButton);
        QCOMPARE(rig.sent(), QList<FrameFields>{FrameFields({1, 25, 44, 1, 3})});
        QCOMPARE(faceColour(p0->onButton(0)), kGreen);
        QCOMPARE(faceColour(p0->offButton(0)), kRed);
    }

    // What passes the decoder field's check goes out as that number, rounded; what does not, fails
    // with the check's message. A throttle reads its loco number the same way.
    void typedNumbersGoOutAsTheCheckReadsThem_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("sent"); // -1: refused
        QTest::addColumn<QString>("message");
        const auto row = [](const char* locale, const char* text, int sent, const QString& message = {}) {
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(locale, text)))
                << QString::fromLatin1(locale) << QString::fromLatin1(text) << sent << message;
        };
        row("en_US", "5.0", 5);
        row("en_US", "1e2", 100);
        row("en_US", "300.4", 300);
        row("en_US", "1.000", 1);
        row("de_DE", "1,5", 1);
        row("de_DE", "1e2", 100);
        row("en_US", "511.6", -1, "Die Decoder-ID ist nicht im gültigen Bereich (1 bis 511) .");
        row("de_DE", "1.5", -1, "Die Decoder-ID muß numerisch sein.");
    }
    void typedNumbersGoOutAsTheCheckReadsThem()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(int, sent);
        QFETCH(QString, message);
        const QLocale before;
        QLocale::setDefault(QLocale(locale));
        DashboardRig rig;
        rig.check("1");
        rig.window->accessoryPanel(2)->decoderField()->setText(text);
        // A wrong number in one panel blocks the buttons of all four.
        rig.window->accessoryPanel(sent < 0 ? 0 : 2)->onButton(0)->click();
        ThrottlePanel* t = rig.window->throttle(0);
        t->locoNumberBox()->setEditText(text);
        t->lightButton()->click();
        QLocale::setDefault(before);

        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.isEmpty() ? QString() : shown[0].text, message);
        if (sent < 0) {
            QVERIFY(!rig.sentCommands().contains(Command::SwitchAccessoryOn));
            return;
        }
        QCOMPARE(rig.sent(),
                 (QList<FrameFields>{Request::switchAccessory(1, quint16(sent), 0, true),
                                     Request::locoFunction(1, quint16(sent), LightFunction, true)}));
    }

    void loadCircuitFollowsTheController()
    {
        DashboardRig rig;
        rig.check("1");
        auto* on = rig.find<Lamp>("shpCircuitOn");
        auto* off = rig.find<Lamp>("shpCircuitOff");
        QCOMPARE(off->color(), kRed);
        QCOMPARE(on->color(), kBlack);

        // Raising it is tst_dashboard_sim's; here the Controller reports it raised.
        rig.controller.status = 40; // Uno, load circuit raised
        rig.find<QPushButton>("btnLoadCircuit")->click();
        QCOMPARE(rig.sent(),
                 (QList<FrameFields>{Request::queryControllerStatus(1), FrameFields({1, 1, 10, 0, 0}),
                                     Request::queryControllerStatus(1)}));
        QCOMPARE(off->color(), kRed);
        QCOMPARE(on->color(), kBlack);
    }

    // Answered No against the emulator: tst_dashboard_sim. The next check's restore: tst_maincheck.
    void closingAsksAboutARaisedLoadCircuitAndSaves()
    {
        DashboardRig rig;
        rig.controller.status |= StatusBit::LoadCircuitRaised;
        rig.check("1");
        rig.window->throttle(2)->locoNumberBox()->setEditText("1234");
        rig.window->accessoryPanel(1)->decoderField()->setText("77");
        MessageBox::setNextAnswer(QMessageBox::Yes);
        QVERIFY(rig.window->close());

        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("Laststromkreis ist noch aufgeregelt.\n\nAbregeln ?"));
        QCOMPARE(shown[0].icon, QMessageBox::Question);
        QCOMPARE(shown[0].buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(shown[0].title, QStringLiteral("KORADIN Taktora"));
        QVERIFY(rig.sent().contains(Request::setTrackMode(1, TrackMode::Off)));
        QVERIFY(!(rig.controller.status & StatusBit::LoadCircuitRaised));
        const QStringList lokos{"1", "2", "1234", "4"}, decoders{"1", "77", "3", "4"};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(ReadSetting(QStringLiteral("Slider0%1").arg(i), "x", "Taktora"), lokos[i]);
            QCOMPARE(ReadSetting(QStringLiteral("AccessoryAdress0%1").arg(i), "x", "Taktora"), decoders[i]);
        }
    }

    // Without Q_OBJECT a class reports its Qt base class: qobject_cast, style sheets and tools that
    // look windows up by class name miss it.
    void everyObjectOfOursKnowsItsClass()
    {
        DashboardRig rig;
        krOptions options(rig.window.get());
        QSet<QString> ours;
        const QList<QObject*> objects = rig.window->findChildren<QObject*>() << rig.window.get();
        for (const QObject* object : objects) {
            const QString type = dynamicClassName(object);
            if (type.startsWith(QLatin1Char('Q')))
                continue; // Qt's own
            ours << type;
            QCOMPARE(QString::fromLatin1(object->metaObject()->className()).section(QStringLiteral("::"), -1),
                     type);
        }
        QCOMPARE(ours,
                 (QSet<QString>{"krTaktora", "ThrottlePanel", "LocoNumberBox", "MotionCompressor", "Lamp",
                                "AccessoryPanel", "krOptions", "RescanningComboBox", "KeyboardThrottles",
                                "ThrottleMark", "WiThrottleServer", "ServiceAdvertiser"}));
    }

    void closingIsRefusedWhileADecoderNumberIsWrong()
    {
        DashboardRig rig;
        rig.check("1");
        rig.window->accessoryPanel(2)->decoderField()->setText("");
        QVERIFY(!rig.window->close());
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.startsWith(QStringLiteral("Die Decoder-ID")));
        QVERIFY(rig.sent().isEmpty());
        QCOMPARE(ReadSetting("AccessoryAdress02", "unchanged", "Taktora"), QStringLiteral("unchanged"));
    }
};

TAKTORA_TEST_MAIN(TestOperating)
#include "tst_operating.moc"
