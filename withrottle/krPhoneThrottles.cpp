// SPDX-License-Identifier: GPL-3.0-or-later
#include "krPhoneThrottles.h"

#include "krTaktoraTools.h"
#include "ServiceAdvertiser.h"
#include "WiThrottleAccess.h"
#include "WiThrottleProtocol.h"
#include "WiThrottleServer.h"
#include "WiThrottleSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QNetworkInterface>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace PhoneSettings = WiThrottle::Settings;

namespace {
struct Network
{
    QString address;
    QString label;
};

// The IPv4 addresses of the computer's networks that are up, this computer's own last.
QList<Network> networks()
{
    QList<Network> list;
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces()) {
        if (!i.flags().testFlag(QNetworkInterface::IsUp) || i.flags().testFlag(QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& e : i.addressEntries())
            if (e.ip().protocol() == QAbstractSocket::IPv4Protocol)
                list << Network{e.ip().toString(),
                                QStringLiteral("%1 (%2)").arg(e.ip().toString(), i.humanReadableName())};
    }
    list << Network{QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.1 (nur dieser Rechner)")};
    return list;
}

QLabel* wrappingLabel(const QString& name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QListWidget* list(const QString& name, QWidget* parent)
{
    auto* widget = new QListWidget(parent);
    widget->setObjectName(name);
    widget->setMinimumHeight(TwipsToPixels(900));
    // A phone's name, address and id run long: they wrap rather than scroll out of sight.
    widget->setWordWrap(true);
    widget->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return widget;
}

QPushButton* button(const QString& name, const QString& text, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

// Fills the list anew and keeps the selected entry (by its data) selected.
void fill(QListWidget* widget, const QList<QPair<QString, QVariant>>& items, const QString& none)
{
    const QVariant selected = widget->currentItem() && widget->currentItem()->isSelected()
                                  ? widget->currentItem()->data(Qt::UserRole)
                                  : QVariant();
    const QSignalBlocker quiet(widget);
    widget->clear();
    for (const auto& [text, data] : items) {
        auto* item = new QListWidgetItem(text, widget);
        item->setData(Qt::UserRole, data);
        if (selected.isValid() && data == selected)
            widget->setCurrentItem(item);
    }
    if (items.isEmpty()) {
        auto* item = new QListWidgetItem(none, widget);
        item->setFlags(Qt::NoItemFlags);
    }
}
} // namespace

QStringList krPhoneThrottles::reachableAddresses(const QString& listening)
{
    if (!listening.isEmpty())
        return {listening};
    QStringList addresses;
    for (const Network& n : networks())
        if (n.address != QLatin1String("127.0.0.1"))
            addresses << n.address;
    if (addresses.isEmpty())
        addresses << QStringLiteral("127.0.0.1 (nur dieser Rechner)");
    return addresses;
}

void krPhoneThrottles::addSection(QWidget* section)
{
    m_left->insertWidget(m_left->count() - 1, section);
}

void krPhoneThrottles::startFromSettings(WiThrottleServer& server)
{
    server.setAccess(PhoneSettings::access());
    if (!PhoneSettings::enabled())
        return;
    // An address that is not one listens nowhere rather than everywhere.
    server.listen(PhoneSettings::port(),
                  WiThrottle::listenAddress(PhoneSettings::address()).value_or(QHostAddress()));
}

krPhoneThrottles::krPhoneThrottles(WiThrottleServer& server, QWidget* parent)
    : QDialog(parent), m_server(server)
{
    setObjectName(QStringLiteral("krPhoneThrottles"));
    setWindowTitle(QStringLiteral("Handregler per Smartphone"));
    setModal(false);

    // The server.
    m_chkOn = new QCheckBox(QStringLiteral("Handregler-Server &eingeschaltet"), this);
    m_chkOn->setObjectName(QStringLiteral("chkWiThrottle"));
    m_spnPort = new QSpinBox(this);
    m_spnPort->setObjectName(QStringLiteral("spnPort"));
    m_spnPort->setRange(1024, 65535);
    m_spnPort->setValue(PhoneSettings::port());
    m_cboAddress = new QComboBox(this);
    m_cboAddress->setObjectName(QStringLiteral("cboAddress"));
    m_cboAddress->setToolTip(QStringLiteral("In welchem Netz Handregler den Server erreichen"));
    m_spnMaxConnections = new QSpinBox(this);
    m_spnMaxConnections->setObjectName(QStringLiteral("spnMaxConnections"));
    m_spnMaxConnections->setRange(1, WiThrottle::HighestMaxConnections);
    m_spnMaxConnections->setToolTip(QStringLiteral("Weitere Verbindungen werden sofort getrennt"));
    m_lblState = wrappingLabel(QStringLiteral("lblServerState"), this);
    m_lblConnect = wrappingLabel(QStringLiteral("lblConnect"), this);
    m_lblAdvertisement = wrappingLabel(QStringLiteral("lblAdvertisement"), this);

    auto* serverBox = new QGroupBox(QStringLiteral("Server"), this);
    auto* serverForm = new QFormLayout(serverBox);
    serverForm->addRow(m_chkOn);
    serverForm->addRow(QStringLiteral("&Port:"), m_spnPort);
    serverForm->addRow(QStringLiteral("&Netzwerk:"), m_cboAddress);
    serverForm->addRow(QStringLiteral("Höchstens &Verbindungen:"), m_spnMaxConnections);
    serverForm->addRow(m_lblState);

    auto* connectBox = new QGroupBox(QStringLiteral("Im Handregler eintragen"), this);
    auto* connectLayout = new QVBoxLayout(connectBox);
    connectLayout->addWidget(m_lblConnect);
    connectLayout->addWidget(m_lblAdvertisement);

    // What phones may do.
    m_chkApproval = new QCheckBox(QStringLiteral("Nur &freigegebene Geräte dürfen fahren"), this);
    m_chkApproval->setObjectName(QStringLiteral("chkApproval"));
    m_chkAllowPower = new QCheckBox(QStringLiteral("&Gleisspannung schalten"), this);
    m_chkAllowPower->setObjectName(QStringLiteral("chkAllowPower"));
    m_chkAllowTurnouts = new QCheckBox(QStringLiteral("&Weichen und Fahrstraßen schalten"), this);
    m_chkAllowTurnouts->setObjectName(QStringLiteral("chkAllowTurnouts"));
    m_chkAllowTurnouts->setToolTip(
        QStringLiteral("Nur die Weichen, die in der Weichentabelle für Handregler freigegeben sind"));
    m_spnMaxSpeed = new QSpinBox(this);
    m_spnMaxSpeed->setObjectName(QStringLiteral("spnMaxSpeed"));
    m_spnMaxSpeed->setRange(WiThrottle::LowestMaxSpeed, 100);
    m_spnMaxSpeed->setSuffix(QStringLiteral(" %"));
    m_spnMaxSpeed->setToolTip(
        QStringLiteral("Der ganze Weg des Schiebereglers am Handregler reicht bis hierhin"));
    auto* rightsBox = new QGroupBox(QStringLiteral("Rechte der Handregler"), this);
    auto* rightsForm = new QFormLayout(rightsBox);
    rightsForm->addRow(m_chkApproval);
    rightsForm->addRow(m_chkAllowPower);
    rightsForm->addRow(m_chkAllowTurnouts);
    rightsForm->addRow(QStringLiteral("&Höchstgeschwindigkeit:"), m_spnMaxSpeed);

    // The devices.
    m_lstWaiting = list(QStringLiteral("lstWaiting"), this);
    m_cmdApprove = button(QStringLiteral("cmdApprove"), QStringLiteral("F&reigeben"), this);
    m_cmdReject = button(QStringLiteral("cmdReject"), QStringLiteral("&Ablehnen"), this);
    auto* waitingBox = new QGroupBox(QStringLiteral("Warten auf Freigabe"), this);
    auto* waitingLayout = new QVBoxLayout(waitingBox);
    waitingLayout->addWidget(m_lstWaiting);
    auto* waitingButtons = new QHBoxLayout;
    waitingButtons->addWidget(m_cmdApprove);
    waitingButtons->addWidget(m_cmdReject);
    waitingButtons->addStretch(1);
    waitingLayout->addLayout(waitingButtons);

    m_lstPhones = list(QStringLiteral("lstPhones"), this);
    auto* phonesBox = new QGroupBox(QStringLiteral("Verbundene Handregler"), this);
    auto* phonesLayout = new QVBoxLayout(phonesBox);
    phonesLayout->addWidget(m_lstPhones);

    m_lstDevices = list(QStringLiteral("lstDevices"), this);
    m_cmdRemoveDevice = button(QStringLiteral("cmdRemoveDevice"), QStringLiteral("En&tfernen"), this);
    m_cmdRemoveDevice->setToolTip(QStringLiteral("Das Gerät muss wieder freigegeben werden, bevor es fährt"));
    auto* devicesBox = new QGroupBox(QStringLiteral("Freigegebene Geräte"), this);
    auto* devicesLayout = new QVBoxLayout(devicesBox);
    devicesLayout->addWidget(m_lstDevices);
    auto* devicesButtons = new QHBoxLayout;
    devicesButtons->addWidget(m_cmdRemoveDevice);
    devicesButtons->addStretch(1);
    devicesLayout->addLayout(devicesButtons);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("btnClose"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    m_left = new QVBoxLayout;
    m_left->addWidget(serverBox);
    m_left->addWidget(connectBox);
    m_left->addWidget(rightsBox);
    m_left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(waitingBox, 1);
    right->addWidget(phonesBox, 1);
    right->addWidget(devicesBox, 1);
    auto* columns = new QHBoxLayout;
    columns->addLayout(m_left, 1);
    columns->addLayout(right, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addWidget(buttons);
    setMinimumWidth(TwipsToPixels(11000));

    const WiThrottle::Access access = server.access();
    m_chkApproval->setChecked(access.approval);
    m_chkAllowPower->setChecked(access.allowPower);
    m_chkAllowTurnouts->setChecked(access.allowTurnouts);
    m_spnMaxSpeed->setValue(access.maxSpeedPercent);
    m_spnMaxConnections->setValue(access.maxConnections);
    buildAddresses();

    m_chkOn->setChecked(server.isListening());
    connect(m_chkOn, &QCheckBox::toggled, this, &krPhoneThrottles::setServerOn);
    connect(m_spnPort, &QSpinBox::editingFinished, this, [this] {
        PhoneSettings::write(PhoneSettings::Port, QString::number(m_spnPort->value()));
        if (m_server.isListening() && m_server.port() != m_spnPort->value())
            setServerOn(true);
    });
    connect(m_cboAddress, &QComboBox::activated, this, [this] {
        PhoneSettings::write(PhoneSettings::Address, m_cboAddress->currentData().toString());
        if (m_server.isListening() || !m_server.errorString().isEmpty())
            setServerOn(true);
    });
    connect(m_chkApproval, &QCheckBox::toggled, this, &krPhoneThrottles::applyAccess);
    connect(m_chkAllowPower, &QCheckBox::toggled, this, &krPhoneThrottles::applyAccess);
    connect(m_chkAllowTurnouts, &QCheckBox::toggled, this, &krPhoneThrottles::applyAccess);
    connect(m_spnMaxSpeed, &QSpinBox::valueChanged, this, &krPhoneThrottles::applyAccess);
    connect(m_spnMaxConnections, &QSpinBox::valueChanged, this, &krPhoneThrottles::applyAccess);
    connect(m_cmdApprove, &QPushButton::clicked, this, &krPhoneThrottles::approveDevice);
    connect(m_cmdReject, &QPushButton::clicked, this, &krPhoneThrottles::rejectDevice);
    connect(m_cmdRemoveDevice, &QPushButton::clicked, this, &krPhoneThrottles::removeDevice);
    connect(m_lstWaiting, &QListWidget::itemSelectionChanged, this, &krPhoneThrottles::enableButtons);
    connect(m_lstDevices, &QListWidget::itemSelectionChanged, this, &krPhoneThrottles::enableButtons);
    connect(&server, &WiThrottleServer::phonesChanged, this, &krPhoneThrottles::refresh);
    connect(server.advertiser(), &ServiceAdvertiser::stateChanged, this, &krPhoneThrottles::refresh);
    refresh();
}

void krPhoneThrottles::buildAddresses()
{
    const QString chosen = PhoneSettings::address();
    m_cboAddress->addItem(QStringLiteral("Alle Netzwerke"), QString());
    for (const Network& n : networks())
        m_cboAddress->addItem(n.label, n.address);
    int at = m_cboAddress->findData(chosen);
    if (at < 0) { // a network that is not there now
        m_cboAddress->addItem(QStringLiteral("%1 (nicht vorhanden)").arg(chosen), chosen);
        at = m_cboAddress->count() - 1;
    }
    m_cboAddress->setCurrentIndex(at);
}

void krPhoneThrottles::setServerOn(bool on)
{
    PhoneSettings::write(PhoneSettings::Enabled, on ? QStringLiteral("1") : QStringLiteral("0"));
    PhoneSettings::write(PhoneSettings::Port, QString::number(m_spnPort->value()));
    if (on)
        m_server.listen(static_cast<quint16>(m_spnPort->value()),
                        WiThrottle::listenAddress(PhoneSettings::address()).value_or(QHostAddress()));
    else
        m_server.close();
    refresh();
}

void krPhoneThrottles::applyAccess()
{
    WiThrottle::Access access = m_server.access();
    access.approval = m_chkApproval->isChecked();
    access.allowPower = m_chkAllowPower->isChecked();
    access.allowTurnouts = m_chkAllowTurnouts->isChecked();
    access.maxSpeedPercent = m_spnMaxSpeed->value();
    access.maxConnections = m_spnMaxConnections->value();
    PhoneSettings::writeAccess(access);
    m_server.setAccess(access);
}

quint64 krPhoneThrottles::chosenWaiting() const
{
    const QList<QListWidgetItem*> selected = m_lstWaiting->selectedItems();
    if (!selected.isEmpty())
        return selected.first()->data(Qt::UserRole).toULongLong();
    quint64 only = 0;
    for (const WiThrottleServer::PhoneInfo& phone : m_server.phones()) {
        if (!phone.waiting)
            continue;
        if (only)
            return 0; // several wait: the user chooses
        only = phone.number;
    }
    return only;
}

void krPhoneThrottles::approveDevice()
{
    if (m_server.approve(chosenWaiting()))
        PhoneSettings::writeAccess(m_server.access());
}

void krPhoneThrottles::rejectDevice()
{
    m_server.reject(chosenWaiting());
}

void krPhoneThrottles::removeDevice()
{
    const QList<QListWidgetItem*> selected = m_lstDevices->selectedItems();
    if (selected.isEmpty())
        return;
    WiThrottle::Access access = m_server.access();
    access.devices.removeAll(selected.first()->data(Qt::UserRole).toString());
    PhoneSettings::writeAccess(access);
    m_server.setAccess(access);
}

void krPhoneThrottles::enableButtons()
{
    const bool chosen = chosenWaiting() != 0;
    m_cmdApprove->setEnabled(chosen);
    m_cmdReject->setEnabled(chosen);
    m_cmdRemoveDevice->setEnabled(!m_lstDevices->selectedItems().isEmpty());
}

void krPhoneThrottles::refresh()
{
    const bool listening = m_server.isListening();
    {
        const QSignalBlocker quiet(m_chkOn);
        m_chkOn->setChecked(listening || !m_server.errorString().isEmpty());
    }
    const WiThrottle::ServerStatus status = m_server.status();
    if (listening)
        m_lblState->setText(
            status.address.isEmpty()
                ? QStringLiteral("Der Server wartet auf Port %1.").arg(status.port)
                : QStringLiteral("Der Server wartet auf %1, Port %2.").arg(status.address).arg(status.port));
    else if (!m_server.errorString().isEmpty())
        m_lblState->setText(QStringLiteral("Port %1 lässt sich nicht öffnen: %2")
                                .arg(m_spnPort->value())
                                .arg(m_server.errorString()));
    else
        m_lblState->setText(QStringLiteral("Der Server ist aus."));

    const QString port = QString::number(listening ? m_server.port() : m_spnPort->value());
    QStringList rows;
    for (const QString& address : reachableAddresses(listening ? status.address : PhoneSettings::address()))
        rows << QStringLiteral("Adresse %1, Port %2").arg(address, port);
    m_lblConnect->setText(rows.join(QLatin1Char('\n')));
    m_lblAdvertisement->setText(m_server.advertiser()->stateText());

    QList<QPair<QString, QVariant>> waiting, phones, devices;
    QHash<QString, QString> connected; // id -> name
    for (const WiThrottleServer::PhoneInfo& phone : m_server.phones()) {
        const QString name = phone.name.isEmpty() ? QStringLiteral("(ohne Namen)") : phone.name;
        if (!phone.id.isEmpty())
            connected.insert(phone.id.toLower(), name);
        if (phone.waiting) {
            waiting << qMakePair(
                phone.id.isEmpty() ? QStringLiteral("%1 (%2)").arg(name, phone.address)
                                   : QStringLiteral("%1 (%2, Kennung %3)").arg(name, phone.address, phone.id),
                QVariant(phone.number));
            continue;
        }
        QStringList locos;
        for (int loco : phone.locos)
            locos << QString::number(loco);
        phones << qMakePair(locos.isEmpty() ? QStringLiteral("%1 (%2): keine Lok").arg(name, phone.address)
                                            : QStringLiteral("%1 (%2): Lok %3")
                                                  .arg(name, phone.address, locos.join(QStringLiteral(", "))),
                            QVariant(phone.number));
    }
    for (const QString& id : m_server.access().devices) {
        const auto name = connected.constFind(id.toLower());
        devices << qMakePair(
            name == connected.constEnd() ? id : QStringLiteral("%1 (%2, verbunden)").arg(id, *name),
            QVariant(id));
    }
    fill(m_lstWaiting, waiting,
         m_server.access().approval ? QStringLiteral("keines")
                                    : QStringLiteral("keines: jedes Gerät darf fahren"));
    fill(m_lstPhones, phones, QStringLiteral("keiner"));
    fill(m_lstDevices, devices, QStringLiteral("keines"));
    enableButtons();
}
