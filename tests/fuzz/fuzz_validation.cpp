// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary rules and texts through the validation language. A field's check and the number a
// command sends must agree: a number goes out only for a text the check accepts, and within the
// rule's bounds, so a frame is never built from a text the window would refuse.

#include "FieldNumber.h"
#include "NumberReader.h"
#include "ValidationRule.h"

#include <QDateTime>
#include <QLocale>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Rule and text are separated by the first byte 0; the text may be anything after it.
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype split = input.indexOf('\0');
    const QString tag = QString::fromUtf8(split < 0 ? input : input.left(split));
    const QString text = split < 0 ? QString() : QString::fromUtf8(input.mid(split + 1));
    static const QDateTime now(QDate(2026, 12, 5), QTime(21, 30));
    static const QLocale locales[] = {QLocale(QLocale::German, QLocale::Germany), QLocale::c()};

    for (const QLocale& locale : locales) {
        const ValidationRule rule = ValidationRule::parse(tag);
        const ValidationResult result = validateField(rule, text, locale, now);
        if (!result.ok && !result.message.startsWith(rule.name))
            std::abort(); // the message names the field
        if (rule.mandatory && text.trimmed().isEmpty() && result.ok)
            std::abort();

        const std::optional<qint64> sent = checkedNumber(text, tag, locale);
        if (sent && !result.ok)
            std::abort(); // a refused text must not go out
        if (sent && rule.numeric && !rule.isDate() && !rule.hasValidList) {
            if (rule.hasMin && *sent < wholeValue(leadingNumber(rule.minText)))
                std::abort();
            if (rule.hasMax && *sent > wholeValue(leadingNumber(rule.maxText)))
                std::abort();
        }
    }
    return 0;
}
