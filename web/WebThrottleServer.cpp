// SPDX-License-Identifier: GPL-3.0-or-later
#include "WebThrottleServer.h"

#include "CommandSet.h"
#include "ControllerLink.h"
#include "LineClient.h"
#include "LinkTools.h"
#include "LocoEntries.h"
#include "OutcomeText.h"
#include "Roster.h"
#include "TurnoutSwitcher.h"
#include "TurnoutTable.h"
#include "WebSession.h"
#include "WiThrottleProtocol.h"

#include <QDir>
#include <QFile>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>
#include <QWebSocket>

#include <cmath>

using namespace Web;
using WiThrottle::HighestPhoneSpeed;

namespace {

QByteArray mimeType(const QString& file)
{
    static const QList<QPair<const char*, const char*>> types{{".html", "text/html; charset=utf-8"},
                                                              {".js", "text/javascript; charset=utf-8"},
                                                              {".css", "text/css; charset=utf-8"},
                                                              {".webmanifest", "application/manifest+json"},
                                                              {".png", "image/png"},
                                                              {".svg", "image/svg+xml"}};
    for (const auto& t : types)
        if (file.endsWith(QLatin1String(t.first)))
            return t.second;
    return "application/octet-stream";
}

// Only the page's own files, from the program's resources: nothing of the disk is reachable.
QHttpServerResponse pageFile(const QString& name)
{
    QFile file(QStringLiteral(":/web/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return QHttpServerResponse(QHttpServerResponse::StatusCode::NotFound);
    return QHttpServerResponse(mimeType(name), file.readAll());
}

int webState(Turnouts::Position position)
{
    switch (position) {
    case Turnouts::Position::Closed:
        return On;
    case Turnouts::Position::Thrown:
        return Off;
    case Turnouts::Position::Unknown:
        break;
    }
    return Unknown;
}

} // namespace

WebThrottleServer::WebThrottleServer(ControllerLink& link, QObject* parent)
    : QObject(parent), m_link(link), m_http(new QHttpServer(this)),
      m_rosterReader(new LineClient(link, QStringLiteral("Browser-Lokliste"), LineClient::Kind::Remote, this))
{
    // The HTTP server upgrades a request to a WebSocket only once a route has taken it; this one
    // answers nothing, so the socket is handed over untouched.
    m_http->route(QStringLiteral("/json"), [](const QHttpServerRequest&, QHttpServerResponder&&) {});
    m_http->route(QStringLiteral("/"), [] { return pageFile(QStringLiteral("index.html")); });
    for (const QString& name : QDir(QStringLiteral(":/web")).entryList(QDir::Files))
        m_http->route(QLatin1Char('/') + name, [name] { return pageFile(name); });
    connect(m_http, &QHttpServer::newWebSocketConnection, this, &WebThrottleServer::accept);
    connect(&m_link, &ControllerLink::locoChanged, this,
            [this](quint8 c, quint16 loco, const LocoState& state) { locoChanged(c, loco, state); });
    connect(&m_link, &ControllerLink::allLocosStopped, this, [this](quint8 c) {
        for (WebSession* s : std::as_const(m_sessions))
            for (auto it = s->throttles.cbegin(); it != s->throttles.cend(); ++it)
                s->send(throttleMessage(it.key(), fieldsOf(m_link.layout().loco(c, quint16(it.value())))));
    });
    connect(&m_link, &ControllerLink::powerChanged, this,
            [this](quint8, bool on) { tellAll(powerMessage(on)); });
    connect(&m_link, &ControllerLink::locoEntriesChanged, this, [this] { tellAll(rosterMessage()); });
}

WebThrottleServer::~WebThrottleServer()
{
    // The program ends: the line may be gone already, so nothing more is sent; the pages go with
    // their sessions, which are children.
    for (WebSession* s : std::as_const(m_sessions))
        disconnect(s, nullptr, this, nullptr);
    m_sessions.clear();
}

bool WebThrottleServer::listen(quint16 port, const QHostAddress& address)
{
    close();
    m_tcp = new QTcpServer(this);
    if (!m_tcp->listen(address, port)) {
        m_error = m_tcp->errorString();
        delete std::exchange(m_tcp, nullptr);
        return false;
    }
    m_error.clear();
    m_http->bind(m_tcp);
    emit browsersChanged(); // the door is open
    return true;
}

void WebThrottleServer::close()
{
    for (WebSession* s : QList<WebSession*>(m_sessions)) {
        stopAndRelease(s);
        s->close();
    }
    if (m_tcp && m_tcp->isListening()) {
        m_tcp->close();
        emit browsersChanged();
    }
}

bool WebThrottleServer::isListening() const
{
    return m_tcp && m_tcp->isListening();
}

quint16 WebThrottleServer::port() const
{
    return m_tcp ? m_tcp->serverPort() : 0;
}

void WebThrottleServer::setAccess(const WiThrottle::Access& access)
{
    m_access = access;
    for (WebSession* s : std::as_const(m_sessions)) {
        if (!mayDrive(s))
            stopAndRelease(s);
        if (s->greeted)
            s->send(helloMessage(approvalState(s), m_access.allowPower, m_access.allowTurnouts));
    }
    emit browsersChanged();
}

void WebThrottleServer::setTurnouts(TurnoutTable* table)
{
    if (m_turnouts)
        disconnect(m_turnouts, nullptr, this, nullptr);
    m_turnouts = table;
    if (!m_turnouts)
        return;
    connect(m_turnouts, &TurnoutTable::changed, this, [this] {
        tellAll(turnoutsMessage());
        tellAll(routesMessage());
    });
    connect(m_turnouts, &TurnoutTable::positionChanged, this,
            [this](const QString& turnout) { turnoutMoved(turnout); });
}

// ---- Connections ----

void WebThrottleServer::accept()
{
    while (m_http->hasPendingWebSocketConnections()) {
        std::unique_ptr<QWebSocket> socket = m_http->nextPendingWebSocketConnection();
        if (socket->requestUrl().path() != QLatin1String("/json")) {
            socket->close(QWebSocketProtocol::CloseCodeBadOperation);
            socket.release()->deleteLater();
            continue;
        }
        attach(socket.release());
    }
}

void WebThrottleServer::attach(QWebSocket* socket)
{
    auto* session = new WebSession(socket, this);
    if (m_sessions.size() >= m_access.maxConnections) {
        session->send(errorMessage(503, WiThrottle::tooManyConnectionsText(m_access.maxConnections)));
        session->close();
        session->deleteLater();
        return;
    }
    session->number = ++m_lastNumber;
    session->line = new LineClient(m_link, QStringLiteral("Browser %1").arg(session->peer()),
                                   LineClient::Kind::Remote, session);
    m_sessions << session;
    connect(session, &WebSession::messageReceived, this,
            [this, session](const QByteArray& text) { handle(session, text); });
    connect(session, &WebSession::silent, this, [this, session] {
        note(session, QByteArray(), QStringLiteral("keine Nachricht mehr: Verbindung getrennt"));
        stopAndRelease(session);
        session->close();
    });
    connect(session, &WebSession::disconnected, this, [this, session] { dropped(session); });
    connect(session, &WebSession::overflowed, this, [this, session] {
        note(session, QByteArray(), QStringLiteral("liest nichts mehr: Verbindung getrennt"));
        session->close();
    });
    emit browsersChanged();
}

void WebThrottleServer::dropped(WebSession* session)
{
    if (!m_sessions.removeOne(session))
        return;
    stopAndRelease(session);
    session->deleteLater();
    emit browsersChanged();
}

bool WebThrottleServer::mayDrive(const WebSession* session) const
{
    return session->greeted && WiThrottle::mayDrive(m_access, session->token, session->approvedHere);
}

QString WebThrottleServer::approvalState(const WebSession* session) const
{
    return mayDrive(session) ? QStringLiteral("approved") : QStringLiteral("waiting");
}

QList<WebThrottleServer::BrowserInfo> WebThrottleServer::browsers() const
{
    QList<BrowserInfo> list;
    for (const WebSession* s : m_sessions)
        if (s->greeted)
            list << BrowserInfo{s->number, s->displayName(), s->peer(), s->throttles.values(), !mayDrive(s)};
    return list;
}

bool WebThrottleServer::approve(quint64 number)
{
    for (WebSession* s : std::as_const(m_sessions)) {
        if (s->number != number || !s->greeted || mayDrive(s))
            continue;
        if (WiThrottle::storableId(s->token)) {
            m_access.devices << s->token;
            emit accessChanged(m_access);
        } else {
            s->approvedHere = true;
        }
        s->send(helloMessage(approvalState(s), m_access.allowPower, m_access.allowTurnouts));
        emit browsersChanged();
        return true;
    }
    return false;
}

bool WebThrottleServer::reject(quint64 number)
{
    for (WebSession* s : std::as_const(m_sessions)) {
        if (s->number != number || !s->greeted || mayDrive(s))
            continue;
        note(s, QByteArray(), WiThrottle::rejectedText());
        s->send(helloMessage(QStringLiteral("rejected"), false, false));
        s->close();
        return true;
    }
    return false;
}

// ---- Messages ----

void WebThrottleServer::handle(WebSession* session, const QByteArray& text)
{
    if (!session->mayServe())
        return;
    if (const int passedOver = session->takeDropped())
        note(session, QByteArray(),
             QStringLiteral("%1 Nachrichten in einer Sekunde übergangen").arg(passedOver));
    const Message m = parseMessage(text);
    if (m.kind == Kind::Invalid)
        return note(session, text, m.why);
    if (m.kind == Kind::Ping)
        return session->send(pongMessage());
    if (m.kind == Kind::Hello)
        return greet(session, m);
    if (!session->greeted)
        return note(session, text, QStringLiteral("vor der Anmeldung"));
    if (m.kind == Kind::Goodbye) {
        stopAndRelease(session);
        return session->close();
    }
    if (m.kind == Kind::List)
        return answerList(session, m.list);
    if (!mayDrive(session))
        return refuse(session, 403, WiThrottle::approvalNeededText(), text);
    const auto controller = requireChecked(session);
    if (!controller)
        return;
    switch (m.kind) {
    case Kind::Power:
        if (!m_access.allowPower)
            return refuse(session, 403, WiThrottle::powerNotAllowedText(), text);
        return submit(session, Request::setTrackMode(*controller,
                                                     m.state == On ? TrackMode::Operation : TrackMode::Off));
    case Kind::EmergencyStop:
        return submit(session, Request::stopLoco(*controller, AllLocos));
    case Kind::Throttle:
        return throttle(session, m);
    case Kind::Turnout:
        return switchTurnout(session, m);
    case Kind::Route:
        return setRoute(session, m);
    default:
        return;
    }
}

void WebThrottleServer::greet(WebSession* session, const Message& m)
{
    session->token = m.client;
    session->name = m.name;
    session->greeted = true;
    session->line->setObjectName(session->displayName());
    const auto controller = m_link.checkedController();
    session->send(helloMessage(approvalState(session), m_access.allowPower, m_access.allowTurnouts));
    session->send(powerMessage(controller ? m_link.layout().power(*controller) : std::nullopt));
    if (!controller)
        session->send(errorMessage(503, Line::notCheckedText()));
    emit browsersChanged();
}

void WebThrottleServer::answerList(WebSession* session, const QString& list)
{
    if (list == QLatin1String("power")) {
        const auto controller = m_link.checkedController();
        return session->send(powerMessage(controller ? m_link.layout().power(*controller) : std::nullopt));
    }
    if (list == QLatin1String("turnouts"))
        return session->send(turnoutsMessage());
    if (list == QLatin1String("routes"))
        return session->send(routesMessage());
    const auto controller = m_link.checkedController();
    if (controller && !m_link.locoEntries(*controller))
        return readRoster(); // the read tells every page through the line
    session->send(rosterMessage());
}

QByteArray WebThrottleServer::rosterMessage() const
{
    // The locos the Controller is configured for, with the roster's names and labels.
    QList<RosterItem> items;
    const auto controller = m_link.checkedController();
    const auto entries = controller ? m_link.locoEntries(*controller) : std::nullopt;
    for (const LocoEntryRecord& e : entries.value_or(QList<LocoEntryRecord>())) {
        RosterItem item{QStringLiteral("Lok %1").arg(e.number), e.number, {}, {}};
        if (const Roster::Entry* named = m_roster ? m_roster->entryForNumber(e.number) : nullptr) {
            item.name = named->id;
            for (const Roster::Function& f : named->functions) {
                item.labels << f.label;
                item.momentary << f.momentary;
            }
        }
        items << item;
    }
    return Web::rosterMessage(items);
}

void WebThrottleServer::readRoster()
{
    const auto controller = m_link.checkedController();
    if (m_rosterReading || !controller)
        return;
    LineClient::Batch batch(*m_rosterReader);
    if (!batch.held()) { // another source's transaction runs: once it has ended
        QTimer::singleShot(200, this, &WebThrottleServer::readRoster);
        return;
    }
    m_rosterReading = true;
    ScreenRateEvents events(m_link.clock(), QEventLoop::ExcludeUserInputEvents);
    const LocoEntriesRead read =
        readLocoEntries(*m_rosterReader, *controller, 2, false, [&events] { events.take(); });
    m_rosterReading = false;
    // A read that came to nothing still answers: the pages learn there is no list to offer.
    if (read.entries.isEmpty())
        tellAll(rosterMessage());
}

void WebThrottleServer::throttle(WebSession* session, const Message& m)
{
    const quint8 c = *m_link.checkedController();
    if (m.address) {
        if (!session->throttles.contains(m.throttle) && session->throttles.size() >= WiThrottle::MaxHeldLocos)
            return refuse(session, 409, WiThrottle::tooManyLocosText(WiThrottle::MaxHeldLocos), QByteArray());
        session->throttles.insert(m.throttle, *m.address);
        ThrottleFields all = fieldsOf(m_link.layout().loco(c, quint16(*m.address)));
        all.address = *m.address;
        session->send(throttleMessage(m.throttle, all));
        emit browsersChanged();
    }
    if (!session->throttles.contains(m.throttle))
        return note(session, QByteArray(), QStringLiteral("Regler ohne Lok"));
    const int address = session->throttles.value(m.throttle);
    const auto loco = static_cast<quint16>(address);
    if (m.status)
        session->send(throttleMessage(m.throttle, fieldsOf(m_link.layout().loco(c, loco))));
    if (m.speed && *m.speed < 0) {
        submit(session, Request::stopLoco(c, loco));
    } else if (m.speed) {
        // The phones' cap, then the loco's top speed from the roster, as for a phone.
        quint8 speed =
            WiThrottle::cappedSpeed(int(std::lround(*m.speed * HighestPhoneSpeed)), m_access.maxSpeedPercent);
        if (const Roster::Entry* entry = m_roster ? m_roster->entryForNumber(address) : nullptr)
            speed = Roster::cappedSpeed(speed, entry->maxSpeed);
        submit(session, Request::setLocoSpeed(c, loco, speed));
    }
    if (m.forward)
        submit(session, Request::setLocoDirection(c, loco, *m.forward));
    for (auto it = m.functions.cbegin(); it != m.functions.cend(); ++it)
        submit(session, Request::locoFunction(c, loco, static_cast<quint8>(it.key()), it.value()));
    if (m.release) {
        session->throttles.remove(m.throttle);
        session->send(releasedMessage(m.throttle));
        emit browsersChanged();
    }
}

void WebThrottleServer::switchTurnout(WebSession* session, const Message& m)
{
    const auto index = WiThrottle::turnoutIndex(m.name);
    if (!m_turnouts || !m_access.allowTurnouts)
        return refuse(session, 403, WiThrottle::turnoutsNotAllowedText(), QByteArray());
    if (!index || !m_turnouts->remoteMaySwitch(*index))
        return refuse(session, 403, WiThrottle::turnoutNotForPhonesText(), QByteArray());
    TurnoutSwitcher::madeOnce(session->turnouts, *m_turnouts, *session->line, session)
        .switchTurnout(m_turnouts->turnouts()[*index].name,
                       m.state == On ? Turnouts::Position::Closed : Turnouts::Position::Thrown,
                       refusalOnFailure(session));
}

void WebThrottleServer::setRoute(WebSession* session, const Message& m)
{
    const auto index = WiThrottle::routeIndex(m.name);
    if (!m_turnouts || !m_access.allowTurnouts)
        return refuse(session, 403, WiThrottle::turnoutsNotAllowedText(), QByteArray());
    if (!index || !m_turnouts->remoteMaySet(*index))
        return refuse(session, 403, WiThrottle::routeNotForPhonesText(), QByteArray());
    TurnoutSwitcher::madeOnce(session->turnouts, *m_turnouts, *session->line, session)
        .setRoute(m_turnouts->routes()[*index].name, refusalOnFailure(session));
}

TurnoutSwitcher::Done WebThrottleServer::refusalOnFailure(WebSession* session)
{
    // The page may have gone by the time the Controller answered.
    const QPointer<WebSession> alive(session);
    return [this, alive](const TurnoutSwitcher::Result& r) {
        if (alive && !r.ok)
            refuse(alive.data(), 409, r.text, QByteArray());
    };
}

void WebThrottleServer::submit(WebSession* session, const FrameFields& request)
{
    const QPointer<WebSession> alive(session);
    session->line->submit(request, [this, alive](const Outcome& outcome) {
        const QString why = Line::failureText(outcome, m_link.portName());
        if (alive && !why.isEmpty())
            refuse(alive.data(), 409, why, QByteArray());
    });
}

std::optional<quint8> WebThrottleServer::requireChecked(WebSession* session)
{
    const auto controller = m_link.checkedController();
    if (!controller)
        session->send(errorMessage(503, Line::notCheckedText()));
    return controller;
}

void WebThrottleServer::refuse(WebSession* session, int code, const QString& why, const QByteArray& text)
{
    note(session, text, why);
    session->send(errorMessage(code, why));
}

void WebThrottleServer::note(WebSession* session, const QByteArray& text, const QString& reason)
{
    m_link.note(QStringLiteral("Browser %1").arg(session->displayName()), QString::fromUtf8(text.left(200)),
                reason);
}

void WebThrottleServer::stopAndRelease(WebSession* session)
{
    // A page that goes or may no longer drive leaves no loco running behind it.
    const auto controller = m_link.checkedController();
    QList<int> stopped;
    for (auto it = session->throttles.cbegin(); it != session->throttles.cend(); ++it) {
        if (controller && !stopped.contains(it.value())) {
            stopped << it.value();
            session->line->submit(Request::stopLoco(*controller, static_cast<quint16>(it.value())));
        }
        session->send(releasedMessage(it.key()));
    }
    session->throttles.clear();
}

ThrottleFields WebThrottleServer::fieldsOf(const LocoState& state) const
{
    ThrottleFields f;
    f.speed =
        WiThrottle::phoneSpeedUnderCap(state.speed, m_access.maxSpeedPercent) / double(HighestPhoneSpeed);
    f.forward = state.forward;
    for (int n = 0; n <= HighestFunction; ++n)
        f.functions.insert(n, state.function(n));
    return f;
}

QByteArray WebThrottleServer::turnoutsMessage() const
{
    QList<ListedItem> items;
    if (m_turnouts && m_access.allowTurnouts)
        for (const TurnoutTable::Remote& t : m_turnouts->remoteTurnouts())
            items << ListedItem{WiThrottle::turnoutSystemName(t.index), t.name, webState(t.position)};
    return listMessage("turnouts", "turnout", items);
}

QByteArray WebThrottleServer::routesMessage() const
{
    QList<ListedItem> items;
    if (m_turnouts && m_access.allowTurnouts)
        for (const TurnoutTable::Remote& r : m_turnouts->remoteRoutes())
            items << ListedItem{WiThrottle::routeSystemName(r.index), r.name, r.set ? On : Off};
    return listMessage("routes", "route", items);
}

void WebThrottleServer::tellAll(const QByteArray& message)
{
    for (WebSession* s : std::as_const(m_sessions))
        if (s->greeted)
            s->send(message);
}

void WebThrottleServer::locoChanged(quint8 controller, quint16 loco, const LocoState& state)
{
    if (m_link.checkedController() != controller)
        return;
    for (WebSession* s : std::as_const(m_sessions))
        for (auto it = s->throttles.cbegin(); it != s->throttles.cend(); ++it)
            if (it.value() == loco)
                s->send(throttleMessage(it.key(), fieldsOf(state)));
}

void WebThrottleServer::turnoutMoved(const QString& turnout)
{
    if (!m_access.allowTurnouts)
        return;
    for (const TurnoutTable::Remote& t : m_turnouts->remoteTurnouts())
        if (t.name == turnout)
            tellAll(itemMessage(
                "turnout", ListedItem{WiThrottle::turnoutSystemName(t.index), t.name, webState(t.position)}));
    tellAll(routesMessage());
}
