// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QGroupBox>

class QLineEdit;
class QPushButton;

// One accessory decoder: its number and an ON and OFF button for each of its four ports.
class AccessoryPanel : public QGroupBox
{
    Q_OBJECT

public:
    static constexpr int PortCount = 4;
    // The decoder number field's rule; the number sent is read under the same rule.
    static constexpr const char* DecoderRule = "Die Decoder-ID,NUM,MIN=1,MAX=511";

    AccessoryPanel(int index, QWidget* parent);

    QLineEdit* decoderField() const { return m_decoder; }
    QPushButton* onButton(int port) const { return m_on[port]; }
    QPushButton* offButton(int port) const { return m_off[port]; }

    // For screens too low for four panels as they are: less room around and between the rows.
    void makeCompact();

signals:
    // port 0 to 3, the row "Port 1" to "Port 4"
    void switchRequested(int port, bool on);

private:
    QLineEdit* m_decoder;
    QPushButton* m_on[PortCount] = {};
    QPushButton* m_off[PortCount] = {};
};
