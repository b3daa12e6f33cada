// The keyboard throttles on the real main window against taktora-sim: a key sends exactly what
// the mouse sends for the same action, frame for frame.

#include "CommandSet.h"
#include "KeyboardThrottles.h"
#include "krTaktora.h"
#include "krTaktoraTools.h"
#include "MessageBox.h"
#include "SimProcess.h"
#include "TestMain.h"
#include "ThrottleMark.h"
#include "ThrottlePanel.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QToolBar>
#include <QToolButton>

#include <memory>

namespace {
// One window at a time on the shared emulator, shown and active so that its keys reach it.
struct KeyDashboard
{
    std::unique_ptr<krTaktora> window;
    int requestsBefore = 0;

    bool open()
    {
        window = std::make_unique<krTaktora>(QStringLiteral("/usr/bin/taktora"));
        window->resize(1300, 800);
        window->show();
        window->activateWindow();
        return QTest::qWaitForWindowActive(window.get());
    }
    void check(const SimProcess& sim)
    {
        window->findChild<QLineEdit*>("txtControllerNr")->setText("1");
        window->btnCheck_Click();
        requestsBefore = static_cast<int>(sim.requests().size());
    }
    template <typename T> T* find(const QString& name) const { return window->findChild<T*>(name); }
    KeyboardThrottles* keys() const { return find<KeyboardThrottles>("keyboardThrottles"); }
    ~KeyDashboard()
    {
        window.reset();
        CloseControllerPort();
    }
};

void press(QWidget* window, const QString& step)
{
    if (step.startsWith(QLatin1String("focus:"))) {
        window->findChild<QWidget*>(step.mid(6))->setFocus();
        return;
    }
    const QKeyCombination key = QKeySequence::fromString(step)[0];
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window;
    QTest::keyClick(target, key.key(), key.keyboardModifiers());
}

// "drag:krSlider_1:254" leaves the slider where a drag would; "click:btnStop_0" clicks a control;
// "fn:1:F12" clicks a function key of throttle 1.
void mouse(QWidget* window, const QString& step)
{
    const QStringList part = step.split(QLatin1Char(':'));
    if (part[0] == QLatin1String("focus")) {
        window->findChild<QWidget*>(part[1])->setFocus();
    } else if (part[0] == QLatin1String("drag")) {
        window->findChild<QSlider*>(part[1])->setSliderPosition(part[2].toInt());
    } else if (part[0] == QLatin1String("click")) {
        QTest::mouseClick(window->findChild<QWidget*>(part[1]), Qt::LeftButton);
    } else {
        auto* keys = window->findChild<QToolBar*>(QStringLiteral("tlbFunctionKeys_") + part[1]);
        QTest::mouseClick(keys->widgetForAction(keys->findChild<QAction*>(part[2])), Qt::LeftButton);
    }
}
} // namespace

class TestKeyboardSim : public QObject
{
    Q_OBJECT

    SimProcess m_sim{{"--locos", "1:28,1000:126,3:14,4:28"}};

    // The frames that the steps send after a successful check, in a fresh window.
    bool drive(const QStringList& steps, void (*act)(QWidget*, const QString&), QList<FrameFields>& sent)
    {
        KeyDashboard rig;
        if (!rig.open())
            return false;
        rig.check(m_sim);
        for (const QString& step : steps)
            act(rig.window.get(), step);
        sent = m_sim.requests().mid(rig.requestsBefore);
        return true;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_sim.start(), qPrintable(m_sim.errorString()));
    }

    void init()
    {
        QSettings("KORADIN", "KORADIN").clear();
        m_sim.registerAs(QStringLiteral("COM3"));
        WriteSetting(QStringLiteral("SignalOutputTo"), QStringLiteral("COM3"), QStringLiteral("Taktora"));
        WriteSetting(QStringLiteral("Slider01"), QStringLiteral("1000"), QStringLiteral("Taktora"));
        MessageBox::takeShown();
    }

    void keysSendWhatTheMouseSends_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QStringList>("mouse");
        QTest::addColumn<QList<FrameFields>>("frames");
        using L = QList<FrameFields>;
        QTest::newRow("one step faster, loco 1000")
            << QStringList{"Ctrl+2", "Up"} << QStringList{"drag:krSlider_1:254"}
            << L{Request::setLocoSpeed(1, 1000, 1)};
        QTest::newRow("ten faster, one slower")
            << QStringList{"Ctrl+1", "PgUp", "Down"}
            << QStringList{"drag:krSlider_0:245", "drag:krSlider_0:246"}
            << L{Request::setLocoSpeed(1, 1, 10), Request::setLocoSpeed(1, 1, 9)};
        QTest::newRow("slower at rest sends nothing")
            << QStringList{"Ctrl+1", "PgDown", "Down"} << QStringList{} << L{};
        QTest::newRow("stop while driving")
            << QStringList{"Ctrl+3", "PgUp", "PgUp", "Ctrl+H"}
            << QStringList{"drag:krSlider_2:245", "drag:krSlider_2:235", "click:btnStop_2"}
            << L{Request::setLocoSpeed(1, 3, 10), Request::setLocoSpeed(1, 3, 20), Request::stopLoco(1, 3)};
        QTest::newRow("direction at rest")
            << QStringList{"Ctrl+4", "Ctrl+R"} << QStringList{"click:krDirection_3"}
            << L{Request::setLocoDirection(1, 4, true)};
        QTest::newRow("direction locked while moving")
            << QStringList{"Ctrl+1", "Up", "Ctrl+R"}
            << QStringList{"drag:krSlider_0:254", "click:krDirection_0"} << L{Request::setLocoSpeed(1, 1, 1)};
        QTest::newRow("light on and off") << QStringList{"Ctrl+2", "Ctrl+L", "Ctrl+L"}
                                          << QStringList{"click:chkLight_1", "click:chkLight_1"}
                                          << L{Request::locoFunction(1, 1000, LightFunction, true),
                                               Request::locoFunction(1, 1000, LightFunction, false)};
        QTest::newRow("functions F1, F12, F1")
            << QStringList{"Ctrl+2", "Ctrl+F1", "Ctrl+F12", "Ctrl+F1"}
            << QStringList{"fn:1:F1", "fn:1:F12", "fn:1:F1"}
            << L{Request::locoFunction(1, 1000, 1, true), Request::locoFunction(1, 1000, 12, true),
                 Request::locoFunction(1, 1000, 1, false)};
        QTest::newRow("escape in the Controller field stops all")
            << QStringList{"Ctrl+1", "PgUp", "focus:txtControllerNr", "Esc"}
            << QStringList{"drag:krSlider_0:245", "focus:txtControllerNr", "click:btnGlobalStop"}
            << L{Request::setLocoSpeed(1, 1, 10), Request::stopLoco(1, AllLocos)};
        QTest::newRow("escape in a loco number field")
            << QStringList{"focus:krSliderNo_3", "Esc"} << QStringList{"click:btnGlobalStop"}
            << L{Request::stopLoco(1, AllLocos)};
        QTest::newRow("change of throttle")
            << QStringList{"Ctrl+1", "Up", "Ctrl+2", "Up", "Ctrl+H"}
            << QStringList{"drag:krSlider_0:254", "drag:krSlider_1:254", "click:btnStop_1"}
            << L{Request::setLocoSpeed(1, 1, 1), Request::setLocoSpeed(1, 1000, 1),
                 Request::stopLoco(1, 1000)};
        QTest::newRow("no throttle chosen: Ctrl+H, Ctrl+L do nothing")
            << QStringList{"Ctrl+H", "Ctrl+L", "Ctrl+F3"} << QStringList{} << L{};
    }

    void keysSendWhatTheMouseSends()
    {
        QFETCH(QStringList, keys);
        QFETCH(QStringList, mouse);
        QFETCH(QList<FrameFields>, frames);
        QList<FrameFields> byMouse, byKeys;
        QVERIFY(drive(mouse, ::mouse, byMouse));
        QVERIFY(drive(keys, press, byKeys));
        QCOMPARE(byKeys, byMouse);
        QCOMPARE(byMouse, frames);
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void keysSleepUntilACheckAndAfterNewOptions()
    {
        KeyDashboard rig;
        QVERIFY(rig.open());
        const int before = static_cast<int>(m_sim.requests().size());
        press(rig.window.get(), "Ctrl+3");
        press(rig.window.get(), "Esc");
        QCOMPARE(rig.keys()->chosen(), -1);
        QCOMPARE(m_sim.requests().size(), before);

        rig.check(m_sim);
        press(rig.window.get(), "Ctrl+3");
        QCOMPARE(rig.keys()->chosen(), 2);
        // The user sees the mark: the frame's colour on the chosen throttle's edge, not on the others.
        ThrottlePanel* chosen = rig.window->throttle(2);
        const QImage shot = rig.window->grab().toImage();
        const QPoint edge = chosen->mapTo(rig.window.get(), QPoint(1, chosen->height() / 2));
        const QPoint otherEdge =
            rig.window->throttle(1)->mapTo(rig.window.get(), QPoint(1, chosen->height() / 2));
        QCOMPARE(shot.pixelColor(edge), ThrottleMark::Colour);
        QVERIFY(shot.pixelColor(otherEdge) != ThrottleMark::Colour);

        // New options hide the controls: the choice is gone and the keys sleep until the next check.
        rig.window->findChild<QWidget*>("ControllerFrame")->hide();
        QCOMPARE(rig.keys()->chosen(), -1);
        press(rig.window.get(), "Ctrl+3");
        press(rig.window.get(), "Up");
        QCOMPARE(rig.keys()->chosen(), -1);
        QCOMPARE(m_sim.requests().size(), rig.requestsBefore);
    }

    void tooltipsNameKeysOnlyWhereNoneWere()
    {
        KeyDashboard rig;
        QVERIFY(rig.open());
        ThrottlePanel* t = rig.window->throttle(1);
        QCOMPARE(t->toolTip(), QStringLiteral("Regler wählen: Strg+2"));
        QVERIFY(t->lightButton()->toolTip().contains(QStringLiteral("Strg+L")));
        QVERIFY(t->stopButton()->toolTip().contains(QStringLiteral("Strg+H")));
        QCOMPARE(t->directionButton()->toolTip(), QStringLiteral("Fahrtrichtung"));
        QCOMPARE(t->functionKeys()->findChild<QAction*>("F1")->toolTip(), QStringLiteral("Funktion F1"));
        QCOMPARE(rig.find<QPushButton>("btnGlobalStop")->toolTip(), QStringLiteral("Alle Loks anhalten"));
    }
};

TAKTORA_TEST_MAIN(TestKeyboardSim)
#include "tst_keyboard_sim.moc"
