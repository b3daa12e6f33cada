// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ControllerLink.h"
#include "Frame.h"

#include <QGroupBox>

#include <functional>
#include <optional>

class LineClient;
class LocoNumberBox;
class LocoRoster;
namespace Roster {
struct Entry;
}
struct LocoState;
class QAction;
class QLabel;
class QPushButton;
class QSlider;
class QToolBar;
class QToolButton;

// One of the four loco throttles: each control sends its command at once and keeps its state
// when the Controller does not answer. What a phone or a browser does with the loco it shows,
// it shows as well, without sending anything itself.
class ThrottlePanel : public QGroupBox
{
    Q_OBJECT

public:
    using ControllerNumber = std::function<std::optional<quint8>()>;
    // `line` is the main window's source; `controller` reads its number field afresh.
    ThrottlePanel(int index, LineClient& line, ControllerNumber controller, QWidget* parent);

    int index() const { return m_index; }
    LocoNumberBox* locoNumberBox() const { return m_locoNumber; }
    QSlider* slider() const { return m_slider; }
    QLabel* speedLabel() const { return m_speedLabel; }
    QToolButton* directionButton() const { return m_direction; }
    QPushButton* lightButton() const { return m_light; }
    QToolBar* functionKeys() const { return m_functionKeys; }
    QPushButton* stopButton() const { return m_stop; }
    QLabel* speedStepLabel() const { return m_speedSteps; }

    // Handlers, public so that the window and tests can run them as the controls do.
    void krSlider_Change(int position);
    void krDirection_Click(bool forward); // pressed is forward
    void chkLight_Click(bool pressed);
    void tlbFunctionKeys_ButtonClick(QAction* button);
    void btnStop_Click();
    void ShowSpeedStepMode();
    void FillLocoNumberList();

    // For a small screen: speed, direction and STOP stay in view beside the function keys.
    void makeCompact();

    // The roster whose names, labels, push-button functions and top speeds the throttle uses.
    void setRoster(const LocoRoster* roster);
    // A push-button ("Taster") function of the shown loco: on while held, off when let go.
    // Function 0 is the light. False when the function is not a push button for this loco.
    bool isMomentary(int function) const;
    void pressFunction(int function);
    void releaseFunction(int function);

    // Shows the loco standing, without a frame: the global stop has stopped it already.
    void showStopped();
    // The loco number as the throttle reads it before each command; none when it cannot travel.
    std::optional<quint16> shownLoco() const;

private:
    void arrange(bool compact);
    using Builder = std::function<FrameFields(quint8 controller, quint16 loco)>;
    // Sends nothing when the loco or Controller number cannot travel in a frame. A drive command
    // that finds the line held by something else (a failure box, a window) waits its turn then.
    enum class WhenBusy { Drop, Wait };
    std::optional<Outcome> sendForLoco(const Builder& build, WhenBusy busy = WhenBusy::Wait);
    std::optional<quint16> locoNumber();
    void showInvalidLocoNumber(bool invalid);
    // Another source drove the loco this throttle shows.
    void follow(quint8 controller, quint16 loco, const LocoState& state);
    void showDirection(bool forward);
    void showLight(bool on);
    const Roster::Entry* rosterEntry() const;
    // Labels, tooltips and push buttons of the loco now in the field.
    void showRosterEntry();
    void sendFunction(int function, bool on);

    const int m_index;
    LineClient& m_line;
    ControllerNumber m_controller;
    bool m_quiet = false; // the controls show a state; nothing is sent
    LocoNumberBox* m_locoNumber;
    QSlider* m_slider;
    QLabel* m_speedLabel;
    QToolButton* m_direction;
    QPushButton* m_light;
    QToolBar* m_functionKeys;
    QPushButton* m_stop;
    QLabel* m_speedSteps;
    bool m_showsInvalidNumber = false;
    const LocoRoster* m_roster = nullptr;
};
