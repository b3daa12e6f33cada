// SPDX-License-Identifier: GPL-3.0-or-later
#include "krControllerSettingsDD.h"

#include "FieldNumber.h"
#include "krTaktoraTools.h"
#include "LineClient.h"
#include "MessageBox.h"
#include "NumberReader.h"
#include "sysDataOK.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>
#include <QVBoxLayout>

namespace {
// Limits what the user types to the field's length, like a length limit does, but leaves a
// longer text the dialog puts there whole: a two-digit field must still show "n/a".
class LengthLimit : public QValidator
{
    Q_OBJECT

public:
    LengthLimit(int length, QObject* parent) : QValidator(parent), m_length(length) {}
    State validate(QString& input, int& /*pos*/) const override
    {
        return input.size() <= m_length ? Acceptable : Invalid;
    }

private:
    int m_length;
};

struct PinField
{
    const char* name;
    const char* caption;
    const char* tag;
    quint16 ControllerSettings::*pin;
    int maxLength;
    bool analog; // monitoring pins are written "A0" to "A15"
};

#define ANALOG_PINS "VALID=A0;A1;A2;A3;A4;A5;A6;A7;A8;A9;A10;A11;A12;A13;A14;A15"

// In the order the user reads them, which is also the order sysDataOK checks them in.
const PinField kPinFields[krControllerSettingsDD::PinFieldCount] = {
    {"txtOperationPin",
     "Ausgangsport Fahrmodus:", "Der Ausgangsport für den Fahrmodus,MANDATORY,INTEGER,NUM,MIN=2,MAX=53",
     &ControllerSettings::OperationPin, 2, false},
    {"txtOperationCircuit", "Port Laststrom Fahrmodus:",
     "Der Port für den Laststrom im Fahrmodus,MANDATORY,INTEGER,NUM,MIN=2,MAX=53",
     &ControllerSettings::OperationCircuitPin, 2, false},
    {"txtSensingChannelAPin",
     "Port Kurzschlussschutz:", "Der Port für die Überwachung im Fahrmodus,MANDATORY," ANALOG_PINS,
     &ControllerSettings::OperationMonitorPin, 3, true},
    {"txtProgrammingPin", "Ausgangsport Programmiermodus:",
     "Der Ausgangsport für den Programmiermodus,MANDATORY,INTEGER,NUM,MIN=2,MAX=53",
     &ControllerSettings::ProgrammingPin, 2, false},
    {"txtProgrammingCircuit", "Port Laststrom Programmiermodus:",
     "Der Port für den Laststrom im Programmiermodus,MANDATORY,INTEGER,NUM,MIN=2,MAX=53",
     &ControllerSettings::ProgrammingCircuitPin, 2, false},
    {"txtSensingChannelBPin", "Port Überwachung Programmiermodus:",
     "Der Port für die Überwachung im Programmiermodus,MANDATORY," ANALOG_PINS,
     &ControllerSettings::ProgrammingMonitorPin, 3, true},
};

#undef ANALOG_PINS

// What phones are told while the dialog holds the line.
const QString kHoldReason = QStringLiteral("die Controller-Einstellungen sind am PC geöffnet");

QPushButton* bottomButton(const char* name, const QString& caption, QWidget* parent)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    // Enter in a pin field must not save or close: no button is the default.
    button->setAutoDefault(false);
    return button;
}
} // namespace

krControllerSettingsDD::krControllerSettingsDD(ControllerLink& link, QWidget* parent)
    : QDialog(parent), m_line(new LineClient(link, SettingsTexts::Caption, LineClient::Kind::Screen, this))
{
    setObjectName(QStringLiteral("krControllerSettingsDD"));
    setWindowTitle(SettingsTexts::Caption);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(TwipsToPixels(240));
    grid->setVerticalSpacing(TwipsToPixels(90));
    int row = 0;
    auto addRow = [&](const QString& caption, const QString& captionName, QWidget* field) {
        auto* label = new QLabel(caption, this);
        label->setObjectName(captionName);
        grid->addWidget(label, row, 0);
        if (field)
            grid->addWidget(field, row, 1, Qt::AlignLeft);
        ++row;
        return label;
    };

    m_lblFirmwareVersion = new QLabel(this);
    m_lblFirmwareVersion->setObjectName(QStringLiteral("lblFirmwareVersion"));
    addRow(QStringLiteral("Firmware-Version:"), QStringLiteral("lblFirmwareVersionCaption"),
           m_lblFirmwareVersion);
    m_lblControllerType = new QLabel(this);
    m_lblControllerType->setObjectName(QStringLiteral("lblControllerType"));
    addRow(QStringLiteral("Controller-Layout:"), QStringLiteral("lblControllerTypeCaption"),
           m_lblControllerType);

    // The check box and "n/v" share one place; only one of them is ever shown.
    m_chkHWNotstop = new QCheckBox(this);
    m_chkHWNotstop->setObjectName(QStringLiteral("chkHWNotstop"));
    m_chkHWNotstop->setEnabled(false);
    m_chkHWNotstop->hide();
    m_lblNotstopNotAvailable = new QLabel(SettingsTexts::NotAvailable, this);
    m_lblNotstopNotAvailable->setObjectName(QStringLiteral("lblNotstopNotAvailable"));
    grid->addWidget(m_chkHWNotstop, row, 1, Qt::AlignLeft);
    addRow(QStringLiteral("Hardware-Notstopp:"), QStringLiteral("lblHWNotstop"), m_lblNotstopNotAvailable);

    for (int i = 0; i < PinFieldCount; ++i) {
        const PinField& f = kPinFields[i];
        auto* field = new QLineEdit(this);
        field->setObjectName(QLatin1String(f.name));
        field->setProperty("Tag", QString::fromUtf8(f.tag));
        field->setValidator(new LengthLimit(f.maxLength, field));
        field->setFixedWidth(TwipsToPixels(750));
        field->setEnabled(false);
        m_pinFields[i] = field;
        addRow(QString::fromUtf8(f.caption), QLatin1String(f.name) + QStringLiteral("Caption"), field);
    }
    grid->setColumnStretch(1, 1);

    // Both pairs share the bottom row: the edit pair takes the place of the read-only pair.
    m_cmdChangeSettings = bottomButton("cmdChangeSettings", QStringLiteral("Einstellungen ändern"), this);
    m_cmdClose = bottomButton("cmdClose", QStringLiteral("Schliessen"), this);
    m_cmdOK = bottomButton("cmdOK", QStringLiteral("OK"), this);
    m_cmdCancel = bottomButton("cmdCancel", QStringLiteral("Abbruch"), this);
    // One width for all four, so that the pair that takes over fills the same place.
    int width = TwipsToPixels(1500);
    for (const QPushButton* b : {m_cmdChangeSettings, m_cmdClose, m_cmdOK, m_cmdCancel})
        width = qMax(width, b->sizeHint().width());
    for (QPushButton* b : {m_cmdChangeSettings, m_cmdClose, m_cmdOK, m_cmdCancel})
        b->setFixedWidth(width);
    m_cmdOK->hide();
    m_cmdCancel->hide();
    auto* buttons = new QGridLayout;
    buttons->addWidget(m_cmdChangeSettings, 0, 0);
    buttons->addWidget(m_cmdOK, 0, 0);
    buttons->setColumnStretch(1, 1);
    buttons->addWidget(m_cmdClose, 0, 2);
    buttons->addWidget(m_cmdCancel, 0, 2);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(TwipsToPixels(240), TwipsToPixels(240), TwipsToPixels(240),
                               TwipsToPixels(180));
    layout->setSpacing(TwipsToPixels(300));
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_cmdChangeSettings, &QPushButton::clicked, this,
            &krControllerSettingsDD::cmdChangeSettings_Click);
    connect(m_cmdOK, &QPushButton::clicked, this, &krControllerSettingsDD::cmdOK_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_cmdClose, &QPushButton::clicked, this, &QDialog::reject);
}

std::optional<quint8> krControllerSettingsDD::frameController() const
{
    if (m_controllerId < 0 || m_controllerId > 255)
        return std::nullopt;
    return static_cast<quint8>(m_controllerId);
}

void krControllerSettingsDD::showEvent(QShowEvent* event)
{
    // Placed over its parent by now; the whole dialog must be on the screen.
    KeepOnScreen(this);
    QDialog::showEvent(event);
    if (m_firstActivation) {
        m_firstActivation = false;
        // The settings change how the Controller drives the track: nothing else goes out while
        // they are read and written, but the track stays as it is.
        m_line->holdExclusive(kHoldReason, false);
        Form_Activate();
    }
}

void krControllerSettingsDD::done(int result)
{
    m_line->releaseExclusive();
    QDialog::done(result);
}

void krControllerSettingsDD::Form_Activate()
{
    setWindowTitle(windowTitle() + QStringLiteral(" (Controller ") + QString::number(m_controllerId) +
                   QLatin1Char(')'));
    FitTitle(this);
    if (LineChecked(*m_line, this))
        GetControllerSettings(*m_line, frameController(), m_settings); // what was not read stays as it was

    m_lblFirmwareVersion->setText(GetFirmwareVersion(m_settings));
    m_lblControllerType->setText(boardLayoutText(m_settings.BoardLayout));
    const bool offered = offersHardwareStop(m_settings, m_allowHWNotstop);
    m_chkHWNotstop->setVisible(offered);
    m_lblNotstopNotAvailable->setVisible(!offered);
    if (offered && m_settings.HardwareStopEnabled)
        m_chkHWNotstop->setChecked(true);
    for (int i = 0; i < PinFieldCount; ++i)
        m_pinFields[i]->setText(NumberToPINFormat(m_settings.*(kPinFields[i].pin), m_settings.BoardLayout));
}

void krControllerSettingsDD::cmdChangeSettings_Click()
{
    const auto answer =
        MessageBox::show(this, QMessageBox::Critical, ProgramTitle(), SettingsTexts::changeWarning(),
                         QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    m_cmdChangeSettings->hide();
    m_cmdClose->hide();
    m_cmdOK->show();
    m_cmdCancel->show();
    m_chkHWNotstop->setEnabled(true);
    for (QLineEdit* field : m_pinFields)
        field->setEnabled(true);
}

void krControllerSettingsDD::cmdOK_Click()
{
    if (!LineChecked(*m_line, this) || !sysDataOK(this))
        return;
    for (int i = 0; i < PinFieldCount; ++i) {
        // Read as sysDataOK has just passed them: a digital pin as a number from 2 to 53, an analog
        // one as the name in the field's list (" a3" is "A3").
        m_settings.*(kPinFields[i].pin) =
            kPinFields[i].analog
                ? PINFormatToNumber(fieldChoice(m_pinFields[i]).value_or(QString()), m_settings.BoardLayout)
                : static_cast<quint16>(fieldNumber(m_pinFields[i]).value_or(0));
    }
    m_settings.HardwareStopEnabled = m_chkHWNotstop->isChecked();
    SetControllerSettings(*m_line, frameController(), m_settings);
    MessageBox::show(this, QMessageBox::Information, ProgramTitle(), SettingsTexts::Saved, QMessageBox::Ok);
    accept();
}

#include "krControllerSettingsDD.moc"
