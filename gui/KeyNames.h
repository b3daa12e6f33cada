// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QKeySequence>
#include <QString>

// How a key is named on a German keyboard: "Strg+Q", "Entf", "Einfg", "F1".
QString germanKeyName(const QKeySequence& key);

// A tooltip that also names the key that does the same: "Handbuch aufrufen (F1)". The tooltip's
// own text stands unchanged in front, its trailing blank included.
QString tipWithKey(const QString& tip, const QKeySequence& key);
