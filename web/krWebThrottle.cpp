// SPDX-License-Identifier: GPL-3.0-or-later
#include "krWebThrottle.h"

#include "krPhoneThrottles.h"
#include "krTaktoraTools.h"
#include "LinkTools.h"
#include "WebThrottleServer.h"
#include "WiThrottleAccess.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>

namespace {

bool enabledSetting()
{
    return ReadSetting(Settings::WebThrottleEnabled).trimmed() == QLatin1String("1");
}

quint16 portSetting()
{
    bool ok = false;
    const int port = ReadSetting(Settings::WebThrottlePort).trimmed().toInt(&ok);
    return ok && port > 0 && port <= 65535 ? static_cast<quint16>(port) : Web::DefaultPort;
}

QString listeningAddress()
{
    return ReadSetting(Settings::WiThrottleAddress).trimmed();
}

} // namespace

void krWebThrottle::startFromSettings(WebThrottleServer& server)
{
    if (enabledSetting())
        server.listen(portSetting(), WiThrottle::listenAddress(listeningAddress()).value_or(QHostAddress()));
}

krWebThrottle::krWebThrottle(WebThrottleServer& server, QWidget* parent) : QDialog(parent), m_server(server)
{
    setObjectName(QStringLiteral("krWebThrottle"));
    setWindowTitle(QStringLiteral("Handregler im Browser"));
    setModal(false);
    m_chkOn = new QCheckBox(QStringLiteral("Handregler im &Browser eingeschaltet"), this);
    m_chkOn->setObjectName(QStringLiteral("chkWebThrottle"));
    m_spnPort = new QSpinBox(this);
    m_spnPort->setObjectName(QStringLiteral("spnWebPort"));
    m_spnPort->setRange(1024, 65535);
    m_spnPort->setValue(portSetting());
    m_lblAddress = new QLabel(this);
    m_lblAddress->setObjectName(QStringLiteral("lblWebAddress"));
    m_lblAddress->setWordWrap(true);
    m_lblAddress->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_lstBrowsers = new QListWidget(this);
    m_lstBrowsers->setObjectName(QStringLiteral("lstBrowsers"));
    m_cmdApprove = NamedButton(QStringLiteral("cmdWebApprove"), QStringLiteral("Browser freigeben"), this);
    m_cmdReject = NamedButton(QStringLiteral("cmdWebReject"), QStringLiteral("Browser ablehnen"), this);

    auto* form = new QFormLayout(this);
    form->addRow(m_chkOn);
    form->addRow(QStringLiteral("Port:"), m_spnPort);
    form->addRow(m_lblAddress);
    form->addRow(new QLabel(QStringLiteral("Verbundene Browser:"), this));
    form->addRow(m_lstBrowsers);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdApprove);
    buttons->addWidget(m_cmdReject);
    buttons->addStretch();
    form->addRow(buttons);
    auto* rights =
        new QLabel(QStringLiteral("Was ein Browser darf, legen die Rechte der Handregler fest."), this);
    rights->setWordWrap(true);
    form->addRow(rights);
    auto* close = NamedButton(QStringLiteral("cmdClose"), QStringLiteral("Schließen"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(close);
    form->addRow(bottom);
    setMinimumWidth(TwipsToPixels(7000));

    m_chkOn->setChecked(m_server.isListening());
    connect(m_chkOn, &QCheckBox::toggled, this, &krWebThrottle::setServerOn);
    connect(m_spnPort, &QSpinBox::editingFinished, this, [this] {
        WriteSetting(Settings::WebThrottlePort, QString::number(m_spnPort->value()));
        if (m_server.isListening() && m_server.port() != m_spnPort->value())
            setServerOn(true);
    });
    connect(m_cmdApprove, &QPushButton::clicked, this, &krWebThrottle::approveBrowser);
    connect(m_cmdReject, &QPushButton::clicked, this, &krWebThrottle::rejectBrowser);
    connect(m_lstBrowsers, &QListWidget::currentRowChanged, this, &krWebThrottle::refresh);
    connect(&m_server, &WebThrottleServer::browsersChanged, this, &krWebThrottle::refresh);
    refresh();
}

void krWebThrottle::setServerOn(bool on)
{
    WriteSetting(Settings::WebThrottleEnabled, on ? QStringLiteral("1") : QStringLiteral("0"));
    m_server.close();
    if (on)
        m_server.listen(static_cast<quint16>(m_spnPort->value()),
                        WiThrottle::listenAddress(listeningAddress()).value_or(QHostAddress()));
    refresh();
}

void krWebThrottle::refresh()
{
    const bool listening = m_server.isListening();
    if (!listening && !m_server.errorString().isEmpty()) {
        m_lblAddress->setText(QStringLiteral("Port %1 lässt sich nicht öffnen: %2")
                                  .arg(m_spnPort->value())
                                  .arg(m_server.errorString()));
    } else if (listening) {
        QStringList urls;
        for (const QString& address : krPhoneThrottles::reachableAddresses(listeningAddress()))
            urls << QStringLiteral("http://%1:%2/")
                        .arg(address.section(QLatin1Char(' '), 0, 0))
                        .arg(m_server.port());
        m_lblAddress->setText(QStringLiteral("Im Browser öffnen: ") + urls.join(QStringLiteral(", ")));
    } else {
        m_lblAddress->setText(QStringLiteral("Aus"));
    }
    const int row = m_lstBrowsers->currentRow();
    m_lstBrowsers->clear();
    for (const WebThrottleServer::BrowserInfo& b : m_server.browsers()) {
        auto* item = new QListWidgetItem(
            QStringLiteral("%1 (%2)%3")
                .arg(b.name, b.address, b.waiting ? QStringLiteral(" – wartet auf Freigabe") : QString()),
            m_lstBrowsers);
        item->setData(Qt::UserRole, b.waiting ? QVariant(b.number) : QVariant());
    }
    m_lstBrowsers->setCurrentRow(std::min(row, m_lstBrowsers->count() - 1));
    m_cmdApprove->setEnabled(chosenWaiting() != 0);
    m_cmdReject->setEnabled(chosenWaiting() != 0);
}

quint64 krWebThrottle::chosenWaiting() const
{
    // The chosen browser if it waits, else the only one that waits.
    if (const QListWidgetItem* item = m_lstBrowsers->currentItem();
        item && item->data(Qt::UserRole).isValid())
        return item->data(Qt::UserRole).toULongLong();
    quint64 only = 0;
    for (const WebThrottleServer::BrowserInfo& b : m_server.browsers())
        if (b.waiting) {
            if (only)
                return 0;
            only = b.number;
        }
    return only;
}

void krWebThrottle::approveBrowser()
{
    m_server.approve(chosenWaiting());
}

void krWebThrottle::rejectBrowser()
{
    m_server.reject(chosenWaiting());
}
