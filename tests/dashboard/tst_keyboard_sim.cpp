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
using Steps = QStringList;
using Frames = QList<FrameFields>;

// "Ctrl+2", "PgUp", "Esc": a key to the focused control; "focus:name" moves the focus.
void press(QWidget* window, const QString& step)
{
    if (step.startsWith(QLatin1String("focus:")))
        return window->findChild<QWidget*>(step.mid(6))->setFocus();
    const QKeyCombination key = QKeySequence::fromString(step)[0];
    QVERIFY(key.key() != Qt::Key_unknown);
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window;
    QTest::keyClick(target, key.key(), key.keyboardModifiers());
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
} // namespace

class TestKeyboardSim : public QObject
{
    Q_OBJECT

    SimProcess m_sim{{"--locos", "1:28,1000:126,3:14,4:28"}};
    std::unique_ptr<krTaktora> m_window;
    qsizetype m_before = 0;

    // A fresh, active window (its keys need that); checked against Controller 1 unless asked not to.
    void openWindow(bool check = true)
    {
        m_window = std::make_unique<krTaktora>(QStringLiteral("/usr/bin/taktora"));
        m_window->resize(1300, 800);
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        if (check) {
            m_window->findChild<QLineEdit*>("txtControllerNr")->setText("1");
            m_window->btnCheck_Click();
        }
        m_before = m_sim.requests().size();
    }
    Frames sentSinceOpening() const { return m_sim.requests().mid(m_before); }
    KeyboardThrottles* keys() const { return m_window->findChild<KeyboardThrottles*>(); }

private slots:
    void initTestCase() { QVERIFY2(m_sim.start(), qPrintable(m_sim.errorString())); }

    void init()
    {
        QSettings("KORADIN", "KORADIN").clear();
        m_sim.registerAs(QStringLiteral("COM3"));
        WriteSetting(QStringLiteral("SignalOutputTo"), QStringLiteral("COM3"), QStringLiteral("Taktora"));
        WriteSetting(QStringLiteral("Slider01"), QStringLiteral("1000"), QStringLiteral("Taktora"));
    }

    void cleanup()
    {
        m_window.reset();
        CloseControllerPort();
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

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
        QTest::newRow("slower at rest, keys without a chosen throttle")
            << Steps{"Ctrl+H", "Ctrl+L", "Ctrl+F3", "Ctrl+1", "PgDown", "Down"} << Steps{} << Frames{};
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
        QTest::newRow("escape while typing in the Controller or a loco number field")
            << Steps{"Ctrl+3", "PgUp", "focus:txtControllerNr", "Esc", "focus:krSliderNo_0", "Esc"}
            << Steps{"drag:krSlider_2:245", "click:btnGlobalStop", "click:btnGlobalStop"}
            << Frames{Request::setLocoSpeed(1, 3, 10), Request::stopLoco(1, AllLocos),
                      Request::stopLoco(1, AllLocos)};
    }

    void keysSendWhatTheMouseSends()
    {
        QFETCH(Steps, keys);
        QFETCH(Steps, mouse);
        QFETCH(Frames, frames);
        openWindow();
        for (const QString& step : mouse)
            ::mouse(m_window.get(), step);
        const Frames byMouse = sentSinceOpening();
        openWindow();
        for (const QString& step : keys)
            press(m_window.get(), step);
        QCOMPARE(sentSinceOpening(), byMouse);
        QCOMPARE(byMouse, frames);
    }

    void keysSleepUntilACheckAndAfterNewOptions()
    {
        openWindow(false);
        for (const char* key : {"Ctrl+3", "Esc"})
            press(m_window.get(), key);
        QCOMPARE(keys()->chosen(), -1);
        QCOMPARE(sentSinceOpening(), Frames{});

        m_window->findChild<QLineEdit*>("txtControllerNr")->setText("1");
        m_window->btnCheck_Click();
        press(m_window.get(), "Ctrl+3");
        // The mark shows on the chosen throttle's edge only.
        const QImage shot = m_window->grab().toImage();
        const auto edge = [this](int i) {
            return m_window->throttle(i)->mapTo(m_window.get(), QPoint(1, 300));
        };
        QCOMPARE(shot.pixelColor(edge(2)), ThrottleMark::Colour);
        QVERIFY(shot.pixelColor(edge(1)) != ThrottleMark::Colour);
        // Controls without a tooltip name their key; the others keep theirs.
        QCOMPARE(m_window->throttle(2)->stopButton()->toolTip(),
                 QStringLiteral("Lok des gewählten Reglers anhalten: Strg+H"));
        QCOMPARE(m_window->throttle(2)->directionButton()->toolTip(), QStringLiteral("Fahrtrichtung"));

        // New options hide the controls: the choice goes, and the keys sleep until the next check.
        m_before = m_sim.requests().size();
        m_window->findChild<QWidget*>("ControllerFrame")->hide();
        for (const char* key : {"Ctrl+3", "Up", "Esc"})
            press(m_window.get(), key);
        QCOMPARE(keys()->chosen(), -1);
        QCOMPARE(sentSinceOpening(), Frames{});
    }
};

TAKTORA_TEST_MAIN(TestKeyboardSim)
#include "tst_keyboard_sim.moc"
