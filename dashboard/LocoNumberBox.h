// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>

// The editable loco number list of a throttle: it is filled from the Controller just before it
// opens, and the speed steps are read when the user leaves it.
class LocoNumberBox : public QComboBox
{
    Q_OBJECT

public:
    explicit LocoNumberBox(QWidget* parent = nullptr);
    void showPopup() override;

signals:
    void aboutToShowList();
    void focusLost();

protected:
    void focusOutEvent(QFocusEvent* event) override;
};
