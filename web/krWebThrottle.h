// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;
class WebThrottleServer;

// The browser throttle's dialog, opened from the phones dialog: on or off, its port, the address
// to open in a browser, and the browsers with the buttons that answer one waiting for approval.
// The rights are the phones' rights. Every change is kept in the settings at once.
class krWebThrottle : public QDialog
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
