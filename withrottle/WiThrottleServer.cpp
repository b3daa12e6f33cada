// SPDX-License-Identifier: GPL-3.0-or-later
#include "WiThrottleServer.h"

#include "CommandSet.h"
#include "ControllerLink.h"
#include "LineClient.h"
#include "LinkTools.h"
#include "LocoEntries.h"
#include "OutcomeText.h"
#include "PhoneConnection.h"
#include "Roster.h"
#include "ServiceAdvertiser.h"
#include "WiThrottleSession.h"

#include <QPointer>
#include <QSysInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <utility>

using namespace WiThrottle;

namespace {
QString printable(const QByteArray& line)
{
    QString text = QString::fromUtf8(line.left(120));
    for (QChar& c : text)
        if (!c.isPrint())
            c = QChar(0xFFFD);
    return line.size() > 120 ? text + QStringLiteral(" …") : text;
}

QString sourceName(const WiThrottleSession* session)
{
    return QStringLiteral("Handregler ") + session->displayName();
}

// Each held loco of the phone, as throttle, key and address.
template <typename F> void forEachHeld(const WiThrottleSession* session, F f)
{
    for (auto t = session->locos.cbegin(); t != session->locos.cend(); ++t)
        for (auto k = t.value().cbegin(); k != t.value().cend(); ++k)
            f(t.key(), k.key(), k.value());
}

// Throttle and key: a loco on two throttles of the phone counts twice, as it costs twice.
int heldCount(const WiThrottleSession* session)
{
    int count = 0;
    for (const auto& keys : session->locos)
        count += int(keys.size());
    return count;
}
} // namespace

WiThrottleServer::WiThrottleServer(ControllerLink& link, QObject* parent)
    : QObject(parent), m_link(link),
      m_rosterReader(
          new LineClient(link, QStringLiteral("Handregler (Lok-Liste)"), LineClient::Kind::Remote, this)),
      m_server(new QTcpServer(this)), m_advertiser(new ServiceAdvertiser(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &WiThrottleServer::accept);
    connect(&link, &ControllerLink::locoChanged, this, &WiThrottleServer::locoChanged);
    connect(&link, &ControllerLink::allLocosStopped, this, &WiThrottleServer::allLocosStopped);
    connect(&link, &ControllerLink::powerChanged, this, &WiThrottleServer::powerChanged);
    connect(&link, &ControllerLink::locoStatesForgotten, this, &WiThrottleServer::locoStatesForgotten);
    connect(&link, &ControllerLink::checkChanged, this, &WiThrottleServer::checkChanged);
    connect(&link, &ControllerLink::locoEntriesChanged, this, &WiThrottleServer::locoEntriesChanged);
    connect(&link, &ControllerLink::exclusiveChanged, this, [this] {
        // A window that held the line kept the roster from being read.
        if (!m_link.exclusiveReason())
            readRosterSoon();
    });
}

WiThrottleServer::~WiThrottleServer()
{
    // The window is going: the phones just lose their connection.
    for (WiThrottleSession* s : std::as_const(m_sessions))
        s->disconnect(this);
}

bool WiThrottleServer::listen(quint16 port, const QHostAddress& address)
{
    close();
    // A null address would be taken for every network.
    if (address.isNull()) {
        m_error = QStringLiteral("keine gültige Netzwerkadresse");
        emit phonesChanged();
        return false;
    }
    if (!m_server->listen(address, port)) {
        m_error = m_server->errorString();
        emit phonesChanged();
        return false;
    }
    m_error.clear();
    m_advertiser->publish(phoneService(QSysInfo::machineHostName(), m_server->serverPort()));
    emit phonesChanged();
    return true;
}

void WiThrottleServer::close()
{
    const bool was = m_server->isListening();
    m_advertiser->withdraw();
    m_server->close();
    for (WiThrottleSession* s : QList<WiThrottleSession*>(m_sessions)) {
        stopAndRelease(s);
        s->close();
    }
    if (was)
        emit phonesChanged();
}

bool WiThrottleServer::isListening() const
{
    return m_server->isListening();
}

quint16 WiThrottleServer::port() const
{
    return m_server->serverPort();
}

QHostAddress WiThrottleServer::address() const
{
    return m_server->serverAddress();
}

QList<WiThrottleServer::PhoneInfo> WiThrottleServer::phones() const
{
    QList<PhoneInfo> list;
    for (const WiThrottleSession* s : m_sessions) {
        PhoneInfo info{s->number, s->name, s->id, s->peer(), {}, isWaiting(s)};
        forEachHeld(s, [&info](char, const QString&, int loco) {
            if (!info.locos.contains(loco))
                info.locos << loco;
        });
        list << info;
    }
    return list;
}

WiThrottle::ServerStatus WiThrottleServer::status() const
{
    ServerStatus status;
    status.listening = m_server->isListening();
    const QHostAddress where = m_server->serverAddress();
    if (where != QHostAddress::Any && where != QHostAddress::AnyIPv4 && where != QHostAddress::AnyIPv6)
        status.address = where.toString();
    status.port = m_server->serverPort();
    for (const WiThrottleSession* s : m_sessions) {
        if (isWaiting(s))
            ++status.waiting;
        else if (s->identified && mayDrive(s))
            ++status.driving;
    }
    return status;
}

// ---- Who may drive ----

void WiThrottleServer::setAccess(const WiThrottle::Access& access)
{
    QList<WiThrottleSession*> allowed;
    for (WiThrottleSession* s : std::as_const(m_sessions))
        if (mayDrive(s))
            allowed << s;
    m_access = access;
    m_access.devices = parseDeviceList(access.devices.join(QLatin1Char(',')));
    m_access.maxSpeedPercent = boundedMaxSpeed(access.maxSpeedPercent);
    m_access.maxConnections = boundedMaxConnections(access.maxConnections);
    for (WiThrottleSession* s : std::as_const(allowed)) {
        if (mayDrive(s))
            continue;
        stopAndRelease(s);
        s->send(alertLine(approvalNeededText()));
    }
    tellTurnouts(); // what phones may switch may have changed
    emit phonesChanged();
}

bool WiThrottleServer::mayDrive(const WiThrottleSession* session) const
{
    return WiThrottle::mayDrive(m_access, session->id, session->approvedHere);
}

bool WiThrottleServer::isWaiting(const WiThrottleSession* session) const
{
    return session->identified && !mayDrive(session);
}

bool WiThrottleServer::admitted(WiThrottleSession* session, const QByteArray& text)
{
    if (mayDrive(session))
        return true;
    refuse(session, text, approvalNeededText());
    return false;
}

WiThrottleSession* WiThrottleServer::session(quint64 number) const
{
    for (WiThrottleSession* s : m_sessions)
        if (s->number == number)
            return s;
    return nullptr;
}

bool WiThrottleServer::approve(quint64 number)
{
    WiThrottleSession* s = session(number);
    if (!s || !isWaiting(s))
        return false;
    // A device known by its address alone is approved for this connection only.
    if (storableId(s->id))
        m_access.devices << s->id;
    else
        s->approvedHere = true;
    s->send(infoLine(approvedText()));
    emit phonesChanged();
    return true;
}

bool WiThrottleServer::reject(quint64 number)
{
    WiThrottleSession* s = session(number);
    if (!s || !isWaiting(s))
        return false;
    note(s, QByteArray(), rejectedText());
    s->send(alertLine(rejectedText()));
    s->close();
    emit phonesChanged();
    return true;
}

void WiThrottleServer::identify(WiThrottleSession* session, const QString& id)
{
    session->identified = true;
    if (id.isEmpty())
        return;
    session->id = id;
    for (WiThrottleSession* s : std::as_const(m_sessions)) {
        if (s != session && s->id.compare(id, Qt::CaseInsensitive) == 0) {
            replace(s, session);
            return; // every earlier connection of the device has been replaced the same way
        }
    }
}

void WiThrottleServer::replace(WiThrottleSession* old, WiThrottleSession* now)
{
    // Nothing of the old connection reaches the server any more: neither its loss nor its
    // heartbeat stops the locos.
    old->disconnect(this);
    m_sessions.removeOne(old);
    for (auto t = old->locos.cbegin(); t != old->locos.cend(); ++t)
        for (auto k = t.value().cbegin(); k != t.value().cend(); ++k)
            if (!now->locos[t.key()].contains(k.key()))
                now->locos[t.key()].insert(k.key(), k.value());
    now->approvedHere = now->approvedHere || old->approvedHere;
    if (old->heartbeatMonitored())
        now->setHeartbeatMonitored(true);
    noteUnnoted(old);
    note(now, "HU" + now->id.toUtf8(),
         QStringLiteral("übernimmt die frühere Verbindung von %1").arg(old->peer()));
    old->close(true);
    old->deleteLater();
}

// ---- Sessions ----

void WiThrottleServer::accept()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        auto* connection = new TcpPhoneConnection(socket, this);
        attach(connection);
    }
}

bool WiThrottleServer::attach(PhoneConnection* connection)
{
    connection->setParent(this);
    if (m_sessions.size() >= m_access.maxConnections) {
        connection->write(alertLine(tooManyConnectionsText(m_access.maxConnections)));
        connection->flush();
        connection->abort();
        connection->deleteLater();
        return false;
    }
    auto* session = new WiThrottleSession(connection, m_heartbeatSeconds, this);
    session->number = ++m_lastNumber;
    session->line = new LineClient(m_link, sourceName(session), LineClient::Kind::Remote, session);
    m_sessions << session;
    connect(session, &WiThrottleSession::lineReceived, this,
            [this, session](const QByteArray& line) { handle(session, line); });
    connect(session, &WiThrottleSession::overlongLine, this, [this, session](const QByteArray& head) {
        note(session, head + " …", QStringLiteral("zu lang, Verbindung getrennt"));
        stopAndRelease(session);
        session->close(true);
    });
    connect(session, &WiThrottleSession::heartbeatLost, this, [this, session] {
        session->send(alertLine(heartbeatLostText()));
        stopAndRelease(session);
    });
    connect(session, &WiThrottleSession::disconnected, this, [this, session] { dropped(session); });
    // A connection that never says who it is only takes up room.
    QTimer::singleShot(m_identifyMs, session, [this, session] {
        if (session->identified || !session->isOpen())
            return;
        note(session, QByteArray(), QStringLiteral("ohne Namen, Verbindung getrennt"));
        session->close(true);
    });
    greet(session);
    emit phonesChanged();
    return true;
}

void WiThrottleServer::dropped(WiThrottleSession* session)
{
    if (!m_sessions.removeOne(session))
        return;
    // The stops stay with the line after the session and its source have gone.
    stopAndRelease(session);
    if (session->overflowed())
        note(session, QByteArray(), QStringLiteral("liest nicht mit, Verbindung getrennt"));
    noteUnnoted(session);
    // Its lines may still be on their way through the handlers.
    session->deleteLater();
    emit phonesChanged();
}

void WiThrottleServer::greet(WiThrottleSession* session)
{
    const auto controller = m_link.checkedController();
    QByteArray lines = versionLine() + serverTypeLine() + serverDescriptionLine();
    if (!rosterComing()) {
        lines += rosterLine(roster());
        session->rosterTold = true;
    }
    lines += powerLine(controller ? m_link.layout().power(*controller) : std::nullopt);
    lines += turnoutLines();
    lines += heartbeatLine(m_heartbeatSeconds);
    if (!controller)
        lines += alertLine(::Line::notCheckedText());
    session->send(lines);
    readRosterSoon();
}

std::optional<quint8> WiThrottleServer::requireChecked(WiThrottleSession* session)
{
    const auto controller = m_link.checkedController();
    if (!controller)
        session->send(alertLine(::Line::notCheckedText()));
    return controller;
}

void WiThrottleServer::handle(WiThrottleSession* session, const QByteArray& text)
{
    const WiThrottle::Line line = parseLine(text);
    switch (line.kind) {
    case LineKind::Empty:
    case LineKind::Heartbeat: // the session has restarted its watch already
        return;
    case LineKind::Malformed:
        note(session, text, line.text);
        return;
    case LineKind::Refused:
        refuse(session, text, line.text);
        return;
    case LineKind::Unsupported:
        note(session, text, QStringLiteral("nicht unterstützt"));
        if (!line.text.isEmpty())
            session->send(alertLine(line.text));
        return;
    case LineKind::HeartbeatOn:
    case LineKind::HeartbeatOff:
        session->setHeartbeatMonitored(line.kind == LineKind::HeartbeatOn);
        return;
    case LineKind::Name:
        rename(session, line.text);
        identify(session, QString());
        session->send(heartbeatLine(m_heartbeatSeconds));
        emit phonesChanged();
        return;
    case LineKind::HardwareId:
        identify(session, line.text.trimmed());
        // Told at once, not at its first refused action: the user walks to the PC now.
        if (isWaiting(session))
            session->send(alertLine(approvalNeededText()));
        emit phonesChanged();
        return;
    case LineKind::Quit:
        stopAndRelease(session);
        session->close();
        return;
    case LineKind::Power:
        if (admitted(session, text))
            switchPower(session, line.value == 1, text);
        return;
    case LineKind::Acquire:
        if (admitted(session, text))
            acquire(session, line, text);
        return;
    case LineKind::Release:
        release(session, line.throttle, line.key);
        return;
    case LineKind::Turnout:
        if (admitted(session, text))
            switchTurnout(session, line, text);
        return;
    case LineKind::Route:
        if (admitted(session, text))
            setRoute(session, line, text);
        return;
    case LineKind::Action:
        if (!admitted(session, text))
            return;
        break;
    }
    const QMap<QString, int> keys = session->locos.value(line.throttle);
    if (line.key == QLatin1String("*")) {
        for (auto it = keys.cbegin(); it != keys.cend(); ++it)
            act(session, line, it.key(), it.value(), text);
    } else if (keys.contains(line.key)) {
        act(session, line, line.key, keys.value(line.key), text);
    } else {
        note(session, text, QStringLiteral("Lok nicht übernommen"));
    }
}

void WiThrottleServer::rename(WiThrottleSession* session, const QString& name)
{
    session->name = name;
    // A source keeps its name; phones name themselves before they drive, so an idle source is
    // replaced by one under the phone's name.
    if (session->line->waiting() == 0) {
        delete session->line;
        session->line = new LineClient(m_link, sourceName(session), LineClient::Kind::Remote, session);
    }
}

void WiThrottleServer::refuse(WiThrottleSession* session, const QByteArray& text, const QString& why)
{
    note(session, text, why);
    session->send(alertLine(why));
}

void WiThrottleServer::note(WiThrottleSession* session, const QByteArray& text, const QString& reason)
{
    if (!session->mayNote())
        return;
    noteUnnoted(session);
    m_link.note(sourceName(session), printable(text), reason);
}

void WiThrottleServer::noteUnnoted(WiThrottleSession* session)
{
    if (const int unnoted = session->takeUnnoted())
        m_link.note(sourceName(session), QStringLiteral("… %1 weitere Zeilen").arg(unnoted),
                    QStringLiteral("nicht einzeln vermerkt"));
}

// ---- Locos ----

QByteArray WiThrottleServer::speedStepState(int address) const
{
    quint8 code = SpeedSteps::NotDefined; // a loco outside the configuration
    for (const RosterEntry& e : roster())
        if (e.address == address)
            code = e.speedStepCode;
    return 's' + QByteArray::number(phoneSpeedStepMode(code));
}

void WiThrottleServer::acquire(WiThrottleSession* session, const WiThrottle::Line& line,
                               const QByteArray& text)
{
    const auto controller = requireChecked(session);
    if (!controller)
        return;
    int address = line.address;
    if (!line.text.isEmpty()) { // chosen by its roster name
        address = -1;
        for (const RosterEntry& e : roster())
            if (displayName(e) == line.text || rosterName(e.address) == line.text)
                address = e.address;
        if (address < 0 || address != line.address) {
            refuse(session, text,
                   address < 0 ? unknownLocoText(line.text) : addressMismatchText(line.key, line.text));
            return;
        }
    }
    const auto loco = static_cast<quint16>(address);
    const bool held = session->locos.value(line.throttle).contains(line.key);
    if (!held && heldCount(session) >= MaxHeldLocos) {
        refuse(session, text, tooManyLocosText(MaxHeldLocos));
        return;
    }
    session->locos[line.throttle][line.key] = address;
    const LocoState s = m_link.layout().loco(*controller, loco);
    m_told.insert(::Line::locoKey(*controller, loco), s);
    const char t = line.throttle;
    QStringList labels;
    if (const Roster::Entry* entry = m_locoRoster ? m_locoRoster->entryForNumber(address) : nullptr)
        for (const Roster::Function& f : entry->functions)
            labels << f.label;
    QByteArray lines = acquiredLine(t, line.key) + functionLabelsLine(t, line.key, labels);
    for (int f = 0; f <= HighestFunction; ++f)
        lines += stateLine(t, line.key, functionState(f, s.function(f)));
    lines +=
        stateLine(t, line.key, phoneSpeedState(s.speed)) + stateLine(t, line.key, directionState(s.forward));
    lines += stateLine(t, line.key, speedStepState(address));
    session->send(lines);
    emit phonesChanged();
}

void WiThrottleServer::release(WiThrottleSession* session, char throttle, const QString& key)
{
    QMap<QString, int>& keys = session->locos[throttle];
    const QStringList released = key == QLatin1String("*") ? keys.keys() : QStringList{key};
    for (const QString& k : released)
        if (keys.remove(k))
            session->send(releasedLine(throttle, k));
    if (keys.isEmpty())
        session->locos.remove(throttle);
    forgetUnheld();
    emit phonesChanged();
}

void WiThrottleServer::act(WiThrottleSession* session, const WiThrottle::Line& line, const QString& key,
                           int address, const QByteArray& text)
{
    const auto loco = static_cast<quint16>(address);
    switch (line.action) {
    case Action::QuerySpeed:
    case Action::QueryDirection: {
        // A question already waiting is answered once: a phone that keeps asking while its
        // commands wait behind a long read must not pile up questions.
        const WiThrottleSession::Question q{line.throttle, key, address, line.action == Action::QuerySpeed};
        if (std::none_of(session->questions.cbegin(), session->questions.cend(),
                         [&q](const WiThrottleSession::Question& w) {
                             return w.throttle == q.throttle && w.key == q.key && w.speed == q.speed;
                         }))
            session->questions << q;
        if (session->line->waiting() == 0)
            answerQuestions(session);
        return;
    }
    case Action::SpeedStepMode:
        // The mode belongs to the loco configuration, which the loco list changes.
        session->send(stateLine(line.throttle, key, speedStepState(address)));
        return;
    case Action::None:
    case Action::Ignored:
        return;
    case Action::Function:
    case Action::ForceFunction:
        if (line.function > HighestFunction) {
            if (line.pressed)
                session->send(alertLine(functionNotAvailableText(line.function)));
            return;
        }
        // The phone cannot be told which keys are push buttons: for those the server switches on
        // with the press and off with the release; a latching key toggles on the press.
        if (line.action == Action::Function && !line.pressed && !isMomentary(address, line.function))
            return; // the release of a key: the press switched the function already
        break;
    case Action::Speed:
    case Action::Idle:
    case Action::Direction:
    case Action::EmergencyStop:
        break;
    }
    const auto controller = requireChecked(session);
    if (!controller)
        return;
    const quint8 c = *controller;
    const LocoState now = m_link.layout().loco(c, loco);
    switch (line.action) {
    case Action::Function:
    case Action::ForceFunction: {
        auto pending = session->pendingFunctions.find(loco);
        const quint16 before =
            pending != session->pendingFunctions.end() ? pending->functions : now.functions;
        const quint16 bit = static_cast<quint16>(1u << line.function);
        const bool toggles = line.action == Action::Function && !isMomentary(address, line.function);
        const bool on = toggles ? !(before & bit) : line.pressed;
        WiThrottleSession::PendingFunctions& wanted = session->pendingFunctions[loco];
        wanted.functions = on ? (before | bit) : (before & ~bit);
        ++wanted.waiting;
        submit(session, Request::locoFunction(c, loco, static_cast<quint8>(line.function), on), text,
               [loco](WiThrottleSession* s, const Outcome&) {
                   const auto it = s->pendingFunctions.find(loco);
                   if (it != s->pendingFunctions.end() && --it->waiting <= 0)
                       s->pendingFunctions.erase(it);
               });
        return;
    }
    case Action::Speed: {
        // The phones' own cap, then the loco's top speed from the roster.
        quint8 speed = cappedSpeed(line.value, m_access.maxSpeedPercent);
        if (const Roster::Entry* entry = m_locoRoster ? m_locoRoster->entryForNumber(address) : nullptr)
            speed = Roster::cappedSpeed(speed, entry->maxSpeed);
        submit(session, Request::setLocoSpeed(c, loco, speed), text);
        return;
    }
    case Action::Idle:
        submit(session, Request::setLocoSpeed(c, loco, 0), text);
        return;
    case Action::Direction:
        submit(session, Request::setLocoDirection(c, loco, line.value == 1), text);
        return;
    case Action::EmergencyStop:
        submit(session, Request::stopLoco(c, loco), text);
        return;
    default:
        return;
    }
}

void WiThrottleServer::switchPower(WiThrottleSession* session, bool on, const QByteArray& text)
{
    if (!m_access.allowPower) {
        refuse(session, text, powerNotAllowedText());
        return;
    }
    const auto controller = requireChecked(session);
    if (!controller)
        return;
    // The others hear of it from the line; the phone that asked is told here, also when a window
    // that keeps the track off confirmed the switch-off without a frame.
    submit(session, Request::setTrackMode(*controller, on ? TrackMode::Operation : TrackMode::Off), text,
           [on](WiThrottleSession* s, const Outcome& outcome) {
               if (outcome.answered())
                   s->send(powerLine(on));
           });
}

void WiThrottleServer::submit(WiThrottleSession* session, const FrameFields& request, const QByteArray& text,
                              const std::function<void(WiThrottleSession*, const Outcome&)>& then)
{
    const QPointer<WiThrottleSession> alive(session);
    session->line->submit(request, [this, alive, text, then](const Outcome& outcome) {
        if (!alive)
            return;
        if (then)
            then(alive.data(), outcome);
        failed(alive.data(), text, outcome);
        if (alive && alive->line->waiting() == 0)
            answerQuestions(alive.data());
    });
}

void WiThrottleServer::answerQuestions(WiThrottleSession* session)
{
    const auto controller = m_link.checkedController();
    QByteArray lines;
    for (const WiThrottleSession::Question& q : std::exchange(session->questions, {})) {
        const LocoState s =
            controller ? m_link.layout().loco(*controller, static_cast<quint16>(q.loco)) : LocoState();
        lines += stateLine(q.throttle, q.key, q.speed ? phoneSpeedState(s.speed) : directionState(s.forward));
    }
    if (!lines.isEmpty())
        session->send(lines);
}

void WiThrottleServer::failed(WiThrottleSession* session, const QByteArray& text, const Outcome& outcome)
{
    const QString why = ::Line::failureText(outcome, m_link.portName());
    if (!why.isEmpty())
        refuse(session, text, why);
}

void WiThrottleServer::stopAndRelease(WiThrottleSession* session)
{
    const auto controller = m_link.checkedController();
    const auto throttles = std::exchange(session->locos, {});
    QList<int> stopped;
    for (auto t = throttles.cbegin(); t != throttles.cend(); ++t) {
        for (auto k = t.value().cbegin(); k != t.value().cend(); ++k) {
            if (controller && !stopped.contains(k.value())) {
                stopped << k.value();
                submit(session, Request::stopLoco(*controller, static_cast<quint16>(k.value())),
                       QByteArray());
            }
            session->send(releasedLine(t.key(), k.key()));
        }
    }
    if (!throttles.isEmpty()) {
        forgetUnheld();
        emit phonesChanged();
    }
}

QByteArray WiThrottleServer::phoneSpeedState(quint8 controllerSpeed) const
{
    return 'V' + QByteArray::number(phoneSpeedUnderCap(controllerSpeed, m_access.maxSpeedPercent));
}

// ---- The roster ----

QList<RosterEntry> WiThrottleServer::roster() const
{
    QList<RosterEntry> list;
    const auto controller = m_link.checkedController();
    const auto entries = controller ? m_link.locoEntries(*controller) : std::nullopt;
    if (entries)
        for (const LocoEntryRecord& e : *entries) {
            const Roster::Entry* named = m_locoRoster ? m_locoRoster->entryForNumber(e.number) : nullptr;
            list << RosterEntry{e.number, static_cast<quint8>(e.attributes & LocoEntry::SpeedStepMask),
                                named ? named->id : QString()};
        }
    return list;
}

bool WiThrottleServer::isMomentary(int address, int function) const
{
    const Roster::Entry* entry = m_locoRoster ? m_locoRoster->entryForNumber(address) : nullptr;
    return entry && function >= 0 && function < Roster::FunctionCount &&
           entry->functions[static_cast<size_t>(function)].momentary;
}

bool WiThrottleServer::rosterComing() const
{
    const auto controller = m_link.checkedController();
    return m_rosterReading || (controller && !(m_rosterTried && *m_rosterTried == *controller) &&
                               !m_link.locoEntries(*controller) && !m_link.exclusiveReason());
}

void WiThrottleServer::tellRoster(WiThrottleSession* session)
{
    session->send(rosterLine(roster()));
    session->rosterTold = true;
}

void WiThrottleServer::readRosterSoon()
{
    // Never inside a line's handling: from the event loop, when nothing else is on the line.
    if (m_rosterQueued)
        return;
    m_rosterQueued = true;
    QMetaObject::invokeMethod(this, &WiThrottleServer::readRoster, Qt::QueuedConnection);
}

void WiThrottleServer::readRoster()
{
    m_rosterQueued = false;
    if (m_rosterReading)
        return; // the read on its way tells every phone
    const auto controller = m_link.checkedController();
    if (rosterComing() && !m_sessions.isEmpty()) {
        LineClient::Batch batch(*m_rosterReader);
        if (!batch.held()) {
            // Another source's transaction runs (a box waits for the user): try again later.
            QTimer::singleShot(200, this, &WiThrottleServer::readRosterSoon);
            return;
        }
        m_rosterTried = controller;
        m_rosterReading = true;
        // Stops and the phones' lines still come through between the exchanges; the window's
        // input waits, as during every long read.
        ScreenRateEvents events(m_link.clock(), QEventLoop::ExcludeUserInputEvents);
        const LocoEntriesRead read =
            readLocoEntries(*m_rosterReader, *controller, 2, false, [&events] { events.take(); });
        m_rosterReading = false;
        // One refused before it began is tried again on the next occasion.
        if (read.entries.isEmpty() &&
            (read.stoppedBy == Outcome::Status::Busy || read.stoppedBy == Outcome::Status::NotChecked))
            m_rosterTried.reset();
    }
    // A complete read has reached every phone through the line; who still waits gets what is known.
    for (WiThrottleSession* s : std::as_const(m_sessions))
        if (!s->rosterTold)
            tellRoster(s);
}

// ---- What the line reports ----

bool WiThrottleServer::drives(quint8 controller) const
{
    const auto checked = m_link.checkedController();
    return checked && *checked == controller;
}

void WiThrottleServer::locoChanged(quint8 controller, quint16 loco, const LocoState& state,
                                   const LineClient* origin)
{
    const auto told = m_told.find(::Line::locoKey(controller, loco));
    if (told == m_told.end())
        return; // no phone holds it
    const LocoState before = std::exchange(*told, state);
    if (drives(controller))
        tellHolders(loco, before, state, origin);
}

void WiThrottleServer::tellHolders(quint16 loco, const LocoState& before, const LocoState& now,
                                   const LineClient* origin)
{
    QList<QByteArray> states;
    if (before.speed != now.speed)
        states << phoneSpeedState(now.speed);
    if (before.forward != now.forward)
        states << directionState(now.forward);
    for (int f = 0; f <= HighestFunction; ++f)
        if (before.function(f) != now.function(f))
            states << functionState(f, now.function(f));
    if (states.isEmpty())
        return;
    for (WiThrottleSession* s : std::as_const(m_sessions)) {
        if (s->line == origin)
            continue; // the phone knows what it did itself
        QByteArray lines;
        forEachHeld(s, [&](char t, const QString& key, int address) {
            if (address == loco)
                for (const QByteArray& state : std::as_const(states))
                    lines += stateLine(t, key, state);
        });
        if (!lines.isEmpty())
            s->send(lines);
    }
}

void WiThrottleServer::allLocosStopped(quint8 controller, const LineClient* origin)
{
    for (auto it = m_told.begin(); it != m_told.end(); ++it)
        if (::Line::controllerOf(it.key()) == controller)
            it->speed = 0;
    if (!drives(controller))
        return;
    // Every loco has stopped, whatever was known of it: each phone hears it of each of its locos.
    for (WiThrottleSession* s : std::as_const(m_sessions)) {
        if (s->line == origin)
            continue;
        QByteArray lines;
        forEachHeld(s, [&lines](char t, const QString& key, int) { lines += stateLine(t, key, "V0"); });
        if (!lines.isEmpty())
            s->send(lines);
    }
}

void WiThrottleServer::powerChanged(quint8 controller, bool on, const LineClient* origin)
{
    if (!drives(controller))
        return;
    for (WiThrottleSession* s : std::as_const(m_sessions))
        if (s->line != origin)
            s->send(powerLine(on));
}

void WiThrottleServer::locoStatesForgotten(quint8 controller)
{
    const bool shown = drives(controller);
    for (auto it = m_told.begin(); it != m_told.end(); ++it) {
        if (::Line::controllerOf(it.key()) != controller)
            continue;
        const LocoState before = std::exchange(*it, LocoState());
        if (shown)
            tellHolders(::Line::locoOf(it.key()), before, *it, nullptr);
    }
}

void WiThrottleServer::checkChanged()
{
    m_rosterTried.reset();
    const auto controller = m_link.checkedController();
    if (!controller || m_sessions.isEmpty())
        return;
    const bool known = m_link.locoEntries(*controller).has_value();
    for (WiThrottleSession* s : std::as_const(m_sessions)) {
        s->send(powerLine(m_link.layout().power(*controller)));
        if (known)
            tellRoster(s);
    }
    if (!known)
        readRosterSoon(); // the phones get it once it is read
}

void WiThrottleServer::locoEntriesChanged(quint8 controller)
{
    if (!drives(controller))
        return;
    for (WiThrottleSession* s : std::as_const(m_sessions)) {
        tellRoster(s);
        // A loco taken before the list was known learns its speed steps now.
        QByteArray lines;
        forEachHeld(s, [&](char t, const QString& key, int address) {
            lines += stateLine(t, key, speedStepState(address));
        });
        if (!lines.isEmpty())
            s->send(lines);
    }
}

void WiThrottleServer::forgetUnheld()
{
    QList<int> held;
    for (const WiThrottleSession* s : std::as_const(m_sessions))
        forEachHeld(s, [&held](char, const QString&, int loco) { held << loco; });
    for (auto it = m_told.begin(); it != m_told.end();)
        it = held.contains(::Line::locoOf(it.key())) ? std::next(it) : m_told.erase(it);
}
