// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>

#include <functional>

class QAbstractButton;
class QKeySequence;
class QShortcut;
class QWidget;
class ThrottleMark;
class ThrottlePanel;

// Drives the throttles from the keyboard. Every key only presses, toggles or moves the control the
// mouse would, so its frames come from the same handlers with the same checks. The keys wake up
// with the operating controls, that is after a successful check, and sleep again when they hide.
class KeyboardThrottles : public QObject
{
    Q_OBJECT

public:
    static constexpr int PageSteps = 10; // Page Up and Page Down move the slider this many steps

    KeyboardThrottles(QWidget* window, const QList<ThrottlePanel*>& throttles, QAbstractButton* globalStop,
                      QWidget* operatingControls);

    // The throttle the keys act on, -1 while none is chosen.
    int chosen() const { return m_chosen; }
    void choose(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QShortcut* addKey(const QKeySequence& key, bool repeats, std::function<void()> action);
    void forChosen(const std::function<void(ThrottlePanel*)>& action) const;
    void stepFaster(int steps) const;
    void updateKeys();
    void nameKeysInTooltips();
    // Ctrl+F1 to Ctrl+F12 and Ctrl+L: a push-button function is on while the key is held.
    void pressOrToggle(int function, const std::function<void(ThrottlePanel*)>& toggle);
    void letGo();

    QWidget* m_window;
    QList<ThrottlePanel*> m_throttles;
    QWidget* m_operatingControls;
    QAbstractButton* m_globalStop;
    QList<QShortcut*> m_alwaysKeys;   // choosing a throttle
    QList<QShortcut*> m_throttleKeys; // act on the chosen throttle
    ThrottleMark* m_mark = nullptr;
    int m_chosen = -1;
    ThrottlePanel* m_holding = nullptr; // whose push-button function a held key keeps on
    int m_heldFunction = -1;
    int m_heldKey = 0;
};
