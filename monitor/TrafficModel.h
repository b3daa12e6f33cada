// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LineTraffic.h"

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QList>
#include <QStringList>
#include <QTime>
#include <QTimer>

#include <array>
#include <vector>

class ControllerLink;
class QIODevice;

// The frames on the line as a table: a ring of the newest frames, so a long session cannot eat
// the memory. Each frame names the source whose transaction it was (the window, a phone).
class TrafficModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Time, Source, Direction, Bytes, Name, Values, Result, ColumnCount };
    // The command column's German meaning, shown beside the command's name.
    static constexpr int MeaningRole = Qt::UserRole + 1;
    static constexpr int DefaultCapacity = 100000;

    explicit TrafficModel(ControllerLink& link, QObject* parent = nullptr, int capacity = DefaultCapacity);

    // Follows the link's traffic and notes while on. Off, the line has no watcher here, so an
    // unwatched transaction costs nothing for the monitor.
    void setWatching(bool on);
    bool isWatching() const { return !m_connections.isEmpty(); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void setPaused(bool paused) { m_paused = paused; }
    // Hands the frames that came in since the last call to the views. Runs on a short timer, so a
    // burst of frames costs the views one update instead of one per frame.
    void publish();
    void clear();
    // UTF-8, semicolon-separated and quoted as RFC 4180 quotes, a header line first, then the rows
    // given in their order.
    void writeCsv(QIODevice& out, const QList<int>& rows) const;
    // A cell that holds the separator, a quote or a line break is quoted.
    QString rowText(int row, const QString& separator) const;

    // The name of a request's command in the command set, from its command and data1 bytes.
    static QString commandName(quint8 command, quint8 data1);
    // What a command name means, in German: "SetLocoSpeed" is "Geschwindigkeit setzen". Empty for
    // a name without a meaning of its own ("Befehl 40").
    static QString commandMeaning(const QString& name);
    // The wall-clock time the time column counts its milliseconds from.
    QTime startedAt() const { return m_startedAt; }

private:
    struct Row
    {
        qint64 ms = 0;
        std::array<quint8, 6> bytes{};
        quint8 length = 0;
        bool received = false;
        bool retry = false;
        bool pending = false;
        AttemptOutcome outcome = AttemptOutcome::NoAnswer;
        quint8 command = 0; // of the request, so an answer is named after it
        quint8 data1 = 0;
        QString source;   // the source that asked, once its transaction has ended; a note's sender
        QStringList note; // text, reason; empty for a frame
    };
    // A row waiting for the end of its transaction, which names the source.
    struct OpenRow
    {
        qint64 serial = 0;
        FrameFields request;
    };

    void requestSent(const FrameFields& request, bool retry);
    void attemptEnded(const QByteArray& answer, AttemptOutcome outcome);
    void transactionEnded(const TransactionRecord& record);
    // A line from elsewhere that never became a frame (a phone's line the program ignored): who
    // sent it, the line, and why.
    void note(const QString& source, const QString& text, const QString& reason);

    const Row& at(int row) const;
    Row& at(int row);
    QString cell(const Row& row, int column) const;
    void add(const Row& row);
    // Changes a row by its serial number, published or not; a row the ring has dropped is gone.
    template <typename Change> void change(qint64 serial, Change&& how);

    ControllerLink& m_link;
    QList<QMetaObject::Connection> m_connections;
    std::vector<Row> m_ring;
    int m_capacity;
    int m_first = 0;
    int m_count = 0;
    std::vector<Row> m_incoming; // not yet published
    qint64 m_serial = 0;         // the serial number the next row gets
    qint64 m_lastRequest = -1;   // the request whose attempt is running
    FrameFields m_attempted;     // and what it asked
    std::vector<OpenRow> m_open; // oldest first
    QTimer m_publisher;
    bool m_paused = false;
    QElapsedTimer m_clock;
    QTime m_startedAt;
};
