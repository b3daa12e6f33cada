// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QListWidget;
class QSpinBox;
class WiThrottleServer;

// The phone throttles' dialog: the server on or off and its port, what to type into a phone,
// whether the service is announced on the network, and the phones connected now.
class krPhoneThrottles : public QDialog
{
    Q_OBJECT

public:
    krPhoneThrottles(WiThrottleServer& server, QWidget* parent);

    // Settings group "Taktora": WiThrottle (1 or 0) and WiThrottlePort.
    static bool enabledSetting();
    static quint16 portSetting();
    // Starts the server when the settings say so; what the program does at start-up.
    static void startFromSettings(WiThrottleServer& server);

    void setServerOn(bool on);
    void refresh();

private:
    WiThrottleServer& m_server;
    QCheckBox* m_chkOn;
    QSpinBox* m_spnPort;
    QLabel* m_lblState;
    QLabel* m_lblConnect;
    QLabel* m_lblAdvertisement;
    QListWidget* m_lstPhones;
};
