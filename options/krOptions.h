// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SerialDevices.h"

#include <QDialog>

class ControllerLink;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTabWidget;

// The options dialog: chooses the serial port through which the program reaches the Controller,
// or simulation mode. OK tests the port by opening it, then makes it the line's port and
// stores it under "SignalOutputTo"; Abbruch changes nothing. Where a COM name is not itself a
// device (Linux, macOS) the dialog also shows and sets which device the name reaches.
// Create one for each showing: the list and the selection are built when it is first shown.
class krOptions : public QDialog
{
    Q_OBJECT

public:
    explicit krOptions(ControllerLink& link, QWidget* parent = nullptr);

    // Tests give a scanner of their own; the default asks the system.
    void setDeviceScanner(SerialDeviceScanner scanner);

    // The port name the dialog holds: the stored one after the first activation, the chosen
    // one after OK.
    QString selectedPortName() const { return m_selectedPortName; }

    // False on Windows, where the COM name is the device.
    static bool deviceMappingAvailable();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void firstActivation();
    void btnOK_Click();
    void assignDevice();
    void unassignDevice();
    void rescanDevices();
    void showMapping();
    void markMappedNames();
    // The index of the device entry for `path`, added when the system does not list it.
    int offerMappedDevice(const QString& path);
    QString selectedComName() const;
    // Opens the port on the line; a port that does not open is reported in a box.
    bool openPort(const QString& name);

    ControllerLink& m_link;

    QTabWidget* m_tabSettings = nullptr;
    QComboBox* m_cmbComPort = nullptr;
    QLabel* m_lblInfo = nullptr;
    QPushButton* m_btnOK = nullptr;
    QPushButton* m_btnCancel = nullptr;

    QGroupBox* m_fraDeviceMapping = nullptr;
    QLabel* m_lblMapping = nullptr;
    QComboBox* m_cmbDevice = nullptr;
    QPushButton* m_btnAssign = nullptr;
    QPushButton* m_btnUnassign = nullptr;

    SerialDeviceScanner m_scanDevices;
    SerialDeviceList m_devices;
    QString m_selectedPortName = QStringLiteral("NUL");
    bool m_activated = false;
};
