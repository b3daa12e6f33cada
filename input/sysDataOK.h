// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Field validation on a window: every control whose dynamic property "Tag" holds a validation
// rule (see ValidationRule.h) is checked when the window takes over its input.

#include <QString>

class QWidget;

// Checks the window's controls in creation order (a frame's controls follow the frame, as the
// window built them) and stops at the first that fails: its message is shown in a warning box
// titled with the program title, the focus goes to that control, and the result is false.
// Controls without a Tag are skipped; hidden and disabled controls are checked like all others
// (windows that hide a field clear its Tag). Child windows such as open dialogs are not part of
// the window.
bool sysDataOK(QWidget* window);

// Moves the focus to the control; a control that cannot take the focus (hidden or disabled) is
// left alone.
void sysSetFocus(QWidget* control);

// The value sysDataOK checks: the text of a line edit, combo box (the edit text when editable),
// spin box (without prefix and suffix) or text edit; for other controls their "text" property.
QString sysControlText(const QWidget* control);
