// SPDX-License-Identifier: GPL-3.0-or-later
#include "LocoNumberBox.h"

#include "RosterRules.h"

#include <QFocusEvent>

LocoNumberBox::LocoNumberBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setMaxVisibleItems(20);
    // Qt's inline completion would turn a typed "2" into a listed "218 – BR 218"; the user means
    // loco 2, and any number is allowed, listed or not.
    setCompleter(nullptr);
    // The list shows "3 – BR 218"; the field takes only the number.
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            setEditText(Roster::numberOfListText(itemText(index)));
    });
}

void LocoNumberBox::showPopup()
{
    emit aboutToShowList();
    QComboBox::showPopup();
}

void LocoNumberBox::focusOutEvent(QFocusEvent* event)
{
    QComboBox::focusOutEvent(event);
    // The list's own popup, or a message box from a command, takes the focus for a moment; that
    // is not leaving the field, and a query from here would stack a second box on the first.
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason)
        emit focusLost();
}
