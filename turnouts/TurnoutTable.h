// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The user's turnouts, signals and routes, kept in `turnouts.json` in the application data
// folder and written whole with every change; and each turnout's position as last sent, which
// the window, the phones and the browsers all show.

#include "TurnoutRules.h"

#include <QHash>
#include <QObject>

class TurnoutTable : public QObject
{
    Q_OBJECT

public:
    explicit TurnoutTable(const QString& folder = defaultFolder(), QObject* parent = nullptr);
    static QString defaultFolder();
    QString filePath() const;

    // Reads the file again; what could not be read, one line each (no file is no problem).
    QStringList load();
    const Turnouts::Layout& layout() const { return m_layout; }
    const QList<Turnouts::Turnout>& turnouts() const { return m_layout.turnouts; }
    const QList<Turnouts::Route>& routes() const { return m_layout.routes; }
    int indexOf(const QString& turnout) const;
    int routeIndexOf(const QString& route) const;

    // Writes the layout and keeps it; the reason when the file could not be written, and then the
    // table stays as it was.
    QString save(const Turnouts::Layout& layout);

    Turnouts::Position position(const QString& turnout) const;
    QList<Turnouts::Position> positions() const;
    bool routeIsSet(const QString& route) const;
    // A turnout was switched: the position it was sent to.
    void setPosition(const QString& turnout, Turnouts::Position position);

    // What phones and browsers are shown and may switch: the turnouts marked for them, and the
    // routes that set nothing else; `index` is the entry's place in the whole table, which the
    // remote side names it by.
    struct Remote
    {
        int index = 0;
        QString name;
        Turnouts::Position position = Turnouts::Position::Unknown; // of a turnout
        bool set = false;                                          // of a route
    };
    QList<Remote> remoteTurnouts() const;
    QList<Remote> remoteRoutes() const;
    bool remoteMaySwitch(int turnout) const;
    bool remoteMaySet(int route) const;

signals:
    // Entries added, changed or removed.
    void changed();
    void positionChanged(const QString& turnout, Turnouts::Position position);

private:
    QString m_folder;
    Turnouts::Layout m_layout;
    QHash<QString, Turnouts::Position> m_positions;
};
