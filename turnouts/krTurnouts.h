// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TurnoutRules.h"

#include <QDialog>

class ControllerLink;
class LineClient;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;
class TurnoutSwitcher;
class TurnoutTable;

// The window of turnouts and routes: the table with a button per position in every row, the
// routes with a button each, and the entries' editors. It stays open beside the main window,
// so the user sets a route while driving. Every change of the table is saved at once.
class krTurnouts : public QDialog
{
    Q_OBJECT

public:
    krTurnouts(TurnoutTable& table, ControllerLink& link, QWidget* parent = nullptr);

    QTableWidget* turnoutTable() const { return m_tblTurnouts; }
    QTableWidget* routeTable() const { return m_tblRoutes; }
    QString status() const;

    // What the editors hand over; false (and the status says why) when the entry does not hold or
    // the file could not be written.
    bool putTurnout(int row, const Turnouts::Turnout& turnout); // row -1: a new entry
    bool putRoute(int row, const Turnouts::Route& route);
    bool removeTurnout(int row);
    bool removeRoute(int row);

private:
    void rebuild();
    void showPosition(const QString& turnout, Turnouts::Position position);
    void showRouteStates();
    void editTurnout(int row);
    void editRoute(int row);
    void askRemoveTurnout();
    void askRemoveRoute();
    bool saveLayout(const Turnouts::Layout& layout);
    void setStatus(const QString& text, bool good);

    TurnoutTable& m_table;
    LineClient* m_line;
    TurnoutSwitcher* m_switcher;
    QTableWidget* m_tblTurnouts;
    QTableWidget* m_tblRoutes;
    QSpinBox* m_spnRouteGap;
    QLabel* m_lblStatus;
};
