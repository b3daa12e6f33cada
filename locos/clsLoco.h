// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

// One configured loco as the Controller stores it. A plain record: the values only change
// through its setters, and a record that was never filled shows the initial values.
class clsLoco
{
public:
    QString ListKey() const { return m_listKey; }
    void setListKey(const QString& key) { m_listKey = key; }

    qint16 LocoNumber() const { return m_locoNumber; }
    void setLocoNumber(qint16 number) { m_locoNumber = number; }

    // Speed-step code: 0 not defined, 1 = 14, 2 = 28, 3 = 126 speed steps.
    qint32 SpeedStepMode() const { return m_speedStepMode; }
    void setSpeedStepMode(qint32 code) { m_speedStepMode = code; }

    // 1 forward, 0 backward.
    qint32 Direction() const { return m_direction; }
    void setDirection(qint32 direction) { m_direction = direction; }

private:
    QString m_listKey = QStringLiteral("00000");
    qint16 m_locoNumber = 0;
    qint32 m_speedStepMode = 1;
    qint32 m_direction = 1;
};
