// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ControllerEmulator.h"

#include <QByteArray>
#include <QString>

#include <csignal>
#include <cstdio>
#include <deque>

// Serves a ControllerEmulator on a pseudo-terminal until SIGTERM, SIGINT or SIGHUP arrives:
// one thread, one poll loop. The emulator keeps a handle of its own on the terminal side, so
// the program may close and reopen the port as often as it likes without hanging the line up.
class PtyServer
{
public:
    struct Timing
    {
        int delayMs = 0;   // reaction time of the board before it starts to answer
        bool pace = false; // bytes take as long as on a 115200 baud line
        int lateMs = 2500; // extra delay of a late answer: beyond the program's 2-second wait
    };

    PtyServer(ControllerEmulator& emulator, Timing timing);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Creates the pseudo-terminal in raw mode, 115200 baud. False with `error` set on failure.
    bool open(QString& error);
    // The device the program opens, e.g. /dev/pts/4.
    QString devicePath() const { return m_devicePath; }
    // Reaches the device through a link at `path` as well, which goes and comes with the cable
    // (see CablePlug.h). Before open().
    void setLinkPath(const QString& path) { m_linkPath = path; }
    // Where the program finds the device: the link, or the terminal itself.
    QString reachedAt() const { return m_linkPath.isEmpty() ? m_devicePath : m_linkPath; }
    // Each request and answer goes there, one flushed line each (optional, not owned).
    void setLog(std::FILE* log) { m_log = log; }

    // From here on SIGTERM, SIGINT and SIGHUP wait for the loop instead of killing the process.
    // Call before telling anyone the device path; run() calls it as well.
    static void holdStopSignals();
    // Serves until a terminating signal; returns the process exit code.
    int run();

    // Time one byte takes on the line: start bit, eight data bits, stop bit at 115200 baud.
    static constexpr qint64 ByteNs = 10 * 1000000000LL / 115200;

private:
    struct Pending
    {
        qint64 dueNs = 0;
        QByteArray bytes;
        QString logLine;
    };

    void pullCable();
    void plugCableIn();
    void readRequests();
    void schedule(const ControllerEmulator::Exchange& exchange, qint64 arrivalNs, qint64 deliveredNs);
    void sendDue();
    void waitForWork();
    void log(const QString& line);

    ControllerEmulator& m_emulator;
    Timing m_timing;
    int m_master = -1;
    int m_terminalSide = -1;
    QString m_devicePath;
    QString m_linkPath;
    std::FILE* m_log = nullptr;
    sigset_t m_waitMask{}; // the stop signals get through only while the loop waits
    std::deque<Pending> m_pending;
    qint64 m_receiveLineFreeNs = 0;  // when the line towards the board is free again
    qint64 m_transmitLineFreeNs = 0; // when the line towards the program is free again
};
