// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The roster's rules as plain functions: what an entry holds, which numbers and speeds it takes,
// how a name shows in a loco list and what a loco's top speed leaves of a speed value.

#include <QList>
#include <QPair>
#include <QString>
#include <QXmlStreamAttributes>

#include <array>
#include <optional>

namespace Roster {

constexpr int FirstNumber = 1;
constexpr int LastNumber = 10239; // what the Controller's configuration takes
constexpr int LastShortAddress = 127;
constexpr int FunctionCount = 13; // F0 (the light) to F12
constexpr int FullSpeed = 100;    // percent

struct Function
{
    QString label;
    bool momentary = false; // "Taster": on while pressed; otherwise a "Schalter"
};

// What a roster file carried that the program does not use, replayed as it was read.
struct XmlToken
{
    enum Kind { Start, End, Text, Comment } kind = Text;
    QString name; // qualified name of a start tag, or the text
    QXmlStreamAttributes attributes;
};
using XmlFragment = QList<XmlToken>;

struct Entry
{
    QString id; // the name, unique within a roster
    QString fileName;
    int number = 0;
    bool longAddress = false;
    QString roadName;
    QString roadNumber;
    QString model;
    QString owner;
    QString comment;
    int maxSpeed = FullSpeed;
    std::array<Function, FunctionCount> functions;
    QList<QPair<QString, QString>> cvValues; // name ("1", "17", "16.4.257") and value, as read

    // Kept for export: attributes of `locomotive` that are not ours, and every child element in
    // the order read, a known one by its name only, an unknown one whole.
    QXmlStreamAttributes otherAttributes;
    struct Child
    {
        QString known;
        XmlFragment unknown;
    };
    QList<Child> children;
    XmlFragment otherLabels; // labels above F12
    XmlFragment otherValues; // `values` children other than `CVvalue`
};

bool isValidNumber(int number);
bool isValidMaxSpeed(int percent);
// A new entry's address: long above 127, as decoders take them.
bool defaultLongAddress(int number);

// Why the entry cannot stand in the roster beside `others` (the roster without it); empty when
// it can.
QString entryProblem(const Entry& entry, const QList<Entry>& others);

// "3 – BR 218" for the throttles' loco lists; the bare number without a name.
QString listText(int number, const QString& name);
// The number a list text starts with: what the loco number field holds after a pick.
QString numberOfListText(const QString& text);

// What the slider's speed value becomes under the loco's top speed: never above that share of
// full speed, unchanged below it.
quint8 cappedSpeed(quint8 speedValue, int maxSpeedPercent);

// "BR_218.xml": JMRI's file name for an id, made unique against `taken` (compared ignoring case).
QString fileNameFor(const QString& id, const QStringList& taken);

// The first entry for a loco number, none when the roster has none.
const Entry* entryForNumber(const QList<Entry>& entries, int number);
const Entry* entryForName(const QList<Entry>& entries, const QString& name);

// Merges imported entries: an entry with the same name is replaced (keeping its file), the others
// are added with a file name of their own. Returns how many were added and replaced.
struct MergeCount
{
    int added = 0;
    int replaced = 0;
};
MergeCount merge(QList<Entry>& mine, const QList<Entry>& imported);

// The Controller's configured locos that have no entry yet, in the Controller's order.
QList<int> numbersWithoutEntry(const QList<int>& configured, const QList<Entry>& entries);
// A new entry for the number, named "Lok 3" (or "Lok 3 (2)" when that name is taken).
Entry newEntry(int number, const QList<Entry>& entries);

// What a function button shows: the label where it fits in `room` characters, else the key.
QString keyText(const QString& key, const QString& label, int room);

// "Taster" or "Schalter".
QString functionKindText(bool momentary);
// The tooltip of a function button: "F2: Horn (Taster)", "F3" without a label.
QString functionTooltip(int function, const Function& f);

// CV values with a plain CV number (1 to 1023) as numbers; indexed names are left out.
QList<QPair<int, int>> plainCvs(const Entry& entry);
void setPlainCvs(Entry& entry, const QList<QPair<int, int>>& cvs);

} // namespace Roster
