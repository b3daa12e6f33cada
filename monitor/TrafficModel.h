// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TrafficObserver.h"

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>

#include <array>
#include <vector>

class QIODevice;

// The frames on the line as a table: a ring of the newest frames, so a long session cannot eat
// the memory. Fed by the transaction while installed as its watcher.
class TrafficModel : public QAbstractTableModel, public TrafficObserver
{
    Q_OBJECT

public:
    enum Column { Time, Direction, Bytes, Name, Values, Result, ColumnCount };
    static constexpr int DefaultCapacity = 100000;

    explicit TrafficModel(QObject* parent = nullptr, int capacity = DefaultCapacity);

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

    // A line from elsewhere that never became a frame (a phone's line the program ignored): who
    // sent it, the line, and why it was ignored.
    void note(const QString& source, const QString& text, const QString& reason);

    // TrafficObserver
    void requestSent(const FrameFields& request, bool retry) override;
    void attemptEnded(const QByteArray& answer, Outcome outcome) override;

private:
    struct Row
    {
        qint64 ms = 0;
        std::array<quint8, 6> bytes{};
        quint8 length = 0;
        bool received = false;
        bool retry = false;
        bool pending = false;
        Outcome outcome = Outcome::NoAnswer;
        quint8 command = 0; // of the request, so an answer is named after it
        quint8 data1 = 0;
        QStringList note; // source, text, reason; empty for a frame
    };
    const Row& at(int row) const;
    Row& at(int row);
    QString cell(const Row& row, int column) const;

    std::vector<Row> m_ring;
    int m_capacity;
    int m_first = 0;
    int m_count = 0;
    std::vector<Row> m_incoming; // not yet published
    int m_lastRequest = -1;      // in m_incoming: the request whose attempt is running
    QTimer m_publisher;
    bool m_paused = false;
    QElapsedTimer m_clock;
};
