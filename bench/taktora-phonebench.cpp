// SPDX-License-Identifier: GPL-3.0-or-later
// taktora-phonebench: phones on 127.0.0.1 against the real main window and the emulator on a
// paced line. First a phone in another process (this program started with --phone PORT) gets the
// roster, drives loco 3 forward at half speed with its light on, and goes silent; the window and
// the emulator's log are shown at each step. Then a phone thread sends a few hundred speed lines
// and the time from each line to its frame on the wire is printed, for a loco that stands on an
// on-screen throttle and for one that does not. Last, one phone floods loco 3 with 3,000 speed
// lines while another phone stops its loco and the window's global STOP is pressed: the time from
// each stop to its frame on the wire, the speed frames the flood produced, and the time from the
// flood's last line to its speed on the wire, each also in exchanges of the paced line. In between,
// how long after a silent phone's last line its heartbeat watch stops its locos, and the program's
// memory while a phone sends and never reads.

#include "BenchEmulator.h"
#include "BenchMainWindow.h"
#include "CommandSet.h"
#include "ControllerLink.h"
#include "Isolation.h"
#include "krTaktora.h"
#include "krTaktoraTools.h"
#include "LineClient.h"
#include "LocoNumberBox.h"
#include "MessageBox.h"
#include "ThrottlePanel.h"
#include "WiThrottleServer.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {
qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A phone over a blocking socket: for a thread or a process of its own, without an event loop.
struct BlockingPhone
{
    QTcpSocket socket;
    bool connectTo(quint16 port)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (!socket.waitForConnected(3000))
            return false;
        // Each line leaves at once, so the figures are the server's and not the phone's TCP's.
        socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        return true;
    }
    void send(const QByteArray& line)
    {
        socket.write(line + '\n');
        socket.waitForBytesWritten(1000);
    }
    // The next line that starts with prefix; empty after the time is up.
    QByteArray awaitLine(const QByteArray& prefix, int ms)
    {
        const qint64 end = nowNs() + qint64(ms) * 1000000;
        while (nowNs() < end) {
            while (socket.canReadLine()) {
                QByteArray line = socket.readLine().trimmed();
                if (line.startsWith(prefix))
                    return line;
            }
            socket.waitForReadyRead(50);
        }
        return {};
    }
};

// The scripted phone of the other process.
int runPhone(quint16 port)
{
    BlockingPhone phone;
    if (!phone.connectTo(port))
        return 2;
    std::printf("phone: roster    %s\n", phone.awaitLine("RL", 3000).constData());
    phone.send("NSkript");
    phone.send("HUskript-1");
    phone.send("MT+S3<;>S3");
    std::printf("phone: acquired  %s\n", phone.awaitLine("MTAS3<;>s", 3000).constData());
    phone.send("MTAS3<;>V63");
    phone.send("MTAS3<;>R1");
    phone.send("MTAS3<;>F10");
    phone.send("MTAS3<;>F00");
    phone.send("*+");
    std::printf("phone: driving, now silent\n");
    std::fflush(stdout);
    const QByteArray alert = phone.awaitLine("HM", 15000);
    std::printf("phone: alert     %s\n", alert.constData());
    std::printf("phone: released  %s\n", phone.awaitLine("MT-", 3000).constData());
    return alert.isEmpty() ? 1 : 0;
}

// Every request as it goes out to the line, told by the line on the window's thread and read by
// the phones' threads.
struct WireWatch
{
    std::atomic<qint64> lastSpeedFrameNs{0};
    std::atomic<int> speedFrames{0};
    // The flood's figures: loco 3's speed frames, the last with its newest speed, and the stops.
    std::atomic<int> floodFrames{0};
    std::atomic<qint64> newestSpeedNs{0};
    std::atomic<qint64> phoneStopNs{0};
    std::atomic<qint64> globalStopNs{0};
    QObject context;

    explicit WireWatch(ControllerLink& link)
    {
        QObject::connect(&link, &ControllerLink::requestSent, &context,
                         [this](const FrameFields& r, bool retry) {
                             const qint64 now = nowNs();
                             const quint16 loco = wordFromBytes(r.data1, r.data2);
                             if (r.command == Command::SetLocoSpeed && !retry) {
                                 lastSpeedFrameNs = now;
                                 ++speedFrames;
                                 if (loco == 3)
                                     ++floodFrames;
                                 if (loco == 3 && r.data3 == 255)
                                     newestSpeedNs = now;
                             }
                             if (r.command == Command::StopLoco && loco == 1000 && phoneStopNs == 0)
                                 phoneStopNs = now;
                             if (r.command == Command::StopLoco && loco == AllLocos && globalStopNs == 0)
                                 globalStopNs = now;
                         });
    }
};

QStringList logTail(const QString& path, int lines)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QStringList all = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return all.mid(qMax(0, all.size() - lines));
}

// Runs the window's event loop, which sleeps until a phone's line arrives, as the program does.
bool waitUntil(const std::function<bool()>& done, int ms)
{
    const qint64 end = nowNs() + qint64(ms) * 1000000;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || nowNs() >= end)
            loop.quit();
    });
    check.start(5);
    if (!done())
        loop.exec();
    return done();
}

struct Latencies
{
    std::vector<double> ms;
    double at(double quantile)
    {
        std::sort(ms.begin(), ms.end());
        return ms.empty() ? 0 : ms[static_cast<size_t>(quantile * double(ms.size() - 1))];
    }
};

// A phone thread sends speed lines one after another, each once the previous one's frame is out.
Latencies measure(quint16 port, const QByteArray& key, int lines, WireWatch& watch)
{
    Latencies result;
    std::atomic<bool> finished{false};
    std::thread phoneThread([&] {
        BlockingPhone phone;
        if (!phone.connectTo(port)) {
            finished = true;
            return;
        }
        phone.send("MT+" + key + "<;>" + key);
        phone.awaitLine("MTA" + key + "<;>V", 3000);
        for (int i = 0; i < lines; ++i) {
            const int before = watch.speedFrames;
            const qint64 sent = nowNs();
            phone.send("MTA" + key + "<;>V" + QByteArray::number(10 + i % 100));
            const qint64 giveUp = sent + 2000000000LL;
            while (watch.speedFrames == before && nowNs() < giveUp)
                std::this_thread::sleep_for(std::chrono::microseconds(20));
            if (watch.speedFrames != before)
                result.ms.push_back(double(watch.lastSpeedFrameNs - sent) / 1e6);
            phone.socket.readAll();
            // A phone's slider reports every few tens of milliseconds: let the window finish the
            // previous command, so each line is timed on its own rather than queued behind it.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        phone.send("Q");
        phone.socket.waitForDisconnected(1000);
        finished = true;
    });
    waitUntil([&] { return finished.load(); }, 120000);
    phoneThread.join();
    return result;
}
// A phone thread asks for the heartbeat watch and goes silent, round after round: the time from
// its last line to the alert that its locos were stopped, against the announced interval.
Latencies heartbeatDelays(quint16 port, int rounds)
{
    Latencies result;
    std::atomic<bool> finished{false};
    std::thread phoneThread([&] {
        BlockingPhone phone;
        if (phone.connectTo(port)) {
            phone.send("NHerzschlag");
            phone.awaitLine("*", 3000);
            for (int i = 0; i < rounds; ++i) {
                const qint64 sent = nowNs();
                phone.send("*+"); // the watch runs out only once, then waits to be asked again
                if (phone.awaitLine("HM", 5000).isEmpty())
                    break;
                result.ms.push_back(double(nowNs() - sent) / 1e6);
            }
            phone.send("Q");
            phone.socket.waitForDisconnected(1000);
        }
        finished = true;
    });
    waitUntil([&] { return finished.load(); }, 10000 * rounds);
    phoneThread.join();
    return result;
}

// The program's resident memory now, in MB, from the kernel's account of the process.
double residentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    return -1;
}

struct DeafFigures
{
    qint64 sentBytes = 0;
    bool closed = false;
    double beforeMb = 0;
    double peakMb = 0;
};

// A phone that sends acquire lines, each answered with some 300 bytes, and never reads: the
// program's memory while it does, until the server closes it or 64 MB have gone out.
DeafFigures deafPhone(quint16 port)
{
    DeafFigures f;
    f.beforeMb = f.peakMb = residentMb();
    std::atomic<bool> finished{false};
    std::atomic<qint64> sent{0};
    std::atomic<bool> closed{false};
    std::thread phoneThread([&] {
        QTcpSocket socket;
        socket.setReadBufferSize(1024); // takes no more from the network than that
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (socket.waitForConnected(3000)) {
            socket.write("NTaub\n");
            const QByteArray lines = QByteArray("MT+S3<;>S3\n").repeated(1000);
            while (sent < 64LL * 1024 * 1024 && socket.state() == QAbstractSocket::ConnectedState) {
                if (socket.write(lines) < 0)
                    break;
                socket.waitForBytesWritten(100);
                sent += lines.size();
                socket.waitForReadyRead(0); // notices the server's close
            }
            closed = socket.state() != QAbstractSocket::ConnectedState;
        }
        finished = true;
    });
    waitUntil(
        [&] {
            f.peakMb = std::max(f.peakMb, residentMb());
            return finished.load();
        },
        120000);
    phoneThread.join();
    f.sentBytes = sent;
    f.closed = closed;
    return f;
}

struct FloodFigures
{
    double phoneStopMs = -1;
    double globalStopMs = -1;
    double lastLineMs = -1;
    int speedFrames = 0;
};

// Phone A sends `lines` speed lines for loco 3, thirty a millisecond, far more than the line
// carries; at two fifths phone B stops loco 1000 and at seven tenths the window's global STOP is
// pressed, as a click waits for the window.
FloodFigures flood(quint16 port, QPushButton* globalStop, int lines, WireWatch& watch)
{
    FloodFigures figures;
    std::atomic<bool> finished{false};
    std::thread phones([&] {
        BlockingPhone a, b;
        if (a.connectTo(port) && b.connectTo(port)) {
            a.send("MT+S3<;>S3");
            b.send("MT+L1000<;>L1000");
            a.awaitLine("MTAS3<;>s", 3000);
            b.awaitLine("MTAL1000<;>s", 3000);
            watch.floodFrames = 0;
            watch.newestSpeedNs = 0;
            watch.phoneStopNs = 0;
            watch.globalStopNs = 0;
            qint64 phoneStopGiven = 0, globalStopGiven = 0, lastLine = 0;
            constexpr int kChunk = 30;
            for (int i = 0; i < lines; i += kChunk) {
                if (!phoneStopGiven && i >= lines * 2 / 5) {
                    phoneStopGiven = nowNs();
                    b.send("MTAL1000<;>X");
                }
                if (!globalStopGiven && i >= lines * 7 / 10) {
                    globalStopGiven = nowNs();
                    QMetaObject::invokeMethod(
                        globalStop, [globalStop] { globalStop->click(); }, Qt::QueuedConnection);
                }
                QByteArray chunk;
                for (int j = i; j < qMin(i + kChunk, lines); ++j)
                    chunk += "MTAS3<;>V" + QByteArray::number(j == lines - 1 ? 126 : 1 + j % 100) + '\n';
                chunk.chop(1);
                lastLine = nowNs();
                a.send(chunk);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            const qint64 giveUp = nowNs() + 10000000000LL;
            while ((watch.newestSpeedNs < lastLine || !watch.phoneStopNs || !watch.globalStopNs) &&
                   nowNs() < giveUp)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const auto ms = [](qint64 from, qint64 to) {
                return to >= from ? double(to - from) / 1e6 : -1.0;
            };
            figures.phoneStopMs = ms(phoneStopGiven, watch.phoneStopNs);
            figures.globalStopMs = ms(globalStopGiven, watch.globalStopNs);
            figures.lastLineMs = ms(lastLine, watch.newestSpeedNs);
            figures.speedFrames = watch.floodFrames;
            a.send("Q");
            b.send("Q");
            a.socket.waitForDisconnected(1000);
            b.socket.waitForDisconnected(1000);
        }
        finished = true;
    });
    waitUntil([&] { return finished.load(); }, 120000);
    phones.join();
    return figures;
}

// The mean time of one exchange on this line: status queries one after another.
double exchangeMs(ControllerLink& link)
{
    LineClient probe(link, QStringLiteral("Messung"), LineClient::Kind::Screen);
    constexpr int kExchanges = 200;
    const qint64 start = nowNs();
    for (int i = 0; i < kExchanges; ++i)
        probe.transact(Request::queryControllerStatus(1), 2, false, 2);
    return double(nowNs() - start) / 1e6 / kExchanges;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && QByteArray(argv[1]) == "--phone") {
        QCoreApplication app(argc, argv);
        return runPhone(static_cast<quint16>(QByteArray(argv[2]).toUInt()));
    }
    QTemporaryDir configHome;
    isolateFromTheUser(configHome);
    // No system bus: the benchmark announces nothing on the network.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/taktora-bench");
    QApplication app(argc, argv);
    MessageBox::setTestMode(true);
    int lines = 300;
    int floodLines = 3000;
    int floodRounds = 5;
    for (int i = 1; i + 1 < argc; ++i) {
        if (QByteArray(argv[i]) == "--lines")
            lines = qMax(10, QByteArray(argv[i + 1]).toInt());
        if (QByteArray(argv[i]) == "--flood")
            floodLines = qMax(100, QByteArray(argv[i + 1]).toInt());
        if (QByteArray(argv[i]) == "--rounds")
            floodRounds = qMax(1, QByteArray(argv[i + 1]).toInt());
    }

    const QString log = configHome.filePath(QStringLiteral("line.log"));
    BenchEmulator emulator({QStringLiteral("--log"), log, QStringLiteral("--pace")});
    if (!emulator.ok()) {
        std::fprintf(stderr, "taktora-sim did not start\n");
        return 1;
    }
    const std::unique_ptr<krTaktora> window = checkedMainWindow(emulator);
    WiThrottleServer* server = window->phoneServer();
    server->setHeartbeatSeconds(2);
    if (!server->listen(0, QHostAddress::LocalHost)) {
        std::fprintf(stderr, "no server: %s\n", qPrintable(server->errorString()));
        return 1;
    }
    ThrottlePanel* throttle = window->throttle(2);
    const auto showWindow = [&](const char* when) {
        std::printf("window (%s): loco %s at %s, direction %s, light %s\n", when,
                    qPrintable(throttle->locoNumberBox()->currentText()),
                    qPrintable(throttle->speedLabel()->text()),
                    throttle->directionButton()->isChecked() ? "forward" : "reverse",
                    throttle->lightButton()->isChecked() ? "on" : "off");
        for (const QString& line : logTail(log, 3))
            std::printf("  emulator: %s\n", qPrintable(line));
    };

    // The phone in a process of its own.
    QProcess phone;
    phone.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    phone.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--phone"), QString::number(server->port())});
    QByteArray phoneOutput;
    const auto relay = [&] {
        phoneOutput += phone.readAllStandardOutput();
        for (qsizetype end; (end = phoneOutput.indexOf('\n')) >= 0; phoneOutput.remove(0, end + 1))
            std::printf("%s\n", phoneOutput.left(end).constData());
        std::fflush(stdout);
    };
    waitUntil(
        [&] {
            relay();
            return throttle->lightButton()->isChecked() && throttle->slider()->value() < 255;
        },
        10000);
    showWindow("phone driving");
    const qint64 silentSince = nowNs();
    waitUntil(
        [&] {
            relay();
            return phone.state() == QProcess::NotRunning;
        },
        20000);
    relay();
    std::printf("phone silent for %.1f s until it was stopped (heartbeat %d s)\n",
                double(nowNs() - silentSince) / 1e9, server->heartbeatSeconds());
    showWindow("phone silent");
    const bool stopped =
        throttle->slider()->value() == 255 && logTail(log, 2).join(' ').contains("> 1, 24, 3, 0, 0");

    constexpr int HeartbeatRounds = 8;
    server->setHeartbeatSeconds(1);
    Latencies heartbeat = heartbeatDelays(server->port(), HeartbeatRounds);
    std::printf("\nheartbeat of 1 s, %zu of %d rounds: stopped %.1f to %.1f ms after the phone's last line "
                "(median %.1f; the aim: 1000 to 1500)\n",
                heartbeat.ms.size(), HeartbeatRounds, heartbeat.at(0), heartbeat.at(1), heartbeat.at(0.5));

    server->setHeartbeatSeconds(60);
    const DeafFigures deaf = deafPhone(server->port());
    std::printf("phone that never reads: %s after %.1f MB of acquire lines; memory %.1f MB before, at most "
                "%.1f MB while it sent\n",
                deaf.closed ? "closed by the server" : "STILL CONNECTED", double(deaf.sentBytes) / 1048576,
                deaf.beforeMb, deaf.peakMb);

    WireWatch watch(window->line().link());
    std::printf("\nphone speed line to frame on the wire, %d lines each:\n", lines);
    for (const auto& [key, what] :
         {std::pair<QByteArray, const char*>{"S3", "loco 3 on a throttle"},
          std::pair<QByteArray, const char*>{"L1000", "loco 1000 on no throttle"}}) {
        Latencies l = measure(server->port(), key, lines, watch);
        std::printf("  %-26s median %.3f ms, 95th percentile %.3f ms, %zu frames\n", what, l.at(0.5),
                    l.at(0.95), l.ms.size());
    }

    const double exchange = exchangeMs(window->line().link());
    std::printf("\npaced line: one exchange takes %.3f ms (mean of 200 status queries)\n", exchange);
    const auto inExchanges = [exchange](double ms) { return ms < 0 ? -1.0 : ms / exchange; };
    std::printf("one phone floods loco 3 with %d speed lines, 30 a millisecond, %d rounds; times in ms "
                "(in exchanges)\n",
                floodLines, floodRounds);
    std::printf("  round  another phone's X  global STOP       last line to its speed  speed frames\n");
    std::vector<FloodFigures> rounds;
    for (int round = 1; round <= floodRounds; ++round) {
        const FloodFigures f =
            flood(server->port(), window->findChild<QPushButton*>(QStringLiteral("btnGlobalStop")),
                  floodLines, watch);
        rounds.push_back(f);
        std::printf("  %5d  %7.3f (%5.2f)    %7.3f (%5.2f)   %7.3f (%5.2f)         %5d\n", round,
                    f.phoneStopMs, inExchanges(f.phoneStopMs), f.globalStopMs, inExchanges(f.globalStopMs),
                    f.lastLineMs, inExchanges(f.lastLineMs), f.speedFrames);
    }
    const auto median = [&rounds](double FloodFigures::*figure) {
        Latencies l;
        for (const FloodFigures& f : rounds)
            l.ms.push_back(f.*figure);
        return l.at(0.5);
    };
    std::printf("  median %7.3f (%5.2f)    %7.3f (%5.2f)   %7.3f (%5.2f)\n",
                median(&FloodFigures::phoneStopMs), inExchanges(median(&FloodFigures::phoneStopMs)),
                median(&FloodFigures::globalStopMs), inExchanges(median(&FloodFigures::globalStopMs)),
                median(&FloodFigures::lastLineMs), inExchanges(median(&FloodFigures::lastLineMs)));
    std::printf("  targets: a stop at most 3 exchanges, the last line's speed at most 2\n");
    std::printf("\nscripted phone: exit %d, loco 3 %s after the phone went silent\n", phone.exitCode(),
                stopped ? "stopped" : "NOT stopped");
    return phone.exitCode() == 0 && stopped ? 0 : 1;
}
