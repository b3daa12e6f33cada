// SPDX-License-Identifier: GPL-3.0-or-later
#include "SheetRules.h"

#include <QMap>
#include <QStringList>

#include <algorithm>

namespace Sheet {

namespace {

const QString kHeader = QStringLiteral("CV,Name,Wert,Status");

const QMap<int, QString>& standardNames()
{
    static const QMap<int, QString> names{
        {1, QStringLiteral("Basisadresse")},
        {2, QStringLiteral("Anfahrspannung")},
        {3, QStringLiteral("Beschleunigung")},
        {4, QStringLiteral("Bremsverzögerung")},
        {5, QStringLiteral("Höchstgeschwindigkeit")},
        {6, QStringLiteral("Mittengeschwindigkeit")},
        {7, QStringLiteral("Versionsnummer")},
        {8, QStringLiteral("Herstellerkennung")},
        {17, QStringLiteral("Erweiterte Adresse (hoch)")},
        {18, QStringLiteral("Erweiterte Adresse (niedrig)")},
        {19, QStringLiteral("Mehrfachtraktion")},
        {29, QStringLiteral("Konfiguration")},
    };
    return names;
}

// The ids of the NMRA's public manufacturer list that decoders on European and American layouts
// mostly carry.
const QMap<int, QString>& manufacturers()
{
    static const QMap<int, QString> names{
        {1, QStringLiteral("CML Electronics Limited")},
        {11, QStringLiteral("NCE Corporation")},
        {13, QStringLiteral("Public Domain & Do-It-Yourself Decoders")},
        {62, QStringLiteral("Tams Elektronik GmbH")},
        {85, QStringLiteral("Uhlenbrock GmbH")},
        {97, QStringLiteral("Doehler & Haass")},
        {99, QStringLiteral("Lenz Elektronik GmbH")},
        {113, QStringLiteral("QS Industries")},
        {127, QStringLiteral("Atlas Model Railroad Products")},
        {129, QStringLiteral("Digitrax")},
        {131, QStringLiteral("Trix Modelleisenbahn")},
        {141, QStringLiteral("Throttle-Up (SoundTraxx)")},
        {143, QStringLiteral("Model Rectifier Corp.")},
        {145, QStringLiteral("Zimo Elektronik")},
        {151, QStringLiteral("Electronic Solutions Ulm GmbH")},
        {153, QStringLiteral("Train Control Systems")},
        {155, QStringLiteral("Gebr. Fleischmann GmbH & Co.")},
        {157, QStringLiteral("Kühn Ing.")},
        {159, QStringLiteral("LGB (Ernst Paul Lehmann Patentwerk)")},
        {161, QStringLiteral("Modelleisenbahn GmbH (Roco)")},
    };
    return names;
}

QString quoted(const QString& field)
{
    if (!field.contains(QLatin1Char(',')) && !field.contains(QLatin1Char('"')))
        return field;
    QString inner = field;
    inner.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

// One line's fields, quotes as a spreadsheet writes them; none when a quote is left open.
std::optional<QStringList> splitFields(const QString& line)
{
    QStringList fields;
    QString field;
    bool inQuotes = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (inQuotes) {
            if (c == QLatin1Char('"') && i + 1 < line.size() && line.at(i + 1) == QLatin1Char('"')) {
                field += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                inQuotes = false;
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            inQuotes = true;
        } else if (c == QLatin1Char(',')) {
            fields.append(field);
            field.clear();
        } else {
            field += c;
        }
    }
    if (inQuotes)
        return std::nullopt;
    fields.append(field);
    return fields;
}

std::optional<int> number(const QString& text, int low, int high)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok || n < low || n > high)
        return std::nullopt;
    return n;
}

std::optional<Status> statusFromText(const QString& text)
{
    static const Status all[] = {Status::NotRead, Status::Read, Status::Changed, Status::Written,
                                 Status::Failed};
    const auto found = std::find_if(std::begin(all), std::end(all),
                                    [&text](Status s) { return statusText(s) == text.trimmed(); });
    return found == std::end(all) ? std::nullopt : std::optional<Status>(*found);
}

// Whether a row of this status holds a value; a failed one may, or may not.
std::optional<bool> carriesValue(Status status)
{
    if (status == Status::Failed)
        return std::nullopt;
    return status != Status::NotRead;
}

} // namespace

QString statusText(Status status)
{
    switch (status) {
    case Status::Read:
        return QStringLiteral("gelesen");
    case Status::Changed:
        return QStringLiteral("geändert");
    case Status::Written:
        return QStringLiteral("geschrieben");
    case Status::Failed:
        return QStringLiteral("Fehler");
    case Status::NotRead:
        break;
    }
    return QStringLiteral("nicht gelesen");
}

QList<Row> defaultRows()
{
    QList<Row> rows;
    for (auto it = standardNames().cbegin(); it != standardNames().cend(); ++it)
        rows.append(Row{it.key(), it.value(), std::nullopt, Status::NotRead});
    return rows;
}

QString standardName(int cv)
{
    return standardNames().value(cv);
}

QString manufacturerName(int id)
{
    return manufacturers().value(id);
}

QString displayName(const Row& row)
{
    if (row.cv != 8 || !row.value)
        return row.name;
    const QString maker = manufacturerName(*row.value);
    return maker.isEmpty() ? row.name : row.name + QStringLiteral(" (") + maker + QLatin1Char(')');
}

QString cv29Explanation(int value)
{
    const auto bit = [value](int i) { return (value >> i) & 1; };
    return QStringList{
        QStringLiteral("Bit 0, Fahrtrichtung: ") +
            (bit(0) ? QStringLiteral("umgekehrt") : QStringLiteral("normal")),
        QStringLiteral("Bit 1, Fahrstufen: ") +
            (bit(1) ? QStringLiteral("28 oder 128") : QStringLiteral("14")),
        QStringLiteral("Bit 2, Analogbetrieb: ") +
            (bit(2) ? QStringLiteral("erlaubt") : QStringLiteral("aus")),
        QStringLiteral("Bit 5, Adresse: ") +
            (bit(5) ? QStringLiteral("lang (CV 17 und 18)") : QStringLiteral("kurz (CV 1)")),
    }
        .join(QLatin1Char('\n'));
}

std::optional<QList<int>> parseCvSelection(const QString& text, QString& error)
{
    QList<int> cvs;
    for (const QString& item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList bounds = item.split(QLatin1Char('-'));
        const auto from = number(bounds.first(), FirstCv, LastCv);
        const auto to = number(bounds.last(), FirstCv, LastCv);
        if (bounds.size() > 2 || !from || !to || *from > *to) {
            error = QStringLiteral("\"%1\" ist keine CV von 1 bis 1023 und kein Bereich wie 17-19")
                        .arg(item.trimmed());
            return std::nullopt;
        }
        for (int cv = *from; cv <= *to; ++cv)
            if (!cvs.contains(cv))
                cvs.append(cv);
    }
    if (cvs.isEmpty()) {
        error = QStringLiteral("Bitte CVs angeben, etwa 1, 17-19");
        return std::nullopt;
    }
    std::sort(cvs.begin(), cvs.end());
    return cvs;
}

QList<Row> withCvs(const QList<Row>& rows, const QList<int>& cvs)
{
    QList<Row> result = rows;
    for (int cv : cvs)
        if (std::none_of(result.cbegin(), result.cend(), [cv](const Row& r) { return r.cv == cv; }))
            result.append(Row{cv, standardName(cv), std::nullopt, Status::NotRead});
    std::stable_sort(result.begin(), result.end(), [](const Row& a, const Row& b) { return a.cv < b.cv; });
    return result;
}

QByteArray toCsv(const QList<Row>& rows)
{
    QString text = kHeader + QLatin1Char('\n');
    for (const Row& row : rows)
        text += QString::number(row.cv) + QLatin1Char(',') + quoted(displayName(row)) + QLatin1Char(',') +
                (row.value ? QString::number(*row.value) : QString()) + QLatin1Char(',') +
                statusText(row.status) + QLatin1Char('\n');
    return text.toUtf8();
}

CsvReading parseCsv(const QByteArray& utf8)
{
    CsvReading reading;
    QString text = QString::fromUtf8(utf8);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    const QStringList lines = text.split(QLatin1Char('\n'));
    const auto fail = [&reading](int line, const QString& why) {
        reading.rows.clear();
        reading.badLine = line;
        reading.error = QStringLiteral("Zeile %1: %2").arg(line).arg(why);
        return reading;
    };
    QSet<int> seen;
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = QString(lines[i]).remove(QLatin1Char('\r'));
        if (i == 0) {
            if (line.trimmed() != kHeader)
                return fail(1, QStringLiteral("die Kopfzeile \"%1\" fehlt").arg(kHeader));
            continue;
        }
        if (line.trimmed().isEmpty())
            continue;
        const auto fields = splitFields(line);
        if (!fields || fields->size() != 4)
            return fail(i + 1, QStringLiteral("vier Felder erwartet: CV, Name, Wert, Status"));
        const auto cv = number(fields->at(0), FirstCv, LastCv);
        if (!cv)
            return fail(i + 1, QStringLiteral("CV von 1 bis 1023 erwartet"));
        if (seen.contains(*cv))
            return fail(i + 1, QStringLiteral("CV %1 steht zweimal in der Datei").arg(*cv));
        const auto status = statusFromText(fields->at(3));
        if (!status)
            return fail(i + 1, QStringLiteral("unbekannter Status \"%1\"").arg(fields->at(3).trimmed()));
        std::optional<int> value;
        if (!fields->at(2).trimmed().isEmpty()) {
            value = number(fields->at(2), 0, 255);
            if (!value)
                return fail(i + 1, QStringLiteral("Wert von 0 bis 255 erwartet"));
        }
        const std::optional<bool> carries = carriesValue(*status);
        if (carries && value.has_value() != *carries)
            return fail(i + 1, value
                                   ? QStringLiteral("ein Wert bei Status \"%1\"").arg(statusText(*status))
                                   : QStringLiteral("kein Wert bei Status \"%1\"").arg(statusText(*status)));
        seen.insert(*cv);
        const QString name = standardName(*cv).isEmpty() ? fields->at(1).trimmed() : standardName(*cv);
        reading.rows.append(Row{*cv, name, value, *status});
    }
    return reading;
}

QList<Row> rowsToRestore(const QList<Row>& loaded)
{
    QList<Row> rows = loaded;
    for (Row& row : rows)
        row.status = row.value ? Status::Changed : Status::NotRead;
    return rows;
}

std::optional<int> valueOf(const QList<Row>& rows, int cv)
{
    const auto found =
        std::find_if(rows.cbegin(), rows.cend(), [cv](const Row& row) { return row.cv == cv; });
    return found == rows.cend() ? std::nullopt : found->value;
}

QSet<int> differingCvs(const QList<Row>& mine, const QList<Row>& other)
{
    QSet<int> cvs;
    for (const Row& row : mine)
        if (row.value != valueOf(other, row.cv))
            cvs.insert(row.cv);
    return cvs;
}

bool isUnwritten(const Row& row)
{
    return row.value && (row.status == Status::Changed || row.status == Status::Failed);
}

std::optional<QString> readOverUnwrittenQuestion(const QList<Row>& rows)
{
    const auto count = std::count_if(rows.cbegin(), rows.cend(), isUnwritten);
    if (count == 0)
        return std::nullopt;
    return QStringLiteral("Möchten Sie alle CVs lesen und dabei %1 geänderte, noch nicht geschriebene "
                          "Werte verwerfen ?")
        .arg(count);
}

WritePlan writePlan(const QList<Row>& rows)
{
    WritePlan plan;
    for (int i = 0; i < rows.size(); ++i) {
        if (!isUnwritten(rows[i]))
            continue;
        if (isReadOnly(rows[i].cv))
            plan.leftReadOnly.append(rows[i].cv);
        else
            plan.rows.append(i);
    }
    return plan;
}

std::optional<qint64> timeLeftMs(qint64 elapsedMs, int done, int remaining)
{
    if (done <= 0)
        return std::nullopt;
    return elapsedMs * remaining / done;
}

namespace {
QString seconds(qint64 ms)
{
    const qint64 s = (ms + 500) / 1000;
    return s < 60 ? QStringLiteral("%1 s").arg(s) : QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60);
}
} // namespace

QString timeLeftText(std::optional<qint64> ms)
{
    return ms ? QStringLiteral("Restzeit: ca. ") + seconds(*ms) : QStringLiteral("Restzeit: wird ermittelt");
}

QString durationText(qint64 ms)
{
    return QStringLiteral("Dauer: ") + seconds(ms);
}

QString cvCount(int count)
{
    return QString::number(count) + (count == 1 ? QStringLiteral(" CV") : QStringLiteral(" CVs"));
}

std::optional<int> locoAddress(const QList<Row>& rows)
{
    constexpr int LongAddressBit = 0x20; // CV 29 bit 5
    constexpr int LongAddressOffset = 192;
    const auto cv29 = valueOf(rows, 29);
    if (!cv29)
        return std::nullopt;
    if (*cv29 & LongAddressBit) {
        const auto high = valueOf(rows, 17), low = valueOf(rows, 18);
        if (!high || !low || *high < LongAddressOffset)
            return std::nullopt;
        return (*high - LongAddressOffset) * 256 + *low;
    }
    const auto cv1 = valueOf(rows, 1);
    if (!cv1 || *cv1 < 1 || *cv1 > 127)
        return std::nullopt;
    return *cv1;
}

QList<QPair<int, int>> decoderValues(const QList<Row>& rows)
{
    QList<QPair<int, int>> values;
    for (const Row& r : rows)
        if (r.value && (r.status == Status::Read || r.status == Status::Written))
            values.append(qMakePair(r.cv, *r.value));
    return values;
}

QList<Row> rowsFromValues(const QList<QPair<int, int>>& values)
{
    QList<Row> rows;
    for (const auto& [cv, value] : values)
        if (cv >= FirstCv && cv <= LastCv && value >= 0 && value <= 255)
            rows.append(Row{cv, standardName(cv), value, Status::Read});
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.cv < b.cv; });
    return rows;
}

QString suggestedFileName(const QList<Row>& rows)
{
    const auto address = locoAddress(rows);
    return address ? QStringLiteral("lok%1.csv").arg(*address) : QStringLiteral("datenblatt.csv");
}

QString readSummary(int read, int failed, int total, bool cancelled)
{
    QString text =
        QStringLiteral("%1 von %2 gelesen, %3 mit Fehler").arg(read).arg(cvCount(total)).arg(failed);
    if (cancelled)
        text = QStringLiteral("Abgebrochen: ") + text;
    return text;
}

QString writeSummary(int written, int failed, const QList<int>& leftReadOnly)
{
    QString text =
        QStringLiteral("%1 geschrieben und geprüft, %2 mit Fehler").arg(cvCount(written)).arg(failed);
    if (!leftReadOnly.isEmpty()) {
        QStringList cvs;
        for (int cv : leftReadOnly)
            cvs.append(QStringLiteral("CV %1").arg(cv));
        text += QStringLiteral("; nicht geschrieben, da nur lesbar: ") + cvs.join(QStringLiteral(", "));
    }
    return text;
}

QString compareSummary(int differing, const QString& otherFile)
{
    return QStringLiteral("Vergleich mit %1: %2 %3")
        .arg(otherFile, cvCount(differing),
             differing == 1 ? QStringLiteral("weicht ab") : QStringLiteral("weichen ab"));
}

} // namespace Sheet
