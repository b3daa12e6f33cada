#include "LocoTree.h"

#include "krTaktoraTools.h"
#include "LocoConfiguration.h"
#include "LocoRules.h"

#include <QTreeWidget>

namespace {
QTreeWidgetItem* node(const QString& key, const QString& text)
{
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setData(0, Qt::UserRole, key);
    return item;
}
} // namespace

void FillLocoTree(QTreeWidget& tree, const LocoConfiguration& list)
{
    // Thousands of nodes: build them apart from the tree and hand them over at once, so the view
    // lays itself out once instead of once per node.
    tree.setUpdatesEnabled(false);
    tree.clear();
    tree.setRootIsDecorated(true);
    tree.setIndentation(TwipsToPixels(300));

    QFont bold = tree.font();
    bold.setBold(true);
    QList<QTreeWidgetItem*> locoNodes;
    locoNodes.reserve(list.size());
    for (const clsLoco& loco : list) {
        const int number = loco.LocoNumber();
        QTreeWidgetItem* locoNode = node(Locos::locoNodeKey(number), Locos::locoNodeText(loco));
        locoNode->setFont(0, bold);
        locoNode->addChild(node(Locos::speedStepNodeKey(number), Locos::speedStepNodeText(loco)));
        locoNode->addChild(node(Locos::directionNodeKey(number), Locos::directionNodeText(loco)));
        locoNodes.append(locoNode);
    }
    tree.addTopLevelItems(locoNodes);
    tree.expandAll(); // loco nodes expanded; their children have none
    if (!locoNodes.isEmpty())
        tree.scrollToItem(locoNodes.last()->child(1));
    tree.setUpdatesEnabled(true);
}

QString nodeKey(const QTreeWidgetItem& node)
{
    return node.data(0, Qt::UserRole).toString();
}
