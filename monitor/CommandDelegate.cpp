// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandDelegate.h"

#include "TrafficModel.h"

void CommandDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const QString meaning = index.data(TrafficModel::MeaningRole).toString();
    if (!meaning.isEmpty())
        option->text += QStringLiteral(" – ") + meaning;
}
