// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMap>
#include <QSet>
#include <QString>

// The decoder's CVs from a file the decoder sheet saved: every row with a value. False, with
// `error` naming the file and the line, when the file cannot be read or is not a sheet.
bool readDecoderCvFile(const QString& path, QMap<int, quint8>& out, QString& error);

// "5,30-32": CVs the decoder does not have, so that it acknowledges nothing about them.
bool parseMissingCvs(const QString& text, QSet<int>& out, QString& error);
