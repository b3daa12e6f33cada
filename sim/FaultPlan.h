#pragma once

#include <QList>
#include <QString>

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
    };

    struct Rule
    {
        Kind kind = Kind::NoAnswer;
        int count = -1;   // requests still to be hit; -1 = every matching request
        int command = -1; // command byte to match; -1 = any
    };

    void add(const Rule& rule) { m_rules.append(rule); }
    void clear() { m_rules.clear(); }
    bool isEmpty() const { return m_rules.isEmpty(); }

    // The fault for a request with this command byte, using up one count of its rule.
    bool take(quint8 command, Kind& kind);

    // "no-answer:2@23" and so on; false with a message on anything else.
    static bool parse(const QString& text, Rule& rule, QString& error);
    static QString kindName(Kind kind);

private:
    QList<Rule> m_rules;
};
