// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The roster as tables for the roster window: one row per loco, and the thirteen functions of
// one loco. An edit is checked by the roster's rules and saved at once; a refused one leaves the
// roster as it was and says why.

#include "Roster.h"

#include <QAbstractTableModel>

class RosterModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        Number,
        Name,
        LongAddress,
        RoadName,
        RoadNumber,
        Model,
        Owner,
        MaxSpeed,
        Comment,
        ColumnCount
    };

    explicit RosterModel(LocoRoster& roster, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // The roster with `entry` in place of row `row` (or added when `row` is the row count),
    // checked and saved; the reason when it is refused or not written, empty otherwise.
    QString put(int row, const Roster::Entry& entry);
    QString remove(int row);

signals:
    void refused(const QString& reason);

private:
    LocoRoster& m_roster;
    bool m_saving = false;
};

class FunctionModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Key, Label, Momentary, ColumnCount };

    FunctionModel(RosterModel& roster, LocoRoster& store, QObject* parent = nullptr);
    // The loco whose functions show; -1 for none.
    void setRow(int row);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    RosterModel& m_rosterModel;
    LocoRoster& m_store;
    int m_row = -1;
};
