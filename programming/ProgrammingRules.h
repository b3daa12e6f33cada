// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The programming track's rules as plain functions, so they can be checked without a window:
// which fields a programming type shows, the frames of each operation, how an answer is
// judged, the texts the status line shows, and the layout of a loco address in the decoder.

#include "Frame.h"

#include <QList>
#include <QLocale>
#include <QString>

#include <optional>

namespace Programming {

// The lamp states of ShowStatusLamp.
constexpr quint8 LampBusy = 0;
constexpr quint8 LampFailure = 1;
constexpr quint8 LampSuccess = 2;

// What a read returns besides a value of 0 to 255.
constexpr int NotFound = -1;
constexpr int Cancelled = -2;

enum ProgType { CvByte = 0, CvBit = 1, Register = 2 };
enum Operation { Verify = 0, Write = 1, Read = 2 };

// How the fields look and what they accept for one programming type.
struct ProgTypeSetup
{
    QString numberCaption; // lblCV
    bool bitFieldShown = false;
    QString tags[3]; // validation rules of txtValue 0 to 2
    bool searchEnabled = true;
};
ProgTypeSetup progTypeSetup(ProgType type);

// The value field after choosing a type: bit mode keeps only "0" and "1".
QString valueAfterTypeChange(ProgType type, const QString& value);

// A spin button step on a field's text: not a number becomes "0", then the absolute value of
// the integer part (rounded down, so -3.7 gives 4) steps down to 0 or up to 1024.
QString spinStep(const QString& text, bool up);

// The frame of a verify or write, with the numbers from the fields.
FrameFields operationRequest(quint8 controller, ProgType type, Operation operation, int number, int bit,
                             int value);
QString writeQuestion(ProgType type, const QString& number, const QString& bit, const QString& value);

// Write and verify buttons: only an answer of three 255 bytes is a failure.
bool buttonAnswerFailed(const FrameFields& answer);
// Reads: an answer matches when data1 or data3 is not 255.
bool readAnswerMatches(const FrameFields& answer);

// The report of a read: type word "CV" or "Register", the number as the field shows it.
QString readResultText(ProgType type, const QString& number, int result);

// Percent of the bar during a CV read (step 0 to 7) and a register search.
double cvReadPercent(int step);
double searchPercent(int value, int first, int last);

// "8500 ms" for any time; a read switches to "10,50sek." above 9999 ms.
QString elapsedMsText(qint64 ms);
QString readElapsedText(qint64 ms, const QLocale& locale);

// ---- Loco addresses ----

constexpr int HighestShortAddress = 127;
constexpr int LongAddressOffset = 192;

struct AddressSteps
{
    bool isLong = false;
    QString statusText;        // "Niedrige Lok-Nummer 3 setzen ..."
    QList<FrameFields> frames; // CV 29 bit 5 first, then CV 1 or CV 17 and 18
};
AddressSteps locoAddressSteps(quint8 controller, int locoNumber);
QString locoNumberQuestion(int locoNumber);

// The number in txtLocoNumber as it is written: integer part of its absolute value, so that
// 127.9 stays a short address.
int locoNumberFromField(const QString& text);

// The questions about CV 29: 1 short address, 2 long, 3 14 speed steps, 4 28/126 speed steps.
std::optional<quint8> cv29BitSpec(int selector);
constexpr int Cv29LongSelector = 2;
constexpr int Cv29ShortSelector = 1;
constexpr int Cv29Steps14Selector = 3;
constexpr int Cv29Steps28Selector = 4;

QString speedStepSuffix(bool steps14, bool steps28);
quint8 recognisedSpeedStepCode(bool steps14);

// The Controller's configuration holds loco numbers 1 to 10239, the range txtLocoNumber takes.
constexpr int HighestLocoNumber = 10239;

// What the recognition reports once it has read the address CVs. Only a number the Controller
// can hold is shown in green and may go into its configuration; anything else is shown in red,
// for the Controller would refuse the entry.
struct Recognition
{
    std::optional<int> locoNumber; // set only within 1 to 10239
    QString text;
};
Recognition shortAddressRecognition(int cv1, const QString& suffix);
// A long address is (CV 17 - 192) * 256 + CV 18; CV 17 below 192 holds no long address at all.
Recognition longAddressRecognition(int cv17, int cv18, const QString& suffix);

} // namespace Programming
