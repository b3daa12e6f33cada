// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "clsLoco.h"

#include <QMap>
#include <QString>

// The configured locos of one Controller, in ascending loco number whatever order the Controller
// delivers them in, each under its ListKey. The five-digit keys sort as the numbers do, so the
// list is kept ordered by number.
class LocoConfiguration
{
public:
    using const_iterator = QMap<int, clsLoco>::const_iterator;

    // Places the record before the first one with a greater number. A record whose number is 0,
    // above 10239 or already listed is skipped (false): a faulty Controller must not corrupt the
    // list.
    bool insert(const clsLoco& loco);

    void clear() { m_locos.clear(); }
    int size() const { return static_cast<int>(m_locos.size()); }
    bool isEmpty() const { return m_locos.isEmpty(); }

    const_iterator begin() const { return m_locos.cbegin(); }
    const_iterator end() const { return m_locos.cend(); }

private:
    QMap<int, clsLoco> m_locos; // by loco number, which orders the keys too
};
