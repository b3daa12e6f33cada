// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Frame.h"

#include <QGroupBox>

#include <functional>
#include <optional>

class DashboardChannel;
class LocoNumberBox;
class QAction;
class QLabel;
class QPushButton;
class QSlider;
class QToolBar;
class QToolButton;

// One of the four loco throttles: each control sends its command at once and keeps its state
// when the Controller does not answer.
class ThrottlePanel : public QGroupBox
{
    Q_OBJECT

public:
    ThrottlePanel(int index, DashboardChannel& channel, QWidget* parent);

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

    // Moves the slider to rest; the caller suppresses the speed command around it.
    void moveSliderToRest();

private:
    using Builder = std::function<FrameFields(quint8 controller, quint16 loco)>;
    // Sends nothing when the loco or Controller number cannot travel in a frame.
    bool sendForLoco(const Builder& build);
    std::optional<quint16> locoNumber();
    void showInvalidLocoNumber(bool invalid);

    const int m_index;
    DashboardChannel& m_channel;
    LocoNumberBox* m_locoNumber;
    QSlider* m_slider;
    QLabel* m_speedLabel;
    QToolButton* m_direction;
    QPushButton* m_light;
    QToolBar* m_functionKeys;
    QPushButton* m_stop;
    QLabel* m_speedSteps;
    bool m_showsInvalidNumber = false;
};
