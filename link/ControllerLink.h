// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LayoutState.h"
#include "LineTraffic.h"
#include "SerialPortInterface.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class DeviceWatch;
class LineClient;
class LinePrompter;

// What came of a request.
struct Outcome
{
    enum class Status {
        Answered,   // the Controller answered; `answer` holds its five bytes
        NoAnswer,   // every attempt failed: no answer, too short, damaged or refused
        PortError,  // the port could not be written (`portError` says why)
        Simulation, // simulation mode: nothing is sent
        NotChecked, // the Controller has not been checked since the port was opened or lost
        Busy,       // another source holds the line (`reason` says which)
        Superseded, // a newer request made this one stale before it went out
        Overflow,   // too many requests of this source were waiting
    };
    Status status = Status::NoAnswer;
    FrameFields answer; // the answer when answered, else the request
    PortError portError;
    QString reason;

    bool answered() const { return status == Status::Answered; }
    // The frame went to the Controller (whatever came back).
    bool sent() const
    {
        return status == Status::Answered || status == Status::NoAnswer || status == Status::PortError;
    }
};

// One entry of a Controller's loco configuration as it answers ReadLocoEntry.
struct LocoEntryRecord
{
    quint16 number = 0;
    quint8 attributes = 0;
    friend bool operator==(const LocoEntryRecord& a, const LocoEntryRecord& b)
    {
        return a.number == b.number && a.attributes == b.attributes;
    }
};

// The one owner of the Controller line. Every frame of every source (the windows, the keyboard,
// phones, timers) goes through here, one exchange at a time:
// - a window's transaction blocks the window thread without processing events, as the
//   Controller's protocol has always been driven; a transaction never starts inside another;
// - other sources queue their requests (LineClient::submit); the queues are served one exchange
//   per turn of the event loop, fairly, with a bounded length each;
// - stops go before anything waiting and pass every hold; a newer speed for a loco replaces the
//   one still waiting, from whichever source;
// - a window that needs the Controller to itself holds the line while it is open;
// - after the port was lost or changed, nothing but the main window's own check goes out until
//   the Controller has been checked again.
// It knows nothing of windows: the questions a failing transaction puts to the user come from
// the prompter the window layer installs.
class ControllerLink : public QObject
{
    Q_OBJECT

public:
    explicit ControllerLink(QObject* parent = nullptr);
    ~ControllerLink() override;

    // ---- The port ----
    // The link owns a real serial port; a test lends it another (nullptr: the real one again).
    void setPort(SerialPortInterface* port);
    SerialPortInterface& port();
    // Every timeout is measured on this clock; nullptr: the steady clock.
    void setClock(const MonotonicClock* clock);
    qint64 nowMs() const;
    // The clock set now, for what times itself by the line (the windows' screen rate).
    const MonotonicClock& clock() const { return *m_clock; }

    // "COM1".."COM24", or "NUL" for simulation mode, in which nothing is sent.
    QString portName() const { return m_portName; }
    void setPortName(const QString& name);
    bool isSimulation() const;
    // Closes whatever is open, opens the port under `name` and watches its device; false leaves
    // it closed and lastOpenError() says why. Either way the Controller must be checked anew.
    bool open(const QString& name);
    void close();
    PortError lastOpenError() const { return m_openError; }
    // The watched device has gone (a pulled cable); the port is closed until it is back.
    bool isLost() const;
    // On by default; off, nothing notices a pulled cable.
    void setWatchingDevices(bool on);
    QString watchedDevice() const;

    void setPrompter(LinePrompter* prompter) { m_prompter = prompter; }

    // ---- The check ----
    std::optional<quint8> checkedController() const { return m_checked; }
    void setChecked(quint8 controller);
    void clearCheck();

    // ---- Holds ----
    // The reason given by the window that holds the line, if one does.
    std::optional<QString> exclusiveReason() const;
    // A window holds the track switched off (the loco list, the decoder sheet).
    bool trackHeldOff() const;

    // ---- What the line knows ----
    const LayoutState& layout() const { return m_layout; }
    std::optional<QList<LocoEntryRecord>> locoEntries(quint8 controller) const;
    void rememberLocoEntries(quint8 controller, const QList<LocoEntryRecord>& entries);

    // A line for the traffic monitor that is not a frame: a phone's refused line, say.
    void note(const QString& source, const QString& text, const QString& reason);

    int waitingRequests() const;

signals:
    // The traffic, for the monitor and for tests that follow a whole session.
    void requestSent(const FrameFields& request, bool retry);
    void attemptEnded(const QByteArray& answer, AttemptOutcome outcome);
    void transactionEnded(const TransactionRecord& record);
    void noted(const QString& source, const QString& text, const QString& reason);

    // What the Controller acknowledged; `origin` is the source whose request it was.
    void locoChanged(quint8 controller, quint16 loco, const LocoState& state, const LineClient* origin);
    void allLocosStopped(quint8 controller, const LineClient* origin);
    void powerChanged(quint8 controller, bool on, const LineClient* origin);
    void locoStatesForgotten(quint8 controller);
    void locoEntriesChanged(quint8 controller);

    void checkChanged();
    void exclusiveChanged();
    // The device went; `reported` when a transaction has told the user of its port error.
    void portLost(bool reported);
    void portBack();

private:
    friend class LineClient;

    struct Pending
    {
        quint64 sequence = 0;
        LineClient* client = nullptr; // none once its source has gone (its stops still go out)
        FrameFields request;
        std::function<void(const Outcome&)> done;
    };
    struct Exchange;
    enum class Activity { None, Transaction, Batch };

    // For LineClient.
    void attach(LineClient* client);
    void detach(LineClient* client);
    Outcome transactNow(LineClient* client, const FrameFields& request, int attempts, bool showErrors,
                        int timeoutSeconds);
    void submit(LineClient* client, const FrameFields& request, std::function<void(const Outcome&)> done);
    void holdExclusive(LineClient* client, const QString& reason, bool trackOff);
    void releaseExclusive(LineClient* client);
    bool beginBatch(LineClient* client);
    void endBatch(LineClient* client);
    int waiting(const LineClient* client) const;

    std::optional<Outcome> refusal(const LineClient* client, const FrameFields& request) const;
    bool mayStartNow(const LineClient* client, const FrameFields& request) const;
    bool mayServe(const Pending& p) const;
    // Drops waiting speeds that `request` makes stale; `keep` is the request's own queue entry.
    void dropStale(const FrameFields& request, quint64 keep = 0);
    void finish(Pending& p, const Outcome& outcome);
    void schedulePump();
    void pump();
    Outcome run(LineClient* client, const FrameFields& request, int attempts, bool showErrors,
                int timeoutSeconds, bool prompts);
    Exchange exchangeOnce(const FrameFields& request, int timeoutSeconds);
    void acknowledged(const LineClient* client, const FrameFields& request, const FrameFields& answer);
    void deviceLost();
    void deviceBack();

    std::unique_ptr<SerialPortInterface> m_realPort;
    SerialPortInterface* m_lentPort = nullptr;
    const MonotonicClock* m_clock = nullptr;
    std::unique_ptr<MonotonicClock> m_steadyClock;
    DeviceWatch* m_watch;
    LinePrompter* m_prompter = nullptr;
    QString m_portName;
    PortError m_openError;
    bool m_portErrorReported = false;
    bool m_watching = true;

    std::optional<quint8> m_checked;
    LayoutState m_layout;
    QHash<quint8, QList<LocoEntryRecord>> m_locoEntries;

    QList<LineClient*> m_clients; // in the order their turns come
    QList<Pending> m_queue;       // all sources' requests, oldest first
    quint64 m_sequence = 0;
    int m_nextTurn = 0;
    QTimer m_pump;

    LineClient* m_activeClient = nullptr;
    Activity m_activity = Activity::None;
    bool m_inExchange = false;
    struct
    {
        LineClient* client = nullptr;
        QString reason;
        bool trackOff = false;
    } m_exclusive;
};
