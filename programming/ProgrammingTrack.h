// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ControllerLink.h"
#include "Frame.h"

#include <QtGlobal>

#include <functional>

class LineClient;

// The programming-track operations without any widget: programming mode on and off, the CV read
// (eight bit verifies, the byte verify for 0), the register search, and single writes and
// verifies, each through the window's source on the line to the Controller it was opened for.
// The long reads tell their progress before each exchange, hand over to the window after each
// one (where a click on "Abbruch" arrives) and stop when the cancel flag is set; they hold the
// line as one batch, so that only stops go out between their exchanges.
class ProgrammingTrack
{
public:
    explicit ProgrammingTrack(LineClient& line) : m_line(line) {}

    std::function<void(double percent)> onProgress;
    std::function<void()> afterExchange;

    void setController(quint8 controller) { m_controller = controller; }
    quint8 controllerByte() const { return m_controller; }

    // The cancel flag: set by the window, cleared when a long read starts and by its caller once
    // it has handled a cancel.
    void requestCancel() { m_cancelRequested = true; }
    void clearCancel() { m_cancelRequested = false; }
    bool cancelRequested() const { return m_cancelRequested; }

    // SetTrackMode, quiet with 3 attempts; true when the Controller acknowledged. Off is also
    // the track-off of a window's opening and closing.
    bool switchProgrammingMode(bool on);
    // 0 to 255, Programming::NotFound or Programming::Cancelled (the flag then stays set).
    int readCv(quint16 cv);
    int searchRegister(quint16 reg, quint8 first, quint8 last);
    // One request; true only when the Controller answered, and then frame() holds the answer.
    bool exchange(const FrameFields& request, int attempts = 0, bool showErrors = false);
    // A write or verify judged as the buttons judge it: answered, and not three 255 bytes.
    bool program(const FrameFields& request, int attempts = 0, bool showErrors = false);

    // What the last exchange left: the answer, or the request when none was accepted.
    const FrameFields& frame() const { return m_frame; }
    // The last exchange met a port error, or the line refused it (the Controller must be checked
    // again, another source holds the line): nothing after it would get through either.
    bool lineLost() const { return m_lineLost; }

private:
    void progress(double percent);
    void handOver();

    LineClient& m_line;
    quint8 m_controller = 0;
    FrameFields m_frame;
    bool m_lineLost = false;
    bool m_cancelRequested = false;
};
