// SPDX-License-Identifier: GPL-3.0-or-later
#include "krTurnouts.h"

#include "krTaktoraTools.h"
#include "LineClient.h"
#include "MessageBox.h"
#include "TurnoutSwitcher.h"
#include "TurnoutTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Turnouts;

namespace {

enum TurnoutColumn { Name, Kind_, Decoder, Port, State, Switch, TurnoutColumns };
enum RouteColumn { RouteName, Steps, RouteState, Set, RouteColumns };

QTableWidget* table(const QString& name, const QStringList& headers, QWidget* parent)
{
    auto* t = new QTableWidget(0, int(headers.size()), parent);
    t->setObjectName(name);
    t->setHorizontalHeaderLabels(headers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

QTableWidgetItem* cell(const QString& text)
{
    return new QTableWidgetItem(text);
}

QString stepsText(const Route& route)
{
    QStringList steps;
    for (const RouteStep& s : route.steps)
        steps << s.turnout + QStringLiteral(": ") + positionText(s.position);
    return steps.join(QStringLiteral(", "));
}

// The editor of one turnout; `check` says what is wrong with the input, shown in the dialog.
std::optional<Turnout> askTurnout(QWidget* parent, const Turnout& start,
                                  const std::function<QString(const Turnout&)>& check)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("dlgTurnout"));
    dialog.setWindowTitle(start.name.isEmpty() ? QStringLiteral("Neue Weiche")
                                               : QStringLiteral("Weiche bearbeiten"));
    auto* name = new QLineEdit(start.name, &dialog);
    name->setObjectName(QStringLiteral("txtName"));
    name->setMaxLength(MaxNameLength);
    auto* kind = new QComboBox(&dialog);
    kind->setObjectName(QStringLiteral("cboKind"));
    kind->addItems(kindTexts());
    kind->setCurrentIndex(static_cast<int>(start.kind));
    auto* decoder = new QSpinBox(&dialog);
    decoder->setObjectName(QStringLiteral("spnDecoder"));
    decoder->setRange(LowestDecoder, HighestDecoder);
    decoder->setValue(start.decoder);
    auto* port = new QSpinBox(&dialog);
    port->setObjectName(QStringLiteral("spnPort"));
    port->setRange(1, Ports);
    port->setValue(start.port);
    auto* closed = new QComboBox(&dialog);
    closed->setObjectName(QStringLiteral("cboClosed"));
    closed->addItems({QStringLiteral("Ausgang EIN, abzweigend bei AUS"),
                      QStringLiteral("Ausgang AUS, abzweigend bei EIN")});
    closed->setCurrentIndex(start.closedIsOn ? 0 : 1);
    auto* phones = new QCheckBox(QStringLiteral("Handregler dürfen sie &schalten"), &dialog);
    phones->setObjectName(QStringLiteral("chkPhones"));
    phones->setChecked(start.phones);
    auto* problem = new QLabel(&dialog);
    problem->setObjectName(QStringLiteral("lblProblem"));
    problem->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);

    auto* form = new QFormLayout(&dialog);
    form->addRow(QStringLiteral("&Name:"), name);
    form->addRow(QStringLiteral("&Art:"), kind);
    form->addRow(QStringLiteral("&Decoder-ID:"), decoder);
    form->addRow(QStringLiteral("Aus&gang:"), port);
    form->addRow(QStringLiteral("Gerade &bei:"), closed);
    form->addRow(phones);
    form->addRow(problem);
    form->addRow(buttons);

    const auto entry = [&]() {
        return Turnout{name->text().trimmed(),
                       static_cast<Kind>(kind->currentIndex()),
                       decoder->value(),
                       port->value(),
                       closed->currentIndex() == 0,
                       phones->isChecked()};
    };
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&]() {
        problem->setText(check(entry()));
        if (problem->text().isEmpty())
            dialog.accept();
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    FitTitle(&dialog);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return entry();
}

// The editor of one route: its name and its turnouts in the order they are set.
std::optional<Route> askRoute(QWidget* parent, const Route& start, const QList<Turnout>& turnouts,
                              const std::function<QString(const Route&)>& check)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("dlgRoute"));
    dialog.setWindowTitle(start.name.isEmpty() ? QStringLiteral("Neue Fahrstraße")
                                               : QStringLiteral("Fahrstraße bearbeiten"));
    auto* name = new QLineEdit(start.name, &dialog);
    name->setObjectName(QStringLiteral("txtName"));
    name->setMaxLength(MaxNameLength);
    auto* steps =
        table(QStringLiteral("tblSteps"), {QStringLiteral("Weiche"), QStringLiteral("Stellung")}, &dialog);
    QStringList names;
    for (const Turnout& t : turnouts)
        names << t.name;
    const auto addStep = [&](const RouteStep& step) {
        const int row = steps->rowCount();
        steps->insertRow(row);
        auto* turnout = new QComboBox(steps);
        turnout->addItems(names);
        turnout->setCurrentIndex(std::max(0, int(names.indexOf(step.turnout))));
        auto* position = new QComboBox(steps);
        position->addItems({positionText(Position::Closed), positionText(Position::Thrown)});
        position->setCurrentIndex(step.position == Position::Thrown ? 1 : 0);
        steps->setCellWidget(row, 0, turnout);
        steps->setCellWidget(row, 1, position);
    };
    for (const RouteStep& step : start.steps)
        addStep(step);
    steps->setColumnWidth(0, 260);
    auto* add = NamedButton(QStringLiteral("cmdAddStep"), QStringLiteral("Weiche &hinzufügen"), &dialog);
    auto* remove = NamedButton(QStringLiteral("cmdRemoveStep"), QStringLiteral("Weiche &entfernen"), &dialog);
    add->setEnabled(!names.isEmpty());
    QObject::connect(add, &QPushButton::clicked, &dialog, [&]() { addStep(RouteStep{}); });
    QObject::connect(remove, &QPushButton::clicked, &dialog, [&]() {
        if (steps->currentRow() >= 0)
            steps->removeRow(steps->currentRow());
    });
    auto* problem = new QLabel(&dialog);
    problem->setObjectName(QStringLiteral("lblProblem"));
    problem->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);

    auto* stepButtons = new QHBoxLayout;
    stepButtons->addWidget(add);
    stepButtons->addWidget(remove);
    stepButtons->addStretch();
    auto* layout = new QVBoxLayout(&dialog);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Name:"), name);
    layout->addLayout(form);
    layout->addWidget(
        new QLabel(QStringLiteral("Weichen, in der Reihenfolge, in der sie gestellt werden:"), &dialog));
    layout->addWidget(steps);
    layout->addLayout(stepButtons);
    layout->addWidget(problem);
    layout->addWidget(buttons);

    const auto entry = [&]() {
        Route route{name->text().trimmed(), {}};
        for (int row = 0; row < steps->rowCount(); ++row) {
            const auto* turnout = qobject_cast<QComboBox*>(steps->cellWidget(row, 0));
            const auto* position = qobject_cast<QComboBox*>(steps->cellWidget(row, 1));
            route.steps << RouteStep{turnout->currentText(),
                                     position->currentIndex() == 1 ? Position::Thrown : Position::Closed};
        }
        return route;
    };
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&]() {
        problem->setText(check(entry()));
        if (problem->text().isEmpty())
            dialog.accept();
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    dialog.resize(460, 360);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return entry();
}

} // namespace

krTurnouts::krTurnouts(TurnoutTable& table, ControllerLink& link, QWidget* parent)
    : QDialog(parent), m_table(table),
      m_line(new LineClient(link, QStringLiteral("Weichen"), LineClient::Kind::Screen, this)),
      m_switcher(new TurnoutSwitcher(table, *m_line, this))
{
    setObjectName(QStringLiteral("krTurnouts"));
    setWindowTitle(QStringLiteral("Weichen und Fahrstraßen"));

    m_tblTurnouts =
        ::table(QStringLiteral("tblTurnouts"),
                {QStringLiteral("Name"), QStringLiteral("Art"), QStringLiteral("Decoder"),
                 QStringLiteral("Ausgang"), QStringLiteral("Stellung"), QStringLiteral("Schalten")},
                this);
    m_tblRoutes = ::table(QStringLiteral("tblRoutes"),
                          {QStringLiteral("Name"), QStringLiteral("Weichen"), QStringLiteral("Zustand"),
                           QStringLiteral("Stellen")},
                          this);
    connect(m_tblTurnouts, &QTableWidget::cellDoubleClicked, this, [this](int row) { editTurnout(row); });
    connect(m_tblRoutes, &QTableWidget::cellDoubleClicked, this, [this](int row) { editRoute(row); });

    auto* addTurnout = NamedButton(QStringLiteral("cmdAddTurnout"), QStringLiteral("&Neu ..."), this);
    auto* editTurnout =
        NamedButton(QStringLiteral("cmdEditTurnout"), QStringLiteral("&Bearbeiten ..."), this);
    auto* removeTurnout = NamedButton(QStringLiteral("cmdRemoveTurnout"), QStringLiteral("&Entfernen"), this);
    connect(addTurnout, &QPushButton::clicked, this, [this]() { this->editTurnout(-1); });
    connect(editTurnout, &QPushButton::clicked, this, [this]() {
        if (m_tblTurnouts->currentRow() >= 0)
            this->editTurnout(m_tblTurnouts->currentRow());
    });
    connect(removeTurnout, &QPushButton::clicked, this, &krTurnouts::askRemoveTurnout);

    auto* addRoute = NamedButton(QStringLiteral("cmdAddRoute"), QStringLiteral("Ne&u ..."), this);
    auto* editRoute = NamedButton(QStringLiteral("cmdEditRoute"), QStringLiteral("Bearbei&ten ..."), this);
    auto* removeRoute = NamedButton(QStringLiteral("cmdRemoveRoute"), QStringLiteral("Ent&fernen"), this);
    connect(addRoute, &QPushButton::clicked, this, [this]() { this->editRoute(-1); });
    connect(editRoute, &QPushButton::clicked, this, [this]() {
        if (m_tblRoutes->currentRow() >= 0)
            this->editRoute(m_tblRoutes->currentRow());
    });
    connect(removeRoute, &QPushButton::clicked, this, &krTurnouts::askRemoveRoute);
    m_spnRouteGap = new QSpinBox(this);
    m_spnRouteGap->setObjectName(QStringLiteral("spnRouteGap"));
    m_spnRouteGap->setRange(0, HighestRouteGapMs);
    m_spnRouteGap->setSingleStep(50);
    m_spnRouteGap->setSuffix(QStringLiteral(" ms"));
    m_spnRouteGap->setToolTip(QStringLiteral("Weichenantriebe ziehen beim Schalten Strom: so lange wartet "
                                             "eine Fahrstraße vor der nächsten Weiche."));
    connect(m_spnRouteGap, &QSpinBox::editingFinished, this, [this]() {
        if (m_spnRouteGap->value() == m_table.layout().routeGapMs)
            return;
        Layout layout = m_table.layout();
        layout.routeGapMs = m_spnRouteGap->value();
        saveLayout(layout);
    });

    m_lblStatus = new QLabel(this);
    m_lblStatus->setObjectName(QStringLiteral("lblStatus"));
    m_lblStatus->setWordWrap(true);
    auto* close = NamedButton(QStringLiteral("cmdClose"), QStringLiteral("Schließen"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    auto* turnoutBox = new QGroupBox(QStringLiteral("Weichen und Signale"), this);
    auto* turnoutButtons = new QHBoxLayout;
    for (QPushButton* b : {addTurnout, editTurnout, removeTurnout})
        turnoutButtons->addWidget(b);
    turnoutButtons->addStretch();
    auto* turnoutLayout = new QVBoxLayout(turnoutBox);
    turnoutLayout->addWidget(m_tblTurnouts);
    turnoutLayout->addLayout(turnoutButtons);

    auto* routeBox = new QGroupBox(QStringLiteral("Fahrstraßen"), this);
    auto* routeButtons = new QHBoxLayout;
    for (QPushButton* b : {addRoute, editRoute, removeRoute})
        routeButtons->addWidget(b);
    routeButtons->addStretch();
    auto* gapLabel = new QLabel(QStringLiteral("&Pause zwischen zwei Weichen:"), this);
    gapLabel->setBuddy(m_spnRouteGap);
    routeButtons->addWidget(gapLabel);
    routeButtons->addWidget(m_spnRouteGap);
    auto* routeLayout = new QVBoxLayout(routeBox);
    routeLayout->addWidget(m_tblRoutes);
    routeLayout->addLayout(routeButtons);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_lblStatus, 1);
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(turnoutBox, 3);
    layout->addWidget(routeBox, 2);
    layout->addLayout(bottom);

    connect(&m_table, &TurnoutTable::changed, this, &krTurnouts::rebuild);
    connect(&m_table, &TurnoutTable::positionChanged, this, &krTurnouts::showPosition);
    rebuild();
    resize(800, 560);
}

QString krTurnouts::status() const
{
    return m_lblStatus->text();
}

void krTurnouts::rebuild()
{
    m_spnRouteGap->setValue(m_table.layout().routeGapMs);
    const QList<Turnout>& turnouts = m_table.turnouts();
    m_tblTurnouts->setRowCount(int(turnouts.size()));
    for (int row = 0; row < turnouts.size(); ++row) {
        const Turnout& t = turnouts[row];
        m_tblTurnouts->setItem(row, Name, cell(t.name));
        m_tblTurnouts->setItem(row, Kind_,
                               cell(kindText(t.kind) + (t.phones ? QString() : QStringLiteral(" (nur PC)"))));
        m_tblTurnouts->setItem(row, Decoder, cell(QString::number(t.decoder)));
        m_tblTurnouts->setItem(row, Port, cell(QString::number(t.port)));
        m_tblTurnouts->setItem(row, State, cell(QString()));
        auto* buttons = new QWidget(m_tblTurnouts);
        auto* box = new QHBoxLayout(buttons);
        box->setContentsMargins(2, 0, 2, 0);
        for (Position p : {Position::Closed, Position::Thrown}) {
            const bool closed = p == Position::Closed;
            auto* b = NamedButton((closed ? QStringLiteral("cmdClosed_") : QStringLiteral("cmdThrown_")) +
                                      QString::number(row),
                                  positionText(p), buttons);
            b->setToolTip(QStringLiteral("„%1“ %2 stellen").arg(t.name, positionText(p)));
            const QString name = t.name;
            connect(b, &QPushButton::clicked, this, [this, name, p]() {
                if (!LineChecked(*m_line, this))
                    return;
                m_switcher->switchTurnout(
                    name, p, [this](const TurnoutSwitcher::Result& r) { setStatus(r.text, r.ok); });
            });
            box->addWidget(b);
        }
        m_tblTurnouts->setCellWidget(row, Switch, buttons);
        showPosition(t.name, m_table.position(t.name));
    }
    const QList<Route>& routes = m_table.routes();
    m_tblRoutes->setRowCount(int(routes.size()));
    for (int row = 0; row < routes.size(); ++row) {
        m_tblRoutes->setItem(row, RouteName, cell(routes[row].name));
        m_tblRoutes->setItem(row, Steps, cell(stepsText(routes[row])));
        m_tblRoutes->setItem(row, RouteState, cell(QString()));
        auto* set =
            NamedButton(QStringLiteral("cmdSetRoute_%1").arg(row), QStringLiteral("Stellen"), m_tblRoutes);
        const QString name = routes[row].name;
        connect(set, &QPushButton::clicked, this, [this, name]() {
            if (!LineChecked(*m_line, this))
                return;
            setStatus(QStringLiteral("Fahrstraße „%1“ wird gestellt ...").arg(name), true);
            m_switcher->setRoute(name, [this](const TurnoutSwitcher::Result& r) { setStatus(r.text, r.ok); });
        });
        m_tblRoutes->setCellWidget(row, Set, set);
    }
    showRouteStates();
    m_tblTurnouts->resizeColumnsToContents();
    m_tblTurnouts->setColumnWidth(Name, std::max(m_tblTurnouts->columnWidth(Name), 220));
    // Wide enough for every position it may show, not just the ones shown now.
    m_tblTurnouts->setColumnWidth(
        State, m_tblTurnouts->fontMetrics().horizontalAdvance(positionText(Position::Thrown)) + 24);
    m_tblTurnouts->resizeRowsToContents();
    m_tblRoutes->resizeColumnsToContents();
    m_tblRoutes->setColumnWidth(Steps, std::min(m_tblRoutes->columnWidth(Steps), 360));
    m_tblRoutes->resizeRowsToContents();
}

void krTurnouts::showPosition(const QString& turnout, Position position)
{
    const int row = m_table.indexOf(turnout);
    if (row < 0 || row >= m_tblTurnouts->rowCount() || !m_tblTurnouts->item(row, State))
        return;
    m_tblTurnouts->item(row, State)->setText(positionText(position));
    m_tblTurnouts->item(row, State)
        ->setForeground(position == Position::Unknown ? QColor(Qt::gray) : QColor(Qt::black));
    showRouteStates();
}

void krTurnouts::showRouteStates()
{
    for (int row = 0; row < m_tblRoutes->rowCount() && row < m_table.routes().size(); ++row)
        if (QTableWidgetItem* item = m_tblRoutes->item(row, RouteState))
            item->setText(m_table.routeIsSet(m_table.routes()[row].name) ? QStringLiteral("gestellt")
                                                                         : QString());
}

bool krTurnouts::saveLayout(const Layout& layout)
{
    const QString why = m_table.save(layout);
    if (!why.isEmpty())
        setStatus(why, false);
    return why.isEmpty();
}

bool krTurnouts::putTurnout(int row, const Turnout& turnout)
{
    Layout layout = m_table.layout();
    QList<Turnout> others = layout.turnouts;
    if (row >= 0)
        others.removeAt(row);
    if (const QString problem = turnoutProblem(turnout, others); !problem.isEmpty()) {
        setStatus(problem, false);
        return false;
    }
    const QString before = row >= 0 ? layout.turnouts[row].name : QString();
    const Position position = m_table.position(before);
    if (row >= 0) {
        layout.turnouts[row] = turnout;
        renameInRoutes(layout.routes, before, turnout.name);
    } else {
        layout.turnouts << turnout;
    }
    if (!saveLayout(layout))
        return false;
    // A renamed turnout still stands where it was last sent.
    if (row >= 0 && before != turnout.name && position != Position::Unknown)
        m_table.setPosition(turnout.name, position);
    setStatus(QStringLiteral("„%1“ gespeichert.").arg(turnout.name), true);
    return true;
}

bool krTurnouts::putRoute(int row, const Route& route)
{
    Layout layout = m_table.layout();
    QList<Route> others = layout.routes;
    if (row >= 0)
        others.removeAt(row);
    if (const QString problem = routeProblem(route, others, layout.turnouts); !problem.isEmpty()) {
        setStatus(problem, false);
        return false;
    }
    if (row >= 0)
        layout.routes[row] = route;
    else
        layout.routes << route;
    if (!saveLayout(layout))
        return false;
    setStatus(QStringLiteral("Fahrstraße „%1“ gespeichert.").arg(route.name), true);
    return true;
}

bool krTurnouts::removeTurnout(int row)
{
    Layout layout = m_table.layout();
    if (row < 0 || row >= layout.turnouts.size())
        return false;
    const QString name = layout.turnouts[row].name;
    if (const QString problem = removalProblem(name, layout.routes); !problem.isEmpty()) {
        setStatus(problem, false);
        return false;
    }
    layout.turnouts.removeAt(row);
    if (!saveLayout(layout))
        return false;
    setStatus(QStringLiteral("„%1“ entfernt.").arg(name), true);
    return true;
}

bool krTurnouts::removeRoute(int row)
{
    Layout layout = m_table.layout();
    if (row < 0 || row >= layout.routes.size())
        return false;
    const QString name = layout.routes.takeAt(row).name;
    if (!saveLayout(layout))
        return false;
    setStatus(QStringLiteral("Fahrstraße „%1“ entfernt.").arg(name), true);
    return true;
}

void krTurnouts::editTurnout(int row)
{
    const QList<Turnout>& turnouts = m_table.turnouts();
    Turnout start;
    if (row >= 0)
        start = turnouts.value(row);
    else if (!turnouts.isEmpty()) { // the next output after the last entry's
        start.decoder = std::min(HighestDecoder, turnouts.last().decoder + turnouts.last().port / Ports);
        start.port = turnouts.last().port % Ports + 1;
    }
    QList<Turnout> others = turnouts;
    if (row >= 0)
        others.removeAt(row);
    if (const auto entry =
            askTurnout(this, start, [others](const Turnout& t) { return turnoutProblem(t, others); }))
        putTurnout(row, *entry);
}

void krTurnouts::editRoute(int row)
{
    if (m_table.turnouts().isEmpty()) {
        setStatus(QStringLiteral("Bitte zuerst Weichen anlegen: eine Fahrstraße stellt Weichen."), false);
        return;
    }
    QList<Route> others = m_table.routes();
    const Route start = row >= 0 ? others.takeAt(row) : Route{};
    const QList<Turnout> turnouts = m_table.turnouts();
    if (const auto entry = askRoute(this, start, turnouts, [others, turnouts](const Route& r) {
            return routeProblem(r, others, turnouts);
        }))
        putRoute(row, *entry);
}

void krTurnouts::askRemoveTurnout()
{
    const int row = m_tblTurnouts->currentRow();
    if (row < 0)
        return;
    if (MessageBox::question(this, QStringLiteral("„%1“ entfernen?").arg(m_table.turnouts()[row].name)) ==
        QMessageBox::Yes)
        removeTurnout(row);
}

void krTurnouts::askRemoveRoute()
{
    const int row = m_tblRoutes->currentRow();
    if (row < 0)
        return;
    if (MessageBox::question(this,
                             QStringLiteral("Fahrstraße „%1“ entfernen?").arg(m_table.routes()[row].name)) ==
        QMessageBox::Yes)
        removeRoute(row);
}

void krTurnouts::setStatus(const QString& text, bool good)
{
    m_lblStatus->setText(text);
    m_lblStatus->setStyleSheet(good ? QString() : QStringLiteral("color: rgb(255, 0, 0);"));
}
