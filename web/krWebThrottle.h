// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QGroupBox>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;
class WebThrottleServer;

// The browser throttle's part of the phones dialog: on or off, its port, the address to open in
// a browser, and the browsers waiting for approval with the buttons that answer them. The rights
// are the phones' rights above it. Every change is kept in the settings at once.
class krWebThrottle : public QGroupBox
{
    Q_OBJECT

public:
    krWebThrottle(WebThrottleServer& server, QWidget* parent);

    // Starts the server when the settings say so; what the program does at start-up.
    static void startFromSettings(WebThrottleServer& server);

    void setServerOn(bool on);
    void refresh();
    void approveBrowser();
    void rejectBrowser();

private:
    quint64 chosenWaiting() const;

    WebThrottleServer& m_server;
    QCheckBox* m_chkOn;
    QSpinBox* m_spnPort;
    QLabel* m_lblAddress;
    QListWidget* m_lstBrowsers;
    QPushButton* m_cmdApprove;
    QPushButton* m_cmdReject;
};
