// SPDX-License-Identifier: GPL-3.0-or-later
#include "DecoderCvFile.h"

#include "SheetRules.h"

#include <QFile>

bool readDecoderCvFile(const QString& path, QMap<int, quint8>& out, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("decoder-cvs \"%1\": %2").arg(path, file.errorString());
        return false;
    }
    const Sheet::CsvReading reading = Sheet::parseCsv(file.readAll());
    if (reading.badLine > 0) {
        error = QStringLiteral("decoder-cvs \"%1\": %2").arg(path, reading.error);
        return false;
    }
    for (const Sheet::Row& row : reading.rows)
        if (row.value)
            out.insert(row.cv, static_cast<quint8>(*row.value));
    return true;
}

bool parseMissingCvs(const QString& text, QSet<int>& out, QString& error)
{
    QString why;
    const auto cvs = Sheet::parseCvSelection(text, why);
    if (!cvs) {
        error = QStringLiteral("missing-cv \"%1\": expected CVs 1 to 1023 or ranges such as 30-32").arg(text);
        return false;
    }
    out = QSet<int>(cvs->cbegin(), cvs->cend());
    return true;
}
