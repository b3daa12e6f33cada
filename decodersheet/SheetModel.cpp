// SPDX-License-Identifier: GPL-3.0-or-later
#include "SheetModel.h"

#include <QColor>

#include <algorithm>

using namespace Sheet;

namespace {
const QColor kDiffers(255, 214, 153);
const QColor kFailed(255, 0, 0);
const QColor kWritten(0, 192, 0);
} // namespace

void SheetModel::setRows(const QList<Row>& rows)
{
    beginResetModel();
    m_rows = rows;
    compare();
    endResetModel();
}

void SheetModel::setRow(int index, const Row& row)
{
    m_rows[index] = row;
    compare();
    // A changed value can change the marks of this row only; the whole row is repainted.
    emit dataChanged(this->index(index, 0), this->index(index, ColumnCount - 1));
}

void SheetModel::forgetValues()
{
    for (Row& row : m_rows) {
        row.value.reset();
        row.status = Status::NotRead;
    }
    setOther(m_other);
}

void SheetModel::removeRowsAt(QList<int> indexes)
{
    std::sort(indexes.begin(), indexes.end(), std::greater<int>());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    beginResetModel();
    for (int i : indexes)
        m_rows.removeAt(i);
    compare();
    endResetModel();
}

void SheetModel::setOther(const std::optional<QList<Row>>& other)
{
    m_other = other;
    compare();
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(int(m_rows.size()) - 1, ColumnCount - 1));
}

void SheetModel::compare()
{
    m_differing = m_other ? differingCvs(m_rows, *m_other) : QSet<int>();
}

int SheetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int SheetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SheetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Row& row = m_rows.at(index.row());
    const bool marked = m_differing.contains(row.cv);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (index.column()) {
        case CvColumn:
            return row.cv;
        case NameColumn:
            return displayName(row);
        case ValueColumn:
            return row.value ? QVariant(*row.value) : QVariant(QString());
        default:
            return statusText(row.status);
        }
    case Qt::TextAlignmentRole:
        return index.column() == CvColumn || index.column() == ValueColumn
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ToolTipRole:
        if (marked && index.column() == ValueColumn) {
            const auto other = valueOf(*m_other, row.cv);
            return QStringLiteral("Vergleichswert: ") +
                   (other ? QString::number(*other) : QStringLiteral("keiner"));
        }
        if (row.cv == 29 && row.value)
            return cv29Explanation(*row.value);
        if (isReadOnly(row.cv))
            return QStringLiteral("Nur lesbar: wird nie geschrieben");
        return {};
    case Qt::BackgroundRole:
        return marked ? QVariant(kDiffers) : QVariant();
    case Qt::ForegroundRole:
        if (index.column() != StatusColumn)
            return {};
        if (row.status == Status::Failed)
            return kFailed;
        return row.status == Status::Written ? QVariant(kWritten) : QVariant();
    case DiffersRole:
        return marked;
    default:
        return {};
    }
}

QVariant SheetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const titles[ColumnCount] = {"CV", "Name", "Wert", "Status"};
    return QString::fromLatin1(titles[section]);
}

Qt::ItemFlags SheetModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == ValueColumn && !isReadOnly(m_rows.at(index.row()).cv))
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool SheetModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    bool ok = false;
    const int number = value.toString().trimmed().toInt(&ok);
    if (!ok || number < 0 || number > 255)
        return false;
    Row row = m_rows.at(index.row());
    if (row.value == number)
        return true;
    row.value = number;
    row.status = Status::Changed;
    setRow(index.row(), row);
    return true;
}
