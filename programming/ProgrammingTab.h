// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "krTaktoraTools.h"
#include "ProgrammingRules.h"
#include "ProgrammingTrack.h"

#include <QWidget>

class CircleShape;
class FieldEdit;
class LineClient;
class ProgressPanel;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class SpinButton;

// The "Programmierung" tab of the loco list window: writes, verifies and reads CVs and
// registers of a decoder on the programming track, sets its loco number and recognises it.
// Every exchange goes through the hosting window's source on the line; sysDataOK checks the
// fields of the whole window the tab is on.
class ProgrammingTab : public QWidget
{
    Q_OBJECT

public:
    ProgrammingTab(LineClient& line, QWidget* parent);

    // Operations the hosting window calls.
    void setControllerID(quint8 id) { m_track.setController(id); }
    void ProgButtonsEnabled(bool controlsEnabled);
    void ShowStatusLamp(quint8 state);
    void selectProgType(int index);
    void loadAutoConfigSetting();
    bool isBreakVisible() const;
    // An operation runs, its one-second wait included: the window must not close meanwhile, or
    // a confirmed write would go out after the track was switched off.
    bool isBusy() const { return m_busy || isBreakVisible(); }
    bool cancelRequested() const { return m_track.cancelRequested(); }

    // What the controls run; public so that a host and tests can drive the tab as a user would.
    void optProgType_Click(int index) { selectProgType(index); }
    void spnValue_Click(int index, bool up);
    void cmdOperation_Click(int index);
    void cmdLocoNumberSet_Click();
    void cmdLocoRecognition_Click();
    void cmdBreak_Click() { m_track.requestCancel(); }

    // The programming-track primitives the buttons are built from.
    bool SwitchProgrammingMode(bool on);
    int ReadCvValue(quint16 cv);
    int SearchRegisterValue(quint16 reg, quint8 first, quint8 last);
    bool TestCv29Bit(int selector);

    // The pause before an operation's first exchange, in which window events still run; one
    // second on the track, shorter where tests and benchmarks need no settling decoder.
    void setSettleWait(double seconds) { m_settleSeconds = seconds; }

signals:
    // A recognised loco goes into the configuration (StoreLocoEntry of the hosting window).
    void storeLocoEntryRequested(quint16 locoNumber, quint8 speedStepCode);
    // ProgButtonsEnabled: the hosting window's configuration tab follows the controls.
    void progButtonsEnabledChanged(bool enabled);

private:
    void verifyOrWrite(Programming::Operation operation);
    void readValue();
    int checkedField(int index) const;
    void setStatus(const QString& text, const QColor& colour);
    void setProgress(double percent);
    void finishCancelled();
    quint8 controllerByte() const { return m_track.controllerByte(); }

    void buildControls();
    void placeTwips(QWidget* control, int left, int top, int width, int height);

    LineClient& m_line;
    ProgrammingTrack m_track;
    ScreenRateEvents m_events;
    double m_settleSeconds = 1.0;
    bool m_busy = false;
    Programming::ProgType m_progType = Programming::CvByte;

    QGroupBox* m_fraProgramming = nullptr;
    QCheckBox* m_chkAutoConfig = nullptr;
    QPushButton* m_cmdBreak = nullptr;
    QPushButton* m_cmdLocoRecognition = nullptr;
    FieldEdit* m_txtLocoNumber = nullptr;
    QPushButton* m_cmdLocoNumberSet = nullptr;
    QPushButton* m_cmdOperation[3] = {};
    FieldEdit* m_txtValue[3] = {};
    SpinButton* m_spnValue[3] = {};
    QRadioButton* m_optProgType[3] = {};
    QLabel* m_lblLocoNumber = nullptr;
    QLabel* m_lblCV = nullptr;
    QLabel* m_lblValue = nullptr;
    QLabel* m_lblBit = nullptr;
    ProgressPanel* m_sspProgressPanel = nullptr;
    QLabel* m_lblElapsedTime = nullptr;
    QLabel* m_lblStatus = nullptr;
    CircleShape* m_led[3] = {};
    QFrame* m_line1 = nullptr;
    QFrame* m_line2 = nullptr;
};
