#pragma once

#include <QString>

class LocoConfiguration;
class QTreeWidget;
class QTreeWidgetItem;

// Rebuilds the tree from the list: per loco a bold, expanded node with its speed steps and its
// direction below, each node keeping its key ("12#", "12#fs", "12#fr") in Qt::UserRole. Lines
// join the top-level nodes too; the indentation is 300 twips. Nothing is selected afterwards,
// and the last node is scrolled into view.
void FillLocoTree(QTreeWidget& tree, const LocoConfiguration& list);

// The key a node keeps.
QString nodeKey(const QTreeWidgetItem& node);
