// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;
class QVBoxLayout;
class WiThrottleServer;

// The phone throttles' dialog: the server on or off, its port and the network it listens on,
// what to type into a phone, whether the service is announced; the devices waiting for approval,
// the phones connected now and the approved devices; what phones may do, and how many at once.
// Every change is kept in the settings and takes effect at once.
class krPhoneThrottles : public QDialog
{
    Q_OBJECT

public:
    krPhoneThrottles(WiThrottleServer& server, QWidget* parent);

    // Starts the server when the settings say so, with the settings' permissions; what the
    // program does at start-up.
    static void startFromSettings(WiThrottleServer& server);
    // The addresses a phone or a browser reaches a server listening on `listening` under
    // (empty: every network).
    static QStringList reachableAddresses(const QString& listening);
    // Another door with the same rights, shown below the rights (the browser throttle's button).
    void addSection(QWidget* section);

    void setServerOn(bool on);
    void refresh();
    // The selected waiting device, or the only one.
    void approveDevice();
    void rejectDevice();
    // The selected approved device may no longer drive.
    void removeDevice();

private:
    void buildAddresses();
    void applyAccess();
    // The number of the waiting device the buttons act on; 0 for none.
    quint64 chosenWaiting() const;
    void enableButtons();

    WiThrottleServer& m_server;
    QVBoxLayout* m_left;
    QCheckBox* m_chkOn;
    QSpinBox* m_spnPort;
    QComboBox* m_cboAddress;
    QSpinBox* m_spnMaxConnections;
    QLabel* m_lblState;
    QLabel* m_lblConnect;
    QLabel* m_lblAdvertisement;
    QCheckBox* m_chkApproval;
    QCheckBox* m_chkAllowPower;
    QCheckBox* m_chkAllowTurnouts;
    QSpinBox* m_spnMaxSpeed;
    QListWidget* m_lstWaiting;
    QPushButton* m_cmdApprove;
    QPushButton* m_cmdReject;
    QListWidget* m_lstPhones;
    QListWidget* m_lstDevices;
    QPushButton* m_cmdRemoveDevice;
};
