// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ControllerSettingsRules.h"

#include <QDialog>

class ControllerLink;
class LineClient;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The Controller settings dialog: shows a Controller's firmware version, board layout and pins,
// and after a warning lets the user change the pins and the hardware emergency stop. It reads the
// Controller once, when it is first shown; OK writes everything back. No exchange shows a message:
// a Controller that does not answer leaves the values it did not give at their start values.
// While it is open the line is its own; it leaves the track as it is, so stops and a track-off
// from elsewhere go out as they would anywhere.
class krControllerSettingsDD : public QDialog
{
    Q_OBJECT

public:
    static constexpr int PinFieldCount = 6;

    explicit krControllerSettingsDD(ControllerLink& link, QWidget* parent = nullptr); // Form_Load

    // Set by the opener before the dialog is shown.
    void setControllerID(int id) { m_controllerId = id; }
    // True from the start: only an opener that says otherwise gets the emergency-stop check box.
    void setAllowHWNotstop(bool allow) { m_allowHWNotstop = allow; }

    // Operations of the dialog, as the controls run them.
    void cmdChangeSettings_Click();
    void cmdOK_Click();

public slots:
    void done(int result) override; // every way of closing comes here

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Form_Activate();
    std::optional<quint8> frameController() const;

    LineClient* m_line;
    ControllerSettings m_settings;
    int m_controllerId = 0;
    bool m_allowHWNotstop = true;
    bool m_firstActivation = true;

    QLabel* m_lblFirmwareVersion = nullptr;
    QLabel* m_lblControllerType = nullptr;
    QCheckBox* m_chkHWNotstop = nullptr;
    QLabel* m_lblNotstopNotAvailable = nullptr;
    // Operation output, load current, monitoring, then the same for programming.
    QLineEdit* m_pinFields[PinFieldCount] = {};
    QPushButton* m_cmdChangeSettings = nullptr;
    QPushButton* m_cmdClose = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdCancel = nullptr;
};
