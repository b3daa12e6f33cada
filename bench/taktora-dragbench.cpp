// SPDX-License-Identifier: GPL-3.0-or-later
// taktora-dragbench: a user drags a throttle from rest to full speed while the Controller
// answers over a paced line with a few milliseconds of reaction time. The mouse is a second
// thread that posts its moves at a mouse's report rate, so moves pile up while a speed command
// blocks the window, as they would from a real mouse. One figure per line.

#include "CommandSet.h"
#include "DashboardRules.h"
#include "Isolation.h"
#include "krTaktora.h"
#include "krTaktoraTools.h"
#include "MessageBox.h"
#include "SimProcess.h"
#include "ThrottlePanel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

struct Sweep
{
    int reactionMs = 3;
    int moves = 60;
    int reportIntervalMs = 8; // a 125 Hz mouse
};

struct Figures
{
    int framesSent = 0;
    int framesAfterRelease = 0;
    int finalValueSent = -1;
    int finalPosition = -1;
    double releaseToFinalFrameMs = 0;
    double longestUnresponsiveMs = 0;
    double dragMs = 0;
};

Figures run(const Sweep& sweep)
{
    Figures figures;
    SimProcess sim(
        {QStringLiteral("--pace"), QStringLiteral("--delay-ms"), QString::number(sweep.reactionMs)});
    if (!sim.start()) {
        std::fprintf(stderr, "taktora-sim: %s\n", qPrintable(sim.errorString()));
        return figures;
    }
    sim.registerAs(QStringLiteral("COM3"));
    WriteSetting(Settings::SignalOutputTo, QStringLiteral("COM3"));

    krTaktora window(QStringLiteral("taktora"));
    window.resize(1240, 770);
    window.show();
    window.findChild<QLineEdit*>(QStringLiteral("txtControllerNr"))->setText(QStringLiteral("1"));
    window.btnCheck_Click();
    QSlider* slider = window.throttle(0)->slider();
    QCoreApplication::processEvents();

    QElapsedTimer clock;
    clock.start();
    std::atomic<qint64> releasedAtNs{-1};
    qint64 lastFrameNs = 0;
    int lastValue = -1;
    // Runs after the throttle's own handler, that is after the speed command was answered.
    QObject::connect(slider, &QSlider::valueChanged, slider, [&](int position) {
        ++figures.framesSent;
        lastFrameNs = clock.nsecsElapsed();
        lastValue = Dashboard::speedValue(position);
        const qint64 released = releasedAtNs.load();
        if (released >= 0 && lastFrameNs > released)
            ++figures.framesAfterRelease;
    });

    // The window is unresponsive while this timer cannot fire.
    qint64 lastTickNs = clock.nsecsElapsed();
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        figures.longestUnresponsiveMs = std::max(figures.longestUnresponsiveMs, (now - lastTickNs) / 1e6);
        lastTickNs = now;
    });
    ticker.start(1);

    const QPointingDevice* mouse = QPointingDevice::primaryPointingDevice();
    const int x = slider->width() / 2;
    const int bottom = slider->height() - 7; // the handle at rest
    const int top = 3;
    auto post = [&](QEvent::Type type, int y, Qt::MouseButton button, Qt::MouseButtons buttons) {
        const QPointF local(x, y);
        QCoreApplication::postEvent(slider, new QMouseEvent(type, local, local, slider->mapToGlobal(local),
                                                            button, buttons, Qt::NoModifier, mouse));
    };

    const qint64 dragStart = clock.nsecsElapsed();
    std::thread hand([&] {
        post(QEvent::MouseButtonPress, bottom, Qt::LeftButton, Qt::LeftButton);
        for (int i = 1; i <= sweep.moves; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(sweep.reportIntervalMs));
            post(QEvent::MouseMove, bottom - (bottom - top) * i / sweep.moves, Qt::NoButton, Qt::LeftButton);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(sweep.reportIntervalMs));
        releasedAtNs = clock.nsecsElapsed();
        post(QEvent::MouseButtonRelease, top, Qt::LeftButton, Qt::NoButton);
    });

    // Until the release has been handled and the line is quiet.
    while (releasedAtNs.load() < 0 || slider->isSliderDown() ||
           clock.nsecsElapsed() - std::max(lastFrameNs, releasedAtNs.load()) < 300'000'000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    hand.join();
    ticker.stop();

    figures.dragMs = (releasedAtNs.load() - dragStart) / 1e6;
    figures.finalPosition = slider->value();
    figures.finalValueSent = lastValue;
    figures.releaseToFinalFrameMs = std::max<qint64>(0, lastFrameNs - releasedAtNs.load()) / 1e6;

    // The last speed the Controller heard, from its own log.
    const QList<FrameFields> requests = sim.requests();
    for (auto it = requests.crbegin(); it != requests.crend(); ++it) {
        if (it->command == Command::SetLocoSpeed) {
            figures.finalValueSent = it->data3;
            break;
        }
    }
    return figures;
}

void print(const Sweep& sweep, const Figures& f)
{
    const int finalSpeed = Dashboard::speedValue(f.finalPosition);
    std::printf("drag with %d ms reaction, %d moves every %d ms (%.0f ms): %d speed frames sent\n",
                sweep.reactionMs, sweep.moves, sweep.reportIntervalMs, f.dragMs, f.framesSent);
    std::printf("  last speed the Controller heard: %d, final slider speed: %d (%s)\n", f.finalValueSent,
                finalSpeed, f.finalValueSent == finalSpeed ? "final position" : "STALE");
    std::printf("  release to final frame: %.1f ms; frames after release: %d\n", f.releaseToFinalFrameMs,
                f.framesAfterRelease);
    std::printf("  longest time the window did not respond: %.1f ms\n", f.longestUnresponsiveMs);
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir configHome;
    isolateFromTheUser(configHome);
    QApplication app(argc, argv);
    MessageBox::setTestMode(true); // a failure is a figure here, not a box to click away

    int failed = 0;
    for (const Sweep& sweep : {Sweep{3, 60, 8}, Sweep{10, 60, 8}}) {
        const Figures f = run(sweep);
        print(sweep, f);
        failed += f.finalValueSent == Dashboard::speedValue(f.finalPosition) ? 0 : 1;
        for (const MessageBox::Shown& box : MessageBox::takeShown())
            std::printf("  message: %s\n", qPrintable(box.text));
    }
    return failed;
}
