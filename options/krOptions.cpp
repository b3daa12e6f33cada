// SPDX-License-Identifier: GPL-3.0-or-later
#include "krOptions.h"

#include "ControllerLink.h"
#include "krTaktoraTools.h"
#include "PortChoice.h"
#include "PortDirectory.h"
#include "PortErrors.h"
#include "RescanningComboBox.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <utility>

namespace {
// Marks the entry of a device that the system's list does not hold.
constexpr int MappedOnlyRole = Qt::UserRole + 1;
} // namespace

krOptions::krOptions(ControllerLink& link, QWidget* parent)
    : QDialog(parent), m_link(link), m_scanDevices(scanSerialDevices)
{
    setObjectName(QStringLiteral("krOptions"));
    setWindowTitle(QStringLiteral("Einstellungen"));

    m_tabSettings = new QTabWidget(this);
    m_tabSettings->setObjectName(QStringLiteral("tabSettings"));
    auto* general = new QWidget(m_tabSettings);
    general->setObjectName(QStringLiteral("tabGeneral"));
    m_tabSettings->addTab(general, QStringLiteral("&Allgemein"));

    auto* fraCommPorts = new QGroupBox(QStringLiteral("Serielle Schnittstelle"), general);
    fraCommPorts->setObjectName(QStringLiteral("fraCommPorts"));
    m_lblInfo = new QLabel(fraCommPorts);
    m_lblInfo->setObjectName(QStringLiteral("lblInfo"));
    m_cmbComPort = new QComboBox(fraCommPorts);
    m_cmbComPort->setObjectName(QStringLiteral("cmbComPort"));
    m_cmbComPort->setMinimumContentsLength(18);
    auto* portLayout = new QVBoxLayout(fraCommPorts);
    portLayout->setSpacing(8);
    portLayout->addWidget(m_lblInfo);
    auto* comboRow = new QHBoxLayout;
    comboRow->addWidget(m_cmbComPort);
    comboRow->addStretch();
    portLayout->addLayout(comboRow);

    auto* generalLayout = new QVBoxLayout(general);
    generalLayout->setSpacing(10);
    generalLayout->addWidget(fraCommPorts);

    if (deviceMappingAvailable()) {
        m_fraDeviceMapping = new QGroupBox(QStringLiteral("Gerätezuordnung"), general);
        m_fraDeviceMapping->setObjectName(QStringLiteral("fraDeviceMapping"));

        auto* hint = new QLabel(QStringLiteral("Ein COM-Name erreicht sein Gerät über diese Zuordnung."),
                                m_fraDeviceMapping);
        hint->setObjectName(QStringLiteral("lblMappingHint"));
        hint->setWordWrap(true);
        // Secondary text: between the text colour and the background, readable in any theme.
        QPalette secondary = hint->palette();
        const QColor text = secondary.color(QPalette::WindowText);
        const QColor back = secondary.color(QPalette::Window);
        secondary.setColor(QPalette::WindowText, QColor((text.red() * 3 + back.red() * 2) / 5,
                                                        (text.green() * 3 + back.green() * 2) / 5,
                                                        (text.blue() * 3 + back.blue() * 2) / 5));
        hint->setPalette(secondary);

        m_lblMapping = new QLabel(m_fraDeviceMapping);
        m_lblMapping->setObjectName(QStringLiteral("lblMapping"));
        m_lblMapping->setWordWrap(true);
        m_lblMapping->setTextInteractionFlags(Qt::TextSelectableByMouse);
        // The text comes at the first activation and changes with the port: room for two lines
        // from the start, so that no text of it is cut off below.
        m_lblMapping->setMinimumHeight(m_lblMapping->fontMetrics().lineSpacing() * 2 + 2);

        auto* devices = new RescanningComboBox(m_fraDeviceMapping);
        devices->beforePopup = [this] { rescanDevices(); };
        m_cmbDevice = devices;
        m_cmbDevice->setObjectName(QStringLiteral("cmbDevice"));
        m_cmbDevice->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        m_cmbDevice->setMinimumContentsLength(24);
        m_cmbDevice->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

        m_btnAssign = new QPushButton(QStringLiteral("Zuordnen"), m_fraDeviceMapping);
        m_btnAssign->setObjectName(QStringLiteral("btnAssign"));
        m_btnAssign->setAutoDefault(false);
        m_btnUnassign = new QPushButton(QStringLiteral("Aufheben"), m_fraDeviceMapping);
        m_btnUnassign->setObjectName(QStringLiteral("btnUnassign"));
        m_btnUnassign->setAutoDefault(false);

        auto* mappingCaption = new QLabel(QStringLiteral("Zuordnung:"), m_fraDeviceMapping);
        auto* deviceCaption = new QLabel(QStringLiteral("&Gerät:"), m_fraDeviceMapping);
        deviceCaption->setBuddy(m_cmbDevice);

        auto* grid = new QGridLayout(m_fraDeviceMapping);
        grid->setHorizontalSpacing(8);
        grid->setVerticalSpacing(8);
        grid->addWidget(hint, 0, 0, 1, 3);
        grid->addWidget(mappingCaption, 1, 0);
        grid->addWidget(m_lblMapping, 1, 1);
        grid->addWidget(m_btnUnassign, 1, 2);
        grid->addWidget(deviceCaption, 2, 0);
        grid->addWidget(m_cmbDevice, 2, 1);
        grid->addWidget(m_btnAssign, 2, 2);
        grid->setColumnStretch(1, 1);
        generalLayout->addWidget(m_fraDeviceMapping);

        connect(m_btnAssign, &QPushButton::clicked, this, &krOptions::assignDevice);
        connect(m_btnUnassign, &QPushButton::clicked, this, &krOptions::unassignDevice);
    }
    generalLayout->addStretch();

    m_btnOK = new QPushButton(QStringLiteral("OK"), this);
    m_btnOK->setObjectName(QStringLiteral("btnOK"));
    m_btnOK->setDefault(true);
    m_btnCancel = new QPushButton(QStringLiteral("Abbruch"), this);
    m_btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_btnOK);
    buttons->addWidget(m_btnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabSettings);
    layout->addLayout(buttons);

    connect(m_btnOK, &QPushButton::clicked, this, &krOptions::btnOK_Click);
    // Escape lands here too: QDialog rejects on Escape.
    connect(m_btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_cmbComPort, &QComboBox::currentIndexChanged, this, [this] { showMapping(); });
}

void krOptions::setDeviceScanner(SerialDeviceScanner scanner)
{
    m_scanDevices = std::move(scanner);
    if (m_activated)
        rescanDevices();
}

bool krOptions::deviceMappingAvailable()
{
#ifdef Q_OS_WIN
    return false;
#else
    return true;
#endif
}

void krOptions::showEvent(QShowEvent* event)
{
    // Placed over its parent by now; the whole dialog must be on the screen.
    KeepOnScreen(this);
    QDialog::showEvent(event);
    if (!m_activated) {
        m_activated = true;
        firstActivation();
    }
}

void krOptions::firstActivation()
{
    m_lblInfo->setText(QStringLiteral("Bitte wählen Sie hier die gewünschte serielle ") + QLatin1Char('\n') +
                       QStringLiteral("Schnittstelle aus"));

    m_cmbComPort->clear();
    m_cmbComPort->addItems(PortChoice::listEntries());

    m_selectedPortName = ReadSetting(Settings::SignalOutputTo);
    if (m_fraDeviceMapping) {
        rescanDevices();
        markMappedNames();
    }
    m_cmbComPort->setCurrentIndex(PortChoice::listIndexForStoredName(m_selectedPortName));
    showMapping();
}

void krOptions::btnOK_Click()
{
    // The test: a port must open before it becomes the program's port.
    if (m_cmbComPort->currentIndex() >= 1) {
        m_selectedPortName = m_cmbComPort->currentText();
        if (!openPort(m_selectedPortName))
            return;
        m_link.close();
    } else {
        m_selectedPortName = QStringLiteral("NUL");
    }

    if (m_selectedPortName.compare(QStringLiteral("NUL"), Qt::CaseInsensitive) != 0)
        openPort(m_selectedPortName);
    m_link.setPortName(m_selectedPortName);
    WriteSetting(Settings::SignalOutputTo, m_selectedPortName);
    accept();
}

bool krOptions::openPort(const QString& name)
{
    if (m_link.open(name))
        return true;
    ShowErrorReport(openErrorText(name, m_link.lastOpenError()));
    return false;
}

QString krOptions::selectedComName() const
{
    const int index = m_cmbComPort->currentIndex();
    return index >= 1 ? PortChoice::portNameForListIndex(index) : QString();
}

void krOptions::rescanDevices()
{
    if (!m_cmbDevice)
        return;
    const QString previous = m_cmbDevice->currentData().toString();
    m_devices = m_scanDevices ? m_scanDevices() : SerialDeviceList{};

    m_cmbDevice->clear();
    for (const SerialDevice& device : std::as_const(m_devices)) {
        m_cmbDevice->addItem(PortChoice::deviceLabel(device), PortChoice::assignedPath(device));
        if (!device.manufacturer.isEmpty())
            m_cmbDevice->setItemData(m_cmbDevice->count() - 1, device.manufacturer, Qt::ToolTipRole);
    }
    if (m_devices.isEmpty())
        m_cmbDevice->addItem(QStringLiteral("Kein serielles Gerät gefunden"));
    if (!selectedComName().isEmpty())
        offerMappedDevice(PortDirectory::devicePath(selectedComName()));

    const int keep = m_cmbDevice->findData(previous);
    if (keep >= 0)
        m_cmbDevice->setCurrentIndex(keep);
    m_btnAssign->setEnabled(!m_devices.isEmpty() && !selectedComName().isEmpty());
}

void krOptions::showMapping()
{
    if (!m_fraDeviceMapping || !m_activated)
        return;
    const QString com = selectedComName();
    if (com.isEmpty()) {
        m_lblMapping->setText(QStringLiteral("Im Simulationsmodus wird kein Gerät benutzt"));
        m_fraDeviceMapping->setEnabled(false);
        return;
    }
    m_fraDeviceMapping->setEnabled(true);

    const QString path = PortDirectory::devicePath(com);
    m_lblMapping->setText(PortChoice::mappingText(com, path, !path.isEmpty() && QFileInfo::exists(path)));
    m_btnUnassign->setEnabled(!path.isEmpty());
    m_btnAssign->setEnabled(!m_devices.isEmpty());

    // Offer the device the name reaches now, so that "Zuordnen" without a choice changes nothing.
    const int current = offerMappedDevice(path);
    if (current >= 0)
        m_cmbDevice->setCurrentIndex(current);
}

int krOptions::offerMappedDevice(const QString& path)
{
    // A pseudo-terminal or a board that is unplugged is not in the system's list: it is offered
    // all the same, on top, for as long as its COM name is chosen.
    const int stale = m_cmbDevice->findData(true, MappedOnlyRole);
    if (stale >= 0)
        m_cmbDevice->removeItem(stale);
    if (path.isEmpty())
        return -1;
    int index = m_cmbDevice->findData(path);
    for (int i = 0; index < 0 && i < m_devices.size(); ++i) {
        if (m_devices.at(i).path == path) // assigned by its kernel name before
            index = i;
    }
    if (index < 0) {
        m_cmbDevice->insertItem(0, PortChoice::mappedOnlyLabel(path), path);
        m_cmbDevice->setItemData(0, true, MappedOnlyRole);
        index = 0;
    }
    return index;
}

void krOptions::markMappedNames()
{
    // Which COM names reach a device, seen in the list before one is chosen.
    const int side = m_cmbComPort->fontMetrics().height() / 2;
    const auto dot = [side](const QColor& colour) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        if (colour.isValid()) {
            QPainter painter(&pixmap);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(colour.darker(150));
            painter.setBrush(colour);
            painter.drawEllipse(QRectF(0.5, 0.5, side - 1, side - 1));
        }
        return QIcon(pixmap);
    };
    const QIcon present = dot(QColor(0, 192, 0)), absent = dot(QColor(160, 160, 160)), none = dot(QColor());
    m_cmbComPort->setIconSize(QSize(side, side));
    for (int i = 1; i < m_cmbComPort->count(); ++i) {
        const QString com = PortChoice::portNameForListIndex(i);
        const QString path = PortDirectory::devicePath(com);
        const bool exists = !path.isEmpty() && QFileInfo::exists(path);
        m_cmbComPort->setItemIcon(i, path.isEmpty() ? none : exists ? present : absent);
        m_cmbComPort->setItemData(i, path.isEmpty() ? QVariant() : PortChoice::mappingText(com, path, exists),
                                  Qt::ToolTipRole);
    }
}

void krOptions::assignDevice()
{
    const QString com = selectedComName();
    const QString path = m_cmbDevice->currentData().toString();
    if (com.isEmpty() || path.isEmpty())
        return;
    PortDirectory::registerDevice(com, path);
    markMappedNames();
    showMapping();
}

void krOptions::unassignDevice()
{
    const QString com = selectedComName();
    if (com.isEmpty())
        return;
    PortDirectory::unregisterDevice(com);
    markMappedNames();
    showMapping();
}
