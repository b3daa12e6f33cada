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
class PhoneConnection;
class TurnoutSwitcher;

// One phone's connection: splits what arrives into lines and hands them on one at a time, in the
// order they came; watches the heartbeat once the phone has asked for it, and remembers which
// locos the phone holds on which of its throttles. What it keeps is bounded whatever the phone
// sends or fails to read: one line of input, and unsent output up to WiThrottle::MaxPendingOutput.
class WiThrottleSession : public QObject
{
    Q_OBJECT

public:
    // How many of the phone's lines a second reach the traffic monitor one by one; the rest of a
    // flood is summed up.
    static constexpr int NotesPerSecond = 20;
    // How much of what arrived is taken from the connection at a time.
    static constexpr qint64 ReadChunk = qint64{16} * 1024;
    // How long a connection closed after its last lines may take to send them.
    static constexpr int CloseGraceMs = 5000;

    // Takes the connection over.
    WiThrottleSession(PhoneConnection* connection, int heartbeatSeconds, QObject* parent);

    void send(const QByteArray& lines);
    // Gracefully after what was sent, or at once, dropping what waits in either direction.
    void close(bool atOnce = false);
    QString peer() const;
    bool isOpen() const;
    // The name the phone gave, else its address.
    QString displayName() const;
    // The phone left more unsent output than a connection may keep: it has been closed.
    bool overflowed() const { return m_overflowed; }

    // The server's number of the connection, which the dialog names it by.
    quint64 number = 0;
    QString name;
    QString id;
    // The phone has said who it is (its name or its id).
    bool identified = false;
    // Approved by the user for this connection only (a device without an id).
    bool approvedHere = false;
    // throttle character -> key ("S3") -> loco address
    QMap<char, QMap<QString, int>> locos;
    // The phone's source on the Controller line, a child of the session.
    LineClient* line = nullptr;
    // Switches the phone's turnouts and routes through its source; made when first needed.
    TurnoutSwitcher* turnouts = nullptr;
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

    // The stop comes no earlier than the interval after the phone's last line, and only as late
    // as the event loop lets a precise timer be.
    void setHeartbeatMonitored(bool on);
    bool heartbeatMonitored() const { return m_heartbeatOn; }

signals:
    void lineReceived(const QByteArray& line);
    void overlongLine(const QByteArray& start);
    void heartbeatLost();
    void disconnected();

private:
    void readLines();

    PhoneConnection* m_connection;
    QByteArray m_buffer; // at most one line and one chunk
    QTimer m_heartbeat;
    bool m_heartbeatOn = false;
    bool m_closing = false;
    bool m_overflowed = false;
    bool m_handling = false;
    QElapsedTimer m_noteSecond;
    int m_notes = 0;
    int m_unnoted = 0;
};
