// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgrammingTrack.h"

#include "CommandSet.h"
#include "LineClient.h"
#include "LineReady.h"
#include "ProgrammingRules.h"

using namespace Programming;

namespace {
constexpr int TimeoutSeconds = 2;
}

void ProgrammingTrack::progress(double percent)
{
    if (onProgress)
        onProgress(percent);
}

void ProgrammingTrack::handOver()
{
    if (afterExchange)
        afterExchange();
}

bool ProgrammingTrack::exchange(const FrameFields& request, int attempts, bool showErrors)
{
    const Outcome outcome = m_line.transact(request, attempts, showErrors, TimeoutSeconds);
    m_frame = outcome.answered() ? outcome.answer : request;
    m_lineLost = Line::lost(outcome);
    return outcome.answered();
}

bool ProgrammingTrack::program(const FrameFields& request, int attempts, bool showErrors)
{
    // No answer is a failure too: the frame then still holds the request.
    return exchange(request, attempts, showErrors) && !buttonAnswerFailed(m_frame);
}

bool ProgrammingTrack::switchProgrammingMode(bool on)
{
    exchange(Request::setTrackMode(m_controller, on ? TrackMode::Programming : TrackMode::Off));
    return m_frame.command == Answer::TrackModeAcknowledged;
}

int ProgrammingTrack::readCv(quint16 cv)
{
    const LineClient::Batch batch(m_line);
    m_cancelRequested = false;
    int value = 0;
    bool answered = true;
    for (int i = 0; i < 8 && !m_cancelRequested; ++i) {
        progress(cvReadPercent(i));
        answered = exchange(Request::cvBit(m_controller, Command::VerifyCvBit, cv, i, 1));
        handOver();
        if (m_cancelRequested || !answered)
            break;
        if (readAnswerMatches(m_frame))
            value += 1 << i;
    }
    // Eight unmatched bits mean the value 0 or no decoder at all; the byte verify decides.
    if (answered && !m_cancelRequested && value == 0) {
        answered = exchange(Request::cvByte(m_controller, Command::VerifyCvByte, cv, 0));
        value = answered && readAnswerMatches(m_frame) ? 0 : NotFound;
    }
    if (m_cancelRequested)
        return Cancelled;
    // An exchange without an answer leaves the value unknown, whatever the bits before it said.
    return answered ? value : NotFound;
}

int ProgrammingTrack::searchRegister(quint16 reg, quint8 first, quint8 last)
{
    const LineClient::Batch batch(m_line);
    m_cancelRequested = false;
    int result = NotFound;
    for (int v = first; v <= last && !m_cancelRequested; ++v) {
        progress(searchPercent(v, first, last));
        const bool answered = exchange(Request::registerValue(
            m_controller, Command::VerifyRegister, static_cast<quint8>(reg), static_cast<quint8>(v)));
        handOver();
        if (m_cancelRequested || !answered)
            break;
        if (readAnswerMatches(m_frame)) {
            progress(100.0);
            result = v;
            break;
        }
    }
    return m_cancelRequested ? Cancelled : result;
}
