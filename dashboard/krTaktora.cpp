// SPDX-License-Identifier: GPL-3.0-or-later
#include "krTaktora.h"

#include "AccessoryPanel.h"
#include "CommandSet.h"
#include "DashboardRules.h"
#include "FieldNumber.h"
#include "KeyboardThrottles.h"
#include "KeyNames.h"
#include "krControllerSettingsDD.h"
#include "krDecoderSheet.h"
#include "krInfo.h"
#include "krLocoList.h"
#include "krOptions.h"
#include "krRoster.h"
#include "krTaktoraTools.h"
#include "krTrafficMonitor.h"
#include "krTurnouts.h"
#include "Lamp.h"
#include "LineClient.h"
#include "LineReady.h"
#include "LocoEntries.h"
#include "LocoNumberBox.h"
#include "ManualLocation.h"
#include "MessageBox.h"
#include "PortErrors.h"
#include "Roster.h"
#include "SerialPortInterface.h"
#include "sysDataOK.h"
#include "TaktoraVersion.h"
#include "ThrottlePanel.h"
#include "TurnoutTable.h"
#include "WebThrottleServer.h"
#include "WiThrottleServer.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace {
const QLatin1String kSliderPrefix(Settings::SliderPrefix);
const QLatin1String kAccessoryPrefix(Settings::AccessoryAdressPrefix);

QLabel* statusPanel(const QString& name, const QString& text, const QString& tip, int twips, QWidget* parent)
{
    auto* panel = new QLabel(text, parent);
    panel->setObjectName(name);
    panel->setToolTip(tip);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setFixedWidth(TwipsToPixels(twips));
    panel->setContentsMargins(3, 0, 3, 0);
    return panel;
}

void repaintNow(QWidget* widget)
{
    // The transactions that follow block the window; show the text before they start.
    widget->repaint();
}
} // namespace

krTaktora::krTaktora(const QString& executablePath, ControllerLink* link, QWidget* parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("krTaktora"));
    setWindowTitle(ProgramTitle());
    QIcon icon(QStringLiteral(":/icons/taktora.png"));
    icon.addFile(QStringLiteral(":/icons/taktora_256.png"));
    setWindowIcon(icon);
    m_openDocument = [this](const QString& path) { return openWithViewer(path); };

    // Every other window and the phones reach the Controller through the window's line.
    m_link = link;
    if (!m_link) {
        m_link = new ControllerLink(this);
        AttachScreenPrompts(*m_link);
    }
    m_line = new LineClient(*m_link, QStringLiteral("Hauptfenster"), LineClient::Kind::Screen, this);
    m_line->setNeedsCheck(false); // the window checks the Controller itself
    connect(&m_line->link(), &ControllerLink::powerChanged, this,
            [this](quint8 controller, bool on, const LineClient* origin) {
                // The lamps follow a phone's switch; the window's own reads set them as they go.
                if (origin != m_line && controllerNumber() == controller)
                    showLoadCircuit(on);
            });

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    buildCheckArea(central);
    layout->addWidget(central->findChild<QWidget*>(QStringLiteral("fraCheck")));
    layout->addWidget(buildOperatingArea(central), 1);
    setCentralWidget(central);
    buildToolbar();
    buildStatusBar();
    connect(&m_line->link(), &ControllerLink::portLost, this, &krTaktora::portLost);
    connect(&m_line->link(), &ControllerLink::portBack, this, &krTaktora::portBack);
    m_roster = new LocoRoster(LocoRoster::defaultFolder(), this);
    m_rosterProblems = m_roster->load();
    m_turnouts = new TurnoutTable(TurnoutTable::defaultFolder(), this);
    m_turnoutProblems = m_turnouts->load();
    buildPhoneServer();
    new KeyboardThrottles(this, QList<ThrottlePanel*>(std::begin(m_throttles), std::end(m_throttles)),
                          findChild<QPushButton*>(QStringLiteral("btnGlobalStop")), m_controllerFrame);
    // After the keys, whose hints the throttles keep beside the roster's labels.
    for (ThrottlePanel* throttle : m_throttles)
        throttle->setRoster(m_roster);
    m_phones->setRoster(m_roster);
    m_phones->setTurnouts(m_turnouts);
    m_web->setRoster(m_roster);
    m_web->setTurnouts(m_turnouts);
    watchScreen();

    Form_Load(executablePath);
}

void krTaktora::buildCheckArea(QWidget* parent)
{
    auto* checkFrame = new QFrame(parent);
    checkFrame->setObjectName(QStringLiteral("fraCheck"));
    checkFrame->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    auto* row = new QHBoxLayout(checkFrame);

    auto* caption = new QLabel(QStringLiteral("Controller-Nr.:"), checkFrame);
    caption->setObjectName(QStringLiteral("lblControllerNr"));
    m_txtControllerNr = new QLineEdit(QStringLiteral("0"), checkFrame);
    m_txtControllerNr->setObjectName(QStringLiteral("txtControllerNr"));
    m_txtControllerNr->setFixedWidth(60);
    m_txtControllerNr->setToolTip(QStringLiteral("Nummer des Controllers (0 bis 250)"));
    m_txtControllerNr->installEventFilter(this);
    caption->setBuddy(m_txtControllerNr);

    m_btnCheck = new QPushButton(QStringLiteral("&Prüfen"), checkFrame);
    m_btnCheck->setObjectName(QStringLiteral("btnCheck"));
    m_btnCheck->setDefault(true);

    auto* statusCaption = new QLabel(QStringLiteral("Status:"), checkFrame);
    statusCaption->setObjectName(QStringLiteral("Label2"));
    m_lblStatus = new QLabel(checkFrame);
    m_lblStatus->setObjectName(QStringLiteral("lblStatus"));
    QFont bold = m_lblStatus->font();
    bold.setBold(true);
    m_lblStatus->setFont(bold);
    m_lblStatus->setMinimumWidth(TwipsToPixels(6000));
    setStatus(QStringLiteral("---"), Dashboard::DarkYellow);

    m_cmdControllerSettings = new QPushButton(QStringLiteral("&Einstellungen"), checkFrame);
    m_cmdControllerSettings->setObjectName(QStringLiteral("cmdControllerSettings"));
    m_cmdControllerSettings->setEnabled(false);
    m_cmdControllerSettings->setToolTip(QStringLiteral("Pins und Notstopp des Controllers"));

    row->addWidget(caption);
    row->addWidget(m_txtControllerNr);
    row->addWidget(m_btnCheck);
    row->addSpacing(16);
    row->addWidget(statusCaption);
    row->addWidget(m_lblStatus, 1);
    row->addWidget(m_cmdControllerSettings);

    connect(m_btnCheck, &QPushButton::clicked, this, &krTaktora::btnCheck_Click);
    connect(m_txtControllerNr, &QLineEdit::returnPressed, this, &krTaktora::btnCheck_Click);
    connect(m_cmdControllerSettings, &QPushButton::clicked, this, &krTaktora::cmdControllerSettings_Click);
}

QWidget* krTaktora::buildOperatingArea(QWidget* parent)
{
    auto* area = new QWidget(parent);
    auto* stack = new QGridLayout(area);
    stack->setContentsMargins(0, 0, 0, 0);

    m_lblHinweis = new QLabel(
        QStringLiteral(
            "Die Bedienelemente werden sichtbar, wenn Sie auf \"Prüfen\" klicken. Knöpfe und Regler "
            "funktionieren allerdings nur, wenn Sie eine gültige Schnittstelle ausgewählt und daran "
            "einen gültigen DCC-Controller mit unserer Firmwware angeschlossen oder alternativ die "
            "Simulation ausgewählt haben."),
        area);
    m_lblHinweis->setObjectName(QStringLiteral("lblHinweis"));
    m_lblHinweis->setWordWrap(true);
    m_lblHinweis->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_lblHinweis->setMargin(12);

    m_controllerFrame = new QFrame(area);
    m_controllerFrame->setObjectName(QStringLiteral("ControllerFrame"));
    m_controllerFrame->setAutoFillBackground(true); // covers the hint when shown
    auto* grid = new QGridLayout(m_controllerFrame);
    grid->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < ThrottleCount; ++i) {
        m_throttles[i] = new ThrottlePanel(
            i, *m_line, [this] { return controllerNumber(); }, m_controllerFrame);
        grid->addWidget(m_throttles[i], 0, i);
    }
    grid->addWidget(buildLoadCircuitBar(m_controllerFrame), 1, 0, 1, ThrottleCount);

    m_accessoryColumn = new QWidget(m_controllerFrame);
    m_accessoryColumn->setObjectName(QStringLiteral("fraAccessories"));
    auto* accessories = new QVBoxLayout(m_accessoryColumn);
    accessories->setContentsMargins(0, 0, 0, 0);
    accessories->setSpacing(4);
    for (int i = 0; i < AccessoryPanelCount; ++i) {
        m_accessories[i] = new AccessoryPanel(i, m_accessoryColumn);
        accessories->addWidget(m_accessories[i]);
        connect(m_accessories[i], &AccessoryPanel::switchRequested, this, [this, i](int port, bool on) {
            SwitchAccessoryPort(m_accessories[i]->decoderField()->text(), port, on ? 1 : 0);
        });
    }
    grid->addWidget(m_accessoryColumn, 0, ThrottleCount, 2, 1);
    // The window keeps the size it needs for the controls while they wait for a check.
    QSizePolicy keepSpace = m_controllerFrame->sizePolicy();
    keepSpace.setRetainSizeWhenHidden(true);
    m_controllerFrame->setSizePolicy(keepSpace);
    m_controllerFrame->hide();

    stack->addWidget(m_lblHinweis, 0, 0);
    stack->addWidget(m_controllerFrame, 0, 0);
    return area;
}

QWidget* krTaktora::buildLoadCircuitBar(QWidget* parent)
{
    auto* bar = new QFrame(parent);
    bar->setObjectName(QStringLiteral("fraLoadCircuit"));
    bar->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto* row = new QHBoxLayout(bar);

    auto* globalStop = new QPushButton(QStringLiteral("STOP"), bar);
    globalStop->setObjectName(QStringLiteral("btnGlobalStop"));
    globalStop->setToolTip(QStringLiteral("Alle Loks anhalten"));
    globalStop->setMinimumSize(120, 44);
    globalStop->setStyleSheet(
        QStringLiteral("QPushButton { background-color: rgb(255, 0, 0); color: white; "
                       "font-weight: bold; font-size: 16pt; border: 2px solid #8a0000; "
                       "border-radius: 4px; } QPushButton:pressed { background-color: "
                       "rgb(200, 0, 0); } QPushButton:focus { border-color: #ffd700; }"));

    auto* loadCircuit = new QPushButton(QStringLiteral("Laststromkreis"), bar);
    loadCircuit->setObjectName(QStringLiteral("btnLoadCircuit"));
    loadCircuit->setToolTip(QStringLiteral("Gleisspannung auf- oder abregeln"));
    loadCircuit->setMinimumHeight(32);

    m_shpCircuitOn = new Lamp(bar);
    m_shpCircuitOn->setObjectName(QStringLiteral("shpCircuitOn"));
    m_shpCircuitOff = new Lamp(bar);
    m_shpCircuitOff->setObjectName(QStringLiteral("shpCircuitOff"));
    auto* on = new QLabel(QStringLiteral("AN"), bar);
    on->setObjectName(QStringLiteral("lblCircuitOn"));
    auto* off = new QLabel(QStringLiteral("AUS"), bar);
    off->setObjectName(QStringLiteral("lblCircuitOff"));

    auto* locoList = new QPushButton(QStringLiteral("Lok-Konfiguration / Programmierung"), bar);
    locoList->setObjectName(QStringLiteral("btnProgrammedLocos"));
    locoList->setMinimumHeight(32);

    row->addWidget(globalStop);
    row->addSpacing(20);
    row->addWidget(loadCircuit);
    row->addWidget(m_shpCircuitOn);
    row->addWidget(on);
    row->addSpacing(8);
    row->addWidget(m_shpCircuitOff);
    row->addWidget(off);
    row->addStretch(1);
    row->addWidget(locoList);

    connect(globalStop, &QPushButton::clicked, this, &krTaktora::btnGlobalStop_Click);
    connect(loadCircuit, &QPushButton::clicked, this, &krTaktora::btnLoadCircuit_Click);
    connect(locoList, &QPushButton::clicked, this, &krTaktora::btnProgrammedLocos_Click);
    return bar;
}

void krTaktora::buildToolbar()
{
    m_toolbar = addToolBar(QStringLiteral("Toolbar1"));
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setMovable(false);
    m_toolbar->setIconSize(QSize(32, 32));
    // Every button has a key, named in its tooltip. The plain function keys are free: the
    // throttles' functions are Ctrl+F1 to Ctrl+F12.
    const struct
    {
        const char* key;
        const char* icon;
        QString tip;
        QKeySequence shortcut;
        void (krTaktora::*slot)();
    } buttons[] = {
        {"btnOptions", ":/icons/options.png", QStringLiteral("Einstellungen aufrufen"),
         QKeySequence(Qt::Key_F2), &krTaktora::showOptions},
        {"btnHelp", ":/icons/help.png", QStringLiteral("Handbuch aufrufen"), QKeySequence(Qt::Key_F1),
         &krTaktora::openManual},
        {"btnInfo", ":/icons/info.png", QStringLiteral("Programmversion und Copyright anzeigen "),
         QKeySequence(Qt::Key_F3), &krTaktora::showInfo},
        {"btnClose", ":/icons/close.png", QStringLiteral("Taktora verlassen"),
         QKeySequence(Qt::CTRL | Qt::Key_Q), &krTaktora::closeFromToolbar},
        {nullptr, nullptr, QString(), QKeySequence(), nullptr},
        {"btnMonitor", ":/icons/monitor.png", QStringLiteral("Datenverkehr anzeigen"),
         QKeySequence(Qt::Key_F5), &krTaktora::showTrafficMonitor},
        {"btnPhones", ":/icons/phones.png", QStringLiteral("Handregler per Smartphone"),
         QKeySequence(Qt::Key_F6), &krTaktora::showPhoneThrottles},
        {"btnDecoderSheet", ":/icons/decodersheet.png", QStringLiteral("Decoder-Datenblatt"),
         QKeySequence(Qt::Key_F7), &krTaktora::openDecoderSheet},
        {"btnRoster", ":/icons/roster.png", QStringLiteral("Lok-Roster"), QKeySequence(Qt::Key_F8),
         &krTaktora::openRoster},
        {"btnTurnouts", ":/icons/turnouts.png", QStringLiteral("Weichen und Fahrstraßen"),
         QKeySequence(Qt::Key_F9), &krTaktora::openTurnouts},
    };
    for (const auto& b : buttons) {
        if (!b.key) {
            m_toolbar->addSeparator();
            continue;
        }
        QAction* action = m_toolbar->addAction(QIcon(QString::fromLatin1(b.icon)), QString());
        action->setObjectName(QString::fromLatin1(b.key));
        action->setShortcut(b.shortcut);
        action->setToolTip(tipWithKey(b.tip, b.shortcut));
        connect(action, &QAction::triggered, this, b.slot);
    }
}

void krTaktora::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setSizeGripEnabled(false);
    const QString portTip = QStringLiteral("Zeigt die aktuell-verwendete Schnittstelle an");
    m_pnlInfo = statusPanel(QStringLiteral("pnlInfo"), QString(),
                            QStringLiteral("Informationen zum Programm"), 9084, bar);
    m_pnlComPort = statusPanel(QStringLiteral("pnlComPort"), QString(), portTip, 1587, bar);
    m_pnlBoardLayout = statusPanel(QStringLiteral("pnlBoardLayout"), QString(),
                                   QStringLiteral("Zeigt das verwendete Controller-Board an"), 1764, bar);
    bar->addWidget(m_pnlInfo);
    m_pnlPhones = statusPanel(QStringLiteral("pnlPhones"), QString(), QString(), 2268, bar);
    m_pnlPhones->hide();
    bar->addWidget(m_pnlPhones);
    bar->addWidget(statusPanel(QStringLiteral("pnlBlank"), QString(), QString(), 952, bar));
    bar->addWidget(statusPanel(QStringLiteral("pnlComPortCaption"), QStringLiteral("Schnittstelle"), portTip,
                               1764, bar));
    bar->addWidget(m_pnlComPort);
    bar->addWidget(statusPanel(QStringLiteral("pnlBlank2"), QString(), QString(), 952, bar));
    bar->addWidget(statusPanel(QStringLiteral("pnlBoardLayoutCaption"), QStringLiteral("Boardlayout"),
                               QString(), 1940, bar));
    bar->addWidget(m_pnlBoardLayout);
    // The status bar does not hold the window open by itself; its panels have fixed widths.
    setMinimumWidth(bar->sizeHint().width());
}

void krTaktora::Form_Load(const QString& executablePath)
{
    m_pnlInfo->setText(Dashboard::programVersionText());
    QAction* options = m_toolbar->findChild<QAction*>(QStringLiteral("btnOptions"));
    if (Dashboard::isHostedStart(executablePath)) {
        m_runsStandalone = false;
        options->setVisible(false);
        m_link->setPortName(ReadSetting(Settings::SignalOutputTo, Settings::HostedSection));
    } else {
        m_runsStandalone = true;
        options->setVisible(true);
        m_link->close();
        m_link->setPortName(ReadSetting(Settings::SignalOutputTo));
        if (!m_link->isSimulation())
            OpenControllerPort(*m_link, m_link->portName(), false);
    }
    m_pnlBoardLayout->setText(QStringLiteral("unbekannt"));
    Form_Activate();
}

void krTaktora::showAfterSplash()
{
    krInfo::showModal(this, 2000);
    show();
    activateWindow();
    Form_Activate();
}

void krTaktora::Form_Activate()
{
    m_pnlComPort->setText(m_link->isSimulation() ? QStringLiteral("Simulation") : m_link->portName());
    followPort();
}

void krTaktora::followPort()
{
    const bool lost = m_line->link().isLost();
    QPalette palette = m_pnlComPort->palette();
    palette.setColor(QPalette::WindowText,
                     lost ? Dashboard::Red : statusBar()->palette().color(QPalette::WindowText));
    m_pnlComPort->setPalette(palette);
    m_pnlComPort->setToolTip(QStringLiteral("Zeigt die aktuell-verwendete Schnittstelle an"));
    if (lost) {
        m_pnlComPort->setText(m_link->portName() + QStringLiteral(" getrennt"));
        m_pnlComPort->setToolTip(QStringLiteral("Das Gerät von ") + m_link->portName() +
                                 QStringLiteral(" ist nicht mehr angeschlossen:\n") +
                                 m_line->link().watchedDevice() +
                                 QStringLiteral("\nSobald es wieder da ist, öffnet Taktora es von selbst;\n"
                                                "danach bitte den Controller erneut prüfen."));
    }
}

void krTaktora::portLost(bool reported)
{
    // The line has closed the port and forgotten the check. Said once: a command that ran into
    // the pulled cable has shown the port error already.
    hideOperatingControls();
    m_cmdControllerSettings->setEnabled(false);
    m_pnlBoardLayout->setText(QStringLiteral("unbekannt")); // the board that comes back may be another
    setStatus(QStringLiteral("Kommunikationsfehler"), Dashboard::Red);
    Form_Activate();
    if (!reported)
        ShowPortAccessError(m_link->portName(),
                            PortError{PortErrorNumber::DeviceUnavailable,
                                      portErrorDescription(PortErrorNumber::DeviceUnavailable)});
}

void krTaktora::portBack()
{
    // The port is open again, but the Controller may have restarted: nothing is sent before a new check.
    hideOperatingControls();
    m_cmdControllerSettings->setEnabled(false);
    setStatus(QStringLiteral("Schnittstelle wieder verbunden – bitte Controller erneut prüfen"),
              Dashboard::Red);
    Form_Activate();
}

void krTaktora::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
}

bool krTaktora::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_txtControllerNr && event->type() == QEvent::FocusIn) {
        // After the click that gave the focus has placed the cursor.
        QTimer::singleShot(0, m_txtControllerNr, [this] { m_txtControllerNr->setSelection(0, 9999); });
    }
    return QMainWindow::eventFilter(watched, event);
}

void krTaktora::setStatus(const QString& text, const QColor& colour)
{
    ShowStatusText(m_lblStatus, text, colour);
}

std::optional<quint8> krTaktora::controllerNumber() const
{
    return Dashboard::controllerByte(m_txtControllerNr->text());
}

bool krTaktora::transact(const FrameFields& request)
{
    m_frame = request;
    return m_line->ControllerTransaction(m_frame, 2, true, 2);
}

void krTaktora::hideOperatingControls()
{
    m_line->link().clearCheck();
    m_controllerFrame->hide();
}

void krTaktora::btnCheck_Click()
{
    m_pnlBoardLayout->setText(QStringLiteral("unbekannt"));
    m_cmdControllerSettings->setEnabled(false);

    const auto checked = Dashboard::checkableController(m_txtControllerNr->text());
    if (!checked) {
        hideOperatingControls();
        return;
    }

    setStatus(QStringLiteral("--- Controller wird geprüft ---"), Dashboard::DarkYellow);
    repaintNow(m_lblStatus);

    if (m_link->isSimulation()) {
        WaitSeconds(1);
        setStatus(QStringLiteral("Controller im Simulationsmodus"), Dashboard::Green);
        repaintNow(m_lblStatus);
        m_controllerFrame->show();
        m_line->link().setChecked(*checked);
        return;
    }

    if (!transact(Request::queryControllerStatus(*checked))) {
        ShowCommunicationError();
        return;
    }
    if (m_frame.command == Answer::NoSuchController) {
        setStatus(QStringLiteral("Controller ") + QString::number(m_frame.controller) +
                      QStringLiteral(" nicht gefunden"),
                  Dashboard::Red);
        hideOperatingControls();
        return;
    }

    const auto controller = controllerNumber();
    if (!controller || !transact(Request::readFirmwareVersion(*controller))) {
        ShowCommunicationError();
        return;
    }
    const FrameFields version = m_frame;
    const QString okText = QStringLiteral("OK (Firmware ") +
                           Dashboard::firmwareVersionText(version.data1, version.data2, version.data3) +
                           QStringLiteral(") ");
    if (!CheckFirmwareVersion(version.data1, version.data2, version.data3)) {
        setStatus(QStringLiteral("Versionsprobleme zwischen ") +
                      QString::fromUtf8(TaktoraVersion::ProductName) + QStringLiteral(" und Firmware"),
                  Dashboard::Red);
        return;
    }

    RestorePanelSettings();
    setStatus(okText, Dashboard::Green);
    repaintNow(m_lblStatus);
    ReadLoadCircuitState();
    m_controllerFrame->show();
    ShowBoardLayout();
    m_cmdControllerSettings->setEnabled(true);
    m_line->link().setChecked(*controller);
}

bool krTaktora::CheckFirmwareVersion(int major, int minor, int revision)
{
    const Dashboard::VersionVerdict verdict = Dashboard::checkFirmwareVersion(major, minor, revision);
    if (!verdict.accepted)
        ShowErrorReport(verdict.report, Dashboard::versionReportTitle());
    return verdict.accepted;
}

void krTaktora::ShowBoardLayout()
{
    const auto controller = controllerNumber();
    if (!controller || !transact(Request::queryControllerStatus(*controller)))
        return;
    m_pnlBoardLayout->setText(Dashboard::boardLayoutText(m_frame.data3));
}

void krTaktora::ShowCommunicationError()
{
    QCoreApplication::processEvents();
    setStatus(QStringLiteral("Kommunikationsfehler"), Dashboard::Red);
    repaintNow(m_lblStatus);
}

void krTaktora::RestorePanelSettings()
{
    for (int i = 0; i < ThrottleCount; ++i) {
        const QString loco = ReadSetting(Dashboard::panelSettingKey(kSliderPrefix, i), QString::number(i + 1),
                                         QLatin1String(Settings::Section));
        m_throttles[i]->locoNumberBox()->setEditText(loco);
        m_throttles[i]->ShowSpeedStepMode();
    }
    for (int i = 0; i < AccessoryPanelCount; ++i) {
        m_accessories[i]->decoderField()->setText(ReadSetting(Dashboard::panelSettingKey(kAccessoryPrefix, i),
                                                              QString::number(i + 1),
                                                              QLatin1String(Settings::Section)));
    }
}

bool krTaktora::ReadLoadCircuitState()
{
    quint8 status = 0; // a failed query reads as lowered
    const auto controller = controllerNumber();
    if (controller && transact(Request::queryControllerStatus(*controller)))
        status = m_frame.data3;
    showLoadCircuit(status & StatusBit::LoadCircuitRaised);
    return status & StatusBit::LoadCircuitRaised;
}

void krTaktora::showLoadCircuit(bool raised)
{
    m_shpCircuitOn->setColor(raised ? Dashboard::Green : Dashboard::LampBlack);
    m_shpCircuitOff->setColor(raised ? Dashboard::LampBlack : Dashboard::Red);
}

void krTaktora::btnLoadCircuit_Click()
{
    const bool raised = ReadLoadCircuitState();
    if (const auto controller = controllerNumber())
        transact(Request::setTrackMode(*controller, raised ? TrackMode::Off : TrackMode::Operation));
    ReadLoadCircuitState();
}

void krTaktora::btnProgrammedLocos_Click()
{
    const auto controller = controllerForWindow();
    if (!controller)
        return;
    krLocoList locoList(m_line->link(), this);
    locoList.setControllerID(*controller);
    locoList.exec();
    // The loco list leaves the track switched off; show what the Controller reports now.
    ReadLoadCircuitState();
}

void krTaktora::btnGlobalStop_Click()
{
    if (const auto controller = controllerNumber())
        transact(Request::stopLoco(*controller, AllLocos));
    for (ThrottlePanel* panel : m_throttles)
        panel->showStopped();
}

void krTaktora::SwitchAccessoryPort(const QString& decoderNumber, int port, int state)
{
    if (!sysDataOK(this))
        return;
    // Read under the field's own rule, which sysDataOK has just passed: whatever it accepted goes out.
    const auto decoder = checkedNumber(decoderNumber, QString::fromLatin1(AccessoryPanel::DecoderRule));
    const auto controller = controllerNumber();
    if (!decoder || !controller)
        return;
    transact(Request::switchAccessory(*controller, static_cast<quint16>(*decoder), static_cast<quint8>(port),
                                      state == 1));
}

void krTaktora::Toolbar1_ButtonClick(QAction* button)
{
    // The buttons reach their operations directly; this serves a button by its key.
    const QString key = button->objectName();
    const struct
    {
        const char* key;
        void (krTaktora::*operation)();
    } operations[] = {
        {"btnClose", &krTaktora::closeFromToolbar},        {"btnInfo", &krTaktora::showInfo},
        {"btnOptions", &krTaktora::showOptions},           {"btnHelp", &krTaktora::openManual},
        {"btnMonitor", &krTaktora::showTrafficMonitor},    {"btnPhones", &krTaktora::showPhoneThrottles},
        {"btnDecoderSheet", &krTaktora::openDecoderSheet}, {"btnRoster", &krTaktora::openRoster},
        {"btnTurnouts", &krTaktora::openTurnouts},
    };
    for (const auto& o : operations) {
        if (key.compare(QLatin1String(o.key), Qt::CaseInsensitive) == 0)
            return (this->*o.operation)();
    }
    notBuiltYet();
}

void krTaktora::closeFromToolbar()
{
    close();
}

void krTaktora::showInfo()
{
    krInfo::showModal(this);
}

void krTaktora::showOptions()
{
    krOptions options(m_line->link(), this);
    options.exec();
    m_lblStatus->clear();
    hideOperatingControls();
    m_cmdControllerSettings->setEnabled(false);
    setStatus(QStringLiteral("Nach Änderung der Einstellungen bitte Controller erneut prüfen"),
              Dashboard::Red);
    Form_Activate();
}

void krTaktora::cmdControllerSettings_Click()
{
    const auto controller = controllerForWindow();
    if (!controller)
        return;
    krControllerSettingsDD dialog(m_line->link(), this);
    dialog.setControllerID(*controller);
    dialog.setAllowHWNotstop(false);
    dialog.exec();
}

void krTaktora::openDecoderSheet()
{
    // The programming track belongs to a checked Controller, as the loco list's does.
    if (m_controllerFrame->isHidden()) {
        MessageBox::warning(this, Line::checkFirstText());
        return;
    }
    const auto controller = controllerForWindow();
    if (!controller)
        return;
    krDecoderSheet sheet(m_line->link(), this);
    sheet.setControllerID(*controller);
    sheet.setRoster(m_roster);
    sheet.exec();
    // The sheet leaves the track switched off; show what the Controller reports now.
    ReadLoadCircuitState();
}

void krTaktora::openRoster()
{
    // The Controller's configured locos are offered once it is checked; the roster works without.
    krRoster window(*m_roster, [this]() {
        QList<int> numbers;
        const auto controller = controllerNumber();
        if (m_controllerFrame->isHidden() || !controller)
            return numbers;
        for (const LocoEntryRecord& entry : readLocoEntries(*m_line, *controller, 2, true).entries)
            numbers << entry.number;
        return numbers;
    });
    if (!m_rosterProblems.isEmpty()) {
        MessageBox::warning(this, QStringLiteral("Nicht alles im Lok-Roster war lesbar:\n\n") +
                                      m_rosterProblems.join(QLatin1Char('\n')));
        m_rosterProblems.clear();
    }
    window.exec();
}

void krTaktora::openTurnouts()
{
    // Beside the dashboard, so a route is set while the locos run; made once.
    if (!m_turnoutWindow) {
        m_turnoutWindow = new krTurnouts(*m_turnouts, m_line->link(), this);
    }
    if (!m_turnoutProblems.isEmpty()) {
        MessageBox::warning(this, QStringLiteral("Nicht alles in der Weichentabelle war lesbar:\n\n") +
                                      std::exchange(m_turnoutProblems, {}).join(QLatin1Char('\n')));
    }
    m_turnoutWindow->show();
    m_turnoutWindow->raise();
    m_turnoutWindow->activateWindow();
}

std::optional<quint8> krTaktora::controllerForWindow()
{
    // The field may have changed since the check: a window opens only for a number the check
    // would take, so no window ever addresses a Controller the user did not mean.
    const auto controller = Dashboard::checkableController(m_txtControllerNr->text());
    if (!controller)
        MessageBox::warning(this, Dashboard::refusedControllerText(m_txtControllerNr->text()));
    return controller;
}

void krTaktora::showTrafficMonitor()
{
    // One monitor beside the dashboard, kept with its frames while the program runs.
    if (!m_monitor)
        m_monitor = new krTrafficMonitor(m_line->link(), this);
    m_monitor->show();
    m_monitor->raise();
    m_monitor->activateWindow();
}

void krTaktora::notBuiltYet()
{
    MessageBox::show(this, QMessageBox::NoIcon, QString(), QStringLiteral("Auswahl noch nicht implementiert"),
                     QMessageBox::Ok);
}

void krTaktora::setDocumentOpener(std::function<bool(const QString&)> opener)
{
    m_openDocument = std::move(opener);
}

void krTaktora::openManual()
{
    const QString path = Dashboard::findManual(QCoreApplication::applicationDirPath());
    if (path.isEmpty())
        ShowErrorReport(QStringLiteral("Handbuch nicht vorhanden."), QString());
    else if (!m_openDocument(path))
        manualNotOpened(path);
}

void krTaktora::manualNotOpened(const QString& path)
{
    // Without a viewer for PDF files nothing would happen at all: say where the manual is.
    MessageBox::warning(this, Dashboard::manualNotOpenedText(QDir::toNativeSeparators(path)));
}

bool krTaktora::openWithViewer(const QString& path)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // Qt's own call only tells whether xdg-open started; its exit status tells whether it found
    // a viewer. It may wait for the viewer to close, so the answer comes later.
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!xdgOpen.isEmpty()) {
        auto* opener = new QProcess(this);
        opener->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        connect(opener, &QProcess::finished, this,
                [this, opener, path](int code, QProcess::ExitStatus status) {
                    opener->deleteLater();
                    if (status != QProcess::NormalExit || code != 0)
                        manualNotOpened(path);
                });
        connect(opener, &QProcess::errorOccurred, this, [this, opener, path](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart)
                return;
            opener->deleteLater();
            manualNotOpened(path);
        });
        opener->start(xdgOpen, {path});
        return true;
    }
#endif
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool krTaktora::Form_QueryUnload()
{
    if (!sysDataOK(this))
        return false;
    if (ReadLoadCircuitState()) {
        const auto answer =
            MessageBox::question(this, QStringLiteral("Laststromkreis ist noch aufgeregelt.\n\nAbregeln ?"));
        if (answer == QMessageBox::Yes)
            btnLoadCircuit_Click();
    }
    for (int i = 0; i < ThrottleCount; ++i)
        WriteSetting(Dashboard::panelSettingKey(kSliderPrefix, i),
                     m_throttles[i]->locoNumberBox()->currentText(), QLatin1String(Settings::Section));
    for (int i = 0; i < AccessoryPanelCount; ++i)
        WriteSetting(Dashboard::panelSettingKey(kAccessoryPrefix, i),
                     m_accessories[i]->decoderField()->text(), QLatin1String(Settings::Section));
    return true;
}

void krTaktora::closeEvent(QCloseEvent* event)
{
    if (!Form_QueryUnload()) {
        event->ignore();
        return;
    }
    event->accept();
    if (m_runsStandalone)
        QCoreApplication::quit(); // ends the program, whatever else is open
}
