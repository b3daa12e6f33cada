// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

// What the program announces on the network so that phones list it by themselves, as plain data.
struct ServiceRecord
{
    QString name; // what a phone shows
    QString type; // "_withrottle._tcp"
    quint16 port = 0;
    QStringList txt; // "key=value"
};

ServiceRecord phoneService(const QString& hostName, quint16 port);

// Announces one service through the system's Avahi daemon (DNS-SD). Without a daemon nothing is
// announced and the server works by address alone; the dialog says which it is.
class ServiceAdvertiser : public QObject
{
    Q_OBJECT

public:
    enum class State { Off, NoDaemon, Announcing, Announced, Failed };

    explicit ServiceAdvertiser(QObject* parent);
    ~ServiceAdvertiser() override;

    void publish(const ServiceRecord& record);
    void withdraw();
    State state() const { return m_state; }
    ServiceRecord record() const { return m_record; }
    QString stateText() const;

    struct Backend; // the Avahi client, where the build has one

signals:
    void stateChanged();

private:
    friend struct Backend;
    void setState(State state);
    // Where the news of Avahi's own thread arrives, queued onto the GUI thread.
    Q_INVOKABLE void setStateFromBackend(int state) { setState(static_cast<State>(state)); }

    State m_state = State::Off;
    ServiceRecord m_record;
    std::unique_ptr<Backend> m_backend;
};
