// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThrottlePanel.h"

#include "CommandSet.h"
#include "DashboardChannel.h"
#include "DashboardRules.h"
#include "LocoNumberBox.h"
#include "MotionCompressor.h"
#include "NumberReader.h"

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

namespace {
// Longer than the Controller's configuration can be, so a babbling board cannot hang the list.
constexpr int kMaxListedLocos = 10240;

QString indexed(const char* name, int index)
{
    return QString::fromLatin1(name) + QLatin1Char('_') + QString::number(index);
}

// Pressed is forward: the button sends what it shows, 1 for forward as everywhere else.
QIcon directionIcon(bool forward)
{
    return QIcon(forward ? QStringLiteral(":/icons/direction_forward.png")
                         : QStringLiteral(":/icons/direction_reverse.png"));
}
} // namespace

ThrottlePanel::ThrottlePanel(int index, DashboardChannel& channel, QWidget* parent)
    : QGroupBox(QStringLiteral("Lok-Steuerung"), parent), m_index(index), m_channel(channel)
{
    setObjectName(indexed("fraThrottle", index));

    m_locoNumber = new LocoNumberBox(this);
    m_locoNumber->setObjectName(indexed("krSliderNo", index));
    m_locoNumber->setEditText(QString::number(index + 1));
    m_locoNumber->setToolTip(QStringLiteral("Lok-Nummer"));

    m_slider = new QSlider(Qt::Vertical, this);
    m_slider->setObjectName(indexed("krSlider", index));
    m_slider->setRange(0, Dashboard::RestingPosition);
    // Position 255 (standing) is at the bottom; up on the keyboard or wheel means faster.
    m_slider->setInvertedAppearance(true);
    m_slider->setInvertedControls(true);
    m_slider->setValue(Dashboard::RestingPosition);
    m_slider->setPageStep(16);
    // The filled part of the groove runs from the resting end up to the handle: the speed.
    m_slider->setStyleSheet(QStringLiteral(
        "QSlider::groove:vertical { width: 8px; border-radius: 4px; background: #c9c9c9; }"
        "QSlider::sub-page:vertical { border-radius: 4px; background: #c9c9c9; }"
        "QSlider::add-page:vertical { border-radius: 4px; background: #2a7fd4; }"
        "QSlider::handle:vertical { height: 14px; margin: 0 -9px; border-radius: 4px; border: 1px solid "
        "#4a4a4a; "
        "background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fdfdfd, stop:1 #d4d4d4); }"
        "QSlider::handle:vertical:hover { border-color: #2a7fd4; }"));
    m_slider->setMinimumHeight(260);
    new MotionCompressor(m_slider); // owned by the slider
    m_slider->setToolTip(Dashboard::speedPercentText(Dashboard::RestingPosition));

    m_speedLabel = new QLabel(QStringLiteral("0 %"), this);
    m_speedLabel->setObjectName(indexed("lblSliderValue", index));
    m_speedLabel->setAlignment(Qt::AlignCenter);

    m_functionKeys = new QToolBar(this);
    m_functionKeys->setObjectName(indexed("tlbFunctionKeys", index));
    m_functionKeys->setOrientation(Qt::Vertical);
    m_functionKeys->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_functionKeys->setStyleSheet(QStringLiteral(
        "QToolButton { border: 1px solid #9a9a9a; border-radius: 3px; background: #f6f6f6; min-width: 30px; "
        "padding: 1px 3px; margin: 1px; } QToolButton:checked { background: #2a7fd4; color: white; "
        "border-color: #1c5d9e; } QToolButton:disabled { color: #a0a0a0; }"));
    for (int f = 1; f <= 12; ++f) {
        QAction* key = m_functionKeys->addAction(QStringLiteral("F%1").arg(f));
        key->setObjectName(QStringLiteral("F%1").arg(f));
        key->setCheckable(true);
        key->setToolTip(QStringLiteral("Funktion F%1").arg(f));
    }

    m_direction = new QToolButton(this);
    m_direction->setObjectName(indexed("krDirection", index));
    m_direction->setCheckable(true);
    m_direction->setIcon(directionIcon(false));
    m_direction->setIconSize(QSize(32, 32));
    m_direction->setToolTip(Dashboard::directionText(false));

    m_light = new QPushButton(QStringLiteral("Licht"), this);
    m_light->setObjectName(indexed("chkLight", index));
    m_light->setCheckable(true);

    m_stop = new QPushButton(QStringLiteral("STOP"), this);
    m_stop->setObjectName(indexed("btnStop", index));
    m_stop->setStyleSheet(QStringLiteral("QPushButton { background-color: rgb(255, 0, 0); color: white; "
                                         "font-weight: bold; border: 1px solid #8a0000; border-radius: 3px; "
                                         "padding: 4px 10px; } QPushButton:pressed { background-color: "
                                         "rgb(200, 0, 0); }"));

    m_speedSteps = new QLabel(QStringLiteral("Fahrstf."), this);
    m_speedSteps->setObjectName(indexed("lblFahrstufen", index));
    m_speedSteps->setAlignment(Qt::AlignCenter);
    m_speedSteps->setToolTip(QStringLiteral("Fahrstufen der Lok im Controller"));

    auto* driving = new QHBoxLayout;
    auto* sliderColumn = new QVBoxLayout;
    sliderColumn->addWidget(m_slider, 1, Qt::AlignHCenter);
    sliderColumn->addWidget(m_speedLabel);
    driving->addLayout(sliderColumn, 1);
    driving->addWidget(m_functionKeys);

    auto* buttons = new QGridLayout;
    buttons->addWidget(m_direction, 0, 0, 2, 1);
    buttons->addWidget(m_light, 0, 1);
    buttons->addWidget(m_speedSteps, 1, 1);
    buttons->addWidget(m_stop, 2, 0, 1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_locoNumber);
    layout->addLayout(driving, 1);
    layout->addLayout(buttons);

    connect(m_slider, &QSlider::valueChanged, this, &ThrottlePanel::krSlider_Change);
    connect(m_direction, &QToolButton::clicked, this, &ThrottlePanel::krDirection_Click);
    connect(m_light, &QPushButton::clicked, this, &ThrottlePanel::chkLight_Click);
    connect(m_functionKeys, &QToolBar::actionTriggered, this, &ThrottlePanel::tlbFunctionKeys_ButtonClick);
    connect(m_stop, &QPushButton::clicked, this, &ThrottlePanel::btnStop_Click);
    connect(m_locoNumber, &LocoNumberBox::aboutToShowList, this, &ThrottlePanel::FillLocoNumberList);
    connect(m_locoNumber, &LocoNumberBox::focusLost, this, &ThrottlePanel::ShowSpeedStepMode);
}

std::optional<quint16> ThrottlePanel::locoNumber()
{
    // Read as every typed number is, so "5.0" drives loco 5 here as it would pass a field check.
    const auto number = wholeNumber(m_locoNumber->currentText(), 0, AllLocos);
    showInvalidLocoNumber(!number);
    if (!number)
        return std::nullopt;
    return static_cast<quint16>(*number);
}

void ThrottlePanel::showInvalidLocoNumber(bool invalid)
{
    // Runs before every speed frame of a drag: a valid number that was valid before costs nothing.
    if (!invalid && !m_showsInvalidNumber)
        return;
    m_showsInvalidNumber = invalid;
    const QString hint =
        QStringLiteral("„%1“ ist keine gültige Lok-Nummer (0 bis 65535). Es wurde nichts gesendet.")
            .arg(m_locoNumber->currentText());
    m_locoNumber->setStyleSheet(invalid ? QStringLiteral("QComboBox { border: 2px solid rgb(255, 0, 0); }")
                                        : QString());
    m_locoNumber->setToolTip(invalid ? hint : QStringLiteral("Lok-Nummer"));
    if (invalid && m_locoNumber->isVisible())
        QToolTip::showText(m_locoNumber->mapToGlobal(QPoint(0, m_locoNumber->height())), hint, m_locoNumber);
}

bool ThrottlePanel::sendForLoco(const Builder& build)
{
    const auto loco = locoNumber();
    const auto controller = m_channel.controllerNumber();
    if (!loco || !controller)
        return false;
    return m_channel.transact(build(*controller, *loco));
}

void ThrottlePanel::krSlider_Change(int position)
{
    if (!m_channel.suppressSpeedCommand()) {
        const quint8 speed = Dashboard::speedValue(position);
        sendForLoco([speed](quint8 c, quint16 loco) { return Request::setLocoSpeed(c, loco, speed); });
    }
    const QString percent = Dashboard::speedPercentText(position);
    m_speedLabel->setText(percent);
    m_slider->setToolTip(percent);
    const bool standing = position == Dashboard::RestingPosition;
    m_direction->setEnabled(standing);
    m_locoNumber->setEnabled(standing);
}

void ThrottlePanel::krDirection_Click(bool forward)
{
    m_direction->setIcon(directionIcon(forward));
    m_direction->setToolTip(Dashboard::directionText(forward));
    sendForLoco([forward](quint8 c, quint16 loco) { return Request::setLocoDirection(c, loco, forward); });
}

void ThrottlePanel::chkLight_Click(bool pressed)
{
    m_light->setStyleSheet(
        pressed ? QStringLiteral("QPushButton { background-color: rgb(255, 255, 0); "
                                 "color: black; border: 1px solid #a0a000; border-radius: 3px; "
                                 "padding: 4px 10px; }")
                : QString());
    sendForLoco(
        [pressed](quint8 c, quint16 loco) { return Request::locoFunction(c, loco, LightFunction, pressed); });
}

void ThrottlePanel::tlbFunctionKeys_ButtonClick(QAction* button)
{
    const int function = button->objectName().mid(1).toInt();
    const bool pressed = button->isChecked();
    sendForLoco([function, pressed](quint8 c, quint16 loco) {
        return Request::locoFunction(c, loco, static_cast<quint8>(function), pressed);
    });
}

void ThrottlePanel::btnStop_Click()
{
    m_channel.setSuppressSpeedCommand(true);
    sendForLoco([](quint8 c, quint16 loco) { return Request::stopLoco(c, loco); });
    moveSliderToRest();
    m_channel.setSuppressSpeedCommand(false);
}

void ThrottlePanel::moveSliderToRest()
{
    // Runs the change handler like a user's move; the caller keeps the speed command off the wire.
    m_slider->setValue(Dashboard::RestingPosition);
}

void ThrottlePanel::ShowSpeedStepMode()
{
    quint8 attributes = 0; // what a failed exchange leaves in data3
    if (sendForLoco([](quint8 c, quint16 loco) { return Request::readLocoEntry(c, loco); }))
        attributes = m_channel.frame().data3;
    m_speedSteps->setText(Dashboard::speedStepText(attributes));
}

void ThrottlePanel::FillLocoNumberList()
{
    const QString text = m_locoNumber->currentText();
    m_locoNumber->clear();
    m_locoNumber->setEditText(text);

    const auto controller = m_channel.controllerNumber();
    if (!controller)
        return;
    FrameFields request = Request::readFirstLocoEntry(*controller);
    for (int listed = 0; listed < kMaxListedLocos; ++listed) {
        if (!m_channel.transact(request) || m_channel.frame().data3 == LocoEntry::None)
            break;
        const FrameFields& entry = m_channel.frame();
        m_locoNumber->addItem(QString::number(wordFromBytes(entry.data1, entry.data2)));
        request = Request::readNextLocoEntry(*controller);
    }
    m_locoNumber->setEditText(text);
}
