// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's side of the phone throttles: the server on the window's line, its dialog,
// and its panel in the status bar.

#include "ControllerLink.h"
#include "krPhoneThrottles.h"
#include "krTaktora.h"
#include "LineClient.h"
#include "WiThrottleAccess.h"
#include "WiThrottleServer.h"

#include <QLabel>

#include <algorithm>

void krTaktora::buildPhoneServer()
{
    // The panel is as wide as the longest it says, in bold as while a device waits; the
    // information panel gives up that much while it shows.
    const WiThrottle::ServerStatus busiest{true, QString(), 0, WiThrottle::HighestMaxConnections,
                                           WiThrottle::HighestMaxConnections};
    QFont bold = m_pnlPhones->font();
    bold.setBold(true);
    m_pnlPhones->setFont(bold);
    m_pnlPhones->setText(WiThrottle::statusPanelText(busiest));
    m_pnlPhones->setFixedWidth(std::max(m_pnlPhones->minimumWidth(), m_pnlPhones->sizeHint().width()));

    m_phones = new WiThrottleServer(m_line->link(), this);
    connect(m_phones, &WiThrottleServer::phonesChanged, this, &krTaktora::showPhoneStatus);
    krPhoneThrottles::startFromSettings(*m_phones);
    showPhoneStatus();
}

void krTaktora::showPhoneThrottles()
{
    if (!m_phoneDialog)
        m_phoneDialog = new krPhoneThrottles(*m_phones, this);
    m_phoneDialog->show();
    m_phoneDialog->raise();
    m_phoneDialog->activateWindow();
}

void krTaktora::showPhoneStatus()
{
    const WiThrottle::ServerStatus status = m_phones->status();
    if (status.listening != m_pnlPhones->isVisibleTo(this)) {
        // The panel takes its room from the program's information, so the bar keeps its width.
        const int room = m_pnlPhones->minimumWidth();
        m_pnlInfo->setFixedWidth(m_pnlInfo->minimumWidth() + (status.listening ? -room : room));
        m_pnlPhones->setVisible(status.listening);
    }
    m_pnlPhones->setText(WiThrottle::statusPanelText(status));
    m_pnlPhones->setToolTip(WiThrottle::statusPanelTip(status));
    QFont font = m_pnlPhones->font();
    font.setBold(status.waiting > 0); // someone is at the door
    m_pnlPhones->setFont(font);
}
