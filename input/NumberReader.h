// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The one reader of the numbers that users type. The field check (validateField, sysDataOK) and
// every command that sends a typed number read the text through here, so a text that passes a
// field's check goes out as exactly the number the check compared, rounded to whole, and a text
// that could not go out has already failed the check with its message. Read a number to send
// ONLY through these functions, never with QString::toInt() or the like:
//
//     if (!sysDataOK(this))                             // every field against its "Tag" rule
//         return;                                       // (sysDataOK has told the user why)
//     const auto decoder = fieldNumber(txtDecoder);     // that field's number, as the check read it
//                                                       // (FieldNumber.h)
//
// and, for a text that carries no rule of its own (a throttle's loco number):
//
//     const auto loco = wholeNumber(text, 0, 65535);    // none: send nothing
//
// How a text reads:
// - It is a number when the user's locale reads the whole trimmed text as a finite number:
//   "300", "5.0", "1e2", "+7"; with a German locale also "1,5" and "1.000". A blank text is none.
// - Its value is the leading part that reads as a number with a point as the decimal separator,
//   blanks skipped: "300.4" is 300.4, "1e2" is 100, "1,5" is 1, "1.000" is 1; a blank text is 0.
//   Bounds compare this value.
// - The number sent is that value rounded to whole, halves away from zero: "300.4" sends 300.
// A rule whose field feeds a frame carries bounds that fit the frame, so whatever passes it fits.

#include <QLocale>
#include <QString>

#include <optional>

struct NumberReading
{
    bool blank = true;    // nothing but blanks
    bool numeric = false; // a number as the locale writes it (never when blank)
    double value = 0.0;   // the leading number; 0 when blank or without a leading number
};

NumberReading readNumber(const QString& text, const QLocale& locale = QLocale());

// The value part alone, without the locale test: what bounds in a rule ("MAX=511") and the
// Controller number field, which takes any text, are read as.
double leadingNumber(const QString& text);

// A value as it is sent: rounded to whole, halves away from zero (2.5 gives 3, -2.5 gives -3).
qint64 wholeValue(double value);

// The number to send for a text without a rule of its own: none unless the text is a number whose
// value lies within lowest..highest (compared before rounding, as the field check compares).
std::optional<qint64> wholeNumber(const QString& text, qint64 lowest, qint64 highest,
                                  const QLocale& locale = QLocale());
