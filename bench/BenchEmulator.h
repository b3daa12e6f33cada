// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The emulator a benchmark measures against: started with the benchmark's arguments, reached
// through its pseudo-terminal under one COM name, and installed as the program's port.

#include <functional>
#include <memory>
#include <QProcess>
#include <QString>
#include <QStringList>

class ControllerLink;
class QApplication;

// taktora-sim beside the benchmark, or where the build put it; empty when neither is there.
QString simPath();

// What every benchmark's main() does first: never the user's settings, never a window, never a box
// waiting for a click, and taktora-sim at hand. Returns what `body` returns, or 1 without the
// emulator.
int runBenchmark(int argc, char** argv, const char* name, const std::function<int(QApplication& app)>& body);

class BenchEmulator
{
public:
    explicit BenchEmulator(const QStringList& arguments);
    ~BenchEmulator() { stop(); }
    BenchEmulator(const BenchEmulator&) = delete;
    BenchEmulator& operator=(const BenchEmulator&) = delete;

    bool ok() const { return m_ok; }
    // The line the benchmark's windows are opened on, its Controller 1 checked once the port is
    // open, as the main window's check leaves it.
    ControllerLink& link() const;
    // Closes the port and ends the emulator, so that its CPU time counts among the children's.
    void stop();

private:
    std::unique_ptr<ControllerLink> m_link;
    QProcess m_process;
    bool m_ok = false;
};
