// SPDX-License-Identifier: GPL-3.0-or-later
#include "krDecoderSheet.h"

#include "CommandSet.h"
#include "FileDialogs.h"
#include "krTaktoraTools.h"
#include "LineClient.h"
#include "MessageBox.h"
#include "ProgrammingRules.h"
#include "ProgrammingWidgets.h"
#include "Roster.h"
#include "SheetModel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

using namespace Sheet;

namespace {

const QString kCaption = QStringLiteral("Decoder-Datenblatt");
constexpr int kShowBusyAfterMs = 100;
const QAbstractItemView::EditTriggers kEditTriggers =
    QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed;
const QString kFilter = QStringLiteral("Decoder-Datenblatt (*.csv)");
// What phones are told while the sheet holds the line.
const QString kHoldReason = QStringLiteral("das Decoder-Datenblatt ist am PC geöffnet");

// Green when everything worked, red when something needs a look.
QColor outcomeColour(bool attention)
{
    return attention ? Programming::Red : Programming::Green;
}

} // namespace

krDecoderSheet::krDecoderSheet(ControllerLink& link, QWidget* parent)
    : QDialog(parent), m_line(new LineClient(link, kCaption, LineClient::Kind::Screen, this)),
      m_track(*m_line), m_events(link.clock())
{
    setObjectName(QStringLiteral("krDecoderSheet"));
    setWindowTitle(kCaption);
    m_chooseFile = [this](FileAction action) {
        if (action == FileAction::Save)
            return FileDialogs::askSave(this, Settings::DecoderSheetFolder,
                                        QStringLiteral("Datenblatt speichern"), kFilter,
                                        suggestedFileName(rows()));
        return FileDialogs::askOpen(this, Settings::DecoderSheetFolder,
                                    action == FileAction::Load ? QStringLiteral("Datenblatt laden")
                                                               : QStringLiteral("Vergleichen mit"),
                                    kFilter);
    };
    buildControls();
    m_model->setRows(defaultRows());
    m_showBusy = new QTimer(this);
    m_showBusy->setSingleShot(true);
    m_showBusy->setInterval(kShowBusyAfterMs);
    connect(m_showBusy, &QTimer::timeout, this, [this] { showBusy(true); });
    // During a read or write the window takes its events at screen rate at most: on a decoder
    // that is after every exchange, on a fast line it keeps the window from costing more than
    // the exchanges themselves.
    m_track.afterExchange = [this] { m_events.take(); };
}

void krDecoderSheet::setControllerID(quint8 id)
{
    m_track.setController(id);
    setWindowTitle(kCaption + QStringLiteral(" (Controller ") + QString::number(id) + QLatin1Char(')'));
}

const QList<Row>& krDecoderSheet::rows() const
{
    return m_model->rows();
}

void krDecoderSheet::buildControls()
{
    m_model = new SheetModel(this);
    m_tblCVs = new QTableView(this);
    m_tblCVs->setObjectName(QStringLiteral("tblCVs"));
    m_tblCVs->setModel(m_model);
    m_tblCVs->verticalHeader()->hide();
    // Rows as tall as the text needs, so that the twelve standard CVs fit without scrolling.
    m_tblCVs->verticalHeader()->setDefaultSectionSize(m_tblCVs->fontMetrics().height() + 8);
    m_tblCVs->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tblCVs->setEditTriggers(kEditTriggers);
    QHeaderView* header = m_tblCVs->horizontalHeader();
    header->setSectionResizeMode(SheetModel::NameColumn, QHeaderView::Stretch);
    m_tblCVs->setColumnWidth(SheetModel::CvColumn, TwipsToPixels(750));
    m_tblCVs->setColumnWidth(SheetModel::ValueColumn, TwipsToPixels(900));
    m_tblCVs->setColumnWidth(SheetModel::StatusColumn, TwipsToPixels(1500));

    m_txtCVs = new QLineEdit(this);
    m_txtCVs->setObjectName(QStringLiteral("txtCVs"));
    m_txtCVs->setPlaceholderText(QStringLiteral("CVs, z. B. 30-40"));
    m_txtCVs->setToolTip(QStringLiteral("Einzelne CVs oder Bereiche von 1 bis 1023, durch Kommas getrennt"));
    m_cmdAddCVs = NamedButton(QStringLiteral("cmdAddCVs"), QStringLiteral("&Hinzufügen"), this);
    m_cmdRemoveCVs = NamedButton(QStringLiteral("cmdRemoveCVs"), QStringLiteral("Zeilen &entfernen"), this);
    auto* editRow = new QHBoxLayout;
    editRow->addWidget(m_txtCVs, 1);
    editRow->addWidget(m_cmdAddCVs);
    editRow->addSpacing(12);
    editRow->addWidget(m_cmdRemoveCVs);

    // The programming tab's bar: it changes at most at screen rate.
    m_sspProgressPanel = new ProgressPanel(m_line->link().clock(), this);
    m_sspProgressPanel->setObjectName(QStringLiteral("sspProgressPanel"));
    m_sspProgressPanel->setMinimumHeight(TwipsToPixels(315));
    m_lblTimeLeft = new QLabel(this);
    m_lblTimeLeft->setObjectName(QStringLiteral("lblTimeLeft"));
    // A fixed size: a new text then repaints the label without laying out the window again.
    m_lblTimeLeft->setFixedSize(TwipsToPixels(2600), TwipsToPixels(315));
    m_cmdBreak = NamedButton(QStringLiteral("cmdBreak"), QStringLiteral("Abbruch"), this);
    m_cmdBreak->setEnabled(false);
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(m_sspProgressPanel, 1);
    progressRow->addWidget(m_lblTimeLeft);
    progressRow->addWidget(m_cmdBreak);

    m_lblStatus = new QLabel(QStringLiteral("Zum Lesen den Decoder auf das Programmiergleis stellen"), this);
    m_lblStatus->setObjectName(QStringLiteral("lblStatus"));
    m_lblStatus->setWordWrap(true);

    m_cmdReadAll = NamedButton(QStringLiteral("cmdReadAll"), QStringLiteral("&Alle lesen"), this);
    m_cmdWriteChanged =
        NamedButton(QStringLiteral("cmdWriteChanged"), QStringLiteral("&Geänderte schreiben"), this);
    m_cmdLoad = NamedButton(QStringLiteral("cmdLoad"), QStringLiteral("&Laden ..."), this);
    m_cmdSave = NamedButton(QStringLiteral("cmdSave"), QStringLiteral("&Speichern ..."), this);
    m_cmdCompare = NamedButton(QStringLiteral("cmdCompare"), QStringLiteral("&Vergleichen ..."), this);
    m_cmdToRoster = NamedButton(QStringLiteral("cmdToRoster"), QStringLiteral("In Roster übernehmen"), this);
    m_cmdFromRoster =
        NamedButton(QStringLiteral("cmdFromRoster"), QStringLiteral("Aus Roster laden ..."), this);
    m_cmdToRoster->hide();
    m_cmdFromRoster->hide();
    auto* cmdClose = NamedButton(QStringLiteral("cmdClose"), QStringLiteral("Schließen"), this);
    auto* buttonRow = new QHBoxLayout;
    for (QPushButton* b : {m_cmdReadAll, m_cmdWriteChanged})
        buttonRow->addWidget(b);
    buttonRow->addStretch(1);
    for (QPushButton* b : {m_cmdToRoster, m_cmdFromRoster, m_cmdLoad, m_cmdSave, m_cmdCompare})
        buttonRow->addWidget(b);
    buttonRow->addSpacing(12);
    buttonRow->addWidget(cmdClose);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(editRow);
    layout->addWidget(m_tblCVs, 1);
    layout->addLayout(progressRow);
    layout->addWidget(m_lblStatus);
    layout->addLayout(buttonRow);
    resize(TwipsToPixels(8400), TwipsToPixels(6900));
    m_cmdReadAll->setFocus();

    connect(m_cmdAddCVs, &QPushButton::clicked, this, &krDecoderSheet::cmdAddCVs_Click);
    connect(m_txtCVs, &QLineEdit::returnPressed, this, &krDecoderSheet::cmdAddCVs_Click);
    connect(m_cmdRemoveCVs, &QPushButton::clicked, this, &krDecoderSheet::cmdRemoveCVs_Click);
    connect(m_cmdReadAll, &QPushButton::clicked, this, &krDecoderSheet::cmdReadAll_Click);
    connect(m_cmdWriteChanged, &QPushButton::clicked, this, &krDecoderSheet::cmdWriteChanged_Click);
    connect(m_cmdSave, &QPushButton::clicked, this, &krDecoderSheet::cmdSave_Click);
    connect(m_cmdLoad, &QPushButton::clicked, this, &krDecoderSheet::cmdLoad_Click);
    connect(m_cmdCompare, &QPushButton::clicked, this, &krDecoderSheet::cmdCompare_Click);
    connect(m_cmdToRoster, &QPushButton::clicked, this, &krDecoderSheet::cmdToRoster_Click);
    connect(m_cmdFromRoster, &QPushButton::clicked, this, &krDecoderSheet::cmdFromRoster_Click);
    connect(m_cmdBreak, &QPushButton::clicked, this, &krDecoderSheet::cmdBreak_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
}

void krDecoderSheet::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_firstShow) {
        m_firstShow = false;
        // From before the first frame to after the last: the track-off on closing.
        m_line->holdExclusive(kHoldReason, true);
        CenterWindow(this);
        // Silent and unchecked, as the loco list does it: a missing Controller only delays.
        QMetaObject::invokeMethod(this, &krDecoderSheet::switchTrackOff, Qt::QueuedConnection);
    }
}

void krDecoderSheet::switchTrackOff()
{
    m_track.switchProgrammingMode(false);
}

void krDecoderSheet::done(int result)
{
    if (m_busy)
        return;
    switchTrackOff();
    m_line->releaseExclusive();
    QDialog::done(result);
}

void krDecoderSheet::setBusy(bool busy)
{
    m_busy = busy;
    if (busy) {
        m_track.clearCancel();
        m_timeLeftMs.reset();
        m_lblTimeLeft->setText(timeLeftText(std::nullopt));
        m_sspProgressPanel->setPercent(0.0);
        // The buttons turn grey only when the work lasts: a read on a fast line is over before
        // anyone could see it, and the buttons do nothing meanwhile anyway.
        m_showBusy->start();
    } else {
        m_showBusy->stop();
        if (m_busyShown)
            showBusy(false);
    }
}

void krDecoderSheet::showBusy(bool busy)
{
    m_busyShown = busy;
    for (QWidget* w : std::initializer_list<QWidget*>{m_txtCVs, m_cmdAddCVs, m_cmdRemoveCVs, m_cmdReadAll,
                                                      m_cmdWriteChanged, m_cmdSave, m_cmdLoad, m_cmdCompare,
                                                      m_cmdToRoster, m_cmdFromRoster})
        w->setEnabled(!busy);
    m_tblCVs->setEditTriggers(busy ? QAbstractItemView::NoEditTriggers : kEditTriggers);
    m_cmdBreak->setEnabled(busy);
}

void krDecoderSheet::setSummary(const QString& text, const QColor& colour)
{
    ShowStatusText(m_lblStatus, text, colour);
}

void krDecoderSheet::showProgress(int done, double withinCv, int total)
{
    m_sspProgressPanel->setPercent(total > 0 ? 100.0 * (done + withinCv) / total : 0.0);
}

void krDecoderSheet::cmdReadAll_Click()
{
    if (m_busy || !LineChecked(*m_line, this))
        return;
    if (const auto question = readOverUnwrittenQuestion(m_model->rows()))
        if (MessageBox::question(this, *question) != QMessageBox::Yes)
            return;
    m_model->forgetValues();
    const int total = int(m_model->rows().size());
    setBusy(true);
    setSummary(QStringLiteral("Lesen ..."), Programming::Blue);
    int current = 0;
    m_track.onProgress = [this, &current, total](double percent) {
        showProgress(current, percent / 100.0, total);
    };
    // One read of many CVs: only stops go out between its exchanges.
    const LineClient::Batch batch(*m_line);
    m_track.switchProgrammingMode(true);
    bool lineLost = m_track.lineLost();
    if (!lineLost)
        WaitSeconds(m_settleSeconds);
    QElapsedTimer elapsed;
    elapsed.start();
    int read = 0;
    int failed = 0;
    bool cancelled = false;
    for (; current < total && !lineLost; ++current) {
        // The row just read, a click on "Abbruch".
        m_events.take();
        if (m_track.cancelRequested()) {
            cancelled = true;
            break;
        }
        Row row = m_model->rows().at(current);
        const int result = m_track.readCv(static_cast<quint16>(row.cv));
        if (result == Programming::Cancelled) {
            cancelled = true;
            break;
        }
        if (result == Programming::NotFound) {
            row.status = Status::Failed;
            ++failed;
        } else {
            row.value = result;
            row.status = Status::Read;
            ++read;
        }
        m_model->setRow(current, row);
        lineLost = result == Programming::NotFound && m_track.lineLost();
        showProgress(current + 1, 0.0, total);
        m_timeLeftMs = timeLeftMs(elapsed.elapsed(), current + 1, total - current - 1);
        m_lblTimeLeft->setText(timeLeftText(m_timeLeftMs));
    }
    if (!lineLost)
        m_track.switchProgrammingMode(false);
    m_track.onProgress = nullptr;
    setBusy(false);
    m_lblTimeLeft->setText(durationText(elapsed.elapsed()));
    cancelled = cancelled || lineLost;
    setSummary(readSummary(read, failed, total, cancelled), outcomeColour(cancelled || failed > 0));
}

void krDecoderSheet::cmdWriteChanged_Click()
{
    if (m_busy)
        return;
    const WritePlan plan = writePlan(m_model->rows());
    if (plan.rows.isEmpty()) {
        setSummary(writeSummary(0, 0, plan.leftReadOnly), outcomeColour(!plan.leftReadOnly.isEmpty()));
        return;
    }
    if (!LineChecked(*m_line, this))
        return;
    const QString question =
        QStringLiteral("Möchten Sie %1 auf den Decoder schreiben ?")
            .arg(plan.rows.size() == 1 ? QStringLiteral("1 geänderte CV")
                                       : QStringLiteral("%1 geänderte CVs").arg(plan.rows.size()));
    if (MessageBox::question(this, question) != QMessageBox::Yes)
        return;
    setBusy(true);
    setSummary(QStringLiteral("Schreiben ..."), Programming::Blue);
    const LineClient::Batch batch(*m_line);
    m_track.switchProgrammingMode(true);
    bool lineLost = m_track.lineLost();
    if (!lineLost)
        WaitSeconds(m_settleSeconds);
    QElapsedTimer elapsed;
    elapsed.start();
    int written = 0;
    int failed = 0;
    bool cancelled = false;
    const int total = int(plan.rows.size());
    for (int done = 0; done < total && !lineLost; ++done) {
        m_events.take();
        if (m_track.cancelRequested()) {
            cancelled = true;
            break;
        }
        Row row = m_model->rows().at(plan.rows[done]);
        const quint8 c = m_track.controllerByte();
        const auto cv = static_cast<quint16>(row.cv);
        const auto value = static_cast<quint8>(*row.value);
        // Written only counts once the decoder confirms the value in a verify.
        const bool ok = m_track.program(Request::cvByte(c, Command::WriteCvByte, cv, value)) &&
                        m_track.program(Request::cvByte(c, Command::VerifyCvByte, cv, value));
        if (ok) {
            row.status = Status::Written;
            ++written;
        } else {
            row.status = Status::Failed; // the value stays, to be written again or saved
            ++failed;
        }
        m_model->setRow(plan.rows[done], row);
        lineLost = !ok && m_track.lineLost();
        showProgress(done + 1, 0.0, total);
        m_timeLeftMs = timeLeftMs(elapsed.elapsed(), done + 1, total - done - 1);
        m_lblTimeLeft->setText(timeLeftText(m_timeLeftMs));
    }
    if (!lineLost)
        m_track.switchProgrammingMode(false);
    setBusy(false);
    m_lblTimeLeft->setText(durationText(elapsed.elapsed()));
    cancelled = cancelled || lineLost;
    QString summary = writeSummary(written, failed, plan.leftReadOnly);
    if (cancelled)
        summary = QStringLiteral("Abgebrochen: ") + summary;
    setSummary(summary, outcomeColour(cancelled || failed > 0 || !plan.leftReadOnly.isEmpty()));
}

void krDecoderSheet::cmdSave_Click()
{
    if (m_busy)
        return;
    const QString path = m_chooseFile(FileAction::Save);
    if (path.isEmpty())
        return;
    if (const QString why = WriteWholeFile(path, toCsv(rows())); !why.isEmpty()) {
        MessageBox::warning(this, QStringLiteral("Die Datei ") + QDir::toNativeSeparators(path) +
                                      QStringLiteral(" konnte nicht geschrieben werden:\n\n") + why);
        return;
    }
    setSummary(QStringLiteral("Gespeichert in ") + QFileInfo(path).fileName(), Programming::Green);
}

std::optional<QList<Row>> krDecoderSheet::readFile(FileAction action, QString& fileName)
{
    const QString path = m_chooseFile(action);
    if (path.isEmpty())
        return std::nullopt;
    fileName = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        MessageBox::warning(this, QStringLiteral("Die Datei ") + path +
                                      QStringLiteral(" konnte nicht gelesen werden."));
        return std::nullopt;
    }
    const CsvReading reading = parseCsv(file.readAll());
    if (reading.badLine > 0) {
        MessageBox::warning(
            this, QStringLiteral("Die Datei ") + fileName +
                      QStringLiteral(" ist kein gültiges Datenblatt und wurde nicht übernommen.\n\n") +
                      reading.error);
        return std::nullopt;
    }
    return reading.rows;
}

void krDecoderSheet::cmdLoad_Click()
{
    if (m_busy)
        return;
    QString name;
    const auto loaded = readFile(FileAction::Load, name);
    if (!loaded)
        return;
    m_model->setOther(std::nullopt);
    m_model->setRows(rowsToRestore(*loaded));
    setSummary(QStringLiteral("%1 aus %2 geladen; \"Geänderte schreiben\" überträgt sie auf den Decoder")
                   .arg(cvCount(int(loaded->size())), name),
               palette().color(QPalette::WindowText));
}

void krDecoderSheet::setRoster(LocoRoster* roster)
{
    m_roster = roster;
    m_cmdToRoster->setVisible(roster);
    m_cmdFromRoster->setVisible(roster);
    if (!m_chooseEntry)
        m_chooseEntry = [this](const QStringList& names) {
            bool ok = false;
            const QString name = QInputDialog::getItem(this, QStringLiteral("Aus Roster laden"),
                                                       QStringLiteral("Lok:"), names, 0, false, &ok);
            return ok ? name : QString();
        };
}

void krDecoderSheet::cmdToRoster_Click()
{
    if (m_busy || !m_roster)
        return;
    // The loco is the one the read CVs name, so a sheet cannot land on another loco's entry.
    const QList<QPair<int, int>> values = decoderValues(rows());
    const auto address = locoAddress(rows());
    if (values.isEmpty() || !address || !Roster::isValidNumber(*address)) {
        setSummary(QStringLiteral("Erst die CVs lesen: die Lokadresse (CV 1, oder CV 17, 18 und 29) fehlt"),
                   Programming::Red);
        return;
    }
    QList<Roster::Entry> entries = m_roster->entries();
    auto entry = std::find_if(entries.begin(), entries.end(),
                              [&](const Roster::Entry& e) { return e.number == *address; });
    if (entry == entries.end()) {
        entries.append(Roster::newEntry(*address, entries));
        entry = entries.end() - 1;
    }
    Roster::setPlainCvs(*entry, values);
    const QString name = entry->id;
    const QString error = m_roster->save(entries);
    if (!error.isEmpty()) {
        MessageBox::warning(this, error);
        return;
    }
    setSummary(QStringLiteral("%1 in den Roster übernommen (\"%2\")").arg(cvCount(int(values.size())), name),
               Programming::Green);
}

void krDecoderSheet::cmdFromRoster_Click()
{
    if (m_busy || !m_roster)
        return;
    QStringList names;
    for (const Roster::Entry& e : m_roster->entries())
        if (!Roster::plainCvs(e).isEmpty())
            names << e.id;
    if (names.isEmpty()) {
        setSummary(QStringLiteral("Kein Eintrag im Roster hat CV-Werte"),
                   palette().color(QPalette::WindowText));
        return;
    }
    const QString name = m_chooseEntry(names);
    const Roster::Entry* entry = Roster::entryForName(m_roster->entries(), name);
    if (!entry)
        return;
    const QList<Row> loaded = rowsFromValues(Roster::plainCvs(*entry));
    m_model->setOther(std::nullopt);
    m_model->setRows(rowsToRestore(loaded));
    setSummary(
        QStringLiteral("%1 aus dem Roster (\"%2\") geladen; \"Geänderte schreiben\" überträgt sie auf den "
                       "Decoder")
            .arg(cvCount(int(loaded.size())), entry->id),
        palette().color(QPalette::WindowText));
}

void krDecoderSheet::cmdCompare_Click()
{
    if (m_busy)
        return;
    QString name;
    const auto other = readFile(FileAction::Compare, name);
    if (!other)
        return;
    m_model->setOther(*other);
    const int differing = int(differingCvs(rows(), *other).size());
    setSummary(compareSummary(differing, name), palette().color(QPalette::WindowText));
}

void krDecoderSheet::cmdAddCVs_Click()
{
    if (m_busy)
        return;
    QString error;
    const auto cvs = parseCvSelection(m_txtCVs->text(), error);
    if (!cvs) {
        MessageBox::warning(this, error);
        return;
    }
    m_model->setRows(withCvs(rows(), *cvs));
    m_txtCVs->clear();
}

void krDecoderSheet::cmdRemoveCVs_Click()
{
    if (m_busy)
        return;
    QList<int> indexes;
    for (const QModelIndex& index : m_tblCVs->selectionModel()->selectedRows())
        indexes.append(index.row());
    m_model->removeRowsAt(indexes);
}
