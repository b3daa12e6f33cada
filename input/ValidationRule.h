// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The validation rule that an input field carries in its "Tag" property, and the check
// of one value against it. Everything here works on plain values, so the rules can be checked
// without a window.
//
// A rule is a comma-separated list: the field's name for messages, then in any order
// and any case the flags "Num", "Date", "Birthday", "Mandatory", an allowed-values list
// "Valid=A;B;C" and the bounds "Min=..." and "Max=...". Anything else ("INTEGER") is ignored.

#include "NumberReader.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

struct ValidationRule
{
    QString name;
    bool numeric = false;
    bool date = false;
    bool birthday = false;
    bool mandatory = false;

    // The first "Valid=" entry only; its values are separated by ";".
    bool hasValidList = false;
    QString validList;

    // The last "Min=" and "Max=" entries win.
    bool hasMin = false;
    bool hasMax = false;
    QString minText;
    QString maxText;

    static ValidationRule parse(const QString& tag);

    // A birthday is a date with other default bounds.
    bool isDate() const { return date || birthday; }
    bool hasBounds() const { return hasMin || hasMax; }
    QStringList validValues() const;
    // The number (from 1) of the "Valid=" entry that the text, trimmed, equals in any case; 0 for
    // none. The check and the value a field sends both read the list through here.
    int validListPosition(const QString& text) const;
};

struct ValidationResult
{
    bool ok = true;
    QString message; // what to tell the user when the value fails

    static ValidationResult pass() { return {}; }
    static ValidationResult fail(const QString& message) { return {false, message}; }
};

// Checks one field's text. Numbers and dates are read as the given locale writes them; `now` is
// the present moment (a birthday may lie at most 129 years back from it and not after its day).
ValidationResult validateField(const ValidationRule& spec, const QString& text, const QLocale& locale,
                               const QDateTime& now);

// A number in the general format: at most 15 significant digits, no trailing zeros, the locale's
// decimal separator, and exponent notation for very large or small magnitudes ("1E+99").
QString generalNumberText(double value, const QLocale& locale);

// A date as the locale writes it: day, month and year as numbers in the locale's order (an
// ISO-like year-first form is understood too; a two-digit year means 1930 to 2029), or one of the
// locale's own date formats.
std::optional<QDate> parseLocaleDate(const QString& text, const QLocale& locale);

// The locale's short date, always with a four-digit year, so that year 100 and 9999 stay readable.
QString shortDateText(const QDate& date, const QLocale& locale);
