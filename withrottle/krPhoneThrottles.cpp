// SPDX-License-Identifier: GPL-3.0-or-later
#include "krPhoneThrottles.h"

#include "krTaktoraTools.h"
#include "ServiceAdvertiser.h"
#include "WiThrottleProtocol.h"
#include "WiThrottleServer.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QNetworkInterface>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
const QString kSection = QStringLiteral("Taktora");

// The addresses a phone on the layout's network can reach; this computer's own only when there
// is no other.
QStringList reachableAddresses()
{
    QStringList addresses;
    for (const QHostAddress& a : QNetworkInterface::allAddresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback())
            addresses << a.toString();
    if (addresses.isEmpty())
        addresses << QStringLiteral("127.0.0.1 (nur dieser Rechner)");
    return addresses;
}

QLabel* wrappingLabel(const QString& name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}
} // namespace

bool krPhoneThrottles::enabledSetting()
{
    return ReadSetting(QStringLiteral("WiThrottle"), QStringLiteral("0"), kSection).trimmed() ==
           QLatin1String("1");
}

quint16 krPhoneThrottles::portSetting()
{
    bool ok = false;
    const int port =
        ReadSetting(QStringLiteral("WiThrottlePort"), QString::number(WiThrottle::DefaultPort), kSection)
            .trimmed()
            .toInt(&ok);
    return ok && port > 0 && port <= 65535 ? static_cast<quint16>(port) : WiThrottle::DefaultPort;
}

void krPhoneThrottles::startFromSettings(WiThrottleServer& server)
{
    if (enabledSetting())
        server.listen(portSetting());
}

krPhoneThrottles::krPhoneThrottles(WiThrottleServer& server, QWidget* parent)
    : QDialog(parent), m_server(server)
{
    setObjectName(QStringLiteral("krPhoneThrottles"));
    setWindowTitle(QStringLiteral("Handregler per Smartphone"));
    setModal(false);

    m_chkOn = new QCheckBox(QStringLiteral("Handregler-Server &eingeschaltet"), this);
    m_chkOn->setObjectName(QStringLiteral("chkWiThrottle"));
    m_spnPort = new QSpinBox(this);
    m_spnPort->setObjectName(QStringLiteral("spnPort"));
    m_spnPort->setRange(1024, 65535);
    m_spnPort->setValue(portSetting());
    m_spnPort->setMaximumWidth(TwipsToPixels(1400));
    m_lblState = wrappingLabel(QStringLiteral("lblServerState"), this);
    m_lblConnect = wrappingLabel(QStringLiteral("lblConnect"), this);
    m_lblAdvertisement = wrappingLabel(QStringLiteral("lblAdvertisement"), this);
    m_lstPhones = new QListWidget(this);
    m_lstPhones->setObjectName(QStringLiteral("lstPhones"));
    m_lstPhones->setMinimumHeight(90);

    auto* form = new QFormLayout;
    form->addRow(m_chkOn);
    form->addRow(QStringLiteral("&Port:"), m_spnPort);
    form->addRow(m_lblState);

    auto* connectBox = new QGroupBox(QStringLiteral("Im Handregler eintragen"), this);
    auto* connectLayout = new QVBoxLayout(connectBox);
    connectLayout->addWidget(m_lblConnect);
    connectLayout->addWidget(m_lblAdvertisement);

    auto* phonesBox = new QGroupBox(QStringLiteral("Verbundene Handregler"), this);
    auto* phonesLayout = new QVBoxLayout(phonesBox);
    phonesLayout->addWidget(m_lstPhones);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Schließen"));
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("btnClose"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(connectBox);
    layout->addWidget(phonesBox, 1);
    layout->addWidget(buttons);
    setMinimumWidth(TwipsToPixels(7200));

    m_chkOn->setChecked(server.isListening());
    connect(m_chkOn, &QCheckBox::toggled, this, &krPhoneThrottles::setServerOn);
    connect(m_spnPort, &QSpinBox::editingFinished, this, [this] {
        WriteSetting(QStringLiteral("WiThrottlePort"), QString::number(m_spnPort->value()), kSection);
        if (m_server.isListening() && m_server.port() != m_spnPort->value())
            setServerOn(true);
    });
    connect(&server, &WiThrottleServer::phonesChanged, this, &krPhoneThrottles::refresh);
    connect(server.advertiser(), &ServiceAdvertiser::stateChanged, this, &krPhoneThrottles::refresh);
    refresh();
}

void krPhoneThrottles::setServerOn(bool on)
{
    WriteSetting(QStringLiteral("WiThrottle"), on ? QStringLiteral("1") : QStringLiteral("0"), kSection);
    WriteSetting(QStringLiteral("WiThrottlePort"), QString::number(m_spnPort->value()), kSection);
    if (on)
        m_server.listen(static_cast<quint16>(m_spnPort->value()));
    else
        m_server.close();
    refresh();
}

void krPhoneThrottles::refresh()
{
    const bool listening = m_server.isListening();
    {
        const QSignalBlocker quiet(m_chkOn);
        m_chkOn->setChecked(listening || !m_server.errorString().isEmpty());
    }
    if (listening)
        m_lblState->setText(QStringLiteral("Der Server wartet auf Port %1.").arg(m_server.port()));
    else if (!m_server.errorString().isEmpty())
        m_lblState->setText(QStringLiteral("Port %1 lässt sich nicht öffnen: %2")
                                .arg(m_spnPort->value())
                                .arg(m_server.errorString()));
    else
        m_lblState->setText(QStringLiteral("Der Server ist aus."));

    const QString port = QString::number(listening ? m_server.port() : m_spnPort->value());
    QStringList rows;
    for (const QString& address : reachableAddresses())
        rows << QStringLiteral("Adresse %1, Port %2").arg(address, port);
    m_lblConnect->setText(rows.join(QLatin1Char('\n')));
    m_lblAdvertisement->setText(m_server.advertiser()->stateText());

    m_lstPhones->clear();
    for (const WiThrottleServer::PhoneInfo& phone : m_server.phones()) {
        QStringList locos;
        for (int loco : phone.locos)
            locos << QString::number(loco);
        const QString name = phone.name.isEmpty() ? QStringLiteral("(ohne Namen)") : phone.name;
        m_lstPhones->addItem(locos.isEmpty()
                                 ? QStringLiteral("%1 (%2): keine Lok").arg(name, phone.address)
                                 : QStringLiteral("%1 (%2): Lok %3")
                                       .arg(name, phone.address, locos.join(QStringLiteral(", "))));
    }
    if (m_lstPhones->count() == 0)
        m_lstPhones->addItem(QStringLiteral("keiner"));
}
