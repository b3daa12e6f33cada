// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's side of the phone throttles: the server it owns, and the channel through
// which every phone command runs the window's own handlers and frames.

#include "DashboardRules.h"
#include "krPhoneThrottles.h"
#include "krTaktora.h"
#include "Lamp.h"
#include "LineClient.h"
#include "LocoNumberBox.h"
#include "NumberReader.h"
#include "ThrottlePanel.h"
#include "WiThrottleServer.h"

#include <QAction>
#include <QPushButton>
#include <QSlider>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>

namespace {
std::optional<quint16> shownLoco(const ThrottlePanel* panel)
{
    // Read as the throttle reads it before each command.
    const auto number = wholeNumber(panel->locoNumberBox()->currentText(), 0, 65535);
    return number ? std::optional<quint16>(static_cast<quint16>(*number)) : std::nullopt;
}

QAction* functionKey(const ThrottlePanel* panel, int function)
{
    return panel->functionKeys()->findChild<QAction*>(QStringLiteral("F%1").arg(function));
}
} // namespace

void krTaktora::buildPhoneServer()
{
    m_phones = new WiThrottleServer(*this, this);
    // What a throttle does, by mouse, keyboard or phone, reaches the phones that hold its loco.
    for (ThrottlePanel* panel : m_throttles) {
        connect(panel->slider(), &QSlider::valueChanged, this, [this, panel](int position) {
            if (const auto loco = shownLoco(panel))
                m_phones->reportSpeed(*loco, Dashboard::speedValue(position));
        });
        connect(panel->directionButton(), &QToolButton::toggled, this, [this, panel](bool forward) {
            if (const auto loco = shownLoco(panel))
                m_phones->reportDirection(*loco, forward);
        });
        connect(panel->lightButton(), &QPushButton::toggled, this, [this, panel](bool on) {
            if (const auto loco = shownLoco(panel))
                m_phones->reportFunction(*loco, 0, on);
        });
        for (int f = 1; f <= 12; ++f)
            connect(functionKey(panel, f), &QAction::toggled, this, [this, panel, f](bool on) {
                if (const auto loco = shownLoco(panel))
                    m_phones->reportFunction(*loco, f, on);
            });
    }
    // Ignored lines are notes on the line, which an open traffic monitor lists.
    connect(m_phones, &WiThrottleServer::lineIgnored, this,
            [this](const QString& peer, const QString& line, const QString& reason) {
                m_line->link().note(QStringLiteral("Handregler ") + peer, line, reason);
            });
    krPhoneThrottles::startFromSettings(*m_phones);
}

void krTaktora::showPhoneThrottles()
{
    auto* dialog = findChild<krPhoneThrottles*>();
    if (!dialog)
        dialog = new krPhoneThrottles(*m_phones, this);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

std::optional<quint8> krTaktora::checkedController() const
{
    return m_line->link().checkedController();
}

ThrottlePanel* krTaktora::panelShowing(quint16 loco) const
{
    const auto shown = std::find_if(std::begin(m_throttles), std::end(m_throttles),
                                    [loco](const ThrottlePanel* panel) { return shownLoco(panel) == loco; });
    return shown == std::end(m_throttles) ? nullptr : *shown;
}

bool krTaktora::actOnScreen(quint16 loco, const ThrottleAction& action)
{
    ThrottlePanel* panel = panelShowing(loco);
    if (!panel)
        return false;
    switch (action.kind) {
    case ThrottleAction::Speed:
        // The slider's own change handler sends the speed.
        panel->slider()->setValue(Dashboard::RestingPosition - action.value);
        break;
    case ThrottleAction::Direction: {
        // Passed on while the loco moves too, although the button itself is locked then.
        const bool forward = action.value == 1;
        panel->directionButton()->setChecked(forward);
        panel->krDirection_Click(forward);
        break;
    }
    case ThrottleAction::Function:
        if (action.function == 0) {
            panel->lightButton()->setChecked(action.value != 0);
            panel->chkLight_Click(action.value != 0);
        } else if (QAction* key = functionKey(panel, action.function)) {
            key->setChecked(action.value != 0);
            panel->tlbFunctionKeys_ButtonClick(key);
        }
        break;
    case ThrottleAction::Stop:
        panel->btnStop_Click();
        break;
    }
    return true;
}

std::optional<PhoneLocoState> krTaktora::onScreenState(quint16 loco) const
{
    const ThrottlePanel* panel = panelShowing(loco);
    if (!panel)
        return std::nullopt;
    PhoneLocoState state;
    state.speed = Dashboard::speedValue(panel->slider()->value());
    state.forward = panel->directionButton()->isChecked();
    state.functions = panel->lightButton()->isChecked() ? 1 : 0;
    for (int f = 1; f <= 12; ++f)
        if (functionKey(panel, f)->isChecked())
            state.functions |= static_cast<quint16>(1u << f);
    return state;
}

void krTaktora::switchTrackPower(bool on)
{
    // The button toggles what the lamps show, as a click does.
    if ((m_shpCircuitOn->color() == Dashboard::Green) != on)
        btnLoadCircuit_Click();
}
