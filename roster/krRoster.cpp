// SPDX-License-Identifier: GPL-3.0-or-later
#include "krRoster.h"

#include "FileDialogs.h"
#include "krTaktoraTools.h"
#include "MessageBox.h"
#include "Roster.h"
#include "RosterModels.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString Filter = QStringLiteral("JMRI-Roster (roster.xml);;XML-Dateien (*.xml)");

QTableView* tableView(const QString& name, QAbstractItemModel* model, QWidget* parent)
{
    auto* view = new QTableView(parent);
    view->setObjectName(name);
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed);
    view->verticalHeader()->hide();
    view->horizontalHeader()->setStretchLastSection(true);
    return view;
}

} // namespace

krRoster::krRoster(LocoRoster& roster, ConfiguredLocos configured, QWidget* parent)
    : QDialog(parent), m_roster(roster), m_configured(std::move(configured))
{
    setObjectName(QStringLiteral("krRoster"));
    setWindowTitle(QStringLiteral("Lok-Roster"));
    m_model = new RosterModel(roster, this);
    m_functions = new FunctionModel(*m_model, roster, this);

    m_tblRoster = tableView(QStringLiteral("tblRoster"), m_model, this);
    m_tblFunctions = tableView(QStringLiteral("tblFunctions"), m_functions, this);
    m_tblRoster->resizeColumnsToContents();
    m_tblFunctions->setColumnWidth(FunctionModel::Key, 64);
    m_tblFunctions->setColumnWidth(FunctionModel::Label, 150);
    m_tblFunctions->verticalHeader()->setDefaultSectionSize(m_tblFunctions->fontMetrics().height() + 8);
    m_tblFunctions->setMinimumWidth(64 + 150 + 130);

    m_cboOffered = new QComboBox(this);
    m_cboOffered->setObjectName(QStringLiteral("cboOffered"));
    m_cboOffered->setToolTip(QStringLiteral("Loks des Controllers, die noch keinen Eintrag haben"));
    m_cmdAdd = NamedButton(QStringLiteral("cmdAdd"), QStringLiteral("&Hinzufügen"), this);
    m_cmdRemove = NamedButton(QStringLiteral("cmdRemove"), QStringLiteral("&Entfernen"), this);
    m_cmdImport =
        NamedButton(QStringLiteral("cmdImport"), QStringLiteral("JMRI-Roster &importieren ..."), this);
    m_cmdExport =
        NamedButton(QStringLiteral("cmdExport"), QStringLiteral("JMRI-Roster e&xportieren ..."), this);
    auto* close = NamedButton(QStringLiteral("cmdClose"), QStringLiteral("Schließen"), this);
    m_lblStatus = new QLabel(this);
    m_lblStatus->setObjectName(QStringLiteral("lblStatus"));
    m_lblStatus->setWordWrap(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(new QLabel(QStringLiteral("Lok:"), this));
    buttons->addWidget(m_cboOffered);
    buttons->addWidget(m_cmdAdd);
    buttons->addWidget(m_cmdRemove);
    buttons->addStretch();
    buttons->addWidget(m_cmdImport);
    buttons->addWidget(m_cmdExport);

    auto* functions = new QWidget(this);
    auto* functionsLayout = new QVBoxLayout(functions);
    functionsLayout->setContentsMargins(0, 0, 0, 0);
    functionsLayout->addWidget(new QLabel(QStringLiteral("Funktionen der gewählten Lok:"), functions));
    functionsLayout->addWidget(m_tblFunctions);
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(m_tblRoster);
    split->addWidget(functions);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_lblStatus, 1);
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(split, 1);
    layout->addLayout(bottom);
    resize(1080, 520);

    connect(m_cmdAdd, &QPushButton::clicked, this, &krRoster::cmdAdd_Click);
    connect(m_cmdRemove, &QPushButton::clicked, this, &krRoster::cmdRemove_Click);
    connect(m_cmdImport, &QPushButton::clicked, this, &krRoster::cmdImport_Click);
    connect(m_cmdExport, &QPushButton::clicked, this, &krRoster::cmdExport_Click);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_model, &RosterModel::refused, this,
            [this](const QString& reason) { setStatus(reason, false); });
    connect(m_model, &QAbstractItemModel::modelReset, this, &krRoster::refreshOffers);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &krRoster::refreshOffers);
    connect(m_tblRoster->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                m_functions->setRow(current.row());
                m_cmdRemove->setEnabled(current.isValid());
            });
    m_cmdRemove->setEnabled(false);

    m_chooseFile = [this](FileAction action) {
        return action == FileAction::Import
                   ? FileDialogs::askOpen(this, Settings::RosterFolder,
                                          QStringLiteral("JMRI-Roster importieren"), Filter)
                   : FileDialogs::askSave(this, Settings::RosterFolder,
                                          QStringLiteral("JMRI-Roster exportieren"), Filter,
                                          QStringLiteral("roster.xml"));
    };
}

void krRoster::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_configured)
        m_configuredNumbers = m_configured();
    refreshOffers();
}

void krRoster::refreshOffers()
{
    // A configured loco without an entry comes first; any free number stays possible.
    m_cboOffered->clear();
    for (int n : Roster::numbersWithoutEntry(m_configuredNumbers, m_roster.entries()))
        m_cboOffered->addItem(QString::number(n) + QStringLiteral(" (im Controller)"), n);
    int free = 1;
    while (m_roster.entryForNumber(free) || m_configuredNumbers.contains(free))
        ++free;
    if (free <= Roster::LastNumber)
        m_cboOffered->addItem(QString::number(free) + QStringLiteral(" (frei)"), free);
}

void krRoster::select(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    m_tblRoster->setCurrentIndex(m_model->index(row, RosterModel::Name));
}

void krRoster::setStatus(const QString& text, bool good)
{
    m_lblStatus->setText(text);
    m_lblStatus->setStyleSheet(good ? QString() : QStringLiteral("color: rgb(255, 0, 0);"));
}

void krRoster::cmdAdd_Click()
{
    if (m_cboOffered->currentIndex() < 0)
        return;
    const int number = m_cboOffered->currentData().toInt();
    const int row = m_model->rowCount();
    if (m_model->put(row, Roster::newEntry(number, m_roster.entries())).isEmpty()) {
        select(row);
        setStatus(QStringLiteral("Lok ") + QString::number(number) + QStringLiteral(" eingetragen."), true);
    }
}

void krRoster::cmdRemove_Click()
{
    const int row = m_tblRoster->currentIndex().row();
    if (row < 0 || row >= m_model->rowCount())
        return;
    const QString name = m_roster.entries().at(row).id;
    if (MessageBox::question(this, QStringLiteral("Lok \"") + name +
                                       QStringLiteral("\" aus dem Roster entfernen?")) != QMessageBox::Yes)
        return;
    if (m_model->remove(row).isEmpty())
        setStatus(QStringLiteral("Lok \"") + name + QStringLiteral("\" entfernt."), true);
}

void krRoster::cmdImport_Click()
{
    const QString path = m_chooseFile(FileAction::Import);
    if (path.isEmpty())
        return;
    const Jmri::Reading reading = LocoRoster::readFolder(QFileInfo(path).absolutePath());
    QList<Roster::Entry> entries = m_roster.entries();
    const Roster::MergeCount count = Roster::merge(entries, reading.entries);
    if (count.added + count.replaced > 0) {
        const QString error = m_roster.save(entries);
        if (!error.isEmpty()) {
            MessageBox::warning(this, error);
            return;
        }
    }
    QString summary = QString::number(count.added) + QStringLiteral(" Loks übernommen, ") +
                      QString::number(count.replaced) + QStringLiteral(" ersetzt.");
    if (!reading.problems.isEmpty()) {
        summary += QStringLiteral(" ") + QString::number(reading.problems.size()) +
                   QStringLiteral(" Einträge nicht lesbar.");
        MessageBox::warning(this, QStringLiteral("Nicht alles im Roster ") + QDir::toNativeSeparators(path) +
                                      QStringLiteral(" war lesbar:\n\n") +
                                      reading.problems.join(QLatin1Char('\n')));
    }
    setStatus(summary, reading.problems.isEmpty());
}

void krRoster::cmdExport_Click()
{
    const QString path = m_chooseFile(FileAction::Export);
    if (path.isEmpty())
        return;
    QList<Roster::Entry> entries = m_roster.entries();
    const QString error = LocoRoster::writeFolder(QFileInfo(path).absolutePath(), entries);
    if (!error.isEmpty()) {
        MessageBox::warning(this, error);
        return;
    }
    setStatus(QString::number(entries.size()) + QStringLiteral(" Loks exportiert nach ") +
                  QDir::toNativeSeparators(QFileInfo(path).absolutePath()),
              true);
}
