// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

#include <random>

// Faults injected into the answers, for testing how the program copes with a bad line or a
// refusing board. Rules are consulted in the order they were added; the first rule that still
// has a count left and matches the request's command byte takes the request.
class FaultPlan
{
public:
    enum class Kind {
        NoAnswer,   // the request is lost: the board neither acts nor answers
        BadCheck,   // the board acts; its answer arrives with a wrong check byte
        Command255, // the board refuses: answer command byte 255, nothing done
        Short,      // the board acts; only the first five answer bytes arrive
        Trailing,   // the board acts; stray bytes follow its answer
        Late,       // the board acts; its answer comes after the program has stopped waiting
    };

    struct Rule
    {
        Kind kind = Kind::NoAnswer;
        int count = -1;   // requests still to be hit; -1 = every matching request
        int command = -1; // command byte to match; -1 = any
    };

    void add(const Rule& rule) { m_rules.append(rule); }
    void clear()
    {
        m_rules.clear();
        m_mixPercent = 0;
    }
    bool isEmpty() const { return m_rules.isEmpty() && m_mixPercent == 0; }

    // Beyond the rules, every request draws a fault of any kind with this chance, from a
    // generator on a fixed seed, so a long mixed run can be repeated exactly.
    void setMix(quint32 seed, int percent);

    // The fault for a request with this command byte, using up one count of its rule.
    bool take(quint8 command, Kind& kind);

    // "no-answer:2@23" and so on; false with a message on anything else.
    static bool parse(const QString& text, Rule& rule, QString& error);
    // "SEED:PERCENT" for setMix.
    static bool parseMix(const QString& text, quint32& seed, int& percent, QString& error);
    static QString kindName(Kind kind);

private:
    QList<Rule> m_rules;
    int m_mixPercent = 0;
    std::mt19937 m_mix; // the same sequence on every platform for a seed
};
