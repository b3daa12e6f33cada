// SPDX-License-Identifier: GPL-3.0-or-later
// taktora-bench: how fast a transaction through the owner of the line runs against taktora-sim
// over a real pseudo-terminal, against a bare exchange loop on the same port; what a timeout costs
// in CPU time; how close a paced line comes to the wire's own limit; and what an open traffic
// monitor costs. One figure per line.

#include "BenchEmulator.h"
#include "CommandSet.h"
#include "ControllerLink.h"
#include "krTaktoraTools.h"
#include "krTrafficMonitor.h"
#include "LineClient.h"
#include "TrafficModel.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {
// A request and its answer, ten bits a byte, at 115200 baud.
constexpr double WireMinimumMs = 12.0 * 10.0 / 115200.0 * 1000.0;

double cpuMs(int who)
{
#ifdef Q_OS_UNIX
    rusage usage{};
    getrusage(who, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
#else
    Q_UNUSED(who)
    return 0;
#endif
}

double ownCpuMs()
{
#ifdef Q_OS_UNIX
    return cpuMs(RUSAGE_SELF);
#else
    return 0;
#endif
}

double childrenCpuMs()
{
#ifdef Q_OS_UNIX
    return cpuMs(RUSAGE_CHILDREN);
#else
    return 0;
#endif
}

bool exchangeOnce(LineClient& line, int timeoutSeconds = 2, int attempts = 1)
{
    return line.transact(Request::queryControllerStatus(1), attempts, false, timeoutSeconds).answered();
}

// The floor: the same exchange as bare as the protocol allows, straight on the link's port: empty
// the buffers, write, wait for six bytes, check them. No refusals, no watchers, no layout.
bool bareExchange(ControllerLink& link)
{
    SerialPortInterface& port = link.port();
    port.clearBuffers();
    if (!port.write(encodeFrame(Request::queryControllerStatus(1))) || !port.waitForTransmitted(1000))
        return false;
    const qint64 deadline = link.nowMs() + 2000;
    while (port.bytesWaiting() < FrameSize) {
        const qint64 remaining = deadline - link.nowMs();
        if (remaining <= 0 || !port.waitForBytes(int(remaining)))
            break;
    }
    FrameFields answer;
    return decodeFrame(port.readAll(), answer) && answer.command != Answer::Failed;
}

const char* verdict(bool met)
{
    return met ? "met" : "MISSED";
}

// The link and the bare loop in alternating rounds, so that a busy neighbour on the machine hits
// both alike; the fastest round of each counts, as the one nothing disturbed.
int unpaced()
{
    BenchEmulator sim({});
    if (!sim.ok())
        return 1;
    ControllerLink& link = sim.link();
    LineClient line(link, QStringLiteral("taktora-bench"), LineClient::Kind::Screen);
    line.setNeedsCheck(false); // the bench checks the Controller no more than the main window does
    for (int i = 0; i < 500; ++i)
        exchangeOnce(line);

    constexpr int Rounds = 6;
    constexpr int Exchanges = 4000; // per round
    const double childrenBefore = childrenCpuMs();
    double best[2] = {0, 0}; // link, bare
    double cpu[2] = {0, 0};
    int failures = 0;
    for (int round = 0; round < 2 * Rounds; ++round) {
        const bool bare = round % 2 == 1;
        const double cpuBefore = ownCpuMs();
        QElapsedTimer wall;
        wall.start();
        for (int i = 0; i < Exchanges; ++i)
            failures += (bare ? bareExchange(link) : exchangeOnce(line)) ? 0 : 1;
        best[bare] = qMax(best[bare], Exchanges / (wall.nsecsElapsed() / 1e9));
        cpu[bare] += ownCpuMs() - cpuBefore;
    }
    sim.stop();
    const double simCpuMs = childrenCpuMs() - childrenBefore;

    const double ratio = best[1] / best[0]; // time per exchange, link against bare
    std::printf("unpaced exchanges per second through the link: %.0f (fastest of %d rounds of %d, %d failed; "
                "target >= 10000: %s)\n",
                best[0], Rounds, Exchanges, failures, verdict(best[0] >= 10000 && failures == 0));
    std::printf("unpaced exchanges per second, bare loop on the same port: %.0f\n", best[1]);
    std::printf("unpaced link against the bare loop, time per exchange: %.3f (target <= 1.05: %s)\n", ratio,
                verdict(ratio <= 1.05 && failures == 0));
    std::printf("unpaced CPU per exchange, program: link %.1f us, bare loop %.1f us\n",
                cpu[0] * 1000.0 / (Rounds * Exchanges), cpu[1] * 1000.0 / (Rounds * Exchanges));
    std::printf("unpaced CPU per exchange, emulator: %.1f us\n",
                simCpuMs * 1000.0 / (2 * Rounds * Exchanges));
    return failures ? 1 : 0;
}

int timeoutCost()
{
    BenchEmulator sim({QStringLiteral("--fault"), QStringLiteral("no-answer")});
    if (!sim.ok())
        return 1;
    LineClient line(sim.link(), QStringLiteral("taktora-bench"), LineClient::Kind::Screen);
    line.setNeedsCheck(false); // the bench checks the Controller no more than the main window does
    const double cpuBefore = ownCpuMs();
    QElapsedTimer wall;
    wall.start();
    const bool answered = exchangeOnce(line, 2, 1);
    const double wallMs = wall.nsecsElapsed() / 1e6;
    const double cpuMs = ownCpuMs() - cpuBefore;
    std::printf("CPU while one 2 s timeout elapses: %.2f ms (wall %.1f ms; target <= 20 ms: %s)\n", cpuMs,
                wallMs, verdict(!answered && cpuMs <= 20.0));
    return answered ? 1 : 0;
}

int paced()
{
    BenchEmulator sim({QStringLiteral("--pace")});
    if (!sim.ok())
        return 1;
    LineClient line(sim.link(), QStringLiteral("taktora-bench"), LineClient::Kind::Screen);
    line.setNeedsCheck(false); // the bench checks the Controller no more than the main window does
    for (int i = 0; i < 50; ++i)
        exchangeOnce(line);

    constexpr int Exchanges = 2000;
    const double childrenBefore = childrenCpuMs();
    QElapsedTimer wall;
    wall.start();
    int failures = 0;
    for (int i = 0; i < Exchanges; ++i)
        failures += exchangeOnce(line) ? 0 : 1;
    const double meanMs = wall.nsecsElapsed() / 1e6 / Exchanges;
    sim.stop();
    const double simCpuMs = childrenCpuMs() - childrenBefore;
    const double ratio = meanMs / WireMinimumMs;
    std::printf("paced mean time per exchange: %.3f ms (%d exchanges, %d failed)\n", meanMs, Exchanges,
                failures);
    std::printf("paced ratio to the wire minimum of %.3f ms: %.3f (target <= 1.15: %s)\n", WireMinimumMs,
                ratio, verdict(ratio <= 1.15 && failures == 0));
    // The emulator watches the clock for the last stretch before each paced answer.
    std::printf("paced CPU per exchange, emulator (incl. warm-up): %.1f us\n",
                simCpuMs * 1000.0 / (Exchanges + 50));
    return failures ? 1 : 0;
}
// The unpaced rate with the traffic monitor open against closed. The window system runs after
// every exchange in both, as between a user's clicks, so the open monitor's table also repaints.
// Rounds alternate; the fastest round of each counts, as the one no neighbour disturbed.
int monitorCost()
{
    BenchEmulator sim({});
    if (!sim.ok())
        return 1;
    LineClient line(sim.link(), QStringLiteral("taktora-bench"), LineClient::Kind::Screen);
    line.setNeedsCheck(false); // the bench checks the Controller no more than the main window does
    krTrafficMonitor monitor(line.link());
    constexpr int Rounds = 5;
    constexpr int Exchanges = 4000;
    double best[2] = {0, 0}; // closed, open
    int failures = 0;
    for (int round = 0; round < 2 * Rounds + 2; ++round) {
        const bool open = round % 2 == 1;
        if (open)
            monitor.show();
        else
            monitor.hide();
        QCoreApplication::processEvents();
        QElapsedTimer wall;
        wall.start();
        for (int i = 0; i < Exchanges; ++i) {
            failures += exchangeOnce(line) ? 0 : 1;
            QCoreApplication::processEvents();
        }
        const double perSecond = Exchanges / (wall.nsecsElapsed() / 1e9);
        if (round >= 2) // the first pair warms up
            best[open] = qMax(best[open], perSecond);
    }
    const double ratio = best[1] / best[0];
    std::printf("exchanges per second with the event loop running, monitor closed: %.0f\n", best[0]);
    std::printf("exchanges per second with the event loop running, monitor open: %.0f (%d rows listed)\n",
                best[1], monitor.model()->rowCount());
    std::printf("monitor open against closed: %.3f (target >= 0.95: %s)\n", ratio,
                verdict(ratio >= 0.95 && failures == 0));
    return failures ? 1 : 0;
}
} // namespace

int main(int argc, char** argv)
{
    return runBenchmark(argc, argv, "taktora-bench", [](QApplication&) {
        int failed = 0;
        failed += unpaced();
        failed += timeoutCost();
        failed += paced();
        failed += monitorCost();
        if (failed)
            std::fprintf(stderr, "taktora-bench: %d measurement(s) could not be made\n", failed);
        return failed ? 1 : 0;
    });
}
