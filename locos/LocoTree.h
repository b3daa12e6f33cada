// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "clsLoco.h"

#include <QAbstractItemModel>
#include <QList>

class LocoConfiguration;
class QTreeView;

// The tree of configured locos: per loco a bold node with its number and, below it, its speed
// steps and its direction. Every node keeps its key ("12#", "12#fs", "12#fr") in Qt::UserRole.
// The model holds a copy of the records it was last filled from and makes the texts when the view
// asks, so that ten thousand locos are shown without building thirty thousand items first.
class LocoTreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    using QAbstractItemModel::QAbstractItemModel;

    void setLocos(const LocoConfiguration& list);

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // The view need not ask a speed-step or direction node for children.
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;

private:
    QList<clsLoco> m_locos;
};

// Rebuilds the tree from the list: lines at the root, 300 twips indentation, every loco node
// expanded, the last node scrolled into view, nothing selected.
void FillLocoTree(QTreeView& tree, LocoTreeModel& model, const LocoConfiguration& list);

// The key a node keeps.
QString nodeKey(const QModelIndex& node);
