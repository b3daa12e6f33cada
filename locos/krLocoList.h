// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LocoConfiguration.h"

#include <QDialog>

class ControllerLink;
class LineClient;
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
// each opening and closing switches the track off. While it is open the line is its own, the
// track switched off: other sources' frames wait or are refused, stops excepted.
class krLocoList : public QDialog
{
    Q_OBJECT

public:
    explicit krLocoList(ControllerLink& link, QWidget* parent = nullptr);

    // Set by the opener before the window is shown: a number that fits the frame.
    void setControllerID(quint8 id);
    quint8 controllerID() const { return m_controllerId; }

    const LocoConfiguration& configuration() const { return m_locoConfiguration; }
    // The window's source on the line, which holds it while the window is open.
    LineClient& line() const { return *m_line; }

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

    LineClient* m_line;
    quint8 m_controllerId = 0;
    bool m_firstActivation = true;
    bool m_unloaded = false;
    bool m_fillingTree = false;
    LocoConfiguration m_locoConfiguration;

    QTabWidget* m_tabProgramming = nullptr;
    QWidget* m_configurationPage = nullptr;
    QTreeView* m_tvLocoList = nullptr;
    LocoTreeModel* m_locoTree = nullptr;
    QToolBar* m_tlbLocoList = nullptr;
    ProgrammingTab* m_programmingTab = nullptr;
};
