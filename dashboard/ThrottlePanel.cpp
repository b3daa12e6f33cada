// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThrottlePanel.h"

#include "CommandSet.h"
#include "DashboardRules.h"
#include "LineClient.h"
#include "LocoEntries.h"
#include "LocoNumberBox.h"
#include "MotionCompressor.h"
#include "NumberReader.h"
#include "Roster.h"

#include <QAction>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>

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

ThrottlePanel::ThrottlePanel(int index, LineClient& line, ControllerNumber controller, QWidget* parent)
    : QGroupBox(QStringLiteral("Lok-Steuerung"), parent), m_index(index), m_line(line),
      m_controller(std::move(controller))
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
        "QSlider::handle:vertical:hover { border-color: #2a7fd4; }"
        // The arrow keys move a focused slider: the frame shows which one.
        "QSlider { border: 2px solid transparent; border-radius: 4px; }"
        "QSlider:focus { border-color: #2a7fd4; }"));
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
        "border-color: #1c5d9e; } QToolButton:disabled { color: #a0a0a0; } "
        "QToolButton:focus { border-color: #2a7fd4; background: #dcebfa; } "
        "QToolButton:checked:focus { border-color: #0b2f55; background: #1c5d9e; }"));
    for (int f = 1; f <= 12; ++f) {
        QAction* key = m_functionKeys->addAction(QStringLiteral("F%1").arg(f));
        key->setObjectName(QStringLiteral("F%1").arg(f));
        key->setCheckable(true);
        key->setToolTip(QStringLiteral("Funktion F%1").arg(f));
        // Tab reaches every key, as it reaches the throttle's other buttons.
        m_functionKeys->widgetForAction(key)->setFocusPolicy(Qt::TabFocus);
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
                                         "font-weight: bold; border: 2px solid #8a0000; border-radius: 3px; "
                                         "padding: 3px 9px; } QPushButton:pressed { background-color: "
                                         "rgb(200, 0, 0); } QPushButton:focus { border-color: #ffd700; }"));

    m_speedSteps = new QLabel(QStringLiteral("Fahrstf."), this);
    m_speedSteps->setObjectName(indexed("lblFahrstufen", index));
    m_speedSteps->setAlignment(Qt::AlignCenter);
    m_speedSteps->setToolTip(QStringLiteral("Fahrstufen der Lok im Controller"));

    arrange(false);

    connect(m_slider, &QSlider::valueChanged, this, &ThrottlePanel::krSlider_Change);
    connect(m_direction, &QToolButton::clicked, this, &ThrottlePanel::krDirection_Click);
    connect(m_light, &QPushButton::clicked, this, &ThrottlePanel::chkLight_Click);
    connect(m_functionKeys, &QToolBar::actionTriggered, this, &ThrottlePanel::tlbFunctionKeys_ButtonClick);
    // A push-button function sends on the press and on the release, by mouse or space bar alike;
    // a latching one only on the click, as always.
    const auto pushButton = [this](QAbstractButton* b, int function) {
        connect(b, &QAbstractButton::pressed, this, [this, function] {
            if (isMomentary(function))
                pressFunction(function);
        });
        connect(b, &QAbstractButton::released, this, [this, function] {
            if (isMomentary(function))
                releaseFunction(function);
        });
    };
    pushButton(m_light, LightFunction);
    for (int f = 1; f <= 12; ++f)
        if (auto* b = qobject_cast<QAbstractButton*>(m_functionKeys->widgetForAction(
                m_functionKeys->findChild<QAction*>(QStringLiteral("F%1").arg(f)))))
            pushButton(b, f);
    connect(m_locoNumber, &QComboBox::editTextChanged, this, &ThrottlePanel::showRosterEntry);
    connect(m_stop, &QPushButton::clicked, this, &ThrottlePanel::btnStop_Click);
    connect(m_locoNumber, &LocoNumberBox::aboutToShowList, this, &ThrottlePanel::FillLocoNumberList);
    connect(m_locoNumber, &LocoNumberBox::focusLost, this, &ThrottlePanel::ShowSpeedStepMode);
    // A loco chosen from the list is as good as typed and left: its speed steps show at once,
    // while the focus stays in the field.
    connect(m_locoNumber, &QComboBox::activated, this, &ThrottlePanel::ShowSpeedStepMode);

    ControllerLink& link = line.link();
    connect(&link, &ControllerLink::locoChanged, this,
            [this](quint8 c, quint16 loco, const LocoState& state, const LineClient* origin) {
                if (origin != &m_line)
                    follow(c, loco, state);
            });
    connect(&link, &ControllerLink::allLocosStopped, this, [this](quint8 c, const LineClient* origin) {
        if (origin != &m_line && m_controller() == c)
            showStopped();
    });
}

void ThrottlePanel::arrange(bool compact)
{
    delete layout(); // takes its inner layouts along, the controls stay with the panel
    auto* grid = new QGridLayout(this);
    grid->addWidget(m_locoNumber, 0, 0, 1, compact ? 3 : 2);
    grid->addWidget(m_slider, 1, 0, Qt::AlignHCenter);
    grid->addWidget(m_speedLabel, 2, 0);
    grid->addWidget(m_functionKeys, 1, 1, 2, 1);
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(0, 1);

    auto* buttons = new QGridLayout;
    if (compact) {
        // Beside the function keys, so that the throttle is no taller than they are.
        buttons->addWidget(m_direction, 0, 0, Qt::AlignHCenter);
        buttons->addWidget(m_light, 1, 0);
        buttons->addWidget(m_speedSteps, 2, 0);
        buttons->setRowStretch(3, 1);
        buttons->addWidget(m_stop, 4, 0);
        grid->addLayout(buttons, 1, 2, 2, 1);
    } else {
        buttons->addWidget(m_direction, 0, 0, 2, 1);
        buttons->addWidget(m_light, 0, 1);
        buttons->addWidget(m_speedSteps, 1, 1);
        buttons->addWidget(m_stop, 2, 0, 1, 2);
        grid->addLayout(buttons, 3, 0, 1, 2);
    }
}

void ThrottlePanel::makeCompact()
{
    // The function keys close up and set the throttle's height; the slider follows them down.
    m_functionKeys->setStyleSheet(m_functionKeys->styleSheet() +
                                  QStringLiteral(" QToolButton { margin: 0px; padding: 0px 3px; }"));
    m_slider->setMinimumHeight(120);
    arrange(true);
    // A toolbar gives way by hiding keys behind an extension button: these must all stay in sight.
    m_functionKeys->setMinimumHeight(m_functionKeys->sizeHint().height());
}

std::optional<quint16> ThrottlePanel::shownLoco() const
{
    // A name picked from the list leaves its number in the field; read it as such all the same.
    const auto number = wholeNumber(Roster::numberOfListText(m_locoNumber->currentText()), 0, AllLocos);
    return number ? std::optional<quint16>(static_cast<quint16>(*number)) : std::nullopt;
}

void ThrottlePanel::follow(quint8 controller, quint16 loco, const LocoState& state)
{
    if (m_controller() != controller || shownLoco() != loco)
        return;
    m_quiet = true;
    m_slider->setValue(Dashboard::RestingPosition - state.speed);
    m_direction->setChecked(state.forward);
    showDirection(state.forward);
    m_light->setChecked(state.function(LightFunction));
    showLight(state.function(LightFunction));
    for (int f = 1; f <= 12; ++f)
        if (QAction* key = m_functionKeys->findChild<QAction*>(QStringLiteral("F%1").arg(f)))
            key->setChecked(state.function(f));
    m_quiet = false;
}

void ThrottlePanel::showStopped()
{
    m_quiet = true;
    m_slider->setValue(Dashboard::RestingPosition);
    m_quiet = false;
}

std::optional<quint16> ThrottlePanel::locoNumber()
{
    // Read as every typed number is, so "5.0" drives loco 5 here as it would pass a field check.
    const auto number = shownLoco();
    showInvalidLocoNumber(!number);
    return number;
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

std::optional<Outcome> ThrottlePanel::sendForLoco(const Builder& build, WhenBusy busy)
{
    const auto loco = locoNumber();
    const auto controller = m_controller();
    if (!loco || !controller)
        return std::nullopt;
    const FrameFields request = build(*controller, *loco);
    const Outcome outcome = m_line.transact(request, 2, true, 2);
    if (outcome.status == Outcome::Status::Busy && busy == WhenBusy::Wait)
        m_line.submit(request); // a newer speed for the loco replaces it while it waits
    return outcome;
}

void ThrottlePanel::krSlider_Change(int position)
{
    if (!m_quiet) {
        const Roster::Entry* entry = rosterEntry();
        const quint8 speed = entry ? Roster::cappedSpeed(Dashboard::speedValue(position), entry->maxSpeed)
                                   : Dashboard::speedValue(position);
        sendForLoco([speed](quint8 c, quint16 loco) { return Request::setLocoSpeed(c, loco, speed); });
    }
    const QString percent = Dashboard::speedPercentText(position);
    m_speedLabel->setText(percent);
    m_slider->setToolTip(percent);
    const bool standing = position == Dashboard::RestingPosition;
    m_direction->setEnabled(standing);
    m_locoNumber->setEnabled(standing);
}

void ThrottlePanel::showDirection(bool forward)
{
    m_direction->setIcon(directionIcon(forward));
    m_direction->setToolTip(Dashboard::directionText(forward));
}

void ThrottlePanel::krDirection_Click(bool forward)
{
    showDirection(forward);
    sendForLoco([forward](quint8 c, quint16 loco) { return Request::setLocoDirection(c, loco, forward); });
}

void ThrottlePanel::showLight(bool on)
{
    m_light->setStyleSheet(
        on ? QStringLiteral("QPushButton { background-color: rgb(255, 255, 0); "
                            "color: black; border: 2px solid #a0a000; border-radius: 3px; "
                            "padding: 3px 9px; } QPushButton:focus { border-color: #2a7fd4; }")
           : QString());
}

void ThrottlePanel::chkLight_Click(bool pressed)
{
    if (isMomentary(LightFunction))
        return; // sent on the press and the release
    showLight(pressed);
    sendForLoco(
        [pressed](quint8 c, quint16 loco) { return Request::locoFunction(c, loco, LightFunction, pressed); });
}

void ThrottlePanel::tlbFunctionKeys_ButtonClick(QAction* button)
{
    const int function = button->objectName().mid(1).toInt();
    if (isMomentary(function))
        return; // sent on the press and the release
    const bool pressed = button->isChecked();
    sendForLoco([function, pressed](quint8 c, quint16 loco) {
        return Request::locoFunction(c, loco, static_cast<quint8>(function), pressed);
    });
}

void ThrottlePanel::btnStop_Click()
{
    sendForLoco([](quint8 c, quint16 loco) { return Request::stopLoco(c, loco); });
    showStopped(); // the change handler runs as for a user's move, but sends no speed
}

void ThrottlePanel::ShowSpeedStepMode()
{
    const auto outcome =
        sendForLoco([](quint8 c, quint16 loco) { return Request::readLocoEntry(c, loco); }, WhenBusy::Drop);
    if (outcome && outcome->status == Outcome::Status::Busy)
        return; // asked again when the field next loses the focus
    // What a failed exchange leaves in data3.
    const quint8 attributes = outcome && outcome->answered() ? outcome->answer.data3 : 0;
    m_speedSteps->setText(Dashboard::speedStepText(attributes));
}

void ThrottlePanel::FillLocoNumberList()
{
    const QString text = m_locoNumber->currentText();
    m_locoNumber->clear();
    m_locoNumber->setEditText(text);

    const auto controller = m_controller();
    if (!controller)
        return;
    for (const LocoEntryRecord& entry :
         readLocoEntries(m_line, *controller, 2, true, {}, kMaxListedLocos).entries) {
        const Roster::Entry* named = m_roster ? m_roster->entryForNumber(entry.number) : nullptr;
        m_locoNumber->addItem(Roster::listText(entry.number, named ? named->id : QString()));
    }
    m_locoNumber->setEditText(text);
}

void ThrottlePanel::setRoster(const LocoRoster* roster)
{
    if (m_roster)
        disconnect(m_roster, nullptr, this, nullptr);
    m_roster = roster;
    if (m_roster)
        connect(m_roster, &LocoRoster::changed, this, &ThrottlePanel::showRosterEntry);
    showRosterEntry();
}

const Roster::Entry* ThrottlePanel::rosterEntry() const
{
    const auto loco = shownLoco();
    return m_roster && loco ? m_roster->entryForNumber(*loco) : nullptr;
}

bool ThrottlePanel::isMomentary(int function) const
{
    const Roster::Entry* entry = rosterEntry();
    return entry && function >= 0 && function < Roster::FunctionCount &&
           entry->functions[static_cast<size_t>(function)].momentary;
}

void ThrottlePanel::sendFunction(int function, bool on)
{
    if (function == LightFunction)
        showLight(on);
    sendForLoco([function, on](quint8 c, quint16 loco) {
        return Request::locoFunction(c, loco, static_cast<quint8>(function), on);
    });
}

void ThrottlePanel::pressFunction(int function)
{
    if (isMomentary(function))
        sendFunction(function, true);
}

void ThrottlePanel::releaseFunction(int function)
{
    if (isMomentary(function))
        sendFunction(function, false);
}

void ThrottlePanel::showRosterEntry()
{
    const Roster::Entry* entry = rosterEntry();
    const auto function = [entry](int f) {
        return entry ? entry->functions[static_cast<size_t>(f)] : Roster::Function();
    };
    // A push button shows itself pressed only while held; switching one over drops its state.
    const Roster::Function light = function(LightFunction);
    if (m_light->isCheckable() == light.momentary) {
        m_light->setChecked(false);
        showLight(false);
        m_light->setCheckable(!light.momentary);
    }
    m_light->setText(Roster::keyText(QStringLiteral("Licht"), light.label, 10));
    // The keyboard's hint stays the tooltip of a light without a label.
    const char* plainTip = "plainToolTip";
    if (!m_light->property(plainTip).isValid())
        m_light->setProperty(plainTip, m_light->toolTip());
    QString lightTip = m_light->property(plainTip).toString();
    if (!light.label.isEmpty() || light.momentary) {
        const QString kind = light.momentary ? QStringLiteral(" (Taster)") : QString();
        lightTip = QStringLiteral("Licht: ") + (light.label.isEmpty() ? QStringLiteral("F0") : light.label) +
                   kind + (lightTip.isEmpty() ? QString() : QStringLiteral("\n") + lightTip);
    }
    m_light->setToolTip(lightTip);
    for (int f = 1; f <= 12; ++f) {
        QAction* key = m_functionKeys->findChild<QAction*>(QStringLiteral("F%1").arg(f));
        if (!key)
            continue;
        const Roster::Function fn = function(f);
        if (key->isCheckable() == fn.momentary) {
            key->setChecked(false);
            key->setCheckable(!fn.momentary);
        }
        key->setText(Roster::keyText(QStringLiteral("F%1").arg(f), fn.label, 5));
        key->setToolTip(fn.label.isEmpty() && !fn.momentary ? QStringLiteral("Funktion F%1").arg(f)
                                                            : Roster::functionTooltip(f, fn));
    }
}
