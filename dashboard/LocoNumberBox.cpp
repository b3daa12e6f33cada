#include "LocoNumberBox.h"

#include <QFocusEvent>

LocoNumberBox::LocoNumberBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setMaxVisibleItems(20);
}

void LocoNumberBox::showPopup()
{
    emit aboutToShowList();
    QComboBox::showPopup();
}

void LocoNumberBox::focusOutEvent(QFocusEvent* event)
{
    QComboBox::focusOutEvent(event);
    // The list's own popup takes the focus for a moment; that is not leaving the field.
    if (event->reason() != Qt::PopupFocusReason)
        emit focusLost();
}
