// SPDX-License-Identifier: GPL-3.0-or-later
#include "FaultPlan.h"

#include <QRegularExpression>

namespace {
struct KindName
{
    FaultPlan::Kind kind;
    const char* name;
};
constexpr KindName kKindNames[] = {
    {FaultPlan::Kind::NoAnswer, "no-answer"},     {FaultPlan::Kind::BadCheck, "bad-check"},
    {FaultPlan::Kind::Command255, "command-255"}, {FaultPlan::Kind::Short, "short"},
    {FaultPlan::Kind::Trailing, "trailing"},      {FaultPlan::Kind::Late, "late"},
};
constexpr int kKindCount = int(sizeof kKindNames / sizeof kKindNames[0]);
} // namespace

bool FaultPlan::take(quint8 command, Kind& kind)
{
    for (Rule& rule : m_rules) {
        if (rule.count == 0 || (rule.command >= 0 && rule.command != command))
            continue;
        if (rule.count > 0)
            --rule.count;
        kind = rule.kind;
        return true;
    }
    if (m_mixPercent == 0)
        return false;
    // Two draws per request whatever the outcome, so the sequence does not depend on earlier hits.
    const bool hit = int(m_mix() % 100) < m_mixPercent;
    const int which = int(m_mix() % kKindCount);
    if (hit)
        kind = kKindNames[which].kind;
    return hit;
}

void FaultPlan::setMix(quint32 seed, int percent)
{
    m_mix.seed(seed);
    m_mixPercent = qBound(0, percent, 100);
}

bool FaultPlan::parseMix(const QString& text, quint32& seed, int& percent, QString& error)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,9}):(\\d{1,3})$"));
    const auto match = pattern.match(text.trimmed());
    percent = match.hasMatch() ? match.captured(2).toInt() : -1;
    if (percent < 0 || percent > 100) {
        error = QStringLiteral("fault mix \"%1\": expected SEED:PERCENT, PERCENT 0 to 100").arg(text);
        return false;
    }
    seed = match.captured(1).toUInt();
    return true;
}

QString FaultPlan::kindName(Kind kind)
{
    for (const KindName& k : kKindNames) {
        if (k.kind == kind)
            return QString::fromLatin1(k.name);
    }
    return QString();
}

bool FaultPlan::parse(const QString& text, Rule& rule, QString& error)
{
    static const QRegularExpression pattern(QStringLiteral("^([a-z0-9-]+)(?::(\\d+))?(?:@(\\d+))?$"));
    const auto match = pattern.match(text.trimmed().toLower());
    if (!match.hasMatch()) {
        error = QStringLiteral("fault \"%1\": expected KIND[:COUNT][@COMMAND]").arg(text);
        return false;
    }
    Rule parsed;
    bool known = false;
    for (const KindName& k : kKindNames) {
        if (match.captured(1) == QLatin1String(k.name)) {
            parsed.kind = k.kind;
            known = true;
        }
    }
    if (!known) {
        error = QStringLiteral(
                    "fault \"%1\": unknown kind (no-answer, bad-check, command-255, short, trailing, late)")
                    .arg(text);
        return false;
    }
    if (!match.captured(2).isEmpty()) {
        bool ok = false;
        parsed.count = match.captured(2).toInt(&ok);
        if (!ok || parsed.count < 1) {
            error = QStringLiteral("fault \"%1\": COUNT must be at least 1").arg(text);
            return false;
        }
    }
    if (!match.captured(3).isEmpty()) {
        bool ok = false;
        parsed.command = match.captured(3).toInt(&ok);
        if (!ok || parsed.command > 255) {
            error = QStringLiteral("fault \"%1\": COMMAND must be 0 to 255").arg(text);
            return false;
        }
    }
    rule = parsed;
    return true;
}
