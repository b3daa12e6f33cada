// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include <functional>

class FunctionModel;
class LocoRoster;
class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class RosterModel;

// The loco roster window: the user's locos with names, addresses and notes, and for the chosen
// loco its function labels and which functions are push buttons. Every edit is saved at once;
// JMRI rosters come in and go out through the import and the export.
class krRoster : public QDialog
{
    Q_OBJECT

public:
    enum class FileAction { Import, Export };
    using FileChooser = std::function<QString(FileAction)>;
    // The Controller's configured loco numbers, read when the window opens; empty without one.
    using ConfiguredLocos = std::function<QList<int>()>;

    krRoster(LocoRoster& roster, ConfiguredLocos configured, QWidget* parent = nullptr);

    RosterModel* model() const { return m_model; }
    FunctionModel* functionModel() const { return m_functions; }
    QTableView* table() const { return m_tblRoster; }
    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }

    // What the buttons run.
    void cmdAdd_Click();
    void cmdRemove_Click();
    void cmdImport_Click();
    void cmdExport_Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refreshOffers();
    void select(int row);
    void setStatus(const QString& text, bool good);

    LocoRoster& m_roster;
    ConfiguredLocos m_configured;
    QList<int> m_configuredNumbers;
    FileChooser m_chooseFile;
    RosterModel* m_model;
    FunctionModel* m_functions;
    QTableView* m_tblRoster;
    QTableView* m_tblFunctions;
    QComboBox* m_cboOffered;
    QPushButton* m_cmdAdd;
    QPushButton* m_cmdRemove;
    QPushButton* m_cmdImport;
    QPushButton* m_cmdExport;
    QLabel* m_lblStatus;
};
