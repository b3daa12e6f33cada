// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ControllerLink.h"

#include <QObject>
#include <QString>

#include <functional>

// One source of frames on the line: a window, a phone's connection, a browser. Its requests go
// through the one ControllerLink, which serves the sources in turn and tells each the outcome
// of its own requests.
class LineClient : public QObject
{
    Q_OBJECT

public:
    // A screen source's failures are the user's: its transactions ask through the prompter. A
    // remote source is told its outcomes, and is refused at once while a window holds the line.
    enum class Kind { Screen, Remote };
    static constexpr int QueueLimit = 64;

    LineClient(ControllerLink& link, const QString& name, Kind kind, QObject* parent = nullptr);
    ~LineClient() override;

    ControllerLink& link() const { return m_link; }
    QString name() const { return m_name; }
    Kind kind() const { return m_kind; }
    // The main window checks the Controller itself; every other source waits for that check.
    void setNeedsCheck(bool needs) { m_needsCheck = needs; }
    bool needsCheck() const { return m_needsCheck; }

    // One transaction, now: blocks the thread without processing events until the answer is
    // accepted or every attempt has failed (attempts 0 means 3). Refused at once, without a
    // frame, while another source's transaction or window holds the line.
    Outcome transact(const FrameFields& request, int attempts, bool showErrors, int timeoutSeconds);
    // The same with the frame fields in and out: true leaves the answer in `frame`, false leaves
    // `frame` as it was.
    bool ControllerTransaction(FrameFields& frame, int attempts, bool showErrors, int timeoutSeconds);

    // A request that waits its turn (2 attempts of 2 seconds, no questions); `done` hears the
    // outcome, also when the request is refused or made stale before it goes out.
    using Done = std::function<void(const Outcome&)>;
    void submit(const FrameFields& request, Done done = {});
    int waiting() const;

    // While a window is open the line is its own: other sources' frames wait (a window's) or are
    // refused (a phone's), stops excepted, which go between the window's exchanges. A window
    // that keeps the track switched off says so; a track-off from elsewhere then needs no frame.
    void holdExclusive(const QString& reason, bool trackOff);
    void releaseExclusive();
    bool holdsExclusive() const;

    // Several exchanges that belong together and let events through between them (a long read):
    // no other source's transaction starts in between, only stops go. False when another
    // source's transaction runs; the batch then holds nothing.
    class Batch
    {
    public:
        explicit Batch(LineClient& client) : m_client(client), m_held(client.m_link.beginBatch(&client)) {}
        ~Batch()
        {
            if (m_held)
                m_client.m_link.endBatch(&m_client);
        }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        bool held() const { return m_held; }

    private:
        LineClient& m_client;
        bool m_held;
    };

private:
    friend class ControllerLink;

    ControllerLink& m_link;
    bool m_attached = true; // the link may go first, taking its child sources along
    const QString m_name;
    const Kind m_kind;
    bool m_needsCheck = true;
};
