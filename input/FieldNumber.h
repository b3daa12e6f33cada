// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The number, or the allowed value, a field under a validation rule sends: read by the one number
// reader (NumberReader.h) and the rule's own list, after the same check sysDataOK makes.

#include <QLocale>
#include <QString>

#include <optional>

class QWidget;

// The number to send for a text under a field rule ("Die Decoder-ID,NUM,MIN=1,MAX=511"): none
// exactly when the check refuses the text, or when the rule is not numeric.
std::optional<qint64> checkedNumber(const QString& text, const QString& tag,
                                    const QLocale& locale = QLocale());

// The same for a control: its text and its "Tag" as sysDataOK reads them.
std::optional<qint64> fieldNumber(const QWidget* field, const QLocale& locale = QLocale());

// The entry of the rule's "Valid=" list that a text passes by, as the list writes it: " a3" under
// "VALID=A0;A1;A2;A3" gives "A3". None when the check refuses the text or it passes by the bounds.
std::optional<QString> checkedChoice(const QString& text, const QString& tag,
                                     const QLocale& locale = QLocale());
std::optional<QString> fieldChoice(const QWidget* field, const QLocale& locale = QLocale());
