// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SheetRules.h"

#include <QAbstractTableModel>

#include <optional>

// The rows of the decoder sheet behind tblCVs: "CV", "Name", "Wert", "Status". The value of a
// writable CV can be edited, which marks the row changed. Against a second sheet the rows whose
// values differ are marked (DiffersRole, a background colour and the other value as tooltip).
class SheetModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { CvColumn, NameColumn, ValueColumn, StatusColumn, ColumnCount };
    static constexpr int DiffersRole = Qt::UserRole + 1;

    explicit SheetModel(QObject* parent) : QAbstractTableModel(parent) {}

    const QList<Sheet::Row>& rows() const { return m_rows; }
    void setRows(const QList<Sheet::Row>& rows);
    void setRow(int index, const Sheet::Row& row);
    // Every row "nicht gelesen", without a value: the start of a read.
    void forgetValues();
    void removeRowsAt(QList<int> indexes);
    // The sheet compared against; none ends the comparison.
    void setOther(const std::optional<QList<Sheet::Row>>& other);
    bool differs(int index) const { return m_differing.contains(m_rows.at(index).cv); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    void compare();

    QList<Sheet::Row> m_rows;
    std::optional<QList<Sheet::Row>> m_other;
    QSet<int> m_differing;
};
