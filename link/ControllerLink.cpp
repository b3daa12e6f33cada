// SPDX-License-Identifier: GPL-3.0-or-later
#include "ControllerLink.h"

#include "CommandSet.h"
#include "DeviceWatch.h"
#include "LineClient.h"
#include "LinePrompter.h"
#include "LineRules.h"
#include "PortDirectory.h"
#include "QtSerialPort.h"

#include <QElapsedTimer>
#include <QMetaMethod>
#include <QScopeGuard>

#include <algorithm>

namespace {

const QString kSimulation = QStringLiteral("NUL");
// A port that stops transmitting must not freeze the window for longer than this.
constexpr int kTransmitBoundMs = 1000;
// What a queued request gets: the dashboard's own pattern.
constexpr int kQueuedAttempts = 2;
constexpr int kQueuedTimeoutSeconds = 2;

class SteadyClock final : public MonotonicClock
{
public:
    SteadyClock() { m_timer.start(); }
    qint64 nowMs() const override { return m_timer.elapsed(); }

private:
    QElapsedTimer m_timer; // monotonic on every platform Qt supports
};

Outcome refused(Outcome::Status status, const FrameFields& request, const QString& reason = QString())
{
    Outcome outcome;
    outcome.status = status;
    outcome.answer = request;
    outcome.reason = reason;
    return outcome;
}

QString busyText()
{
    return QStringLiteral("Der Controller bearbeitet gerade einen anderen Auftrag.");
}

} // namespace

struct ControllerLink::Exchange
{
    bool accepted = false;
    FrameFields answer;
    QByteArray bytes;          // as they came back, for a watcher
    quint8 controllerByte = 0; // byte 1 of a six-byte answer, else the byte sent
    PortError portError;       // the write failed
};

ControllerLink::ControllerLink(QObject* parent)
    : QObject(parent), m_steadyClock(std::make_unique<SteadyClock>()), m_watch(new DeviceWatch(this)),
      m_portName(kSimulation)
{
    qRegisterMetaType<FrameFields>();
    qRegisterMetaType<TransactionRecord>();
    qRegisterMetaType<LocoState>();
    m_clock = m_steadyClock.get();
    m_pump.setSingleShot(true);
    m_pump.setInterval(0);
    connect(&m_pump, &QTimer::timeout, this, &ControllerLink::pump);
    m_watch->setReopen([this] { return port().open(m_portName); });
    connect(m_watch, &DeviceWatch::lost, this, &ControllerLink::deviceLost);
    connect(m_watch, &DeviceWatch::back, this, &ControllerLink::deviceBack);
}

ControllerLink::~ControllerLink()
{
    // The sources may outlive the link only as objects; they never reach it again.
    for (LineClient* client : std::as_const(m_clients)) {
        client->m_attached = false;
        client->disconnect(this);
    }
    m_clients.clear();
    m_queue.clear();
}

// ---- The port ----

void ControllerLink::setPort(SerialPortInterface* port)
{
    m_lentPort = port;
}

SerialPortInterface& ControllerLink::port()
{
    if (m_lentPort)
        return *m_lentPort;
    if (!m_realPort)
        m_realPort = std::make_unique<QtSerialPort>();
    return *m_realPort;
}

void ControllerLink::setClock(const MonotonicClock* clock)
{
    m_clock = clock ? clock : m_steadyClock.get();
}

qint64 ControllerLink::nowMs() const
{
    return m_clock->nowMs();
}

void ControllerLink::setPortName(const QString& name)
{
    m_portName = name;
    if (isSimulation())
        m_watch->watch(QString());
}

bool ControllerLink::isSimulation() const
{
    return m_portName.compare(kSimulation, Qt::CaseInsensitive) == 0;
}

bool ControllerLink::open(const QString& name)
{
    close();
    clearCheck();
    if (port().open(name)) {
        m_openError = PortError();
        m_portErrorReported = false;
        // The device of the open port is watched, so that a pulled cable is noticed.
        if (m_watching)
            m_watch->watch(PortDirectory::devicePath(name));
        return true;
    }
    m_openError = port().lastError();
    // A pulled device stays watched until it is back or another port opens.
    if (!m_watch->isLost())
        m_watch->watch(QString());
    return false;
}

void ControllerLink::close()
{
    // One port object serves every COM number, so closing it closes whatever was open.
    port().close();
}

void ControllerLink::setWatchingDevices(bool on)
{
    m_watching = on;
    if (!on)
        m_watch->watch(QString());
}

bool ControllerLink::isLost() const
{
    return m_watch->isLost();
}

QString ControllerLink::watchedDevice() const
{
    return m_watch->path();
}

void ControllerLink::deviceLost()
{
    const bool reported = m_portErrorReported;
    close(); // a held device would come back under another name
    clearCheck();
    emit portLost(reported);
}

void ControllerLink::deviceBack()
{
    // Reopened by the watch; the Controller may have restarted meanwhile.
    m_portErrorReported = false;
    clearCheck();
    emit portBack();
}

// ---- The check ----

void ControllerLink::setChecked(quint8 controller)
{
    m_checked = controller;
    m_locoEntries.clear(); // another Controller, or the same after a restart
    emit checkChanged();
    schedulePump();
}

void ControllerLink::clearCheck()
{
    if (!m_checked)
        return;
    m_checked.reset();
    // What waits for the Controller is refused now; the user checks it again first.
    QList<Pending> refusedNow;
    for (auto it = m_queue.begin(); it != m_queue.end();) {
        if (!it->client || it->client->needsCheck()) {
            refusedNow << std::move(*it);
            it = m_queue.erase(it);
        } else {
            ++it;
        }
    }
    for (Pending& p : refusedNow)
        finish(p, refused(Outcome::Status::NotChecked, p.request));
    emit checkChanged();
}

// ---- Holds ----

std::optional<QString> ControllerLink::exclusiveReason() const
{
    if (!m_exclusive.client)
        return std::nullopt;
    return m_exclusive.reason;
}

bool ControllerLink::trackHeldOff() const
{
    return m_exclusive.client && m_exclusive.trackOff;
}

void ControllerLink::holdExclusive(LineClient* client, const QString& reason, bool trackOff)
{
    m_exclusive.client = client;
    m_exclusive.reason = reason;
    m_exclusive.trackOff = trackOff;
    // Phones are told now rather than when their turn would have come.
    QList<Pending> refusedNow;
    for (auto it = m_queue.begin(); it != m_queue.end();) {
        if (it->client && it->client != client && it->client->kind() == LineClient::Kind::Remote &&
            !Line::isStop(it->request)) {
            refusedNow << std::move(*it);
            it = m_queue.erase(it);
        } else {
            ++it;
        }
    }
    for (Pending& p : refusedNow)
        finish(p, refused(Outcome::Status::Busy, p.request, reason));
    emit exclusiveChanged();
}

void ControllerLink::releaseExclusive(LineClient* client)
{
    if (m_exclusive.client != client)
        return;
    m_exclusive.client = nullptr;
    m_exclusive.reason.clear();
    m_exclusive.trackOff = false;
    emit exclusiveChanged();
    schedulePump();
}

bool ControllerLink::beginBatch(LineClient* client)
{
    if (m_activity != Activity::None)
        return false;
    m_activity = Activity::Batch;
    m_activeClient = client;
    return true;
}

void ControllerLink::endBatch(LineClient* client)
{
    if (m_activity == Activity::Batch && m_activeClient == client) {
        m_activity = Activity::None;
        m_activeClient = nullptr;
    }
    schedulePump();
}

// ---- Sources ----

void ControllerLink::attach(LineClient* client)
{
    m_clients << client;
}

void ControllerLink::detach(LineClient* client)
{
    m_clients.removeOne(client);
    // A source that goes takes its waiting requests along, but not its stops: the stop after a
    // lost connection is sent after the connection has gone.
    for (auto it = m_queue.begin(); it != m_queue.end();) {
        if (it->client != client) {
            ++it;
        } else if (Line::isStop(it->request)) {
            it->client = nullptr;
            it->done = {};
            ++it;
        } else {
            it = m_queue.erase(it);
        }
    }
    if (m_exclusive.client == client)
        releaseExclusive(client);
    if (m_activeClient == client) {
        m_activeClient = nullptr;
        m_activity = Activity::None;
    }
}

int ControllerLink::waiting(const LineClient* client) const
{
    return static_cast<int>(std::count_if(m_queue.cbegin(), m_queue.cend(),
                                          [client](const Pending& p) { return p.client == client; }));
}

int ControllerLink::waitingRequests() const
{
    return static_cast<int>(m_queue.size());
}

// ---- Refusals and order ----

std::optional<Outcome> ControllerLink::refusal(const LineClient* client, const FrameFields& request) const
{
    if (isSimulation())
        return refused(Outcome::Status::Simulation, request);
    if (client->needsCheck() && !m_checked)
        return refused(Outcome::Status::NotChecked, request);
    if (m_exclusive.client && m_exclusive.client != client && m_exclusive.trackOff) {
        // The track carries no power while the window holds it off: a track-off is done already,
        // and sending it would end the window's programming mode.
        if (Line::switchesTrackOff(request)) {
            Outcome done = refused(Outcome::Status::Answered, request);
            done.answer.command = Answer::TrackModeAcknowledged;
            return done;
        }
        if (Line::switchesTrackOn(request))
            return refused(Outcome::Status::Busy, request, m_exclusive.reason);
    }
    return std::nullopt;
}

bool ControllerLink::mayStartNow(const LineClient* client, const FrameFields& request) const
{
    if (m_inExchange)
        return false;
    if (Line::isStop(request))
        return true; // between two exchanges of whatever holds the line
    if (m_activity == Activity::Transaction)
        return false; // no transaction inside another, nested event loops included
    if (m_activity == Activity::Batch && m_activeClient != client)
        return false;
    return !m_exclusive.client || m_exclusive.client == client;
}

bool ControllerLink::mayServe(const Pending& p) const
{
    if (m_inExchange)
        return false;
    if (Line::isStop(p.request))
        return true;
    if (m_activity != Activity::None)
        return false;
    return !m_exclusive.client || m_exclusive.client == p.client;
}

void ControllerLink::dropStale(const FrameFields& request, quint64 keep)
{
    const auto speed = Line::speedFor(request);
    const bool stop = Line::isStop(request) && request.command == Command::StopLoco;
    if (!speed && !stop)
        return;
    const bool all = Line::stopsAllLocos(request);
    const auto loco = speed ? speed : Line::drivenLoco(request);

    QList<Pending> stale;
    if (stop) {
        // A stop is newer than every speed still waiting for its locos.
        for (auto it = m_queue.begin(); it != m_queue.end();) {
            const auto waitingSpeed = Line::speedFor(it->request);
            const bool hit = waitingSpeed && (all ? Line::controllerOf(*waitingSpeed) == request.controller
                                                  : waitingSpeed == loco);
            if (hit && it->sequence != keep) {
                stale << std::move(*it);
                it = m_queue.erase(it);
            } else {
                ++it;
            }
        }
    } else {
        // A speed replaces the speed each source still has waiting for that loco, unless a
        // direction or function for it waits behind, whose order stays.
        QList<LineClient*> seen;
        for (qsizetype i = m_queue.size() - 1; i >= 0; --i) {
            Pending& p = m_queue[i];
            if (seen.contains(p.client) || Line::drivenLoco(p.request) != loco)
                continue;
            seen << p.client;
            if (p.sequence == keep)
                continue; // the request itself; what its source queued before stays in order
            if (Line::speedFor(p.request)) {
                stale << std::move(p);
                m_queue.removeAt(i);
            }
        }
    }
    for (Pending& p : stale)
        finish(p, refused(Outcome::Status::Superseded, p.request));
}

void ControllerLink::finish(Pending& p, const Outcome& outcome)
{
    if (p.done && p.client)
        p.done(outcome);
}

// ---- Transactions ----

Outcome ControllerLink::transactNow(LineClient* client, const FrameFields& request, int attempts,
                                    bool showErrors, int timeoutSeconds)
{
    if (auto refusedNow = refusal(client, request))
        return *refusedNow;
    if (!mayStartNow(client, request)) {
        return refused(Outcome::Status::Busy, request,
                       m_exclusive.client && m_exclusive.client != client ? m_exclusive.reason : busyText());
    }
    dropStale(request);
    const Activity before = m_activity;
    LineClient* const activeBefore = m_activeClient;
    m_activity = Activity::Transaction;
    m_activeClient = client;
    Outcome outcome = run(client, request, attempts, showErrors, timeoutSeconds,
                          client->kind() == LineClient::Kind::Screen);
    m_activity = before;
    m_activeClient = activeBefore;
    schedulePump();
    return outcome;
}

void ControllerLink::submit(LineClient* client, const FrameFields& request,
                            std::function<void(const Outcome&)> done)
{
    Pending p{++m_sequence, client, request, std::move(done)};
    std::optional<Outcome> refusedNow = refusal(client, request);
    if (!refusedNow && m_exclusive.client && m_exclusive.client != client &&
        client->kind() == LineClient::Kind::Remote && !Line::isStop(request))
        refusedNow = refused(Outcome::Status::Busy, request, m_exclusive.reason);
    if (!refusedNow && !Line::isStop(request) && waiting(client) >= LineClient::QueueLimit)
        refusedNow = refused(Outcome::Status::Overflow, request);
    if (refusedNow) {
        finish(p, *refusedNow);
        return;
    }

    if (const auto speed = Line::speedFor(request)) {
        // The source's own speed for that loco, still waiting and last in its line, takes the
        // new value where it stands.
        for (qsizetype i = m_queue.size() - 1; i >= 0; --i) {
            Pending& w = m_queue[i];
            if (w.client != client || Line::drivenLoco(w.request) != speed)
                continue;
            if (Line::speedFor(w.request)) {
                Pending stale{w.sequence, client, w.request, std::move(w.done)};
                w.request = request;
                w.done = std::move(p.done);
                finish(stale, refused(Outcome::Status::Superseded, stale.request));
                dropStale(request, w.sequence);
                schedulePump();
                return;
            }
            break;
        }
    }
    const quint64 sequence = p.sequence;
    m_queue << std::move(p);
    dropStale(request, sequence);
    schedulePump();
}

void ControllerLink::schedulePump()
{
    if (!m_queue.isEmpty() && !m_pump.isActive())
        m_pump.start();
}

void ControllerLink::pump()
{
    if (m_inExchange)
        return;
    // Stops first, oldest first; then one request of the next source in turn.
    qsizetype chosen = -1;
    for (qsizetype i = 0; i < m_queue.size() && chosen < 0; ++i)
        if (Line::isStop(m_queue[i].request) && mayServe(m_queue[i]))
            chosen = i;
    for (int turn = 0; chosen < 0 && turn < m_clients.size(); ++turn) {
        const int index = (m_nextTurn + turn) % static_cast<int>(m_clients.size());
        LineClient* const client = m_clients[index];
        const auto first = std::find_if(m_queue.cbegin(), m_queue.cend(),
                                        [client](const Pending& p) { return p.client == client; });
        if (first != m_queue.cend() && mayServe(*first)) {
            chosen = first - m_queue.cbegin();
            m_nextTurn = index + 1;
        }
    }
    if (chosen < 0)
        return; // everything waiting waits for a hold to end

    Pending p = m_queue.takeAt(chosen);
    Outcome outcome;
    std::optional<Outcome> refusedNow;
    if (p.client)
        refusedNow = refusal(p.client, p.request);
    else if (isSimulation() || !m_checked) // the stop of a source that has gone
        refusedNow =
            refused(isSimulation() ? Outcome::Status::Simulation : Outcome::Status::NotChecked, p.request);
    if (refusedNow) {
        outcome = *refusedNow;
    } else {
        const Activity before = m_activity;
        LineClient* const activeBefore = m_activeClient;
        m_activity = Activity::Transaction;
        m_activeClient = p.client;
        outcome = run(p.client, p.request, kQueuedAttempts, false, kQueuedTimeoutSeconds, false);
        m_activity = before;
        m_activeClient = activeBefore;
    }
    finish(p, outcome);
    schedulePump();
}

ControllerLink::Exchange ControllerLink::exchangeOnce(const FrameFields& request, int timeoutSeconds)
{
    Exchange outcome;
    outcome.controllerByte = request.controller;
    SerialPortInterface& line = port();
    m_inExchange = true;
    const auto done = qScopeGuard([this] { m_inExchange = false; });

    line.clearBuffers(); // a late answer to an earlier request must not pass for this one's
    if (!line.write(encodeFrame(request))) {
        outcome.portError = line.lastError();
        return outcome;
    }
    if (!line.waitForTransmitted(kTransmitBoundMs)) {
        // The port buffers the write; a device that has gone away fails only here.
        if (line.lastError().number != 0)
            outcome.portError = line.lastError();
        return outcome;
    }

    const qint64 deadline = nowMs() + qint64(timeoutSeconds) * 1000;
    while (line.bytesWaiting() < FrameSize) {
        const qint64 remaining = deadline - nowMs();
        if (remaining <= 0)
            break;
        // Sleeps in the kernel; a vanished device reports an error instead of bytes.
        if (!line.waitForBytes(int(remaining)) && line.lastError().number != 0)
            break;
    }

    outcome.bytes = line.bytesWaiting() > 0 ? line.readAll() : QByteArray();
    if (outcome.bytes.size() < FrameSize)
        return outcome;
    outcome.controllerByte = static_cast<quint8>(outcome.bytes[0]);
    FrameFields answer;
    if (!decodeFrame(outcome.bytes, answer) || answer.command == Answer::Failed)
        return outcome;
    outcome.accepted = true;
    outcome.answer = answer;
    return outcome;
}

Outcome ControllerLink::run(LineClient* client, const FrameFields& request, int attempts, bool showErrors,
                            int timeoutSeconds, bool prompts)
{
    const int tries = attempts == 0 ? 3 : attempts;
    // The clock and the signals cost nothing while no one watches.
    static const QMetaMethod sent = QMetaMethod::fromSignal(&ControllerLink::requestSent);
    static const QMetaMethod ended = QMetaMethod::fromSignal(&ControllerLink::attemptEnded);
    static const QMetaMethod record = QMetaMethod::fromSignal(&ControllerLink::transactionEnded);
    const bool traced = isSignalConnected(sent) || isSignalConnected(ended);
    const bool recorded = isSignalConnected(record);
    const qint64 started = recorded ? nowMs() : 0;
    LinePrompter* const prompter = prompts ? m_prompter : nullptr;

    Outcome outcome = refused(Outcome::Status::NoAnswer, request);
    for (bool again = true; again;) {
        quint8 lastController = request.controller;
        int reportedError = 0;
        outcome.status = Outcome::Status::NoAnswer;
        for (int attempt = 0; attempt < tries; ++attempt) {
            // Each attempt sends the request as the caller passed it.
            if (traced)
                emit requestSent(request, attempt > 0);
            const Exchange e = exchangeOnce(request, timeoutSeconds);
            if (traced)
                emit attemptEnded(e.bytes, e.accepted          ? AttemptOutcome::Answered
                                           : e.bytes.isEmpty() ? AttemptOutcome::NoAnswer
                                                               : AttemptOutcome::Failed);
            if (e.accepted) {
                outcome.status = Outcome::Status::Answered;
                outcome.answer = e.answer;
                break;
            }
            if (e.portError.number != 0) {
                outcome.status = Outcome::Status::PortError;
                outcome.portError = e.portError;
                // A pulled cable fails every attempt alike: told once, unless it fails otherwise.
                if (prompter && e.portError.number != reportedError) {
                    reportedError = e.portError.number;
                    m_portErrorReported = true;
                    prompter->portFailed(m_portName, e.portError);
                }
            } else {
                outcome.status = Outcome::Status::NoAnswer;
            }
            lastController = e.controllerByte;
        }
        again = !outcome.answered() && showErrors && prompter && prompter->retryAfterNoAnswer(lastController);
    }

    if (outcome.answered())
        acknowledged(client, request, outcome.answer);
    if (recorded)
        emit transactionEnded(TransactionRecord{request, outcome.answer, outcome.answered(), attempts,
                                                showErrors, timeoutSeconds, nowMs() - started,
                                                client ? client->name() : QString()});
    return outcome;
}

void ControllerLink::acknowledged(const LineClient* client, const FrameFields& request,
                                  const FrameFields& answer)
{
    for (const LayoutState::Change& change : m_layout.apply(request, answer)) {
        switch (change.kind) {
        case LayoutState::Change::Kind::Loco:
            emit locoChanged(change.controller, change.loco, m_layout.loco(change.controller, change.loco),
                             client);
            break;
        case LayoutState::Change::Kind::AllStopped:
            emit allLocosStopped(change.controller, client);
            break;
        case LayoutState::Change::Kind::Power:
            emit powerChanged(change.controller, m_layout.power(change.controller).value_or(false), client);
            break;
        case LayoutState::Change::Kind::Forgotten:
            emit locoStatesForgotten(change.controller);
            break;
        }
    }
}

// ---- What the line knows ----

std::optional<QList<LocoEntryRecord>> ControllerLink::locoEntries(quint8 controller) const
{
    const auto it = m_locoEntries.constFind(controller);
    if (it == m_locoEntries.cend())
        return std::nullopt;
    return *it;
}

void ControllerLink::rememberLocoEntries(quint8 controller, const QList<LocoEntryRecord>& entries)
{
    const auto it = m_locoEntries.constFind(controller);
    if (it != m_locoEntries.cend() && *it == entries)
        return;
    m_locoEntries.insert(controller, entries);
    emit locoEntriesChanged(controller);
}

void ControllerLink::note(const QString& source, const QString& text, const QString& reason)
{
    emit noted(source, text, reason);
}

// ---- LineClient ----

LineClient::LineClient(ControllerLink& link, const QString& name, Kind kind, QObject* parent)
    : QObject(parent), m_link(link), m_name(name), m_kind(kind)
{
    m_link.attach(this);
}

LineClient::~LineClient()
{
    if (m_attached)
        m_link.detach(this);
}

Outcome LineClient::transact(const FrameFields& request, int attempts, bool showErrors, int timeoutSeconds)
{
    return m_link.transactNow(this, request, attempts, showErrors, timeoutSeconds);
}

bool LineClient::ControllerTransaction(FrameFields& frame, int attempts, bool showErrors, int timeoutSeconds)
{
    const Outcome outcome = transact(frame, attempts, showErrors, timeoutSeconds);
    if (!outcome.answered())
        return false;
    frame = outcome.answer;
    return true;
}

void LineClient::submit(const FrameFields& request, Done done)
{
    m_link.submit(this, request, std::move(done));
}

int LineClient::waiting() const
{
    return m_link.waiting(this);
}

void LineClient::holdExclusive(const QString& reason, bool trackOff)
{
    m_link.holdExclusive(this, reason, trackOff);
}

void LineClient::releaseExclusive()
{
    m_link.releaseExclusive(this);
}

bool LineClient::holdsExclusive() const
{
    return m_link.m_exclusive.client == this;
}
