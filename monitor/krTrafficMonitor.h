// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class ControllerLink;
class QComboBox;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class TrafficModel;

// The traffic monitor: a window beside the dashboard that lists every frame on the link, and the
// notes of its sources, while it is open. Only an open monitor watches the line; closed, it costs
// the transaction nothing.
class krTrafficMonitor : public QDialog
{
    Q_OBJECT

public:
    explicit krTrafficMonitor(ControllerLink& link, QWidget* parent = nullptr);

    TrafficModel* model() const { return m_model; }
    QTableView* table() const { return m_table; }
    // Only these commands are listed; empty lists all.
    void setCommandFilter(const QString& name);
    void copySelection() const;
    // False after a warning that names the file and the reason.
    bool saveCsv(const QString& path);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void askAndSave();

    TrafficModel* m_model;
    QSortFilterProxyModel* m_filtered;
    QTableView* m_table;
    QComboBox* m_filter;
};
