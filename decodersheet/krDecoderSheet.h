// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "krTaktoraTools.h"
#include "ProgrammingTrack.h"
#include "SheetRules.h"

#include <QDialog>

#include <functional>
#include <optional>

class ControllerLink;
class LineClient;
class LocoRoster;
class QColor;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;
class ProgressPanel;
class SheetModel;

// The decoder sheet: every CV that matters of the decoder on the programming track in one table,
// read with the programming tab's own CV read, written and verified row by row, kept as a CSV
// file, loaded again and compared with a second loco's sheet. Opened modally from the dashboard
// for one Controller; opening and closing switch the track off, and the track is in programming
// mode only while the sheet reads or writes. While it is open the line is its own, the track
// switched off: other sources' frames wait or are refused, stops excepted.
class krDecoderSheet : public QDialog
{
    Q_OBJECT

public:
    enum class FileAction { Save, Load, Compare };
    using FileChooser = std::function<QString(FileAction)>;

    explicit krDecoderSheet(ControllerLink& link, QWidget* parent = nullptr);

    // Set by the opener before the window is shown.
    void setControllerID(quint8 id);
    const QList<Sheet::Row>& rows() const;
    SheetModel* model() const { return m_model; }

    // What the buttons run.
    void cmdReadAll_Click();
    void cmdWriteChanged_Click();
    void cmdSave_Click();
    void cmdLoad_Click();
    void cmdCompare_Click();
    void cmdAddCVs_Click();
    void cmdRemoveCVs_Click();
    void cmdBreak_Click() { m_track.requestCancel(); }

    // The loco roster the sheet's CVs go to and come from; without one its buttons stay hidden.
    // The chooser picks a loco by name from those given, empty when the user cancels.
    using EntryChooser = std::function<QString(const QStringList& names)>;
    void setRoster(LocoRoster* roster);
    void setEntryChooser(EntryChooser chooser) { m_chooseEntry = std::move(chooser); }
    void cmdToRoster_Click();
    void cmdFromRoster_Click();

    // The file dialogs; tests and scripts give their own.
    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }
    // The pause after programming mode is switched on, so that the decoder has power before the
    // first exchange; one second on the track.
    void setSettleWait(double seconds) { m_settleSeconds = seconds; }
    // The estimate behind lblTimeLeft, once the first CV is done.
    std::optional<qint64> timeLeftEstimateMs() const { return m_timeLeftMs; }
    bool isBusy() const { return m_busy; }
    // The sheet's source on the line, which holds it while the sheet is open.
    LineClient& line() const { return *m_line; }

public slots:
    void done(int result) override; // refused while the sheet reads or writes

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void switchTrackOff();
    void setBusy(bool busy);
    void showBusy(bool busy);
    void setSummary(const QString& text, const QColor& colour);
    void showProgress(int done, double withinCv, int total);
    std::optional<QList<Sheet::Row>> readFile(FileAction action, QString& fileName);

    LineClient* m_line;
    ProgrammingTrack m_track;
    bool m_firstShow = true;
    bool m_busy = false;
    bool m_busyShown = false;
    QTimer* m_showBusy = nullptr;
    double m_settleSeconds = 1.0;
    std::optional<qint64> m_timeLeftMs;
    ScreenRateEvents m_events;
    FileChooser m_chooseFile;
    LocoRoster* m_roster = nullptr;
    EntryChooser m_chooseEntry;
    QPushButton* m_cmdToRoster = nullptr;
    QPushButton* m_cmdFromRoster = nullptr;

    SheetModel* m_model = nullptr;
    QTableView* m_tblCVs = nullptr;
    QLineEdit* m_txtCVs = nullptr;
    QPushButton* m_cmdAddCVs = nullptr;
    QPushButton* m_cmdRemoveCVs = nullptr;
    QPushButton* m_cmdReadAll = nullptr;
    QPushButton* m_cmdWriteChanged = nullptr;
    QPushButton* m_cmdSave = nullptr;
    QPushButton* m_cmdLoad = nullptr;
    QPushButton* m_cmdCompare = nullptr;
    QPushButton* m_cmdBreak = nullptr;
    ProgressPanel* m_sspProgressPanel = nullptr;
    QLabel* m_lblTimeLeft = nullptr;
    QLabel* m_lblStatus = nullptr;
};
