// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeyNames.h"

#include <QStringList>

QString germanKeyName(const QKeySequence& key)
{
    // Qt names the keys in English unless a translation is loaded; the keyboard says otherwise.
    QStringList parts = key.toString(QKeySequence::PortableText).split(QLatin1Char('+'));
    for (QString& part : parts) {
        if (part == QLatin1String("Ctrl"))
            part = QStringLiteral("Strg");
        else if (part == QLatin1String("Shift"))
            part = QStringLiteral("Umschalt");
        else if (part == QLatin1String("Del"))
            part = QStringLiteral("Entf");
        else if (part == QLatin1String("Ins"))
            part = QStringLiteral("Einfg");
    }
    return parts.join(QLatin1Char('+'));
}

QString tipWithKey(const QString& tip, const QKeySequence& key)
{
    const QString separator = tip.endsWith(QLatin1Char(' ')) ? QString() : QStringLiteral(" ");
    return tip + separator + QLatin1Char('(') + germanKeyName(key) + QLatin1Char(')');
}
