// SPDX-License-Identifier: GPL-3.0-or-later
#include "krLocoList.h"

#include "CommandSet.h"
#include "KeyNames.h"
#include "krTaktoraTools.h"
#include "LineClient.h"
#include "LineReady.h"
#include "LocoRules.h"
#include "LocoToolbarIcons.h"
#include "LocoTransfer.h"
#include "LocoTree.h"
#include "MessageBox.h"
#include "NumberReader.h"
#include "ProgrammingTab.h"
#include "sysInput.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QResizeEvent>
#include <QScopedValueRollback>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeView>

namespace {
// Window and control places in twips, as the window was designed.
constexpr int WindowWidth = 6750;
constexpr int WindowHeight = 5850;
constexpr int TabLeft = 120;
constexpr int TabTop = 120;
constexpr int TabWidth = 6255;
constexpr int TabBelowWindow = 795;   // window height minus tab height
constexpr int TreeBelowTab = 1080;    // tab height minus tree height
constexpr int ToolbarBelowTree = 150; // gap between tree and toolbar
constexpr int TreeLeft = 120;
constexpr int TreeTop = 480;
constexpr int TreeWidth = 6015;
constexpr int ToolbarHeight = 330;

constexpr int TrackOffAttempts = 0; // that is 3
constexpr int TransactionTimeoutSeconds = 2;

// What phones are told while the window holds the line.
const QString kHoldReason = QStringLiteral("die Lok-Konfiguration ist am PC geöffnet");

const struct
{
    const char* key;
    const char* tip;
    QKeyCombination shortcut;
} kToolbarButtons[] = {
    {"btnActivateConfig", "Neue Lok-Einstellungen aktivieren", Qt::CTRL | Qt::Key_A},
    {"btnAdd", "Lokeintrag hinzufügen", QKeyCombination(Qt::Key_Insert)},
    {"btnDelete", "Lokeintrag löschen", QKeyCombination(Qt::Key_Delete)},
    {"btn14", "Lok auf 14 FS einstellen", Qt::CTRL | Qt::Key_1},
    {"btn28", "Lok auf 28 FS einstellen", Qt::CTRL | Qt::Key_2},
    {"btn126", "Lok auf 126 FS einstellen", Qt::CTRL | Qt::Key_3},
};

bool isKey(const QString& key, const char* name)
{
    return key.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

// The busy cursor for as long as the window works through the Controller's list.
class BusyCursor
{
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};
} // namespace

krLocoList::krLocoList(ControllerLink& link, QWidget* parent)
    : QDialog(parent),
      m_line(new LineClient(link, QStringLiteral("Lok-Konfiguration"), LineClient::Kind::Screen, this))
{
    setObjectName(QStringLiteral("krLocoList"));
    setWindowTitle(Locos::windowCaption());
    setModal(true);

    m_tabProgramming = new QTabWidget(this);
    m_tabProgramming->setObjectName(QStringLiteral("tabProgramming"));
    m_tabProgramming->addTab(buildConfigurationTab(), QStringLiteral("Lok-Konfiguration"));
    m_programmingTab = new ProgrammingTab(*m_line, m_tabProgramming);
    m_tabProgramming->addTab(m_programmingTab, QStringLiteral("Programmierung"));
    connect(m_programmingTab, &ProgrammingTab::storeLocoEntryRequested, this, &krLocoList::StoreLocoEntry);
    connect(m_programmingTab, &ProgrammingTab::progButtonsEnabledChanged, this,
            [this](bool enabled) { m_tabProgramming->setTabEnabled(0, enabled); });
    // The window opens with the focus on the tabs: their keys act there too, while the tree shows.
    const auto keysOnTabs = [this](int tab) {
        for (QAction* action : m_tlbLocoList->actions())
            if (!action->isSeparator()) {
                if (tab == 0)
                    m_tabProgramming->tabBar()->addAction(action);
                else
                    m_tabProgramming->tabBar()->removeAction(action);
            }
    };
    connect(m_tabProgramming, &QTabWidget::currentChanged, this, keysOnTabs);
    keysOnTabs(0);

    // Load: the window's client area is fixed in width and has a least height.
    setMinimumSize(TwipsToPixels(WindowWidth), TwipsToPixels(WindowHeight));
    setMaximumWidth(TwipsToPixels(WindowWidth));
    resize(TwipsToPixels(WindowWidth), TwipsToPixels(WindowHeight));
    m_tabProgramming->setCurrentIndex(0);
}

void krLocoList::setControllerID(quint8 id)
{
    m_controllerId = id;
    m_programmingTab->setControllerID(id);
}

QWidget* krLocoList::buildConfigurationTab()
{
    m_configurationPage = new QWidget(this);
    m_configurationPage->setObjectName(QStringLiteral("configurationPage"));
    m_configurationPage->installEventFilter(this);

    m_tvLocoList = new QTreeView(m_configurationPage);
    m_tvLocoList->setObjectName(QStringLiteral("tvLocoList"));
    m_locoTree = new LocoTreeModel(m_tvLocoList);
    m_tvLocoList->setModel(m_locoTree);
    m_tvLocoList->setHeaderHidden(true);
    m_tvLocoList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tvLocoList->setUniformRowHeights(true); // thousands of locos scroll without measuring each row
    m_tvLocoList->setRootIsDecorated(true);
    m_tvLocoList->setIndentation(TwipsToPixels(300));
    connect(m_tvLocoList, &QTreeView::clicked, this, &krLocoList::tvLocoList_NodeClick);
    // A node reached with the arrow keys counts as clicked, so that Delete has a loco to act on.
    // Not the node the tree chooses itself, when it is rebuilt or first takes the focus.
    connect(m_tvLocoList->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& node, const QModelIndex& previous) {
                if (!m_fillingTree && node.isValid() && previous.isValid() && m_tvLocoList->hasFocus())
                    tvLocoList_NodeClick(node);
            });

    m_tlbLocoList = new QToolBar(m_configurationPage);
    m_tlbLocoList->setObjectName(QStringLiteral("tlbLocoList"));
    m_tlbLocoList->setIconSize(QSize(LocoToolbarIconWidth, LocoToolbarIconHeight));
    m_tlbLocoList->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (const auto& b : kToolbarButtons) {
        const QString key = QString::fromLatin1(b.key);
        QAction* action = m_tlbLocoList->addAction(locoToolbarIcon(key), QString::fromUtf8(b.tip));
        action->setObjectName(key);
        // The keys act on the tree: in the programming tab's fields Delete and Insert edit text.
        action->setShortcut(QKeySequence(b.shortcut));
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        m_configurationPage->addAction(action);
        action->setToolTip(tipWithKey(QString::fromUtf8(b.tip), action->shortcut()));
        action->setEnabled(isKey(key, "btnAdd"));
        if (isKey(key, "btnActivateConfig") || isKey(key, "btnDelete"))
            m_tlbLocoList->addSeparator();
    }
    connect(m_tlbLocoList, &QToolBar::actionTriggered, this, &krLocoList::tlbLocoList_ButtonClick);
    return m_configurationPage;
}

bool krLocoList::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_configurationPage && event->type() == QEvent::Resize)
        placeConfigurationControls();
    return QDialog::eventFilter(watched, event);
}

void krLocoList::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))
        return;
    // The least height and the fixed width are the window's size constraints; the tab control
    // follows the height.
    m_tabProgramming->setGeometry(TwipsToPixels(TabLeft), TwipsToPixels(TabTop), TwipsToPixels(TabWidth),
                                  height() - TwipsToPixels(TabBelowWindow));
    placeConfigurationControls();
}

void krLocoList::placeConfigurationControls()
{
    // The tree and the toolbar are placed in the tab control's coordinates, as designed; the
    // page they live on starts below the tab row.
    const QPoint page = m_configurationPage->mapTo(m_tabProgramming, QPoint(0, 0));
    const int treeHeight = m_tabProgramming->height() - TwipsToPixels(TreeBelowTab);
    const int treeTop = TwipsToPixels(TreeTop);
    m_tvLocoList->setGeometry(TwipsToPixels(TreeLeft) - page.x(), treeTop - page.y(),
                              TwipsToPixels(TreeWidth), treeHeight);
    m_tlbLocoList->setGeometry(TwipsToPixels(TreeLeft) - page.x(),
                               treeTop + treeHeight + TwipsToPixels(ToolbarBelowTree) - page.y(),
                               TwipsToPixels(TreeWidth), TwipsToPixels(ToolbarHeight));
}

void krLocoList::showEvent(QShowEvent* event)
{
    KeepOnScreen(this); // placed over the main window by now; all of it must be on the screen
    // From before the first frame to after the last: the track-off on closing.
    if (!m_unloaded)
        m_line->holdExclusive(kHoldReason, true);
    QDialog::showEvent(event);
    // Not every platform activates a window that is shown; the first activation must run anyway.
    if (m_firstActivation)
        QMetaObject::invokeMethod(this, &krLocoList::Form_Activate, Qt::QueuedConnection);
}

void krLocoList::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
}

void krLocoList::Form_Activate()
{
    // Runs once per opening; the window becomes active again after every dialog it opens.
    if (!m_firstActivation || !isVisible())
        return;
    m_firstActivation = false;
    if (LineChecked(*m_line, this)) {
        ReadLocoList();
        FillLocoTree();
    }
    setWindowTitle(windowTitle() + QStringLiteral(" (Controller ") + QString::number(m_controllerId) +
                   QStringLiteral(")"));
    m_programmingTab->selectProgType(0);
    m_programmingTab->loadAutoConfigSetting();
    switchTrackOff();
}

void krLocoList::switchTrackOff()
{
    // Silent and unchecked: a missing Controller only delays the window.
    m_line->transact(Request::setTrackMode(m_controllerId, TrackMode::Off), TrackOffAttempts, false,
                     TransactionTimeoutSeconds);
}

void krLocoList::ProgButtonsEnabled(bool controlsEnabled)
{
    m_programmingTab->ProgButtonsEnabled(controlsEnabled);
}

void krLocoList::ShowStatusLamp(quint8 state)
{
    m_programmingTab->ShowStatusLamp(state);
}

void krLocoList::ReadLocoList()
{
    BusyCursor busy;
    // Paint only: user input waits until the list is read, so nothing starts meanwhile.
    ScreenRateEvents events(m_line->link().clock(), QEventLoop::ExcludeUserInputEvents);
    ::ReadLocoList(*m_line, m_controllerId, m_locoConfiguration, [&events] { events.take(); });
}

void krLocoList::FillLocoTree()
{
    BusyCursor busy;
    const QScopedValueRollback<bool> filling(m_fillingTree, true);
    ::FillLocoTree(*m_tvLocoList, *m_locoTree, m_locoConfiguration);
}

void krLocoList::StoreLocoEntry(quint16 locoNumber, quint8 speedStepCode)
{
    if (!Line::refused(WriteLocoEntry(*m_line, m_controllerId, locoNumber, speedStepCode)))
        afterWrite();
}

void krLocoList::afterWrite()
{
    // The list is never edited in place: it shows what the Controller holds after the change.
    WaitSeconds(1);
    // The wait lets the user close the window; a closed window reads nothing more.
    if (m_unloaded)
        return;
    ReadLocoList();
    FillLocoTree();
    ConfigButtonsEnabled(false, true);
}

void krLocoList::AddLoco()
{
    if (!LineChecked(*m_line, this))
        return;
    const QString text = ShowInputDialog(
        QStringLiteral("Lok-Nummer"), QStringLiteral("Welche Lok-Nummer soll angelegt werden ?"), QString(),
        QStringLiteral("Die Lok-Nummer,NUM,MIN=1,MAX=10239"), 5, this);
    if (text.isEmpty())
        return;
    // The dialog let only a number from 1 to 10239 through.
    const auto number = static_cast<quint16>(qRound(leadingNumber(text)));
    StoreLocoEntry(number, Locos::NewLocoSpeedStepCode);
}

int krLocoList::selectedLocoNumber() const
{
    return Locos::locoNumberOfNodeKey(nodeKey(m_tvLocoList->currentIndex()));
}

void krLocoList::DeleteSelectedLoco()
{
    const int number = selectedLocoNumber();
    if (number == 0 || !LineChecked(*m_line, this))
        return;
    if (MessageBox::question(this, Locos::deleteQuestion(number), Locos::locoQuestionTitle(number)) !=
        QMessageBox::Yes)
        return;
    StoreLocoEntry(static_cast<quint16>(number), LocoEntry::Remove);
}

void krLocoList::ChangeSpeedSteps(const QString& buttonKey)
{
    const QString steps = Locos::speedStepTextOfButton(buttonKey);
    const int number = selectedLocoNumber();
    if (number == 0 || !LineChecked(*m_line, this))
        return;
    if (MessageBox::question(this, Locos::speedStepQuestion(steps), Locos::locoQuestionTitle(number)) !=
        QMessageBox::Yes)
        return;
    StoreLocoEntry(static_cast<quint16>(number), Locos::speedStepCodeOfText(steps));
}

void krLocoList::ActivateLocoConfig()
{
    if (!LineChecked(*m_line, this))
        return;
    if (MessageBox::question(this, Locos::restartQuestion(), Locos::restartQuestionTitle()) !=
        QMessageBox::Yes)
        return;
    RestartController(*m_line, m_controllerId);
    toolbarButton(QStringLiteral("btnActivateConfig"))->setEnabled(false);
}

QAction* krLocoList::toolbarButton(const QString& key) const
{
    return m_tlbLocoList->findChild<QAction*>(key);
}

void krLocoList::ConfigButtonsEnabled(bool controlsEnabled, bool activateConfig)
{
    for (const char* key : {"btnDelete", "btn14", "btn28", "btn126"})
        toolbarButton(QString::fromLatin1(key))->setEnabled(controlsEnabled);
    // Enables the restart after a change, but a node click never takes it back.
    QAction* activate = toolbarButton(QStringLiteral("btnActivateConfig"));
    if (!activate->isEnabled())
        activate->setEnabled(activateConfig);
}

void krLocoList::tlbLocoList_ButtonClick(QAction* button)
{
    const QString key = button->objectName();
    if (isKey(key, "btnActivateConfig"))
        ActivateLocoConfig();
    else if (isKey(key, "btnAdd"))
        AddLoco();
    else if (isKey(key, "btnDelete"))
        DeleteSelectedLoco();
    else if (isKey(key, "btn14") || isKey(key, "btn28") || isKey(key, "btn126"))
        ChangeSpeedSteps(key);
    else
        MessageBox::show(this, QMessageBox::NoIcon, QString(), QStringLiteral("z.Z. noch ohne Funktion"),
                         QMessageBox::Ok);
}

void krLocoList::tvLocoList_NodeClick(const QModelIndex& node)
{
    Q_UNUSED(node)
    ConfigButtonsEnabled(true, false);
}

void krLocoList::done(int result)
{
    // The close box and Escape arrive here as well, so one refusal and one unload serve all:
    // while a programming-track operation runs, its waits included, the window stays.
    if (m_programmingTab->isBusy())
        return;
    if (!m_unloaded) {
        m_unloaded = true;
        m_locoConfiguration.clear();
        switchTrackOff();
        m_line->releaseExclusive();
    }
    QDialog::done(result);
}
