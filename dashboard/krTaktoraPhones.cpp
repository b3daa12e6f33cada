// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's side of the phone throttles: the server on the window's line, its dialog,
// and its panel in the status bar.

#include "ControllerLink.h"
#include "krPhoneThrottles.h"
#include "krTaktora.h"
#include "krTaktoraTools.h"
#include "krWebThrottle.h"
#include "LineClient.h"
#include "WebThrottleServer.h"
#include "WiThrottleAccess.h"
#include "WiThrottleServer.h"
#include "WiThrottleSettings.h"

#include <QLabel>
#include <QPushButton>

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

    // Both servers exist before either starts: the panel counts phones and browsers.
    m_phones = new WiThrottleServer(m_line->link(), this);
    m_web = new WebThrottleServer(m_line->link(), this);
    connect(m_phones, &WiThrottleServer::phonesChanged, this, &krTaktora::showPhoneStatus);
    krPhoneThrottles::startFromSettings(*m_phones);

    // The browsers keep the phones' door: one set of rights and approved devices for both.
    m_web->setAccess(m_phones->access());
    connect(m_phones, &WiThrottleServer::phonesChanged, this, [this] {
        if (m_web->access() != m_phones->access())
            m_web->setAccess(m_phones->access());
    });
    connect(m_web, &WebThrottleServer::accessChanged, this, [this](const WiThrottle::Access& access) {
        WiThrottle::Settings::writeAccess(access);
        m_phones->setAccess(access);
    });
    connect(m_web, &WebThrottleServer::browsersChanged, this, &krTaktora::showPhoneStatus);
    krWebThrottle::startFromSettings(*m_web);
    showPhoneStatus();
}

void krTaktora::showPhoneThrottles()
{
    if (!m_phoneDialog) {
        m_phoneDialog = new krPhoneThrottles(*m_phones, this);
        // The browsers have a dialog of their own, reached from here, where their rights are.
        auto* web = NamedButton(QStringLiteral("cmdWebThrottle"),
                                QStringLiteral("Handregler im &Browser ..."), m_phoneDialog);
        connect(web, &QPushButton::clicked, this, [this] {
            if (!m_webDialog)
                m_webDialog = new krWebThrottle(*m_web, m_phoneDialog);
            m_webDialog->show();
            m_webDialog->raise();
            m_webDialog->activateWindow();
        });
        m_phoneDialog->addSection(web);
    }
    m_phoneDialog->show();
    m_phoneDialog->raise();
    m_phoneDialog->activateWindow();
}

void krTaktora::showPhoneStatus()
{
    // Phones and browsers come through one door: the panel counts both.
    WiThrottle::ServerStatus status = m_phones->status(); // port 0 while the phones' server is off
    if (m_web->isListening()) {
        status.listening = true;
        status.webPort = m_web->port();
        for (const WebThrottleServer::BrowserInfo& browser : m_web->browsers())
            ++(browser.waiting ? status.waiting : status.driving);
    }
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
