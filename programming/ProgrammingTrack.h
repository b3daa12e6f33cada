// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Frame.h"

#include <QtGlobal>

#include <functional>

// What the programming-track operations need of the window that runs them: its Controller
// number, its one frame and the transaction on that frame.
class TrackChannel
{
public:
    virtual ~TrackChannel() = default;

    virtual quint8 controllerByte() const = 0; // ControllerID of the window
    virtual FrameFields& frame() = 0;          // the window's frame variables
    // ControllerTransaction on frame() with these attempts and showErrors, 2-second timeout.
    virtual bool transact(int attempts, bool showErrors) = 0;
};

// The programming-track operations without any widget: programming mode on and off, the CV read
// (eight bit verifies, the byte verify for 0), the register search, and single writes and
// verifies. The long reads tell their progress before each exchange, hand over to the window
// after each one (where a click on "Abbruch" arrives) and stop when the cancel flag is set.
class ProgrammingTrack
{
public:
    explicit ProgrammingTrack(TrackChannel& channel) : m_channel(channel) {}

    std::function<void(double percent)> onProgress;
    std::function<void()> afterExchange;

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
    // One request through the window's frame; true only when the Controller answered, and then
    // the frame holds the answer.
    bool exchange(const FrameFields& request, int attempts = 0, bool showErrors = false);
    // A write or verify judged as the buttons judge it: answered, and not three 255 bytes.
    bool program(const FrameFields& request, int attempts = 0, bool showErrors = false);

    quint8 controllerByte() const { return m_channel.controllerByte(); }

private:
    void progress(double percent);
    void handOver();

    TrackChannel& m_channel;
    bool m_cancelRequested = false;
};
