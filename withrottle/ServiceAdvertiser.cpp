// SPDX-License-Identifier: GPL-3.0-or-later
#include "ServiceAdvertiser.h"

#include "TaktoraVersion.h"

#include <QMetaObject>

#ifdef TAKTORA_HAVE_AVAHI
#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/thread-watch.h>
#endif

ServiceRecord phoneService(const QString& hostName, quint16 port)
{
    ServiceRecord r;
    const QString host = hostName.section(QLatin1Char('.'), 0, 0);
    r.name = QString::fromUtf8(TaktoraVersion::ProductName) +
             (host.isEmpty() ? QString() : QStringLiteral(" auf ") + host);
    r.name.truncate(63); // the longest label DNS-SD takes
    r.type = QStringLiteral("_withrottle._tcp");
    r.port = port;
    r.txt = {QStringLiteral("server=") + QString::fromUtf8(TaktoraVersion::ProductName),
             QStringLiteral("version=%1.%2").arg(TaktoraVersion::Major).arg(TaktoraVersion::Minor)};
    return r;
}

QString ServiceAdvertiser::stateText() const
{
    switch (m_state) {
    case State::Off:
        return QStringLiteral("Nicht angekündigt: der Server ist aus.");
    case State::NoDaemon:
        return QStringLiteral("Nicht im Netz angekündigt (kein Avahi-Dienst auf diesem Rechner): "
                              "Adresse und Port im Handregler von Hand eingeben.");
    case State::Announcing:
        return QStringLiteral("Wird im Netz angekündigt …");
    case State::Announced:
        return QStringLiteral("Im Netz angekündigt als „%1“: Handregler finden das Programm von selbst.")
            .arg(m_record.name);
    case State::Failed:
        break;
    }
    return QStringLiteral(
        "Ankündigung im Netz fehlgeschlagen: Adresse und Port im Handregler von Hand eingeben.");
}

void ServiceAdvertiser::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged();
}

#ifdef TAKTORA_HAVE_AVAHI
// Avahi runs its own poll thread; its callbacks come from there and hand their news to the GUI
// thread through queued calls.
struct ServiceAdvertiser::Backend
{
    ServiceAdvertiser* owner = nullptr;
    AvahiThreadedPoll* poll = nullptr;
    AvahiClient* client = nullptr;
    AvahiEntryGroup* group = nullptr;
    QByteArray name;
    ServiceRecord record;

    void report(State state)
    {
        QMetaObject::invokeMethod(owner, "setStateFromBackend", Qt::QueuedConnection, Q_ARG(int, int(state)));
    }

    void addService()
    {
        if (!group)
            group = avahi_entry_group_new(client, &Backend::groupChanged, this);
        if (!group) {
            report(State::Failed);
            return;
        }
        AvahiStringList* txt = nullptr;
        for (const QString& t : record.txt)
            txt = avahi_string_list_add(txt, t.toUtf8().constData());
        const int error = avahi_entry_group_add_service_strlst(
            group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, AvahiPublishFlags(0), name.constData(),
            record.type.toUtf8().constData(), nullptr, nullptr, record.port, txt);
        avahi_string_list_free(txt);
        if (error == AVAHI_ERR_COLLISION) {
            rename();
            return;
        }
        if (error < 0 || avahi_entry_group_commit(group) < 0)
            report(State::Failed);
    }

    void rename()
    {
        char* alternative = avahi_alternative_service_name(name.constData());
        name = alternative;
        avahi_free(alternative);
        avahi_entry_group_reset(group);
        addService();
    }

    static void groupChanged(AvahiEntryGroup* g, AvahiEntryGroupState state, void* data)
    {
        auto* self = static_cast<Backend*>(data);
        self->group = g;
        if (state == AVAHI_ENTRY_GROUP_ESTABLISHED)
            self->report(State::Announced);
        else if (state == AVAHI_ENTRY_GROUP_COLLISION)
            self->rename();
        else if (state == AVAHI_ENTRY_GROUP_FAILURE)
            self->report(State::Failed);
    }

    static void clientChanged(AvahiClient* c, AvahiClientState state, void* data)
    {
        auto* self = static_cast<Backend*>(data);
        self->client = c;
        if (state == AVAHI_CLIENT_S_RUNNING)
            self->addService();
        else if (state == AVAHI_CLIENT_FAILURE)
            self->report(State::NoDaemon);
        else if ((state == AVAHI_CLIENT_S_COLLISION || state == AVAHI_CLIENT_S_REGISTERING) && self->group)
            avahi_entry_group_reset(self->group);
    }

    ~Backend()
    {
        if (poll)
            avahi_threaded_poll_stop(poll);
        if (client)
            avahi_client_free(client); // frees the group with it
        if (poll)
            avahi_threaded_poll_free(poll);
    }
};

void ServiceAdvertiser::publish(const ServiceRecord& record)
{
    withdraw();
    m_record = record;
    auto backend = std::make_unique<Backend>();
    backend->owner = this;
    backend->record = record;
    backend->name = record.name.toUtf8();
    backend->poll = avahi_threaded_poll_new();
    int error = 0;
    if (backend->poll)
        backend->client = avahi_client_new(avahi_threaded_poll_get(backend->poll), AvahiClientFlags(0),
                                           &Backend::clientChanged, backend.get(), &error);
    if (!backend->client) {
        // No daemon (or no system bus at all): the server works by address alone.
        setState(State::NoDaemon);
        return;
    }
    setState(State::Announcing);
    avahi_threaded_poll_start(backend->poll);
    m_backend = std::move(backend);
}
#else
struct ServiceAdvertiser::Backend
{
};

void ServiceAdvertiser::publish(const ServiceRecord& record)
{
    m_record = record;
    setState(State::NoDaemon);
}
#endif

ServiceAdvertiser::ServiceAdvertiser(QObject* parent) : QObject(parent)
{}

ServiceAdvertiser::~ServiceAdvertiser() = default;

void ServiceAdvertiser::withdraw()
{
    m_backend.reset();
    setState(State::Off);
}
