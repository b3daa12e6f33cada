// SPDX-License-Identifier: GPL-3.0-or-later
#include "RosterModels.h"

using Roster::Entry;

RosterModel::RosterModel(LocoRoster& roster, QObject* parent) : QAbstractTableModel(parent), m_roster(roster)
{
    connect(&m_roster, &LocoRoster::changed, this, [this] {
        if (!m_saving) {
            beginResetModel();
            endResetModel();
        }
    });
}

int RosterModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_roster.entries().size());
}

int RosterModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RosterModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const Entry& e = m_roster.entries().at(index.row());
    if (index.column() == LongAddress) {
        if (role == Qt::CheckStateRole)
            return e.longAddress ? Qt::Checked : Qt::Unchecked;
        return QVariant();
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return QVariant();
    switch (index.column()) {
    case Number:
        return e.number;
    case Name:
        return e.id;
    case RoadName:
        return e.roadName;
    case RoadNumber:
        return e.roadNumber;
    case Model:
        return e.model;
    case Owner:
        return e.owner;
    case MaxSpeed:
        return e.maxSpeed;
    case Comment:
        return e.comment;
    default:
        return QVariant();
    }
}

QVariant RosterModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const titles[ColumnCount] = {"Nummer",         "Name",           "Lange Adr.",
                                                    "Bahnverwaltung", "Betriebsnummer", "Modell",
                                                    "Eigentümer",     "Max. %",         "Kommentar"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(titles[section]) : QVariant();
}

Qt::ItemFlags RosterModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Qt::ItemFlags base = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return base | (index.column() == LongAddress ? Qt::ItemIsUserCheckable : Qt::ItemIsEditable);
}

bool RosterModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.row() >= rowCount())
        return false;
    Entry e = m_roster.entries().at(index.row());
    if (index.column() == LongAddress) {
        if (role != Qt::CheckStateRole)
            return false;
        e.longAddress = value.toInt() == Qt::Checked;
    } else {
        if (role != Qt::EditRole)
            return false;
        const QString text = value.toString().trimmed();
        bool ok = true;
        switch (index.column()) {
        case Number:
            e.number = text.toInt(&ok);
            break;
        case Name:
            e.id = text;
            break;
        case RoadName:
            e.roadName = text;
            break;
        case RoadNumber:
            e.roadNumber = text;
            break;
        case Model:
            e.model = text;
            break;
        case Owner:
            e.owner = text;
            break;
        case MaxSpeed:
            e.maxSpeed = text.toInt(&ok);
            break;
        case Comment:
            e.comment = text;
            break;
        default:
            return false;
        }
        if (!ok)
            e.number = e.maxSpeed = -1; // refused below with the rule's own words
    }
    const QString reason = put(index.row(), e);
    if (!reason.isEmpty())
        return false;
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), ColumnCount - 1));
    return true;
}

QString RosterModel::put(int row, const Entry& entry)
{
    QList<Entry> entries = m_roster.entries();
    const bool adding = row == entries.size();
    QList<Entry> others = entries;
    if (!adding)
        others.removeAt(row);
    QString reason = Roster::entryProblem(entry, others);
    if (reason.isEmpty()) {
        if (adding)
            entries.append(entry);
        else
            entries[row] = entry;
        // A new row (or a refused one) resets the table; an edit keeps selection and editor.
        if (adding)
            beginResetModel();
        m_saving = true;
        reason = m_roster.save(entries);
        m_saving = false;
        if (adding)
            endResetModel();
    }
    if (!reason.isEmpty())
        emit refused(reason);
    return reason;
}

QString RosterModel::remove(int row)
{
    QList<Entry> entries = m_roster.entries();
    if (row < 0 || row >= entries.size())
        return QString();
    entries.removeAt(row);
    beginResetModel();
    m_saving = true;
    QString reason = m_roster.save(entries);
    m_saving = false;
    endResetModel();
    if (!reason.isEmpty())
        emit refused(reason);
    return reason;
}

FunctionModel::FunctionModel(RosterModel& roster, LocoRoster& store, QObject* parent)
    : QAbstractTableModel(parent), m_rosterModel(roster), m_store(store)
{
    connect(&m_rosterModel, &QAbstractItemModel::modelReset, this, [this] { setRow(-1); });
}

void FunctionModel::setRow(int row)
{
    beginResetModel();
    m_row = row >= 0 && row < m_store.entries().size() ? row : -1;
    endResetModel();
}

int FunctionModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || m_row < 0 ? 0 : Roster::FunctionCount;
}

int FunctionModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FunctionModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || m_row < 0 || index.row() >= Roster::FunctionCount)
        return QVariant();
    const Roster::Function& f = m_store.entries().at(m_row).functions[static_cast<size_t>(index.row())];
    switch (index.column()) {
    case Key:
        if (role == Qt::DisplayRole)
            return index.row() == 0 ? QStringLiteral("Licht")
                                    : QStringLiteral("F") + QString::number(index.row());
        break;
    case Label:
        if (role == Qt::DisplayRole || role == Qt::EditRole)
            return f.label;
        break;
    case Momentary:
        if (role == Qt::CheckStateRole)
            return f.momentary ? Qt::Checked : Qt::Unchecked;
        if (role == Qt::DisplayRole)
            return Roster::functionKindText(f.momentary);
        break;
    default:
        break;
    }
    return QVariant();
}

QVariant FunctionModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Key:
        return QStringLiteral("Funktion");
    case Label:
        return QStringLiteral("Bezeichnung");
    case Momentary:
        return QStringLiteral("Art");
    default:
        return QVariant();
    }
}

Qt::ItemFlags FunctionModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Qt::ItemFlags base = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == Label)
        return base | Qt::ItemIsEditable;
    if (index.column() == Momentary)
        return base | Qt::ItemIsUserCheckable;
    return base;
}

bool FunctionModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || m_row < 0 || index.row() >= Roster::FunctionCount)
        return false;
    Entry e = m_store.entries().at(m_row);
    Roster::Function& f = e.functions[static_cast<size_t>(index.row())];
    if (index.column() == Label && role == Qt::EditRole)
        f.label = value.toString().trimmed();
    else if (index.column() == Momentary && role == Qt::CheckStateRole)
        f.momentary = value.toInt() == Qt::Checked;
    else
        return false;
    if (!m_rosterModel.put(m_row, e).isEmpty())
        return false;
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), ColumnCount - 1));
    return true;
}
