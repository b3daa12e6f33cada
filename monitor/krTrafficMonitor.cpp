// SPDX-License-Identifier: GPL-3.0-or-later
#include "krTrafficMonitor.h"

#include "CommandDelegate.h"
#include "FileDialogs.h"
#include "MessageBox.h"
#include "TrafficModel.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScreen>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

krTrafficMonitor::krTrafficMonitor(ControllerLink& link, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("krTrafficMonitor"));
    setWindowTitle(QStringLiteral("Datenverkehr"));
    setModal(false);
    m_model = new TrafficModel(link, this);
    m_filtered = new QSortFilterProxyModel(this);
    m_filtered->setSourceModel(m_model);
    m_filtered->setFilterKeyColumn(TrafficModel::Name);

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("tblTraffic"));
    m_table->setModel(m_filtered);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->hide();
    // Fixed row heights: the view never measures a hundred thousand rows.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setItemDelegateForColumn(TrafficModel::Name, new CommandDelegate(m_table));
    // Columns as wide as their longest usual text, so that at the opening width every column,
    // the result included, is in view without scrolling sideways.
    const QString widest[] = {QStringLiteral("Zeit (ms)0"),
                              QStringLiteral("Handregler (Lok-Liste)"),
                              QStringLiteral("empfangen"),
                              QStringLiteral("0, 254, 254, 254, 254, 254"),
                              QStringLiteral("QueryControllerStatus – Controller-Status abfragen"),
                              QStringLiteral("Lok 10239, Geschwindigkeit 255"),
                              QStringLiteral("Wiederholung, keine Antwort")};
    static_assert(std::size(widest) == TrafficModel::ColumnCount);
    int tableWidth = 0;
    for (int c = 0; c < TrafficModel::ColumnCount; ++c) {
        const int width = m_table->fontMetrics().horizontalAdvance(widest[c]) + 16;
        m_table->setColumnWidth(c, width);
        tableWidth += width;
    }

    m_filter = new QComboBox(this);
    m_filter->setObjectName(QStringLiteral("cboFilter"));
    m_filter->addItem(QStringLiteral("alle Befehle"));
    QStringList names;
    for (int c : {1, 2})
        for (int d1 : {0, 3, 5, 10, 20, 21, 22, 251, 252, 253})
            names << TrafficModel::commandName(static_cast<quint8>(c), static_cast<quint8>(d1));
    for (int c = 20; c <= 35; ++c)
        names << TrafficModel::commandName(static_cast<quint8>(c), 0);
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const QString& n) { return n.contains(QLatin1Char(' ')); }),
                names.end());
    names.sort();
    m_filter->addItems(names);
    connect(m_filter, &QComboBox::currentIndexChanged, this,
            [this](int i) { setCommandFilter(i == 0 ? QString() : m_filter->itemText(i)); });

    auto* pause = new QPushButton(QStringLiteral("Anhalten"), this);
    pause->setObjectName(QStringLiteral("btnPause"));
    pause->setCheckable(true);
    // A sunken button is easily missed: the window says that it lists nothing new.
    auto* paused = new QLabel(QStringLiteral("angehalten"), this);
    paused->setObjectName(QStringLiteral("lblPaused"));
    QFont bold = paused->font();
    bold.setBold(true);
    paused->setFont(bold);
    QPalette red = paused->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    paused->setPalette(red);
    paused->hide();
    connect(pause, &QPushButton::toggled, this, [this, paused](bool on) {
        m_model->setPaused(on);
        paused->setVisible(on);
        setWindowTitle(on ? QStringLiteral("Datenverkehr – angehalten") : QStringLiteral("Datenverkehr"));
    });
    auto* since = new QLabel(QStringLiteral("Zeit: Millisekunden seit ") +
                                 m_model->startedAt().toString(QStringLiteral("HH:mm:ss")),
                             this);
    since->setObjectName(QStringLiteral("lblTimeOrigin"));
    since->setToolTip(m_model->headerData(TrafficModel::Time, Qt::Horizontal, Qt::ToolTipRole).toString());
    auto* clear = new QPushButton(QStringLiteral("Leeren"), this);
    clear->setObjectName(QStringLiteral("btnClear"));
    connect(clear, &QPushButton::clicked, m_model, &TrafficModel::clear);
    auto* copy = new QPushButton(QStringLiteral("Kopieren"), this);
    copy->setObjectName(QStringLiteral("btnCopy"));
    connect(copy, &QPushButton::clicked, this, &krTrafficMonitor::copySelection);
    new QShortcut(
        QKeySequence::Copy, m_table, [this] { copySelection(); }, Qt::WidgetShortcut);
    auto* save = new QPushButton(QStringLiteral("Als CSV speichern …"), this);
    save->setObjectName(QStringLiteral("btnSaveCsv"));
    connect(save, &QPushButton::clicked, this, &krTrafficMonitor::askAndSave);

    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel(QStringLiteral("Befehl:"), this));
    bar->addWidget(m_filter);
    bar->addSpacing(12);
    bar->addWidget(since);
    bar->addStretch(1);
    bar->addWidget(paused);
    bar->addWidget(pause);
    bar->addWidget(clear);
    bar->addWidget(copy);
    bar->addWidget(save);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_table, 1);
    // Room for the table's frame, the dialog's margins and a vertical scroll bar; a smaller
    // screen scrolls sideways instead.
    const int wanted = tableWidth + 2 * m_table->frameWidth() + 60;
    const QScreen* shown = screen();
    resize(shown ? qMin(wanted, shown->availableGeometry().width() - 40) : wanted, 420);
}

void krTrafficMonitor::showEvent(QShowEvent* event)
{
    m_model->setWatching(true);
    QDialog::showEvent(event);
}

void krTrafficMonitor::hideEvent(QHideEvent* event)
{
    // Closed, the line has no watcher again.
    m_model->setWatching(false);
    QDialog::hideEvent(event);
}

void krTrafficMonitor::setCommandFilter(const QString& name)
{
    m_filtered->setFilterRegularExpression(
        name.isEmpty() ? QString() : QStringLiteral("^%1$").arg(QRegularExpression::escape(name)));
}

void krTrafficMonitor::copySelection() const
{
    QList<int> rows;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows())
        rows << m_filtered->mapToSource(index).row();
    std::sort(rows.begin(), rows.end());
    QStringList lines;
    for (int row : rows)
        lines << m_model->rowText(row, QStringLiteral("\t"));
    QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
}

bool krTrafficMonitor::saveCsv(const QString& path)
{
    // Written whole or not at all: a full disk leaves an older file as it was.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        QList<int> rows;
        for (int r = 0; r < m_filtered->rowCount(); ++r)
            rows << m_filtered->mapToSource(m_filtered->index(r, 0)).row();
        m_model->writeCsv(file, rows); // what the filter shows
        // commit() takes a file whose buffer failed to go out (a full disk) for whole: flush first.
        if (file.flush() && file.commit())
            return true;
    }
    MessageBox::warning(this, QStringLiteral("Der Datenverkehr konnte nicht in die Datei\n") +
                                  QDir::toNativeSeparators(path) +
                                  QStringLiteral("\ngespeichert werden:\n\n") + file.errorString());
    return false;
}

void krTrafficMonitor::askAndSave()
{
    const QString path =
        FileDialogs::askSave(this, Settings::TrafficFolder, QStringLiteral("Datenverkehr speichern"),
                             QStringLiteral("CSV-Dateien (*.csv)"));
    if (!path.isEmpty())
        saveCsv(path);
}
