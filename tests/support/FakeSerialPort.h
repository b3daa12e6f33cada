// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Frame.h"
#include "LineClient.h"
#include "SerialPortInterface.h"

#include <QList>
#include <QQueue>
#include <QStringList>

#include <functional>

// Time that passes only when a test (or a wait on the fake port) says so.
class FakeClock final : public MonotonicClock
{
public:
    qint64 nowMs() const override { return m_now; }
    void advance(qint64 ms) { m_now += ms; }

private:
    qint64 m_now = 0;
};

// An in-memory serial port. Each written frame is recorded and answered by the queued answers
// (one per write, in order) or, when none is queued, by the responder. Waiting for bytes that
// never come advances the fake clock by the whole wait, so timeouts cost no real time.
class FakeSerialPort final : public SerialPortInterface
{
public:
    using Responder = std::function<QByteArray(const QByteArray& request)>;

    explicit FakeSerialPort(FakeClock* clock) : m_clock(clock) {}

    // Script.
    void queueAnswer(const QByteArray& bytes) { m_answers.enqueue(bytes); }
    void queueSilence() { queueAnswer(QByteArray()); }
    void setResponder(Responder responder) { m_responder = std::move(responder); }
    void setExistingPorts(const QStringList& comNames) { m_existing = comNames; }
    void setOpenError(int number) { m_openError = number; }
    // Bytes that reach the line on their own schedule, whatever was written: each wait takes the
    // next arrival once its delay has passed. Replaces the queued answers and the responder.
    struct Arrival
    {
        QByteArray bytes;
        qint64 afterMs = 0;
    };
    void scheduleArrivals(const QList<Arrival>& arrivals) { m_arrivals = arrivals; }

    // What happened.
    QList<QByteArray> written() const { return m_written; }
    QList<FrameFields> writtenFrames() const;
    QStringList openedNames() const { return m_openedNames; }
    QList<QByteArray> reads() const { return m_reads; }
    void resetLog();

    // SerialPortInterface
    bool open(const QString& comName) override;
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    void clearBuffers() override;
    bool write(const QByteArray& bytes) override;
    bool waitForTransmitted(int msecs) override;
    qint64 bytesWaiting() override { return m_rx.size(); }
    bool waitForBytes(int msecs) override;
    QByteArray readAll() override;
    PortError lastError() const override { return m_error; }

private:
    void setError(int number);

    FakeClock* m_clock;
    Responder m_responder;
    QQueue<QByteArray> m_answers;
    QStringList m_existing;
    int m_openError = 8002;
    bool m_open = false;
    QByteArray m_pending; // answer bytes on their way
    QByteArray m_rx;
    QList<QByteArray> m_written;
    QList<QByteArray> m_reads;
    QList<Arrival> m_arrivals;
    QStringList m_openedNames;
    PortError m_error;
};

class ControllerLink;

// The link opened on the port as COM3, Controller 1 checked, without a watch on the devices.
void openChecked(ControllerLink& link, FakeSerialPort& port, FakeClock& clock);

// Lends the program's link a fake port and clock for the life of a test and takes them back
// afterwards.
struct FakeLink
{
    FakeClock clock;
    FakeSerialPort port{&clock};
    ControllerLink link; // with the screen's boxes, as the main window has them
    LineClient screen{link, QStringLiteral("Test"), LineClient::Kind::Screen}; // needs no check
    explicit FakeLink(const QString& portName = QStringLiteral("COM3"));
    ~FakeLink();
};
