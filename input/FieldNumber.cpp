// SPDX-License-Identifier: GPL-3.0-or-later
#include "FieldNumber.h"

#include "NumberReader.h"
#include "sysDataOK.h"
#include "ValidationRule.h"

#include <QDateTime>
#include <QVariant>
#include <QWidget>

std::optional<qint64> checkedNumber(const QString& text, const QString& tag, const QLocale& locale)
{
    const ValidationRule rule = ValidationRule::parse(tag);
    if (!rule.numeric || rule.isDate() || rule.hasValidList)
        return std::nullopt;
    if (!validateField(rule, text, locale, QDateTime::currentDateTime()).ok)
        return std::nullopt;
    return wholeValue(readNumber(text, locale).value);
}

std::optional<qint64> fieldNumber(const QWidget* field, const QLocale& locale)
{
    if (!field)
        return std::nullopt;
    return checkedNumber(sysControlText(field), field->property("Tag").toString(), locale);
}

std::optional<QString> checkedChoice(const QString& text, const QString& tag, const QLocale& locale)
{
    const ValidationRule rule = ValidationRule::parse(tag);
    const int position = rule.validListPosition(text);
    if (position == 0 || !validateField(rule, text, locale, QDateTime::currentDateTime()).ok)
        return std::nullopt;
    return rule.validValues().value(position - 1);
}

std::optional<QString> fieldChoice(const QWidget* field, const QLocale& locale)
{
    if (!field)
        return std::nullopt;
    return checkedChoice(sysControlText(field), field->property("Tag").toString(), locale);
}
