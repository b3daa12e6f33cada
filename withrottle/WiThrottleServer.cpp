// SPDX-License-Identifier: GPL-3.0-or-later
#include "WiThrottleServer.h"

#include "CommandSet.h"
#include "ServiceAdvertiser.h"
#include "WiThrottleSession.h"

#include <QScopedValueRollback>
#include <QSysInfo>
#include <QTcpServer>
#include <QTcpSocket>

using namespace WiThrottle;

namespace {
// Longer than a Controller's configuration can be, so a babbling board cannot hang the server.
constexpr int kMaxRosterEntries = 10240;

QString printable(const QByteArray& line)
{
    QString text = QString::fromUtf8(line.left(120));
    for (QChar& c : text)
        if (!c.isPrint())
            c = QChar(0xFFFD);
    return line.size() > 120 ? text + QStringLiteral(" …") : text;
}
} // namespace

WiThrottleServer::WiThrottleServer(WiThrottleChannel& channel, QObject* parent)
    : QObject(parent), m_channel(channel), m_server(new QTcpServer(this)),
      m_advertiser(new ServiceAdvertiser(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &WiThrottleServer::accept);
}

WiThrottleServer::~WiThrottleServer()
{
    // The window is going: no frame goes out any more, the phones just lose their connection.
    for (WiThrottleSession* s : std::as_const(m_sessions))
        s->disconnect(this);
}

bool WiThrottleServer::listen(quint16 port, const QHostAddress& address)
{
    close();
    if (!m_server->listen(address, port)) {
        m_error = m_server->errorString();
        return false;
    }
    m_error.clear();
    m_advertiser->publish(phoneService(QSysInfo::machineHostName(), m_server->serverPort()));
    return true;
}

void WiThrottleServer::close()
{
    m_advertiser->withdraw();
    m_server->close();
    for (WiThrottleSession* s : QList<WiThrottleSession*>(m_sessions)) {
        stopAndRelease(s);
        s->close();
    }
}

bool WiThrottleServer::isListening() const
{
    return m_server->isListening();
}

quint16 WiThrottleServer::port() const
{
    return m_server->serverPort();
}

QList<WiThrottleServer::PhoneInfo> WiThrottleServer::phones() const
{
    QList<PhoneInfo> list;
    for (const WiThrottleSession* s : m_sessions) {
        PhoneInfo info{s->name.isEmpty() ? s->id : s->name, s->peer(), {}};
        for (const auto& keys : s->locos)
            for (int loco : keys)
                if (!info.locos.contains(loco))
                    info.locos << loco;
        list << info;
    }
    return list;
}

void WiThrottleServer::accept()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        auto* session = new WiThrottleSession(socket, m_heartbeatSeconds, this);
        m_sessions << session;
        connect(session, &WiThrottleSession::lineReceived, this,
                [this, session](const QByteArray& line) { handle(session, line); });
        connect(session, &WiThrottleSession::overlongLine, this, [this, session](const QByteArray& head) {
            emit lineIgnored(session->peer(), printable(head) + QStringLiteral(" …"),
                             QStringLiteral("zu lang, Verbindung getrennt"));
            stopAndRelease(session);
            session->close(true);
        });
        connect(session, &WiThrottleSession::heartbeatLost, this, [this, session] {
            session->send(alertLine(heartbeatLostText()));
            stopAndRelease(session);
        });
        connect(session, &WiThrottleSession::disconnected, this, [this, session] {
            stopAndRelease(session);
            m_sessions.removeOne(session);
            session->deleteLater();
            emit phonesChanged();
        });
        greet(session);
        emit phonesChanged();
    }
}

void WiThrottleServer::greet(WiThrottleSession* session)
{
    const bool checked = m_channel.checkedController().has_value();
    QByteArray lines = versionLine() + serverTypeLine() + serverDescriptionLine();
    lines += rosterLine(roster());
    if (checked && !m_power)
        m_power = m_channel.readTrackPower();
    lines += powerLine(checked ? m_power : std::nullopt);
    lines += heartbeatLine(m_heartbeatSeconds);
    if (!checked)
        lines += alertLine(notCheckedText());
    session->send(lines);
}

bool WiThrottleServer::requireChecked(WiThrottleSession* session)
{
    if (m_channel.checkedController())
        return true;
    session->send(alertLine(notCheckedText()));
    return false;
}

const QList<RosterEntry>& WiThrottleServer::roster()
{
    static const QList<RosterEntry> none{};
    const auto controller = m_channel.checkedController();
    if (!controller)
        return none;
    if (!m_roster) {
        // Read as the throttles fill their loco lists: first entry, then next until none is left.
        QList<RosterEntry> entries;
        FrameFields request = Request::readFirstLocoEntry(*controller);
        for (int i = 0; i < kMaxRosterEntries; ++i) {
            if (!m_channel.transact(request) || m_channel.frame().data3 == LocoEntry::None)
                break;
            const FrameFields& entry = m_channel.frame();
            entries << RosterEntry{wordFromBytes(entry.data1, entry.data2),
                                   static_cast<quint8>(entry.data3 & LocoEntry::SpeedStepMask)};
            request = Request::readNextLocoEntry(*controller);
        }
        m_roster = entries;
    }
    return *m_roster;
}

PhoneLocoState& WiThrottleServer::state(quint16 loco)
{
    return m_states[loco];
}

void WiThrottleServer::handle(WiThrottleSession* session, const QByteArray& text)
{
    const QScopedValueRollback<WiThrottleSession*> origin(m_origin, session);
    const Line line = parseLine(text);
    switch (line.kind) {
    case LineKind::Empty:
    case LineKind::Heartbeat: // the session has restarted its watch already
        return;
    case LineKind::Malformed:
        emit lineIgnored(session->peer(), printable(text), line.text);
        return;
    case LineKind::Refused:
        refuse(session, text, line.text);
        return;
    case LineKind::Unsupported:
        emit lineIgnored(session->peer(), printable(text), QStringLiteral("nicht unterstützt"));
        if (!line.text.isEmpty())
            session->send(alertLine(line.text));
        return;
    case LineKind::HeartbeatOn:
    case LineKind::HeartbeatOff:
        session->setHeartbeatMonitored(line.kind == LineKind::HeartbeatOn);
        return;
    case LineKind::Name:
        session->name = line.text;
        session->send(heartbeatLine(m_heartbeatSeconds));
        emit phonesChanged();
        return;
    case LineKind::HardwareId:
        session->id = line.text;
        emit phonesChanged();
        return;
    case LineKind::Quit:
        stopAndRelease(session);
        session->close();
        return;
    case LineKind::Power:
        if (requireChecked(session))
            m_channel.switchTrackPower(line.value == 1); // the window reports the new state
        return;
    case LineKind::Acquire:
        acquire(session, line, text);
        return;
    case LineKind::Release:
        release(session, line.throttle, line.key);
        return;
    case LineKind::Action:
        break;
    }
    const QMap<QString, int> keys = session->locos.value(line.throttle);
    if (line.key == QLatin1String("*")) {
        for (auto it = keys.cbegin(); it != keys.cend(); ++it)
            act(session, line, it.key(), it.value());
    } else if (keys.contains(line.key)) {
        act(session, line, line.key, keys.value(line.key));
    } else {
        emit lineIgnored(session->peer(), printable(text), QStringLiteral("Lok nicht übernommen"));
    }
}

void WiThrottleServer::refuse(WiThrottleSession* session, const QByteArray& text, const QString& why)
{
    emit lineIgnored(session->peer(), printable(text), why);
    session->send(alertLine(why));
}

QByteArray WiThrottleServer::speedStepState(int address)
{
    quint8 code = SpeedSteps::NotDefined; // a loco outside the configuration
    for (const RosterEntry& e : roster())
        if (e.address == address)
            code = e.speedStepCode;
    return 's' + QByteArray::number(phoneSpeedStepMode(code));
}

void WiThrottleServer::acquire(WiThrottleSession* session, const Line& line, const QByteArray& text)
{
    if (!requireChecked(session))
        return;
    int address = line.address;
    if (!line.text.isEmpty()) { // chosen by its roster name
        address = -1;
        for (const RosterEntry& e : roster())
            if (rosterName(e.address) == line.text)
                address = e.address;
        if (address < 0 || address != line.address) {
            refuse(session, text,
                   address < 0 ? unknownLocoText(line.text) : addressMismatchText(line.key, line.text));
            return;
        }
    }
    const auto loco = static_cast<quint16>(address);
    session->locos[line.throttle][line.key] = address;
    if (const auto shown = m_channel.onScreenState(loco))
        m_states[loco] = *shown;
    const PhoneLocoState s = state(loco);
    const char t = line.throttle;
    QByteArray lines = acquiredLine(t, line.key) + functionLabelsLine(t, line.key);
    for (int f = 0; f <= HighestFunction; ++f)
        lines += stateLine(t, line.key, functionState(f, (s.functions >> f) & 1));
    lines += stateLine(t, line.key, speedState(s.speed)) + stateLine(t, line.key, directionState(s.forward));
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
    emit phonesChanged();
}

void WiThrottleServer::act(WiThrottleSession* session, const Line& line, const QString& key, int address)
{
    const auto loco = static_cast<quint16>(address);
    PhoneLocoState now = state(loco);
    ThrottleAction action;
    switch (line.action) {
    case Action::QuerySpeed:
        session->send(stateLine(line.throttle, key, speedState(now.speed)));
        return;
    case Action::QueryDirection:
        session->send(stateLine(line.throttle, key, directionState(now.forward)));
        return;
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
        if (line.action == Action::Function && !line.pressed)
            return; // the release of a key: the press switched the function already
        {
            const quint16 bit = static_cast<quint16>(1u << line.function);
            const bool on = line.action == Action::Function ? !(now.functions & bit) : line.pressed;
            now.functions = on ? (now.functions | bit) : (now.functions & ~bit);
            action = {ThrottleAction::Function, on ? 1 : 0, line.function};
        }
        break;
    case Action::Speed:
    case Action::Idle:
        now.speed = line.action == Action::Speed ? controllerSpeed(line.value) : 0;
        action = {ThrottleAction::Speed, now.speed, 0};
        break;
    case Action::Direction:
        now.forward = line.value == 1;
        action = {ThrottleAction::Direction, line.value, 0};
        break;
    case Action::EmergencyStop:
        now.speed = 0;
        action = {ThrottleAction::Stop, 0, 0};
        break;
    }
    if (!requireChecked(session))
        return;
    if (drive(loco, action))
        update(loco, now);
}

bool WiThrottleServer::drive(quint16 loco, const ThrottleAction& action)
{
    const auto controller = m_channel.checkedController();
    if (!controller)
        return false;
    if (m_channel.actOnScreen(loco, action))
        return true;
    const quint8 c = *controller;
    switch (action.kind) {
    case ThrottleAction::Speed:
        return m_channel.transact(Request::setLocoSpeed(c, loco, static_cast<quint8>(action.value)));
    case ThrottleAction::Direction:
        return m_channel.transact(Request::setLocoDirection(c, loco, action.value == 1));
    case ThrottleAction::Function:
        return m_channel.transact(
            Request::locoFunction(c, loco, static_cast<quint8>(action.function), action.value != 0));
    case ThrottleAction::Stop:
        return m_channel.transact(Request::stopLoco(c, loco));
    }
    return false;
}

void WiThrottleServer::stopAndRelease(WiThrottleSession* session)
{
    const QScopedValueRollback<WiThrottleSession*> origin(m_origin, session);
    const auto throttles = session->locos;
    session->locos.clear();
    for (auto t = throttles.cbegin(); t != throttles.cend(); ++t) {
        for (auto k = t.value().cbegin(); k != t.value().cend(); ++k) {
            const auto loco = static_cast<quint16>(k.value());
            PhoneLocoState now = state(loco);
            now.speed = 0;
            if (drive(loco, {ThrottleAction::Speed, 0, 0}))
                update(loco, now);
            session->send(releasedLine(t.key(), k.key()));
        }
    }
    if (!throttles.isEmpty())
        emit phonesChanged();
}

void WiThrottleServer::update(quint16 loco, const PhoneLocoState& now)
{
    const PhoneLocoState before = state(loco);
    m_states[loco] = now;
    if (before.speed != now.speed)
        sendToHolders(loco, speedState(now.speed), m_origin);
    if (before.forward != now.forward)
        sendToHolders(loco, directionState(now.forward), m_origin);
    for (int f = 0; f <= HighestFunction; ++f)
        if (((before.functions ^ now.functions) >> f) & 1)
            sendToHolders(loco, functionState(f, (now.functions >> f) & 1), m_origin);
}

void WiThrottleServer::sendToHolders(quint16 loco, const QByteArray& state, WiThrottleSession* except)
{
    for (WiThrottleSession* s : std::as_const(m_sessions)) {
        if (s == except)
            continue;
        for (auto t = s->locos.cbegin(); t != s->locos.cend(); ++t)
            for (auto k = t.value().cbegin(); k != t.value().cend(); ++k)
                if (k.value() == loco)
                    s->send(stateLine(t.key(), k.key(), state));
    }
}

void WiThrottleServer::reportSpeed(quint16 loco, quint8 speed)
{
    PhoneLocoState now = state(loco);
    now.speed = speed;
    update(loco, now);
}

void WiThrottleServer::reportDirection(quint16 loco, bool forward)
{
    PhoneLocoState now = state(loco);
    now.forward = forward;
    update(loco, now);
}

void WiThrottleServer::reportFunction(quint16 loco, int function, bool on)
{
    if (function < 0 || function > HighestFunction)
        return;
    PhoneLocoState now = state(loco);
    const quint16 bit = static_cast<quint16>(1u << function);
    now.functions = on ? (now.functions | bit) : (now.functions & ~bit);
    update(loco, now);
}

void WiThrottleServer::reportPower(bool on)
{
    if (m_power == on)
        return;
    m_power = on;
    for (WiThrottleSession* s : std::as_const(m_sessions))
        s->send(powerLine(on));
}

void WiThrottleServer::reportAllStopped()
{
    // Every loco has stopped, whatever the table knew: tell every phone about each of its locos.
    for (auto it = m_states.begin(); it != m_states.end(); ++it)
        it->speed = 0;
    for (WiThrottleSession* s : std::as_const(m_sessions))
        for (auto t = s->locos.cbegin(); t != s->locos.cend(); ++t)
            for (auto k = t.value().cbegin(); k != t.value().cend(); ++k)
                s->send(stateLine(t.key(), k.key(), speedState(0)));
}

void WiThrottleServer::reportControllerChecked()
{
    m_roster.reset();
    if (m_sessions.isEmpty())
        return;
    const QByteArray lines = rosterLine(roster()) + powerLine(m_power);
    for (WiThrottleSession* s : std::as_const(m_sessions))
        s->send(lines);
}
