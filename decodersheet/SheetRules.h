// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The decoder sheet's rules as plain functions, so they can be checked without a window: the
// standard CVs and their names, what CV 29 and CV 8 mean, the sheet's CSV file, the comparison
// of two sheets, which rows a write takes, and the texts of the progress and the summary.
// Plain QtCore: the emulator reads the same files with the same code.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>

#include <optional>

namespace Sheet {

constexpr int FirstCv = 1;
constexpr int LastCv = 1023; // what a frame carries: data2 0 to 3

enum class Status { NotRead, Read, Changed, Written, Failed };
QString statusText(Status status);

struct Row
{
    int cv = 0;
    QString name;
    // None while not read; a failure keeps one only when it was a write: the value the user
    // wanted, to write again or save.
    std::optional<int> value;
    Status status = Status::NotRead;
};

// CV 1 to 8, 17 to 19 and 29 with their German names, nothing read yet.
QList<Row> defaultRows();
QString standardName(int cv);
// From the public NMRA manufacturer list; empty for an id it does not name.
QString manufacturerName(int id);
// The name as the table shows it: CV 8 adds the manufacturer once its value is known.
QString displayName(const Row& row);
// What the bits of CV 29 say, one line each.
QString cv29Explanation(int value);
// Version number and manufacturer: decoders do not take a write to them.
inline bool isReadOnly(int cv)
{
    return cv == 7 || cv == 8;
}

// "3, 17-19": the CVs to add, ascending; none with `error` set when the text is not such a list.
std::optional<QList<int>> parseCvSelection(const QString& text, QString& error);
// The rows with `cvs` added in CV order; a CV already listed keeps its row.
QList<Row> withCvs(const QList<Row>& rows, const QList<int>& cvs);

// "1 CV", "3 CVs".
QString cvCount(int count);

// The loco address the read CVs give: the long one from CV 17 and 18 when CV 29 says so, else
// CV 1; none while the CVs it needs are not read.
std::optional<int> locoAddress(const QList<Row>& rows);
// The name a sheet is offered to be saved under: "lok1823.csv", or "datenblatt.csv" without
// an address.
QString suggestedFileName(const QList<Row>& rows);

// The file: UTF-8, the header line "CV,Name,Wert,Status", then one CV a line.
QByteArray toCsv(const QList<Row>& rows);
struct CsvReading
{
    QList<Row> rows;
    int badLine = 0; // 1-based line of the first malformed line, 0 when all are good
    QString error;   // "Zeile 4: ..."
};
CsvReading parseCsv(const QByteArray& utf8);

// The values the decoder holds, read or written and verified, CV by CV: what the loco roster keeps.
QList<QPair<int, int>> decoderValues(const QList<Row>& rows);
// Rows for CV values kept elsewhere (the loco roster), in CV order with their standard names.
QList<Row> rowsFromValues(const QList<QPair<int, int>>& values);

// A loaded sheet as it is to be written: every row with a value counts as changed.
QList<Row> rowsToRestore(const QList<Row>& loaded);

// CVs whose values differ between the two sheets (a CV without value, or missing in the
// other sheet, differs from one with a value).
QSet<int> differingCvs(const QList<Row>& mine, const QList<Row>& other);
std::optional<int> valueOf(const QList<Row>& rows, int cv);

// A value the user gave that the decoder does not hold yet: changed, or its write failed.
bool isUnwritten(const Row& row);
// The question before "Alle lesen" over such values, none when there are none.
std::optional<QString> readOverUnwrittenQuestion(const QList<Row>& rows);

// Which unwritten rows a write takes, and which read-only ones it leaves.
struct WritePlan
{
    QList<int> rows; // indexes into the sheet
    QList<int> leftReadOnly;
};
WritePlan writePlan(const QList<Row>& rows);

// The time left after `done` of `done + remaining` CVs took `elapsedMs`; none before the first.
std::optional<qint64> timeLeftMs(qint64 elapsedMs, int done, int remaining);
QString timeLeftText(std::optional<qint64> ms);
QString durationText(qint64 ms); // once the work is done

QString readSummary(int read, int failed, int total, bool cancelled);
QString writeSummary(int written, int failed, const QList<int>& leftReadOnly);
QString compareSummary(int differing, const QString& otherFile);

} // namespace Sheet
