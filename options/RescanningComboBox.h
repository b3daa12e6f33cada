// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>

#include <functional>

// Devices come and go while the dialog is open (a board is plugged in): the device list is
// looked up afresh whenever it opens.
class RescanningComboBox : public QComboBox
{
    Q_OBJECT

public:
    using QComboBox::QComboBox;
    std::function<void()> beforePopup;

    void showPopup() override
    {
        if (beforePopup)
            beforePopup();
        QComboBox::showPopup();
    }
};
