// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysList.h"

#include <QStringList>

namespace {

QStringList entries(const QString& list, const QString& separator)
{
    // An empty separator cannot split anything: the whole list is its one entry.
    if (separator.isEmpty())
        return {list};
    return list.split(separator, Qt::KeepEmptyParts, Qt::CaseInsensitive);
}

} // namespace

int sysListNumEntries(const QString& list, const QString& separator)
{
    return int(entries(list, separator).size());
}

QString sysListEntry(int hElementNo, const QString& hElementList, const QString& hSeparator)
{
    const QStringList all = entries(hElementList, hSeparator);
    if (hElementNo < 1 || hElementNo > all.size())
        return QString();
    return all.at(hElementNo - 1);
}

int sysListLookUp(const QString& hSearchElement, const QString& hElementList, const QString& hSeparator)
{
    const QStringList all = entries(hElementList, hSeparator);
    for (int i = 0; i < all.size(); ++i) {
        if (all.at(i).compare(hSearchElement, Qt::CaseInsensitive) == 0)
            return i + 1;
    }
    return 0;
}
