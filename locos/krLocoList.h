// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Frame.h"
#include "LocoConfiguration.h"
#include "LocoTransfer.h"
#include "ProgrammingChannel.h"

#include <QDialog>

class ProgrammingTab;
class QAction;
class QTabWidget;
class QToolBar;
class LocoTreeModel;
class QModelIndex;
class QTreeView;

// The loco list window: the Controller's loco configuration as a tree with a toolbar that adds,
// deletes and changes entries and restarts the Controller, and the programming tab. Opened
// modally from the dashboard for one Controller; each opening reads the configuration anew and
// each opening and closing switches the track off.
class krLocoList : public QDialog, public LocoListChannel, public ProgrammingChannel
{
    Q_OBJECT

public:
    explicit krLocoList(QWidget* parent = nullptr);

    // Set by the opener before the window is shown: a number that fits the frame.
    void setControllerID(quint8 id) { m_controllerId = id; }
    quint8 controllerID() const { return m_controllerId; }

    const LocoConfiguration& configuration() const { return m_locoConfiguration; }

    // Operations of the window, as its controls run them.
    void Form_Activate();
    void ReadLocoList();
    void FillLocoTree();
    void StoreLocoEntry(quint16 locoNumber, quint8 speedStepCode);
    void AddLoco();
    void DeleteSelectedLoco();
    void ChangeSpeedSteps(const QString& buttonKey);
    void ActivateLocoConfig();
    void ConfigButtonsEnabled(bool controlsEnabled, bool activateConfig = false);
    void tlbLocoList_ButtonClick(QAction* button);
    void tvLocoList_NodeClick(const QModelIndex& node);
    // The programming side's shared facilities, kept by its tab.
    void ProgButtonsEnabled(bool controlsEnabled);
    void ShowStatusLamp(quint8 state);
    ProgrammingTab* programmingTab() const { return m_programmingTab; }

    // LocoListChannel and ProgrammingChannel: both work on the window's one frame.
    quint8 controllerByte() const override { return m_controllerId; }
    FrameFields& frame() override { return m_frame; }
    bool transact() override;
    bool transact(int attempts, bool showErrors) override;
    void storeLocoEntry(quint16 locoNumber, quint8 speedStepCode) override;
    void setConfigurationTabEnabled(bool enabled) override;
    QWidget* validationWindow() override { return this; }

public slots:
    void done(int result) override; // every way of closing comes here

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildConfigurationTab();
    void placeConfigurationControls();
    QAction* toolbarButton(const QString& key) const;
    int selectedLocoNumber() const;
    void afterWrite();
    void switchTrackOff();

    quint8 m_controllerId = 0;
    bool m_firstActivation = true;
    bool m_unloaded = false;
    LocoConfiguration m_locoConfiguration;
    FrameFields m_frame;

    QTabWidget* m_tabProgramming = nullptr;
    QWidget* m_configurationPage = nullptr;
    QTreeView* m_tvLocoList = nullptr;
    LocoTreeModel* m_locoTree = nullptr;
    QToolBar* m_tlbLocoList = nullptr;
    ProgrammingTab* m_programmingTab = nullptr;
};
