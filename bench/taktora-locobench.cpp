// SPDX-License-Identifier: GPL-3.0-or-later
// taktora-locobench: a Controller with 10,239 configured locos. The read and the tree fill through
// the real loco list window against the same number of bare exchanges over the same
// pseudo-terminal (the floor); the read's span on the wire against the bare loop's; the fill
// alone; and a paced line's read against the wire's own minimum, with the window's paints and
// cursor during that read. One figure per line.

#include "BenchEmulator.h"
#include "CommandSet.h"
#include "ControllerLink.h"
#include "krLocoList.h"
#include "krTaktoraTools.h"
#include "LineClient.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QTreeView>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace {
constexpr int Locos = 10239;
constexpr int Exchanges = Locos + 1; // every entry, then the end marker
// A request and its answer, ten bits a byte, at 115200 baud.
constexpr double WireMinimumMs = 12.0 * 10.0 / 115200.0 * 1000.0;

// Every loco number, in descending order so that each entry lands in front of those read before
// it.
QStringList allLocos(const QStringList& extra)
{
    return QStringList{QStringLiteral("--locos"), QStringLiteral("10239-1:28")} + extra;
}

double msSince(const QElapsedTimer& t)
{
    return t.nsecsElapsed() / 1e6;
}

// The read as the line sees it: from the first list request to the last, when each goes out. What
// the window does between its exchanges counts here; what it does before and after does not.
class WireSpan
{
public:
    explicit WireSpan(ControllerLink& link)
    {
        m_clock.start();
        m_sent = QObject::connect(&link, &ControllerLink::requestSent, [this](const FrameFields& request) {
            if (request.command != Command::ReadLocoEntry)
                return;
            const qint64 now = m_clock.nsecsElapsed();
            if (request.data3 == LocoEntry::First)
                m_first = now;
            m_last = now;
        });
    }
    ~WireSpan() { QObject::disconnect(m_sent); }
    WireSpan(const WireSpan&) = delete;
    WireSpan& operator=(const WireSpan&) = delete;
    double ms() const { return (m_last - m_first) / 1e6; }

private:
    QMetaObject::Connection m_sent;
    QElapsedTimer m_clock;
    qint64 m_first = 0;
    qint64 m_last = 0;
};

// The floor: first, next, next, ... as bare transactions through the window's own source on the
// line (it holds the line while open), nothing done with the answers.
double bareRead(LineClient& line, int& answered)
{
    QElapsedTimer t;
    t.start();
    answered = 0;
    FrameFields frame = Request::readFirstLocoEntry(1);
    for (int i = 0; i < Exchanges; ++i) {
        answered += line.transact(frame, 2, false, 2).answered() ? 1 : 0;
        frame = Request::readNextLocoEntry(1);
    }
    return msSince(t);
}

struct WindowRead
{
    double readMs = 0;
    double fillMs = 0;
    int shown = 0;
};

WindowRead windowRead(krLocoList& window)
{
    WindowRead r;
    QElapsedTimer t;
    t.start();
    window.ReadLocoList();
    r.readMs = msSince(t);
    t.restart();
    window.FillLocoTree();
    r.fillMs = msSince(t);
    r.shown = window.findChild<QTreeView*>(QStringLiteral("tvLocoList"))->model()->rowCount();
    return r;
}

// Shows the window and lets its first activation run: read, fill, caption, track off.
double openWindow(krLocoList& window)
{
    QElapsedTimer t;
    t.start();
    window.show();
    QCoreApplication::processEvents();
    return msSince(t);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

const char* verdict(bool met)
{
    return met ? "met" : "MISSED";
}

int unpaced()
{
    BenchEmulator sim(allLocos({}));
    if (!sim.ok())
        return 1;
    krLocoList window(sim.link());
    window.setControllerID(1);
    const double openingMs = openWindow(window);

    // Alternating rounds, so that a busy neighbour on the machine hits both sides alike.
    constexpr int Rounds = 7;
    std::vector<double> floors, totals, fills, bareWire, windowWire;
    int answered = 0;
    WindowRead last;
    WireSpan wire(sim.link());
    for (int round = 0; round < Rounds; ++round) {
        floors.push_back(bareRead(window.line(), answered));
        bareWire.push_back(wire.ms());
        last = windowRead(window);
        windowWire.push_back(wire.ms());
        totals.push_back(last.readMs + last.fillMs);
        fills.push_back(last.fillMs);
    }
    std::printf("opening the window (read, fill, track off): %.0f ms\n", openingMs);
    const double floorMs = median(floors);
    const double totalMs = median(totals);
    const double floorBest = *std::min_element(floors.begin(), floors.end());
    const double totalBest = *std::min_element(totals.begin(), totals.end());
    std::printf("bare exchanges (floor): median %.0f ms, fastest %.0f ms for %d exchanges, %d answered "
                "(%d rounds)\n",
                floorMs, floorBest, Exchanges, answered, Rounds);
    std::printf("window read + tree fill: median %.0f ms, fastest %.0f ms, %d locos shown\n", totalMs,
                totalBest, last.shown);
    // On a shared machine a neighbour's burst can slow any round severalfold; the fastest rounds
    // are the ones nothing disturbed, so the verdict is theirs.
    std::printf("ratio to the floor: fastest rounds %.3f, medians %.3f (target <= 1.2: %s)\n",
                totalBest / floorBest, totalMs / floorMs,
                verdict(totalBest <= 1.2 * floorBest && last.shown == Locos));
    const double bareWireBest = *std::min_element(bareWire.begin(), bareWire.end());
    const double windowWireBest = *std::min_element(windowWire.begin(), windowWire.end());
    std::printf("read on the wire, first to last list request: window median %.0f ms, fastest %.0f ms; bare "
                "loop median %.0f ms, fastest %.0f ms\n",
                median(windowWire), windowWireBest, median(bareWire), bareWireBest);
    std::printf("span ratio to the bare loop: fastest rounds %.3f, medians %.3f (target <= 1.15: %s)\n",
                windowWireBest / bareWireBest, median(windowWire) / median(bareWire),
                verdict(windowWireBest <= 1.15 * bareWireBest));
    std::printf("tree fill alone: median %.0f ms, slowest %.0f ms, first fill into an empty tree %.0f ms "
                "(target < 300 ms: %s)\n",
                median(fills), *std::max_element(fills.begin(), fills.end()), fills.front(),
                verdict(median(fills) < 300.0));
    return last.shown == Locos ? 0 : 1;
}

// Counts the paints of one widget and the cursor they were painted under.
class PaintWatch : public QObject
{
public:
    explicit PaintWatch(QWidget* widget) : m_widget(widget) {}
    int paints = 0;
    int paintsUnderBusyCursor = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && watched == m_widget) {
            ++paints;
            const QCursor* cursor = QApplication::overrideCursor();
            if (cursor && cursor->shape() == Qt::WaitCursor)
                ++paintsUnderBusyCursor;
        }
        return false;
    }

private:
    QWidget* m_widget;
};

int paced()
{
    BenchEmulator sim(allLocos({QStringLiteral("--pace")}));
    if (!sim.ok())
        return 1;
    krLocoList window(sim.link());
    window.setControllerID(1);
    const double openingMs = openWindow(window);

    // Stands in for the window system asking for repaints (another window moved over this one)
    // every 100 ms while the read blocks the window.
    PaintWatch watch(&window);
    qApp->installEventFilter(&watch);
    std::atomic<bool> reading{true};
    std::thread exposer([&] {
        while (reading) {
            QMetaObject::invokeMethod(
                &window, [&window] { window.update(); }, Qt::QueuedConnection);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    const WindowRead r = windowRead(window);
    reading = false;
    exposer.join();
    qApp->removeEventFilter(&watch);

    std::printf("paced opening of the window (read, fill, track off): %.0f ms\n", openingMs);
    const double minimumMs = Exchanges * WireMinimumMs;
    std::printf("paced read: %.0f ms for %d exchanges; the wire's minimum %.0f ms; ratio %.3f\n", r.readMs,
                Exchanges, minimumMs, r.readMs / minimumMs);
    std::printf("paced tree fill: %.0f ms; %d locos shown\n", r.fillMs, r.shown);
    std::printf("window paints during the paced read: %d, %d of them under the busy cursor (repaint asked "
                "for every 100 ms)\n",
                watch.paints, watch.paintsUnderBusyCursor);
    return r.shown == Locos ? 0 : 1;
}
} // namespace

int main(int argc, char** argv)
{
    return runBenchmark(argc, argv, "taktora-locobench", [](QApplication& app) {
        int failed = unpaced();
        if (!app.arguments().contains(QStringLiteral("--unpaced-only")))
            failed += paced();
        if (failed)
            std::fprintf(stderr, "taktora-locobench: %d measurement(s) could not be made\n", failed);
        return failed ? 1 : 0;
    });
}
