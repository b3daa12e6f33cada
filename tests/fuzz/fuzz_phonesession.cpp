// SPDX-License-Identifier: GPL-3.0-or-later
// Whole phone sessions against the server on a checked Controller: phones connect, send lines,
// pieces of lines and floods, read or never read, drop, are approved or rejected, in any order.
// Whatever happens: a phone's waiting output stays within the bound, no phone is served beyond
// the limit, no frame drives before a device may drive, no speed passes the cap, the track power
// is not switched when phones may not, and once every phone has gone nothing waits and none is
// left served.

#include "CommandSet.h"
#include "ControllerLink.h"
#include "FakeSerialPort.h"
#include "PhoneConnection.h"
#include "WiThrottleAccess.h"
#include "WiThrottleProtocol.h"
#include "WiThrottleServer.h"

#include <QCoreApplication>
#include <QPointer>

#include <cstdint>
#include <cstdlib>
#include <memory>

using namespace WiThrottle;

namespace {
// A phone as the network would carry it: what it sent waits until the session reads it, what
// the session wrote waits until the phone reads it.
class FuzzConnection final : public PhoneConnection
{
    Q_OBJECT

public:
    using PhoneConnection::PhoneConnection;

    QByteArray read(qint64 max) override
    {
        const QByteArray part = m_in.left(max);
        m_in.remove(0, part.size());
        return part;
    }
    qint64 bytesAvailable() const override { return m_in.size(); }
    void write(const QByteArray& bytes) override
    {
        if (!m_connected)
            return;
        m_out += bytes;
        if (m_out.size() > MaxPendingOutput)
            std::abort();
    }
    void flush() override {}
    qint64 bytesToWrite() const override { return m_out.size(); }
    bool isConnected() const override { return m_connected; }
    void close() override
    {
        m_closing = true;
        if (m_out.isEmpty())
            drop();
    }
    void abort() override
    {
        m_in.clear();
        m_out.clear();
        drop();
    }
    QString peer() const override { return QStringLiteral("192.168.1.10"); }

    // The phone's side.
    void arrive(const QByteArray& bytes)
    {
        if (!m_connected)
            return;
        m_in += bytes;
        emit readyRead();
    }
    void takeOutput()
    {
        m_out.clear();
        if (m_closing)
            drop();
    }
    void drop()
    {
        if (!m_connected)
            return;
        m_connected = false;
        emit disconnected();
    }

private:
    QByteArray m_in;
    QByteArray m_out;
    bool m_connected = true;
    bool m_closing = false;
};

// Lines that take a session somewhere; the fuzzer's own bytes reach the rest.
const QByteArrayList kLines = QByteArray("HUphone-a NAnna * PPA1 MT+S3<;>S3 MTAS3<;>V126 MTA*<;>V20 "
                                         "MTAS3<;>R0 MTAS3<;>F13 MTA*<;>qV MT-S3<;>r")
                                  .split(' ');

// One turn of the event loop: the line sends one request a turn.
void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    size_t at = 0;
    const auto next = [&]() -> quint8 { return at < size ? data[at++] : 0; };

    FakeClock clock;
    FakeSerialPort port(&clock);
    port.setResponder([](const QByteArray& bytes) {
        FrameFields f;
        decodeFrame(bytes, f);
        if (f.command == Command::ReadLocoEntry)
            return encodeFrame(FrameFields{f.controller, f.command, 0, 0, LocoEntry::None});
        const bool track = f.command == Command::ControllerControl && f.data1 == ControlOp::TrackMode;
        return encodeFrame(FrameFields{f.controller, track ? Answer::TrackModeAcknowledged : f.command,
                                       f.data1, f.data2, f.data3});
    });
    ControllerLink link;
    openChecked(link, port, clock);

    const quint8 setup = next();
    Access access;
    access.approval = !(setup & 1);
    access.allowPower = setup & 2;
    access.maxSpeedPercent = 1 + next() % 100;
    access.maxConnections = 1 + (setup >> 2) % 8;
    bool mayHaveDriven = !access.approval;

    auto server = std::make_unique<WiThrottleServer>(link, nullptr);
    server->setAccess(access);
    server->setHeartbeatSeconds(setup & 0x80 ? 0 : 10); // 0: the watch runs out at every settle
    server->setIdentifyMs(setup & 0x40 ? 0 : 60000);

    // The connections belong to the server and its sessions, which delete them when they go.
    QList<QPointer<FuzzConnection>> alive;
    while (at < size && alive.size() < 48) {
        const quint8 op = next();
        const auto phone = [&] { return alive.isEmpty() ? nullptr : alive[next() % alive.size()].data(); };
        switch (op % 6) {
        case 0: {
            const int before = server->phones().size();
            auto* c = new FuzzConnection(server.get());
            alive << QPointer<FuzzConnection>(c);
            if (server->attach(c) != (before < access.maxConnections))
                std::abort();
            break;
        }
        case 1:
            if (FuzzConnection* c = phone()) {
                const size_t take = qMin<size_t>(next() % 64, size - qMin(at, size));
                c->arrive(QByteArray(reinterpret_cast<const char*>(data + at), qsizetype(take)));
                at += take;
            }
            break;
        case 2:
            if (FuzzConnection* c = phone()) {
                const quint8 pick = next();
                const QByteArray line = kLines[pick % kLines.size()] + (pick & 0x40 ? "\r\n" : "\n");
                c->arrive(pick & 0x80 ? line.repeated(1 + next() * 8) : line); // a flood at once
            }
            break;
        case 3:
            if (FuzzConnection* c = phone())
                (next() & 1) ? c->takeOutput() : c->drop();
            break;
        case 4:
            for (const WiThrottleServer::PhoneInfo& p : server->phones())
                if (p.waiting) {
                    const bool approve = next() & 1;
                    mayHaveDriven = mayHaveDriven || approve;
                    if (!(approve ? server->approve(p.number) : server->reject(p.number)))
                        std::abort(); // it was waiting
                    break;
                }
            break;
        default:
            settle();
        }
        if (!mayHaveDriven)
            for (const FrameFields& f : port.writtenFrames())
                if (f.command != Command::ReadLocoEntry)
                    std::abort(); // a device drove before anyone might
    }

    // Every phone goes.
    for (const QPointer<FuzzConnection>& c : std::as_const(alive))
        if (c)
            c->drop();
    for (int turn = 0; turn < 100000 && link.waitingRequests() > 0; ++turn)
        settle();
    if (link.waitingRequests() > 0 || !server->phones().isEmpty())
        std::abort();

    for (const FrameFields& f : port.writtenFrames()) {
        if (f.command == Command::SetLocoSpeed && f.data3 > speedCapValue(access.maxSpeedPercent))
            std::abort(); // past the cap
        if (f.command == Command::ControllerControl && f.data1 == ControlOp::TrackMode && !access.allowPower)
            std::abort();
    }
    server.reset();
    settle();
    return 0;
}

#include "fuzz_phonesession.moc"
