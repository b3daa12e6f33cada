// SPDX-License-Identifier: GPL-3.0-or-later
// taktora-webbench: a browser page on 127.0.0.1 against the real main window and the emulator on
// a paced line. The page's side is a WebSocket client in this process that speaks as the page
// does. Printed: the time from the page's speed message to its frame on the wire, and the time
// from a speed set on the main window's throttle to the page's message with it.

#include "BenchEmulator.h"
#include "BenchMainWindow.h"
#include "CommandSet.h"
#include "ControllerLink.h"
#include "Isolation.h"
#include "krTaktora.h"
#include "krTaktoraTools.h"
#include "MessageBox.h"
#include "ThrottlePanel.h"
#include "WebThrottleServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QSlider>
#include <QTemporaryDir>
#include <QWebSocket>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

void report(const char* what, std::vector<qint64> us)
{
    std::sort(us.begin(), us.end());
    if (us.empty()) {
        std::printf("%-44s no samples\n", what);
        return;
    }
    const auto at = [&us](double q) { return us[std::min(us.size() - 1, size_t(q * double(us.size())))]; };
    std::printf("%-44s n=%zu  median %lld µs  p95 %lld µs  max %lld µs\n", what, us.size(), at(0.5), at(0.95),
                us.back());
}

bool waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir configHome;
    isolateFromTheUser(configHome);
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/taktora-bench");
    QApplication app(argc, argv);
    MessageBox::setTestMode(true);
    const int samples = argc > 2 && QByteArray(argv[1]) == "--samples" ? std::max(10, atoi(argv[2])) : 200;

    BenchEmulator emulator({QStringLiteral("--pace")});
    if (!emulator.ok()) {
        std::fprintf(stderr, "taktora-sim did not start\n");
        return 1;
    }
    const std::unique_ptr<krTaktora> window = checkedMainWindow(emulator);
    WebThrottleServer* server = window->webServer();
    if (!server->listen(0, QHostAddress::LocalHost)) {
        std::fprintf(stderr, "no server: %s\n", qPrintable(server->errorString()));
        return 1;
    }

    QElapsedTimer clock;
    clock.start();
    qint64 frameAt = 0;
    quint8 frameSpeed = 0;
    QObject::connect(&window->link(), &ControllerLink::requestSent, [&](const FrameFields& r, bool retry) {
        if (r.command == Command::SetLocoSpeed && wordFromBytes(r.data1, r.data2) == 3 && !retry) {
            frameAt = clock.nsecsElapsed();
            frameSpeed = r.data3;
        }
    });
    QWebSocket page;
    qint64 toldAt = 0;
    double toldSpeed = -1;
    QObject::connect(&page, &QWebSocket::textMessageReceived, [&](const QString& text) {
        const QJsonObject m = QJsonDocument::fromJson(text.toUtf8()).object();
        const QJsonObject data = m.value("data").toObject();
        if (m.value("type") == QLatin1String("throttle") && data.contains("speed")) {
            toldAt = clock.nsecsElapsed();
            toldSpeed = data.value("speed").toDouble();
        }
    });
    page.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/json").arg(server->port())));
    if (!waitFor([&] { return page.state() == QAbstractSocket::ConnectedState; }, 3000))
        return 1;
    page.sendTextMessage(
        R"({"type":"hello","data":{"client":"0123456789abcdef0123456789abcdef","name":"Bench"}})");
    page.sendTextMessage(R"({"type":"throttle","data":{"throttle":"T1","address":3}})");
    waitFor([&] { return toldSpeed >= 0; }, 3000);

    // The page's speed to the wire: one message at a time, each a new speed.
    std::vector<qint64> toWire;
    for (int i = 0; i < samples; ++i) {
        const int percent = 1 + i % 99;
        const quint8 before = frameSpeed;
        frameAt = 0;
        const qint64 sent = clock.nsecsElapsed();
        page.sendTextMessage(QStringLiteral(R"({"type":"throttle","data":{"throttle":"T1","speed":%1}})")
                                 .arg(percent / 100.0));
        if (waitFor([&] { return frameAt != 0 && frameSpeed != before; }, 3000))
            toWire.push_back((frameAt - sent) / 1000);
    }
    report("page speed message -> frame on the wire", toWire);

    // The main window's throttle of loco 3 (throttle 2 since the check) to the page.
    QSlider* slider = window->throttle(2)->findChild<QSlider*>();
    std::vector<qint64> toPage;
    for (int i = 0; i < samples; ++i) {
        toldAt = 0;
        const qint64 moved = clock.nsecsElapsed();
        slider->setValue(255 - (10 + i % 200));
        if (waitFor([&] { return toldAt != 0; }, 3000))
            toPage.push_back((toldAt - moved) / 1000);
    }
    report("main window speed -> page's message", toPage);
    std::printf("(paced emulator at 115200 baud; each figure includes the line's exchange)\n");
    return 0;
}
