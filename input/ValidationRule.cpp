// SPDX-License-Identifier: GPL-3.0-or-later
#include "ValidationRule.h"

#include "sysList.h"

#include <QRegularExpression>

namespace {

const QString kEntrySeparator = QStringLiteral(",");
const QString kValueSeparator = QStringLiteral(";");

bool isKeyword(const QString& entry, const char* keyword)
{
    return entry.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

bool startsWithKeyword(const QString& entry, const char* prefix)
{
    return entry.startsWith(QLatin1String(prefix), Qt::CaseInsensitive);
}

// A point in time as a sortable pair, free of time zones: the dates here are wall-clock dates.
struct Moment
{
    QDate date;
    int msecs = 0;

    static Moment midnight(const QDate& date) { return {date, 0}; }
    bool operator<(const Moment& other) const
    {
        return date != other.date ? date < other.date : msecs < other.msecs;
    }
};

struct RangeCheck
{
    bool inRange = true;
    QString lower;
    QString upper;
};

RangeCheck checkDateRange(const ValidationRule& spec, const QString& text, const QLocale& locale,
                          const QDateTime& now)
{
    Moment lower;
    Moment upper;
    if (spec.date) {
        lower = Moment::midnight(QDate(100, 1, 1));
        upper = Moment::midnight(QDate(9999, 12, 31));
    } else {
        // From the present moment 129 years ago (so that date itself, at midnight, is just too
        // early) to today.
        lower = {now.date().addYears(-129), now.time().msecsSinceStartOfDay()};
        upper = Moment::midnight(now.date());
    }
    // A bound that is no date leaves the default in place.
    if (spec.hasMin) {
        if (const auto bound = parseLocaleDate(spec.minText, locale))
            lower = Moment::midnight(*bound);
    }
    if (spec.hasMax) {
        if (const auto bound = parseLocaleDate(spec.maxText, locale))
            upper = Moment::midnight(*bound);
    }

    RangeCheck check;
    check.lower = shortDateText(lower.date, locale);
    check.upper = shortDateText(upper.date, locale);
    // An empty date field has no value and is within any bounds.
    if (const auto value = parseLocaleDate(text, locale)) {
        const Moment moment = Moment::midnight(*value);
        check.inRange = !(moment < lower) && !(upper < moment);
    }
    return check;
}

RangeCheck checkNumberRange(const ValidationRule& spec, double value, const QLocale& locale)
{
    const double lower = spec.hasMin ? leadingNumber(spec.minText) : -1e99;
    const double upper = spec.hasMax ? leadingNumber(spec.maxText) : 1e99;
    return {value >= lower && value <= upper, generalNumberText(lower, locale),
            generalNumberText(upper, locale)};
}

RangeCheck checkTextRange(const ValidationRule& spec, const QString& trimmed)
{
    // The highest text value: 255 characters of code 255.
    const QString lower = spec.hasMin ? spec.minText : QString();
    const QString upper = spec.hasMax ? spec.maxText : QString(255, QChar(0xFF));
    const bool inRange = QString::compare(trimmed, lower, Qt::CaseInsensitive) >= 0 &&
                         QString::compare(trimmed, upper, Qt::CaseInsensitive) <= 0;
    return {inRange, lower, upper};
}

} // namespace

ValidationRule ValidationRule::parse(const QString& tag)
{
    ValidationRule spec;
    spec.name = sysListEntry(1, tag, kEntrySeparator);
    const int count = sysListNumEntries(tag, kEntrySeparator);
    for (int i = 2; i <= count; ++i) {
        const QString entry = sysListEntry(i, tag, kEntrySeparator);
        if (isKeyword(entry, "Num")) {
            spec.numeric = true;
        } else if (isKeyword(entry, "Date")) {
            spec.date = true;
        } else if (isKeyword(entry, "Birthday")) {
            spec.birthday = true;
        } else if (isKeyword(entry, "Mandatory")) {
            spec.mandatory = true;
        } else if (startsWithKeyword(entry, "Valid=")) {
            if (!spec.hasValidList) {
                spec.hasValidList = true;
                spec.validList = entry.mid(6);
            }
        } else if (startsWithKeyword(entry, "Min=")) {
            spec.hasMin = true;
            spec.minText = entry.mid(4);
        } else if (startsWithKeyword(entry, "Max=")) {
            spec.hasMax = true;
            spec.maxText = entry.mid(4);
        }
    }
    return spec;
}

QStringList ValidationRule::validValues() const
{
    return hasValidList ? validList.split(kValueSeparator) : QStringList();
}

int ValidationRule::validListPosition(const QString& text) const
{
    return hasValidList ? sysListLookUp(text.trimmed(), validList, kValueSeparator) : 0;
}

ValidationResult validateField(const ValidationRule& spec, const QString& text, const QLocale& locale,
                               const QDateTime& now)
{
    const QString trimmed = text.trimmed();

    if (spec.mandatory && trimmed.isEmpty())
        return ValidationResult::fail(spec.name + QStringLiteral(" muß eingegeben werden."));
    if (spec.isDate() && !text.isEmpty() && !parseLocaleDate(text, locale))
        return ValidationResult::fail(spec.name + QStringLiteral(" muß ein gültiges Datum sein."));
    const NumberReading number = readNumber(text, locale);
    if (spec.numeric && !number.blank && !number.numeric)
        return ValidationResult::fail(spec.name + QStringLiteral(" muß numerisch sein."));

    // A date field compares as a date even when it is also marked numeric.
    const RangeCheck range = spec.isDate()  ? checkDateRange(spec, text, locale, now)
                             : spec.numeric ? checkNumberRange(spec, number.value, locale)
                                            : checkTextRange(spec, trimmed);
    const QString rangeMessage = spec.name + QStringLiteral(" ist nicht im gültigen Bereich (") +
                                 range.lower + QStringLiteral(" bis ") + range.upper + QStringLiteral(") .");

    if (spec.hasValidList) {
        if (spec.validListPosition(text) > 0)
            return ValidationResult::pass();
        if (spec.hasBounds())
            return range.inRange ? ValidationResult::pass() : ValidationResult::fail(rangeMessage);
        // Without bounds of its own the range would be the whole text range: name the allowed
        // values instead.
        return ValidationResult::fail(spec.name + QStringLiteral(" ist nicht zulässig (erlaubt: ") +
                                      spec.validValues().join(QStringLiteral(", ")) + QStringLiteral(")."));
    }
    if (spec.hasBounds() && !range.inRange)
        return ValidationResult::fail(rangeMessage);
    return ValidationResult::pass();
}

QString generalNumberText(double value, const QLocale& locale)
{
    QLocale plain = locale;
    plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);
    return plain.toString(value, 'G', 15);
}

std::optional<QDate> parseLocaleDate(const QString& text, const QLocale& locale)
{
    const QString s = text.trimmed();
    if (s.isEmpty())
        return std::nullopt;

    static const QRegularExpression numeric(
        QStringLiteral(R"(^(\d{1,4})\s*[./-]\s*(\d{1,4})\s*[./-]\s*(\d{1,4})\.?$)"));
    const QRegularExpressionMatch match = numeric.match(s);
    if (match.hasMatch()) {
        const QString first = match.captured(1);
        const QString second = match.captured(2);
        const QString third = match.captured(3);
        QString dayText;
        QString monthText;
        QString yearText;
        if (first.size() > 2) {
            // Year first: 2024-03-05.
            yearText = first;
            monthText = second;
            dayText = third;
        } else {
            const QString format = locale.dateFormat(QLocale::ShortFormat);
            const qsizetype d = format.indexOf(QLatin1Char('d'));
            const qsizetype m = format.indexOf(QLatin1Char('M'));
            const qsizetype y = format.indexOf(QLatin1Char('y'));
            const QString parts[3] = {first, second, third};
            if (d >= 0 && m >= 0 && y >= 0) {
                const auto rank = [](qsizetype a, qsizetype b, qsizetype c) {
                    return int(b < a) + int(c < a);
                };
                dayText = parts[rank(d, m, y)];
                monthText = parts[rank(m, d, y)];
                yearText = parts[rank(y, d, m)];
            } else {
                dayText = first;
                monthText = second;
                yearText = third;
            }
        }
        if (dayText.size() > 2 || monthText.size() > 2)
            return std::nullopt;
        int year = yearText.toInt();
        if (yearText.size() <= 2)
            year += year < 30 ? 2000 : 1900;
        const QDate date(year, monthText.toInt(), dayText.toInt());
        if (!date.isValid())
            return std::nullopt;
        return date;
    }

    for (const auto format : {QLocale::LongFormat, QLocale::ShortFormat, QLocale::NarrowFormat}) {
        const QDate date = locale.toDate(s, format);
        if (date.isValid())
            return date;
    }
    return std::nullopt;
}

QString shortDateText(const QDate& date, const QLocale& locale)
{
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return locale.toString(date, format);
}
