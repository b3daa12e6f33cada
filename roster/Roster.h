// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The user's loco roster: JMRI roster files in the application data folder, read tolerantly and
// written file by file with QSaveFile. Throttles, phones and the roster window share one.

#include "JmriRoster.h"

#include <QObject>

class LocoRoster : public QObject
{
    Q_OBJECT

public:
    // The folder holds `roster.xml` and the folder `roster/` with one file per loco.
    explicit LocoRoster(const QString& folder = defaultFolder(), QObject* parent = nullptr);
    static QString defaultFolder();

    QString folder() const { return m_folder; }
    // Reads the folder again; the problems found, one line each (a missing roster is none).
    QStringList load();
    const QList<Roster::Entry>& entries() const { return m_entries; }
    const Roster::Entry* entryForNumber(int number) const;
    // Writes the roster as given and keeps it; the error text when a file could not be written,
    // and then the roster stays as it was.
    QString save(QList<Roster::Entry> entries);

    // A JMRI roster folder as a whole: the index, each loco's own file where it can be read, the
    // index's entry where it cannot, and every loco file when the index itself is damaged.
    static Jmri::Reading readFolder(const QString& folder);
    // Writes the loco files, then the index; removes `obsolete` loco files afterwards. Entries
    // without a file name get one. The error text, empty on success.
    static QString writeFolder(const QString& folder, QList<Roster::Entry>& entries,
                               const QStringList& obsolete = {});

signals:
    void changed();

private:
    QString m_folder;
    QList<Roster::Entry> m_entries;
};
