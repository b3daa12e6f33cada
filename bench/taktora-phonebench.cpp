// SPDX-License-Identifier: GPL-3.0-or-later
// taktora-phonebench: phones on 127.0.0.1 against the real main window and the emulator.
// First a phone in another process (this program started with --phone PORT) gets the roster,
// drives loco 3 forward at half speed with its light on, and goes silent; the window and the
// emulator's log are shown at each step. Then a phone thread sends a few hundred speed lines and
// the time from each line to its frame on the wire is printed, for a loco that stands on an
// on-screen throttle and for one that does not.

#include "BenchEmulator.h"
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
        return socket.waitForConnected(3000);
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

// Every request as it goes out to the line.
class WireWatch
{
public:
    std::atomic<qint64> lastSpeedFrameNs{0};
    std::atomic<int> speedFrames{0};
    explicit WireWatch(ControllerLink& link)
    {
        m_sent = QObject::connect(&link, &ControllerLink::requestSent, [this](const FrameFields& request) {
            if (request.command == Command::SetLocoSpeed) {
                lastSpeedFrameNs = nowNs();
                ++speedFrames;
            }
        });
    }
    ~WireWatch() { QObject::disconnect(m_sent); }
    WireWatch(const WireWatch&) = delete;
    WireWatch& operator=(const WireWatch&) = delete;

private:
    QMetaObject::Connection m_sent;
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
    for (int i = 1; i + 1 < argc; ++i)
        if (QByteArray(argv[i]) == "--lines")
            lines = qMax(10, QByteArray(argv[i + 1]).toInt());

    const QString log = configHome.filePath(QStringLiteral("line.log"));
    BenchEmulator emulator({QStringLiteral("--log"), log});
    if (!emulator.ok()) {
        std::fprintf(stderr, "taktora-sim did not start\n");
        return 1;
    }
    WriteSetting(QStringLiteral("SignalOutputTo"), QStringLiteral("COM9"), QStringLiteral("Taktora"));
    krTaktora window(QStringLiteral("taktora"));
    window.show();
    window.findChild<QLineEdit*>(QStringLiteral("txtControllerNr"))->setText(QStringLiteral("1"));
    window.btnCheck_Click();
    WiThrottleServer* server = window.phoneServer();
    server->setHeartbeatSeconds(2);
    if (!server->listen(0, QHostAddress::LocalHost)) {
        std::fprintf(stderr, "no server: %s\n", qPrintable(server->errorString()));
        return 1;
    }
    ThrottlePanel* throttle = window.throttle(2);
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
        throttle->slider()->value() == 255 && logTail(log, 2).join(' ').contains("> 1, 23, 3, 0, 0");

    WireWatch watch(window.line().link());
    server->setHeartbeatSeconds(60);
    std::printf("\nphone speed line to frame on the wire, %d lines each:\n", lines);
    for (const auto& [key, what] :
         {std::pair<QByteArray, const char*>{"S3", "loco 3 on a throttle"},
          std::pair<QByteArray, const char*>{"L1000", "loco 1000 on no throttle"}}) {
        Latencies l = measure(server->port(), key, lines, watch);
        std::printf("  %-26s median %.3f ms, 95th percentile %.3f ms, %zu frames\n", what, l.at(0.5),
                    l.at(0.95), l.ms.size());
    }
    std::printf("\nscripted phone: exit %d, loco 3 %s after the phone went silent\n", phone.exitCode(),
                stopped ? "stopped" : "NOT stopped");
    return phone.exitCode() == 0 && stopped ? 0 : 1;
}
