// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrafficModel.h"

#include "CommandSet.h"
#include "ControllerLink.h"

#include <QIODevice>
#include <QStringList>

namespace {
QString loco(quint8 low, quint8 high)
{
    const quint16 number = wordFromBytes(low, high);
    return number == AllLocos ? QStringLiteral("alle Loks") : QStringLiteral("Lok %1").arg(number);
}

// What a request's data bytes mean, in words.
QString requestValues(quint8 command, quint8 d1, quint8 d2, quint8 d3)
{
    const quint16 word = wordFromBytes(d1, d2);
    switch (command) {
    case Command::ControllerControl:
        return d1 == ControlOp::TrackMode ? QStringLiteral("Modus %1").arg(d2)
                                          : QStringLiteral("%1, %2").arg(d2).arg(d3);
    case Command::ReadLocoEntry:
        if (d3 == LocoEntry::First)
            return QStringLiteral("erster Eintrag");
        if (d3 == LocoEntry::Next)
            return QStringLiteral("nächster Eintrag");
        return loco(d1, d2);
    case Command::WriteLocoEntry:
        return loco(d1, d2) + QStringLiteral(", Fahrstufen-Code %1").arg(d3);
    case Command::SetLocoDirection:
        return loco(d1, d2) + QStringLiteral(", Richtung %1").arg(d3);
    case Command::SetLocoSpeed:
        return loco(d1, d2) + QStringLiteral(", Geschwindigkeit %1").arg(d3);
    case Command::StopLoco:
        return loco(d1, d2);
    case Command::SwitchAccessoryOff:
    case Command::SwitchAccessoryOn:
        return QStringLiteral("Decoder %1, Port %2").arg(word).arg(d3 + 1);
    case Command::LocoFunctionOn:
    case Command::LocoFunctionOff:
        return loco(d1, d2) +
               (d3 == LightFunction ? QStringLiteral(", Licht") : QStringLiteral(", F%1").arg(d3));
    case Command::WriteCvByte:
    case Command::VerifyCvByte:
        return QStringLiteral("CV %1, Wert %2").arg(word).arg(d3);
    case Command::WriteCvBit:
    case Command::VerifyCvBit:
        return QStringLiteral("CV %1, Bit %2 = %3").arg(word).arg(bitSpecPosition(d3)).arg(bitSpecValue(d3));
    case Command::WriteRegister:
    case Command::VerifyRegister:
        return QStringLiteral("Register %1, Wert %2").arg(d1).arg(d3);
    default:
        return QString();
    }
}

// A cell as RFC 4180 writes it: in double quotes, its own quotes doubled, when it holds the
// separator, a quote or a line break, so a phone's line with ";" stays one cell.
QString delimited(const QString& cell, const QString& separator)
{
    if (!cell.contains(separator) && !cell.contains(QLatin1Char('"')) && !cell.contains(QLatin1Char('\n')) &&
        !cell.contains(QLatin1Char('\r')))
        return cell;
    QString inner = cell;
    inner.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

QString outcomeText(AttemptOutcome outcome)
{
    switch (outcome) {
    case AttemptOutcome::Answered:
        return QStringLiteral("beantwortet");
    case AttemptOutcome::Failed:
        return QStringLiteral("fehlgeschlagen");
    case AttemptOutcome::NoAnswer:
        break;
    }
    return QStringLiteral("keine Antwort");
}
} // namespace

TrafficModel::TrafficModel(ControllerLink& link, QObject* parent, int capacity)
    : QAbstractTableModel(parent), m_link(link), m_capacity(qMax(1, capacity))
{
    m_ring.resize(static_cast<size_t>(m_capacity));
    m_clock.start();
    m_publisher.setSingleShot(true);
    m_publisher.setInterval(100);
    connect(&m_publisher, &QTimer::timeout, this, &TrafficModel::publish);
}

void TrafficModel::setWatching(bool on)
{
    if (on == isWatching())
        return;
    if (on) {
        m_connections = {
            connect(&m_link, &ControllerLink::requestSent, this, &TrafficModel::requestSent),
            connect(&m_link, &ControllerLink::attemptEnded, this, &TrafficModel::attemptEnded),
            connect(&m_link, &ControllerLink::transactionEnded, this, &TrafficModel::transactionEnded),
            connect(&m_link, &ControllerLink::noted, this, &TrafficModel::note)};
        return;
    }
    for (const QMetaObject::Connection& c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    // Whatever was running ends unseen.
    m_lastRequest = -1;
    m_open.clear();
}

QString TrafficModel::commandName(quint8 command, quint8 data1)
{
    if (command == Command::ControllerControl) {
        switch (data1) {
        case ControlOp::Restart:
            return QStringLiteral("RestartController");
        case ControlOp::HardwareEmergencyStop:
            return QStringLiteral("SetHardwareEmergencyStop");
        case ControlOp::TrackMode:
            return QStringLiteral("SetTrackMode");
        case ControlOp::OperationPins:
            return QStringLiteral("SetOperationPins");
        case ControlOp::ProgrammingPins:
            return QStringLiteral("SetProgrammingPins");
        case ControlOp::MonitoringPins:
            return QStringLiteral("SetMonitoringPins");
        default:
            return QStringLiteral("ControllerControl %1").arg(data1);
        }
    }
    if (command == Command::ControllerQuery) {
        switch (data1) {
        case QueryOp::Status:
            return QStringLiteral("QueryControllerStatus");
        case QueryOp::FirmwareVersion:
            return QStringLiteral("ReadFirmwareVersion");
        case QueryOp::OperationPins:
            return QStringLiteral("ReadOperationPins");
        case QueryOp::ProgrammingPins:
            return QStringLiteral("ReadProgrammingPins");
        default:
            return QStringLiteral("ControllerQuery %1").arg(data1);
        }
    }
    static const char* const loco[] = {"ReadLocoEntry",     "WriteLocoEntry", "SetLocoDirection",
                                       "SetLocoSpeed",      "StopLoco",       "SwitchAccessoryOff",
                                       "SwitchAccessoryOn", "LocoFunctionOn", "LocoFunctionOff"};
    static const char* const programming[] = {"WriteCvByte",  "WriteCvBit",  "WriteRegister",
                                              "VerifyCvByte", "VerifyCvBit", "VerifyRegister"};
    if (command >= Command::ReadLocoEntry && command <= Command::LocoFunctionOff)
        return QString::fromUtf8(loco[command - Command::ReadLocoEntry]);
    if (command >= Command::WriteCvByte && command <= Command::VerifyRegister)
        return QString::fromUtf8(programming[command - Command::WriteCvByte]);
    return QStringLiteral("Befehl %1").arg(command);
}

int TrafficModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_count;
}

int TrafficModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const TrafficModel::Row& TrafficModel::at(int row) const
{
    return m_ring[static_cast<size_t>((m_first + row) % m_capacity)];
}

TrafficModel::Row& TrafficModel::at(int row)
{
    return m_ring[static_cast<size_t>((m_first + row) % m_capacity)];
}

QString TrafficModel::cell(const Row& row, int column) const
{
    if (!row.note.isEmpty()) {
        const QString texts[] = {QString::number(row.ms),
                                 row.source,
                                 QString(),
                                 QString(),
                                 QStringLiteral("nicht ausgeführt"),
                                 row.note.value(0),
                                 row.note.value(1)};
        return column >= 0 && column < ColumnCount ? texts[column] : QString();
    }
    switch (column) {
    case Time:
        return QString::number(row.ms);
    case Source:
        return row.source;
    case Direction:
        return row.received ? QStringLiteral("empfangen") : QStringLiteral("gesendet");
    case Bytes: {
        QStringList bytes;
        for (int i = 0; i < row.length; ++i)
            bytes << QString::number(row.bytes[static_cast<size_t>(i)]);
        return bytes.join(QStringLiteral(", "));
    }
    case Name:
        return commandName(row.command, row.data1);
    case Values:
        return row.received ? QString()
                            : requestValues(row.command, row.bytes[2], row.bytes[3], row.bytes[4]);
    case Result:
        if (row.received)
            return QString();
        if (row.pending)
            return row.retry ? QStringLiteral("Wiederholung") : QString();
        return row.retry ? QStringLiteral("Wiederholung, ") + outcomeText(row.outcome)
                         : outcomeText(row.outcome);
    default:
        return QString();
    }
}

QVariant TrafficModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_count || role != Qt::DisplayRole)
        return {};
    return cell(at(index.row()), index.column());
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const titles[] = {"Zeit (ms)", "Quelle", "Richtung", "Bytes",
                                         "Befehl",    "Werte",  "Ergebnis"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(titles[section]) : QString();
}

QString TrafficModel::rowText(int row, const QString& separator) const
{
    QStringList cells;
    for (int c = 0; c < ColumnCount; ++c)
        cells << delimited(cell(at(row), c), separator);
    return cells.join(separator);
}

void TrafficModel::writeCsv(QIODevice& out, const QList<int>& rows) const
{
    const QString separator = QStringLiteral(";");
    QStringList lines;
    QStringList header;
    for (int c = 0; c < ColumnCount; ++c)
        header << delimited(headerData(c, Qt::Horizontal).toString(), separator);
    lines << header.join(separator);
    for (int r : rows)
        lines << rowText(r, separator);
    // The byte order mark tells spreadsheets that read anything else as their own code page
    // that this is UTF-8, so "nächster Eintrag" stays readable.
    out.write("\xEF\xBB\xBF");
    out.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
}

void TrafficModel::clear()
{
    beginResetModel();
    m_first = 0;
    m_count = 0;
    m_incoming.clear();
    m_lastRequest = -1;
    m_open.clear();
    endResetModel();
}

void TrafficModel::publish()
{
    m_publisher.stop();
    if (m_incoming.empty())
        return;
    // Only the newest fit; older ones of the batch would be dropped at once anyway.
    const int arriving = static_cast<int>(m_incoming.size());
    const int skipped = qMax(0, arriving - m_capacity);
    const int adding = arriving - skipped;
    const int overflow = m_count + adding - m_capacity;
    if (overflow > 0) {
        beginRemoveRows(QModelIndex(), 0, overflow - 1);
        m_first = (m_first + overflow) % m_capacity;
        m_count -= overflow;
        endRemoveRows();
    }
    beginInsertRows(QModelIndex(), m_count, m_count + adding - 1);
    for (int i = skipped; i < arriving; ++i)
        at(m_count++) = m_incoming[static_cast<size_t>(i)];
    endInsertRows();
    m_incoming.clear();
}

void TrafficModel::add(const Row& row)
{
    m_incoming.push_back(row);
    ++m_serial;
    if (!m_publisher.isActive())
        m_publisher.start();
}

template <typename Change> void TrafficModel::change(qint64 serial, Change&& how)
{
    const qint64 firstIncoming = m_serial - static_cast<qint64>(m_incoming.size());
    if (serial >= firstIncoming) {
        how(m_incoming[static_cast<size_t>(serial - firstIncoming)]);
        return;
    }
    // Published while its transaction waited for the user (a failure box lets the timer run).
    const qint64 row = m_count - (firstIncoming - serial);
    if (row < 0)
        return;
    how(at(static_cast<int>(row)));
    emit dataChanged(index(static_cast<int>(row), 0), index(static_cast<int>(row), ColumnCount - 1));
}

void TrafficModel::requestSent(const FrameFields& request, bool retry)
{
    m_lastRequest = -1;
    if (m_paused)
        return;
    Row row;
    row.ms = m_clock.elapsed();
    const QByteArray bytes = encodeFrame(request);
    row.length = FrameSize;
    for (int i = 0; i < FrameSize; ++i)
        row.bytes[static_cast<size_t>(i)] = static_cast<quint8>(bytes[i]);
    row.retry = retry;
    row.pending = true;
    row.command = request.command;
    row.data1 = request.data1;
    m_lastRequest = m_serial;
    m_attempted = request;
    m_open.push_back({m_serial, request});
    add(row);
}

void TrafficModel::note(const QString& source, const QString& text, const QString& reason)
{
    if (m_paused)
        return;
    Row row;
    row.ms = m_clock.elapsed();
    row.source = source;
    row.note = QStringList{text, reason};
    add(row);
}

void TrafficModel::attemptEnded(const QByteArray& answer, AttemptOutcome outcome)
{
    if (m_lastRequest < 0)
        return; // sent while paused
    change(m_lastRequest, [outcome](Row& row) {
        row.pending = false;
        row.outcome = outcome;
    });
    m_lastRequest = -1;
    if (answer.isEmpty())
        return;
    Row row;
    row.ms = m_clock.elapsed();
    row.received = true;
    row.length = static_cast<quint8>(qMin<qsizetype>(answer.size(), FrameSize));
    for (int i = 0; i < row.length; ++i)
        row.bytes[static_cast<size_t>(i)] = static_cast<quint8>(answer[i]);
    row.command = m_attempted.command;
    row.data1 = m_attempted.data1;
    m_open.push_back({m_serial, m_attempted});
    add(row);
}

void TrafficModel::transactionEnded(const TransactionRecord& record)
{
    // Its rows are the newest still open with its request. Older open rows belong to a
    // transaction that is still running: one whose failure box let this one (a stop) through.
    while (!m_open.empty() && m_open.back().request == record.request) {
        change(m_open.back().serial, [&record](Row& row) { row.source = record.origin; });
        m_open.pop_back();
    }
}
