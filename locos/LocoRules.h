// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The loco configuration's rules as plain functions: how an entry becomes a record, how records
// and tree nodes are named and labelled, and the texts the loco list window asks with.

#include "clsLoco.h"

#include <QString>
#include <QtGlobal>

namespace Locos {

constexpr int LowestLocoNumber = 1;
constexpr int HighestLocoNumber = 10239;
// A new loco is entered with 28 speed steps.
constexpr quint8 NewLocoSpeedStepCode = 2;

// "L" and the number in five digits: L00003, L10239.
QString listKey(int locoNumber);

// The record an entry of the Controller stands for (data1 low byte, data2 high byte of the
// number, data3 the attribute byte: speed-step code in bits 0 and 1, forward in bit 7).
clsLoco locoFromEntry(quint8 data1, quint8 data2, quint8 data3);

// Tree node keys: "12#" for the loco, "12#fs" for its speed steps, "12#fr" for its direction.
QString locoNodeKey(int locoNumber);
QString speedStepNodeKey(int locoNumber);
QString directionNodeKey(int locoNumber);
// The loco a node stands for: the first "#"-separated entry of its key, 0 when there is none.
int locoNumberOfNodeKey(const QString& key);

QString locoNodeText(const clsLoco& loco);      // "12"
QString speedStepNodeText(const clsLoco& loco); // "28 Fahrstufen", "undef. Fahrstufen"
QString directionNodeText(const clsLoco& loco); // "Fahrtrichtung: vorwärts"

// The toolbar keys btn14, btn28, btn126: the text after "btn" and the code sent for it.
QString speedStepTextOfButton(const QString& buttonKey);
quint8 speedStepCodeOfText(const QString& speedStepText);

// Titles and texts of the questions before a change.
QString locoQuestionTitle(int locoNumber); // "Lok 12"
QString deleteQuestion(int locoNumber);
QString speedStepQuestion(const QString& speedStepText);
QString restartQuestionTitle();
QString restartQuestion();

// The window's caption as designed; each opening appends the Controller once.
QString windowCaption();

} // namespace Locos
