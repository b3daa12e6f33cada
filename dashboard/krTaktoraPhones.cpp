// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's side of the phone throttles: the server on the window's line, its dialog,
// and the traffic monitor's notes of the phones' lines.

#include "ControllerLink.h"
#include "krPhoneThrottles.h"
#include "krTaktora.h"
#include "krTrafficMonitor.h"
#include "LineClient.h"
#include "TrafficModel.h"
#include "WiThrottleServer.h"

void krTaktora::buildPhoneServer()
{
    ControllerLink& link = m_line->link();
    m_phones = new WiThrottleServer(link, this);
    connect(&link, &ControllerLink::noted, this,
            [this](const QString& source, const QString& text, const QString& reason) {
                // Only an open monitor keeps a log.
                auto* monitor = findChild<krTrafficMonitor*>();
                if (monitor && monitor->isVisible())
                    monitor->model()->note(source, text, reason);
            });
    krPhoneThrottles::startFromSettings(*m_phones);
}

void krTaktora::showPhoneThrottles()
{
    auto* dialog = findChild<krPhoneThrottles*>();
    if (!dialog)
        dialog = new krPhoneThrottles(*m_phones, this);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}
