// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's side of the phone throttles: the server on the window's line, and its dialog.

#include "ControllerLink.h"
#include "krPhoneThrottles.h"
#include "krTaktora.h"
#include "LineClient.h"
#include "WiThrottleServer.h"

void krTaktora::buildPhoneServer()
{
    m_phones = new WiThrottleServer(m_line->link(), this);
    krPhoneThrottles::startFromSettings(*m_phones);
}

void krTaktora::showPhoneThrottles()
{
    if (!m_phoneDialog)
        m_phoneDialog = new krPhoneThrottles(*m_phones, this);
    m_phoneDialog->show();
    m_phoneDialog->raise();
    m_phoneDialog->activateWindow();
}
