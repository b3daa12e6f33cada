// SPDX-License-Identifier: GPL-3.0-or-later
#include "LocoTree.h"

#include "krTaktoraTools.h"
#include "LocoConfiguration.h"
#include "LocoRules.h"

#include <QFont>
#include <QTreeView>

namespace {
// internalId of a node: odd for a loco node, twice its loco's row plus two for the nodes below it.
quintptr locoNodeId(int row)
{
    return quintptr(row) * 2 + 1;
}
quintptr childNodeId(int locoRow)
{
    return quintptr(locoRow) * 2 + 2;
}
bool isLocoNode(const QModelIndex& index)
{
    return index.internalId() % 2 == 1;
}
int locoRowOf(const QModelIndex& index)
{
    return isLocoNode(index) ? index.row() : int(index.internalId() / 2 - 1);
}
constexpr int SpeedStepRow = 0;
constexpr int ChildRows = 2; // speed steps, direction
} // namespace

void LocoTreeModel::setLocos(const LocoConfiguration& list)
{
    beginResetModel();
    m_locos.clear();
    m_locos.reserve(list.size());
    for (const clsLoco& loco : list)
        m_locos.append(loco);
    endResetModel();
}

QModelIndex LocoTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row < m_locos.size() ? createIndex(row, 0, locoNodeId(row)) : QModelIndex();
    if (!isLocoNode(parent) || row >= ChildRows)
        return {};
    return createIndex(row, 0, childNodeId(parent.row()));
}

QModelIndex LocoTreeModel::parent(const QModelIndex& child) const
{
    if (!child.isValid() || isLocoNode(child))
        return {};
    const int row = locoRowOf(child);
    return createIndex(row, 0, locoNodeId(row));
}

int LocoTreeModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return int(m_locos.size());
    return isLocoNode(parent) && parent.column() == 0 ? ChildRows : 0;
}

int LocoTreeModel::columnCount(const QModelIndex& /*parent*/) const
{
    return 1;
}

Qt::ItemFlags LocoTreeModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return isLocoNode(index) ? flags : flags | Qt::ItemNeverHasChildren;
}

bool LocoTreeModel::hasChildren(const QModelIndex& parent) const
{
    return !parent.isValid() ? !m_locos.isEmpty() : isLocoNode(parent);
}

QVariant LocoTreeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const bool locoNode = isLocoNode(index);
    const clsLoco& loco = m_locos.at(locoRowOf(index));
    const int number = loco.LocoNumber();
    switch (role) {
    case Qt::DisplayRole:
        if (locoNode)
            return Locos::locoNodeText(loco);
        return index.row() == SpeedStepRow ? Locos::speedStepNodeText(loco) : Locos::directionNodeText(loco);
    case Qt::UserRole:
        if (locoNode)
            return Locos::locoNodeKey(number);
        return index.row() == SpeedStepRow ? Locos::speedStepNodeKey(number)
                                           : Locos::directionNodeKey(number);
    case Qt::FontRole:
        if (locoNode) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    default:
        return {};
    }
}

void FillLocoTree(QTreeView& tree, LocoTreeModel& model, const LocoConfiguration& list)
{
    tree.setRootIsDecorated(true);
    tree.setIndentation(TwipsToPixels(300));
    model.setLocos(list); // the view forgets nodes, expansion and selection
    tree.expandAll();     // loco nodes expanded; their children have none
    const int locos = model.rowCount();
    if (locos > 0)
        tree.scrollTo(model.index(ChildRows - 1, 0, model.index(locos - 1, 0)));
}

QString nodeKey(const QModelIndex& node)
{
    return node.data(Qt::UserRole).toString();
}
