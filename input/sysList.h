// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Operations on lists kept in one string ("A0;A1;A2", "Name,NUM,MIN=1"). Separators and entries
// compare without regard to case.

#include <QString>

// The number of separators plus one: an empty list has one (empty) entry.
int sysListNumEntries(const QString& list, const QString& separator);

// Entry number hElementNo, counted from 1, untrimmed; empty when there is no such entry.
QString sysListEntry(int hElementNo, const QString& hElementList, const QString& hSeparator);

// The number (from 1) of the first entry equal to hSearchElement, 0 when there is none.
int sysListLookUp(const QString& hSearchElement, const QString& hElementList, const QString& hSeparator);
