// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeyboardThrottles.h"

#include "ThrottleMark.h"
#include "ThrottlePanel.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QToolBar>
#include <QToolButton>

namespace {
// Only controls that have no tooltip of their own learn their key; the others keep theirs.
void nameKeyIfUntipped(QWidget* control, const QString& tip)
{
    if (control->toolTip().isEmpty())
        control->setToolTip(tip);
}
} // namespace

KeyboardThrottles::KeyboardThrottles(QWidget* window, const QList<ThrottlePanel*>& throttles,
                                     QAbstractButton* globalStop, QWidget* operatingControls)
    : QObject(window), m_window(window), m_throttles(throttles), m_operatingControls(operatingControls),
      m_globalStop(globalStop)
{
    setObjectName(QStringLiteral("keyboardThrottles"));
    m_mark = new ThrottleMark(operatingControls);

    for (int i = 0; i < m_throttles.size(); ++i)
        m_alwaysKeys << addKey(QKeySequence(Qt::CTRL | (Qt::Key_1 + i)), false, [this, i] { choose(i); });

    // Held down, the speed keys repeat like a slow hand on the slider; toggles do not flicker.
    m_throttleKeys << addKey(QKeySequence(Qt::Key_Up), true, [this] { stepFaster(1); })
                   << addKey(QKeySequence(Qt::Key_Down), true, [this] { stepFaster(-1); })
                   << addKey(QKeySequence(Qt::Key_PageUp), true, [this] { stepFaster(PageSteps); })
                   << addKey(QKeySequence(Qt::Key_PageDown), true, [this] { stepFaster(-PageSteps); });
    // A disabled button ignores click(), so the direction stays locked while the loco moves.
    m_throttleKeys << addKey(QKeySequence(Qt::CTRL | Qt::Key_H), false, [this] {
        forChosen([](ThrottlePanel* t) { t->stopButton()->click(); });
    }) << addKey(QKeySequence(Qt::CTRL | Qt::Key_R), false, [this] {
        forChosen([](ThrottlePanel* t) { t->directionButton()->click(); });
    }) << addKey(QKeySequence(Qt::CTRL | Qt::Key_L), false, [this] {
        m_heldKey = Qt::Key_L;
        pressOrToggle(0, [](ThrottlePanel* t) { t->lightButton()->click(); });
    });
    for (int f = 1; f <= 12; ++f) {
        const QString key = QStringLiteral("F%1").arg(f);
        m_throttleKeys << addKey(QKeySequence(Qt::CTRL | (Qt::Key_F1 + f - 1)), false, [this, key, f] {
            m_heldKey = Qt::Key_F1 + f - 1;
            pressOrToggle(f, [&key](ThrottlePanel* t) {
                // trigger() toggles the button and reaches the toolbar's handler as a click does.
                if (auto* button = t->functionKeys()->findChild<QAction*>(key))
                    button->trigger();
            });
        });
    }

    operatingControls->installEventFilter(this);
    // Escape reaches the window only when no control, list, menu or dialog had a use for it:
    // an open list closes first, and only an Escape that would do nothing else stops the locos.
    window->installEventFilter(this);
    nameKeysInTooltips();
    updateKeys();
}

QShortcut* KeyboardThrottles::addKey(const QKeySequence& key, bool repeats, std::function<void()> action)
{
    auto* shortcut = new QShortcut(key, m_window);
    shortcut->setContext(Qt::WindowShortcut);
    shortcut->setAutoRepeat(repeats);
    connect(shortcut, &QShortcut::activated, this, std::move(action));
    return shortcut;
}

void KeyboardThrottles::nameKeysInTooltips()
{
    for (int i = 0; i < m_throttles.size(); ++i) {
        ThrottlePanel* t = m_throttles[i];
        nameKeyIfUntipped(t, QStringLiteral("Regler wählen: Strg+%1").arg(i + 1));
        nameKeyIfUntipped(t->lightButton(), QStringLiteral("Licht des gewählten Reglers: Strg+L"));
        nameKeyIfUntipped(t->stopButton(), QStringLiteral("Lok des gewählten Reglers anhalten: Strg+H"));
    }
}

void KeyboardThrottles::choose(int index)
{
    m_chosen = (index >= 0 && index < m_throttles.size()) ? index : -1;
    m_mark->markOn(m_chosen < 0 ? nullptr : m_throttles[m_chosen]);
    updateKeys();
}

void KeyboardThrottles::forChosen(const std::function<void(ThrottlePanel*)>& action) const
{
    if (m_chosen >= 0)
        action(m_throttles[m_chosen]);
}

void KeyboardThrottles::pressOrToggle(int function, const std::function<void(ThrottlePanel*)>& toggle)
{
    if (m_chosen < 0)
        return;
    ThrottlePanel* t = m_throttles[m_chosen];
    if (!t->isMomentary(function))
        return toggle(t);
    letGo(); // a second held key lets the first go
    t->pressFunction(function);
    m_holding = t;
    m_heldFunction = function;
    // The release goes to whichever control has the focus: watch them all while the key is down.
    qApp->installEventFilter(this);
}

void KeyboardThrottles::letGo()
{
    if (!m_holding)
        return;
    qApp->removeEventFilter(this);
    ThrottlePanel* t = m_holding;
    m_holding = nullptr;
    t->releaseFunction(m_heldFunction);
}

void KeyboardThrottles::stepFaster(int steps) const
{
    // Position 255 stands, 0 is full speed; the change handler sends the frame as for a drag.
    forChosen([steps](ThrottlePanel* t) {
        QSlider* slider = t->slider();
        const int target = slider->value() - steps * slider->singleStep();
        slider->setValue(qBound(slider->minimum(), target, slider->maximum()));
    });
}

void KeyboardThrottles::updateKeys()
{
    const bool awake = !m_operatingControls->isHidden();
    for (QShortcut* key : std::as_const(m_alwaysKeys))
        key->setEnabled(awake);
    // Without a chosen throttle the arrow and page keys stay with the focused control.
    for (QShortcut* key : std::as_const(m_throttleKeys))
        key->setEnabled(awake && m_chosen >= 0);
}

bool KeyboardThrottles::eventFilter(QObject* watched, QEvent* event)
{
    if (m_holding) {
        const bool released = event->type() == QEvent::KeyRelease &&
                              static_cast<QKeyEvent*>(event)->key() == m_heldKey &&
                              !static_cast<QKeyEvent*>(event)->isAutoRepeat();
        // A window that takes the focus away takes the key's release with it.
        if (released || (watched == m_window && event->type() == QEvent::WindowDeactivate))
            letGo();
    }
    if (watched == m_window && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier && !m_operatingControls->isHidden()) {
        m_globalStop->click();
        return true;
    }
    if (watched == m_operatingControls) {
        // A failed check or new options hide the controls: the choice goes with them.
        if (event->type() == QEvent::HideToParent)
            choose(-1);
        else if (event->type() == QEvent::ShowToParent)
            updateKeys();
    }
    return QObject::eventFilter(watched, event);
}
