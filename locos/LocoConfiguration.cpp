// SPDX-License-Identifier: GPL-3.0-or-later
#include "LocoConfiguration.h"

#include "LocoRules.h"

bool LocoConfiguration::insert(const clsLoco& loco)
{
    const int number = loco.LocoNumber();
    if (number < Locos::LowestLocoNumber || number > Locos::HighestLocoNumber || m_locos.contains(number))
        return false;
    m_locos.insert(number, loco);
    return true;
}
