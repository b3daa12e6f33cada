// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// JMRI's roster files, read and written with Qt's XML streams: the index `roster.xml` and one
// `locomotive-config` file per loco. What the program does not use is kept and written back in
// the element it came from, so a roster goes out as complete as it came in.

#include "RosterRules.h"

#include <QByteArray>
#include <QStringList>

namespace Jmri {

struct Reading
{
    QList<Roster::Entry> entries;
    // "roster/BR_218.xml, Zeile 4: ...": one line for each file or entry that could not be taken.
    QStringList problems;
    bool damaged = false; // the file itself is not good XML of its kind
};

// `label` names the file in a problem text. A damaged file gives the entries read before the
// damage and a problem with its line.
Reading readLocoFile(const QByteArray& xml, const QString& label);
Reading readIndex(const QByteArray& xml, const QString& label);

QByteArray writeLocoFile(const Roster::Entry& entry);
QByteArray writeIndex(const QList<Roster::Entry>& entries);

} // namespace Jmri
