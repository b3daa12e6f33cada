// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>

class LineClient;
class QTcpSocket;

// One phone's connection: splits what arrives into lines and hands them on one at a time, in the
// order they came; watches the heartbeat once the phone has asked for it, and remembers which
// locos the phone holds on which of its throttles.
class WiThrottleSession : public QObject
{
    Q_OBJECT

public:
    // More unsent output than this means the phone reads nothing: its connection is dropped.
    static constexpr qint64 MaxPendingOutput = 1 << 20;
    // How many of the phone's lines a second reach the traffic monitor one by one; the rest of a
    // flood is summed up.
    static constexpr int NotesPerSecond = 20;

    WiThrottleSession(QTcpSocket* socket, int heartbeatSeconds, QObject* parent);

    void send(const QByteArray& lines);
    // Gracefully after what was sent, or at once, dropping what waits in either direction.
    void close(bool atOnce = false);
    QString peer() const;
    bool isOpen() const;
    // The name the phone gave, else its address.
    QString displayName() const;

    QString name;
    QString id;
    // throttle character -> key ("S3") -> loco address
    QMap<char, QMap<QString, int>> locos;
    // The phone's source on the Controller line, a child of the session.
    LineClient* line = nullptr;
    // The phone has been sent a roster; until then one is being read for it.
    bool rosterTold = false;

    // Functions the phone has switched whose frames have not come back yet, so a second press
    // toggles the first press's result rather than what the Controller acknowledged before.
    struct PendingFunctions
    {
        quint16 functions = 0;
        int waiting = 0;
    };
    QHash<quint16, PendingFunctions> pendingFunctions;

    // The phone's questions of a loco's speed or direction that came while its commands waited:
    // answered once these have gone out, as the lines came.
    struct Question
    {
        char throttle = 0;
        QString key;
        int loco = 0;
        bool speed = false; // else the direction
    };
    QList<Question> questions;

    // Whether another line of the phone may go into the traffic monitor now; when not, it is
    // counted. takeUnnoted() gives the count of the lines left out since it was last asked.
    bool mayNote();
    int takeUnnoted();

    void setHeartbeatMonitored(bool on);

signals:
    void lineReceived(const QByteArray& line);
    void overlongLine(const QByteArray& start);
    void heartbeatLost();
    void disconnected();

private:
    void readLines();

    QTcpSocket* m_socket;
    QByteArray m_buffer;
    QTimer m_heartbeat;
    bool m_closing = false;
    bool m_handling = false;
    QElapsedTimer m_noteSecond;
    int m_notes = 0;
    int m_unnoted = 0;
};
