// SPDX-License-Identifier: GPL-3.0-or-later
#include "NumberReader.h"

#include <cmath>
#include <limits>

namespace {

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

NumberReading readNumber(const QString& text, const QLocale& locale)
{
    NumberReading reading;
    const QString trimmed = text.trimmed();
    reading.blank = trimmed.isEmpty();
    if (!reading.blank) {
        bool ok = false;
        const double asWritten = locale.toDouble(trimmed, &ok);
        // The locale parser takes "inf" and "nan"; nobody means those as a field value.
        reading.numeric = ok && std::isfinite(asWritten);
    }
    reading.value = leadingNumber(text);
    return reading;
}

double leadingNumber(const QString& text)
{
    // Blanks anywhere are skipped: "1 2" reads as 12.
    QString s = text;
    for (const char blank : {' ', '\t', '\n', '\r'})
        s.remove(QLatin1Char(blank));

    const int n = int(s.size());
    int i = 0;
    QString number;
    if (i < n && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
        number += s[i++];
    QString integral;
    while (i < n && isAsciiDigit(s[i]))
        integral += s[i++];
    QString fraction;
    if (i < n && s[i] == QLatin1Char('.')) {
        ++i;
        while (i < n && isAsciiDigit(s[i]))
            fraction += s[i++];
    }
    if (integral.isEmpty() && fraction.isEmpty())
        return 0.0;
    number += integral.isEmpty() ? QStringLiteral("0") : integral;
    if (!fraction.isEmpty())
        number += QLatin1Char('.') + fraction;

    // An exponent counts only with at least one digit ("1e" is just 1).
    if (i < n && QStringLiteral("eEdD").contains(s[i])) {
        int j = i + 1;
        QString exponent = QStringLiteral("e");
        if (j < n && (s[j] == QLatin1Char('+') || s[j] == QLatin1Char('-')))
            exponent += s[j++];
        QString digits;
        while (j < n && isAsciiDigit(s[j]))
            digits += s[j++];
        if (!digits.isEmpty())
            number += exponent + digits;
    }
    return QLocale::c().toDouble(number);
}

qint64 wholeValue(double value)
{
    // Far beyond any frame; saturating keeps the conversion defined.
    constexpr double limit = 9.0e18;
    if (!(value < limit))
        return std::numeric_limits<qint64>::max();
    if (!(value > -limit))
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(std::round(value));
}

std::optional<qint64> wholeNumber(const QString& text, qint64 lowest, qint64 highest, const QLocale& locale)
{
    const NumberReading reading = readNumber(text, locale);
    if (!reading.numeric || reading.value < double(lowest) || reading.value > double(highest))
        return std::nullopt;
    return wholeValue(reading.value);
}
