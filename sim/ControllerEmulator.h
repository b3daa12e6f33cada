// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DecoderTiming.h"
#include "EmulatedController.h"
#include "FaultPlan.h"
#include "Frame.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QString>

// The serial line with the Controllers behind it: collects the bytes the program sends into
// six-byte requests, hands each to the addressed board and returns the bytes that go back.
//
// Framing follows what a simple board does: it reads six bytes and checks them; a frame with a
// wrong check byte is dropped whole and answered with silence. Bytes of an incomplete frame are
// dropped when the line has been idle for ResyncGapMs before more bytes arrive, so that a torn
// frame cannot shift every later one: the program writes each request in one go and waits for
// its answer, so a new request always starts after such a gap.
class ControllerEmulator
{
public:
    static constexpr qint64 ResyncGapMs = 100;

    struct Exchange
    {
        enum class Kind {
            Answered,  // request is a valid frame; answer holds what goes back on the line
            Silent,    // request is a valid frame that gets no answer (note says why)
            Discarded, // request holds bytes that were not a valid frame
        };
        Kind kind = Kind::Answered;
        QByteArray request;
        QByteArray answer;
        QString note;      // fault applied, or why nothing is answered
        int busyMs = 0;    // the programming track's own time before the answer leaves
        bool late = false; // the answer is held back until the program has given up on it
    };

    // Serves Controller 1 with the factory state of EmulatedController.
    ControllerEmulator();

    // Replaces the boards: every number gets a copy of `board`.
    void setControllers(const QList<quint8>& numbers, const EmulatedController& board);
    QList<quint8> controllerNumbers() const { return m_boards.keys(); }
    // The board of a served number (nullptr otherwise).
    EmulatedController* controller(quint8 number);

    FaultPlan& faults() { return m_faults; }
    void setDecoderTiming(const DecoderTiming& timing) { m_decoderTiming = timing; }

    // Bytes from the program, received at nowMs (any monotonic milliseconds). Returns one
    // entry per complete frame and per dropped fragment, in order.
    QList<Exchange> receiveAt(const QByteArray& bytes, qint64 nowMs);
    // The same on the emulator's own clock, returning just the bytes that go back.
    QByteArray receive(const QByteArray& bytes);

    // Bytes of an unfinished request waiting for the rest.
    int pendingBytes() const { return static_cast<int>(m_buffer.size()); }

private:
    Exchange process(const QByteArray& frame);

    QMap<quint8, EmulatedController> m_boards;
    FaultPlan m_faults;
    DecoderTiming m_decoderTiming;
    QByteArray m_buffer;
    qint64 m_lastBytesMs = 0;
    QElapsedTimer m_clock;
};

// How an exchange appears in the log: "> 1, 2, 0, 0, 0, 3" for a request, "< ..." for what went
// back (or "< none"), "! ..." for bytes that were dropped. The answer line is empty for dropped
// bytes, which have only the one line.
QString requestLogLine(const ControllerEmulator::Exchange& exchange);
QString answerLogLine(const ControllerEmulator::Exchange& exchange);
