// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Frame.h"
#include "ScreenFit.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <optional>

class AccessoryPanel;
class ControllerLink;
class LineClient;
class Lamp;
class LocoRoster;
class krPhoneThrottles;
class krTrafficMonitor;
class krTurnouts;
class krWebThrottle;
class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolBar;
class ThrottlePanel;
class TurnoutTable;
class WebThrottleServer;
class WiThrottleServer;

// The main window: the Controller check, four throttles, four accessory panels, the load
// circuit and the global stop. Every command goes out through the window's one frame.
class krTaktora : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int ThrottleCount = 4;
    static constexpr int AccessoryPanelCount = 4;

    // The executable's path decides the hosted start ("koradin").
    // The window owns the program's one line to the Controller; a test may lend it one of its own.
    explicit krTaktora(const QString& executablePath, ControllerLink* link = nullptr,
                       QWidget* parent = nullptr);

    // The about box as a two-second splash, then the window itself.
    void showAfterSplash();

    bool runsStandalone() const { return m_runsStandalone; }
    ThrottlePanel* throttle(int i) const { return m_throttles[i]; }
    AccessoryPanel* accessoryPanel(int i) const { return m_accessories[i]; }

    // Operations of the window, as the controls run them.
    void btnCheck_Click();
    bool CheckFirmwareVersion(int major, int minor, int revision);
    void ShowBoardLayout();
    void ShowCommunicationError();
    void RestorePanelSettings();
    bool ReadLoadCircuitState();
    void btnLoadCircuit_Click();
    void btnGlobalStop_Click();
    void btnProgrammedLocos_Click();
    void SwitchAccessoryPort(const QString& decoderNumber, int port, int state);
    void Toolbar1_ButtonClick(QAction* button);
    void cmdControllerSettings_Click();
    void Form_Activate();

    // Opens the manual; tests replace it so that no viewer starts.
    void setDocumentOpener(std::function<bool(const QString& path)> opener);

    // The window's one frame through its source on the line: 2 attempts, errors shown, 2 seconds.
    bool transact(const FrameFields& request);
    const FrameFields& frame() const { return m_frame; }
    // None when the number field holds a value that does not fit a frame byte.
    std::optional<quint8> controllerNumber() const;
    LineClient& line() const { return *m_line; }
    ControllerLink& link() const { return *m_link; }

    // The phone throttles' server, a source on the line of its own (krTaktoraPhones.cpp).
    WiThrottleServer* phoneServer() const { return m_phones; }
    // The browser throttle's server, with the phones' rights (krTaktoraPhones.cpp).
    WebThrottleServer* webServer() const { return m_web; }
    // The user's loco roster, shared by the throttles, the phones and the roster window.
    LocoRoster* roster() const { return m_roster; }
    void openRoster();
    // The user's turnouts and routes, shared by the window and the phones.
    TurnoutTable* turnouts() const { return m_turnouts; }
    void openTurnouts();

protected:
    void closeEvent(QCloseEvent* event) override; // Form_QueryUnload
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildCheckArea(QWidget* parent);
    QWidget* buildOperatingArea(QWidget* parent);
    QWidget* buildLoadCircuitBar(QWidget* parent);
    void buildToolbar();
    void buildStatusBar();
    void Form_Load(const QString& executablePath);
    void setStatus(const QString& text, const QColor& colour);
    void showLoadCircuit(bool raised);
    void hideOperatingControls();
    // What the toolbar's buttons do.
    void showOptions();
    void openManual();
    bool openWithViewer(const QString& path);
    void manualNotOpened(const QString& path);
    void showInfo();
    void closeFromToolbar();
    void showTrafficMonitor();
    void showPhoneThrottles();
    void showPhoneStatus();
    void openDecoderSheet();
    void notBuiltYet();
    void buildPhoneServer();
    // The Controller number for a window opened from here; none, after telling the user, when the
    // check would refuse it.
    std::optional<quint8> controllerForWindow();
    bool Form_QueryUnload();
    // The fit to the screen (krTaktoraFit.cpp).
    void watchScreen();
    bool fitInto(const ScreenFit::Room& room);
    void putAccessoriesInScrollArea();
    void putThrottlesInScrollArea();
    void narrowStatusBar(int width);
    void followPort();
    void portLost(bool reported);
    void portBack();

    ControllerLink* m_link = nullptr;
    LineClient* m_line = nullptr;
    FrameFields m_frame;
    bool m_runsStandalone = true;
    bool m_compact = false;
    bool m_scrolling = false;
    QWidget* m_accessoryColumn = nullptr;
    WiThrottleServer* m_phones = nullptr;
    WebThrottleServer* m_web = nullptr;
    LocoRoster* m_roster = nullptr;
    QStringList m_rosterProblems; // found at start, told when the roster window opens
    TurnoutTable* m_turnouts = nullptr;
    QStringList m_turnoutProblems; // likewise, told when the turnouts window opens
    // Windows beside the dashboard, made once and kept while the program runs.
    QPointer<krTrafficMonitor> m_monitor;
    QPointer<krPhoneThrottles> m_phoneDialog;
    QPointer<krTurnouts> m_turnoutWindow;
    QPointer<krWebThrottle> m_webDialog;
    std::function<bool(const QString&)> m_openDocument;

    QLineEdit* m_txtControllerNr = nullptr;
    QPushButton* m_btnCheck = nullptr;
    QLabel* m_lblStatus = nullptr;
    QPushButton* m_cmdControllerSettings = nullptr;
    QFrame* m_controllerFrame = nullptr;
    QLabel* m_lblHinweis = nullptr;
    QToolBar* m_toolbar = nullptr;
    QLabel* m_pnlInfo = nullptr;
    QLabel* m_pnlComPort = nullptr;
    QLabel* m_pnlBoardLayout = nullptr;
    QLabel* m_pnlPhones = nullptr; // while the phone server listens
    ThrottlePanel* m_throttles[ThrottleCount] = {};
    AccessoryPanel* m_accessories[AccessoryPanelCount] = {};
    Lamp* m_shpCircuitOn = nullptr;
    Lamp* m_shpCircuitOff = nullptr;
};
