// SPDX-License-Identifier: GPL-3.0-or-later
#include "ControllerEmulator.h"

#include "CommandSet.h"

namespace {
// What follows an answer under the "trailing" fault: recognisably not a frame start.
const QByteArray kTrailingBytes = QByteArray::fromHex("55aa00");

bool isStatusQuery(const FrameFields& f)
{
    return f.command == Command::ControllerQuery && f.data1 == QueryOp::Status;
}
} // namespace

ControllerEmulator::ControllerEmulator()
{
    m_boards.insert(1, EmulatedController());
    m_clock.start();
}

void ControllerEmulator::setControllers(const QList<quint8>& numbers, const EmulatedController& board)
{
    m_boards.clear();
    for (quint8 n : numbers)
        m_boards.insert(n, board);
}

EmulatedController* ControllerEmulator::controller(quint8 number)
{
    auto it = m_boards.find(number);
    return it == m_boards.end() ? nullptr : &it.value();
}

QByteArray ControllerEmulator::receive(const QByteArray& bytes)
{
    QByteArray out;
    for (const Exchange& e : receiveAt(bytes, m_clock.elapsed()))
        out += e.answer;
    return out;
}

QList<ControllerEmulator::Exchange> ControllerEmulator::receiveAt(const QByteArray& bytes, qint64 nowMs)
{
    QList<Exchange> exchanges;
    if (!m_buffer.isEmpty() && nowMs - m_lastBytesMs > ResyncGapMs) {
        exchanges.append(Exchange{Exchange::Kind::Discarded, m_buffer, QByteArray(),
                                  QStringLiteral("incomplete frame dropped after line idle")});
        m_buffer.clear();
    }
    m_buffer += bytes;
    m_lastBytesMs = nowMs;
    while (m_buffer.size() >= FrameSize) {
        const QByteArray frame = m_buffer.left(FrameSize);
        m_buffer.remove(0, FrameSize);
        exchanges.append(process(frame));
    }
    return exchanges;
}

ControllerEmulator::Exchange ControllerEmulator::process(const QByteArray& frame)
{
    FrameFields request;
    if (!decodeFrame(frame, request))
        return Exchange{Exchange::Kind::Discarded, frame, QByteArray(), QStringLiteral("check byte wrong")};

    EmulatedController* board = controller(request.controller);
    if (!board && !isStatusQuery(request))
        return Exchange{Exchange::Kind::Silent, frame, QByteArray(), QStringLiteral("not served")};

    FaultPlan::Kind fault{};
    const bool faulted = m_faults.take(request.command, fault);
    const QString faultNote = faulted ? QStringLiteral("fault ") + FaultPlan::kindName(fault) : QString();
    if (faulted && fault == FaultPlan::Kind::NoAnswer)
        return Exchange{Exchange::Kind::Silent, frame, QByteArray(), faultNote};

    FrameFields answer = request;
    if (faulted && fault == FaultPlan::Kind::Command255) {
        answer.command = Answer::Failed;
    } else if (board) {
        answer = board->answer(request);
    } else {
        // Any board on the line tells the program that the number it asked for is not there.
        answer.command = Answer::NoSuchController;
        answer.data1 = answer.data2 = answer.data3 = 0;
    }

    QByteArray bytes = encodeFrame(answer);
    if (faulted) {
        switch (fault) {
        case FaultPlan::Kind::BadCheck:
            bytes[FrameSize - 1] = static_cast<char>(~static_cast<quint8>(bytes[FrameSize - 1]));
            break;
        case FaultPlan::Kind::Short:
            bytes.chop(1);
            break;
        case FaultPlan::Kind::Trailing:
            bytes += kTrailingBytes;
            break;
        default:
            break;
        }
    }
    return Exchange{Exchange::Kind::Answered,
                    frame,
                    bytes,
                    faultNote,
                    m_decoderTiming.busyMs(request, answer),
                    faulted && fault == FaultPlan::Kind::Late};
}

namespace {
QString noteSuffix(const ControllerEmulator::Exchange& exchange)
{
    return exchange.note.isEmpty() ? QString() : QStringLiteral("  (%1)").arg(exchange.note);
}
} // namespace

QString requestLogLine(const ControllerEmulator::Exchange& exchange)
{
    if (exchange.kind == ControllerEmulator::Exchange::Kind::Discarded)
        return QStringLiteral("! ") + frameToString(exchange.request) + noteSuffix(exchange);
    return QStringLiteral("> ") + frameToString(exchange.request);
}

QString answerLogLine(const ControllerEmulator::Exchange& exchange)
{
    switch (exchange.kind) {
    case ControllerEmulator::Exchange::Kind::Answered:
        return QStringLiteral("< ") + frameToString(exchange.answer) + noteSuffix(exchange);
    case ControllerEmulator::Exchange::Kind::Silent:
        return QStringLiteral("< none") + noteSuffix(exchange);
    case ControllerEmulator::Exchange::Kind::Discarded:
        break;
    }
    return QString();
}
