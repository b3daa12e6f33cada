// SPDX-License-Identifier: GPL-3.0-or-later
#include "krTaktoraTools.h"

#include "CommandSet.h"
#include "MessageBox.h"
#include "PortDirectory.h"
#include "PortErrors.h"
#include "QtSerialPort.h"
#include "TaktoraVersion.h"
#include "TrafficObserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <memory>

namespace {

const QString kSimulation = QStringLiteral("NUL");
// A port that stops transmitting must not freeze the window for longer than this.
constexpr int kTransmitBoundMs = 1000;

class SteadyClock final : public MonotonicClock
{
public:
    SteadyClock() { m_timer.start(); }
    qint64 nowMs() const override { return m_timer.elapsed(); }

private:
    QElapsedTimer m_timer; // monotonic on every platform Qt supports
};

struct LinkState
{
    QString portName = kSimulation;
    SerialPortInterface* installedPort = nullptr;
    std::unique_ptr<QtSerialPort> realPort;
    MonotonicClock* installedClock = nullptr;
    TrafficObserver* trafficObserver = nullptr; // the traffic monitor, or a test
    SteadyClock steadyClock;
};

LinkState& link()
{
    static LinkState state;
    return state;
}

const MonotonicClock& clock()
{
    if (link().installedClock)
        return *link().installedClock;
    return link().steadyClock;
}

QSettings openSettings()
{
    return QSettings(QStringLiteral("KORADIN"), QStringLiteral("KORADIN"));
}

QString sectionOrTitle(const QString& section)
{
    return section.isEmpty() ? ProgramTitle() : section;
}

// A pulled cable fails every attempt alike; the user hears of it once per transaction, unless
// the port fails differently on a later attempt.
void reportWriteError(const PortError& error, int& lastReported)
{
    if (error.number == lastReported)
        return;
    lastReported = error.number;
    ShowPortAccessError(error);
}

struct ExchangeOutcome
{
    bool accepted = false;
    FrameFields answer;
    QByteArray bytes;          // as they came back, for a watcher
    quint8 controllerByte = 0; // byte 1 of a six-byte answer, else the byte sent
};

ExchangeOutcome exchange(SerialPortInterface& port, const FrameFields& request, int timeoutSeconds,
                         int& reportedError)
{
    ExchangeOutcome outcome;
    outcome.controllerByte = request.controller;

    port.clearBuffers();
    if (!port.write(encodeFrame(request))) {
        reportWriteError(port.lastError(), reportedError);
        return outcome;
    }
    if (!port.waitForTransmitted(kTransmitBoundMs)) {
        // The port buffers the write; a device that has gone away fails only here.
        if (port.lastError().number != 0)
            reportWriteError(port.lastError(), reportedError);
        return outcome;
    }

    const qint64 deadline = clock().nowMs() + qint64(timeoutSeconds) * 1000;
    while (port.bytesWaiting() < FrameSize) {
        const qint64 remaining = deadline - clock().nowMs();
        if (remaining <= 0)
            break;
        // Sleeps in the kernel; a vanished device reports an error instead of bytes.
        if (!port.waitForBytes(int(remaining)) && port.lastError().number != 0)
            break;
    }

    outcome.bytes = port.bytesWaiting() > 0 ? port.readAll() : QByteArray();
    const QByteArray& bytes = outcome.bytes;
    if (bytes.size() < FrameSize)
        return outcome;
    outcome.controllerByte = static_cast<quint8>(bytes[0]);
    FrameFields answer;
    if (!decodeFrame(bytes, answer) || answer.command == Answer::Failed)
        return outcome;
    outcome.accepted = true;
    outcome.answer = answer;
    return outcome;
}

QString noAnswerText(quint8 controller)
{
    if (controller == 255)
        return QStringLiteral("Kommunikation zu den KORADIN Controllern unterbrochen");
    return QStringLiteral("Controller ") + QString::number(controller) + QStringLiteral(" antwortet nicht.");
}

const QScreen* screenOf(const QWidget* window)
{
    return window && window->screen() ? window->screen() : QGuiApplication::primaryScreen();
}

} // namespace

QString ProgramTitle()
{
    return QString::fromUtf8(TaktoraVersion::ProgramTitle);
}

QString PortName()
{
    return link().portName;
}

void SetPortName(const QString& name)
{
    link().portName = name;
}

bool IsSimulation()
{
    return link().portName.compare(kSimulation, Qt::CaseInsensitive) == 0;
}

SerialPortInterface& ControllerPort()
{
    LinkState& s = link();
    if (s.installedPort)
        return *s.installedPort;
    if (!s.realPort) {
        s.realPort = std::make_unique<QtSerialPort>();
        // The port is a QObject inside; it must go before the application object does.
        qAddPostRoutine([] { link().realPort.reset(); });
    }
    return *s.realPort;
}

void InstallControllerPort(SerialPortInterface* port)
{
    link().installedPort = port;
}

void InstallTrafficObserver(TrafficObserver* observer)
{
    link().trafficObserver = observer;
}

void InstallClock(MonotonicClock* clock)
{
    link().installedClock = clock;
}

bool OpenControllerPort(const QString& name, bool quiet)
{
    CloseControllerPort();
    SerialPortInterface& port = ControllerPort();
    if (port.open(name))
        return true;

    const PortError error = port.lastError();
    QString text = QStringLiteral("Fehler beim Zugriff auf ") + name + QStringLiteral("\n\n(Fehler ") +
                   QString::number(error.number);
    if (error.number == PortErrorNumber::DeviceUnavailable ||
        error.number == PortErrorNumber::InvalidPortNumber)
        text += QStringLiteral(" - Schnittstelle nicht verfügbar)");
    else
        text += QStringLiteral(" - ") + error.text + QStringLiteral(")");
    if (!quiet)
        ShowErrorReport(text);
    return false;
}

void ShowPortAccessError(const PortError& error)
{
    ShowErrorReport(QStringLiteral("Fehler beim Zugriff auf ") + PortName() +
                    QStringLiteral("\n\nBitte überprüfen Sie den eingestellten COM-Port.\n\n(Fehler ") +
                    QString::number(error.number) + QStringLiteral(" - ") + error.text + QStringLiteral(")"));
}

void CloseControllerPort()
{
    // One port object serves every COM number, so closing it closes whatever was open.
    ControllerPort().close();
}

namespace {
qint64 linkNowMs()
{
    return clock().nowMs();
}

bool runTransaction(FrameFields& frame, int attempts, bool showErrors, int timeoutSeconds)
{
    if (attempts == 0)
        attempts = 3;

    SerialPortInterface& port = ControllerPort();
    for (;;) {
        quint8 lastController = frame.controller;
        int reportedError = 0;
        for (int attempt = 0; attempt < attempts; ++attempt) {
            // Each attempt sends the request as the caller passed it.
            TrafficObserver* const watcher = link().trafficObserver;
            if (watcher)
                watcher->requestSent(frame, attempt > 0);
            const ExchangeOutcome outcome = exchange(port, frame, timeoutSeconds, reportedError);
            if (watcher)
                watcher->attemptEnded(outcome.bytes, outcome.accepted ? TrafficObserver::Outcome::Answered
                                                     : outcome.bytes.isEmpty()
                                                         ? TrafficObserver::Outcome::NoAnswer
                                                         : TrafficObserver::Outcome::Failed);
            if (outcome.accepted) {
                frame = outcome.answer;
                return true;
            }
            lastController = outcome.controllerByte;
        }
        if (!showErrors)
            return false;
        const auto choice =
            MessageBox::show(nullptr, QMessageBox::Warning, QString(), noAnswerText(lastController),
                             QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::Cancel);
        if (choice != QMessageBox::Retry)
            return false;
    }
}
} // namespace

bool ControllerTransaction(FrameFields& frame, int attempts, bool showErrors, int timeoutSeconds)
{
    if (IsSimulation())
        return false;
    const FrameFields request = frame;
    // The clock is read only while someone watches; a failure box may install or remove one.
    const bool watched = link().trafficObserver != nullptr;
    const qint64 started = watched ? linkNowMs() : 0;
    const bool accepted = runTransaction(frame, attempts, showErrors, timeoutSeconds);
    if (TrafficObserver* const watcher = link().trafficObserver)
        watcher->transactionEnded(TransactionRecord{request, frame, accepted, attempts, showErrors,
                                                    timeoutSeconds, watched ? linkNowMs() - started : 0});
    return accepted;
}

bool ControllerTransaction(quint8& controller, quint8& command, quint8& data1, quint8& data2, quint8& data3,
                           int attempts, bool showErrors, int timeoutSeconds)
{
    FrameFields frame{controller, command, data1, data2, data3};
    if (!ControllerTransaction(frame, attempts, showErrors, timeoutSeconds))
        return false;
    controller = frame.controller;
    command = frame.command;
    data1 = frame.data1;
    data2 = frame.data2;
    data3 = frame.data3;
    return true;
}

void WaitSeconds(double s)
{
    if (!(s > 0))
        return;
    QEventLoop loop;
    QTimer::singleShot(qint64(s * 1000.0), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool ScreenRate::due()
{
    if (remainingMs() > 0)
        return false;
    restart();
    return true;
}

qint64 ScreenRate::remainingMs() const
{
    return m_started ? qBound<qint64>(0, IntervalMs - (linkNowMs() - m_lastMs), IntervalMs) : 0;
}

void ScreenRate::restart()
{
    m_started = true;
    m_lastMs = linkNowMs();
}

void ScreenRateEvents::take()
{
    if (m_rate.due())
        QCoreApplication::processEvents(m_flags);
}

QString ReadSetting(const QString& key, const QString& defaultValue, const QString& section)
{
    QSettings settings = openSettings();
    settings.beginGroup(sectionOrTitle(section));
    const QVariant value = settings.value(key);
    // A hand-edited file may hold a list ("a, b"); read it back as the text it was.
    const QString text = value.userType() == QMetaType::QStringList
                             ? value.toStringList().join(QStringLiteral(", "))
                             : value.toString();
    return text.isEmpty() ? defaultValue : text;
}

void WriteSetting(const QString& key, const QString& value, const QString& section)
{
    QSettings settings = openSettings();
    settings.beginGroup(sectionOrTitle(section));
    settings.setValue(key, value);
}

QString SupportContactBlock()
{
    return QStringLiteral("KORADIN Modellbahnelektronik – Kundendienst Taktora\n"
                          "Telefon: +49 30 555 0142 (Mo–Fr 9–17 Uhr)\n"
                          "E-Mail: service@koradin.example");
}

QString ErrorReportText(const QString& message)
{
    QString text = ReplaceAll(message, QStringLiteral("$"), QStringLiteral("\n"));
    bool isNumber = false;
    const int number = text.trimmed().toInt(&isNumber);
    if (isNumber)
        text = QStringLiteral("Fehler ") + QString::number(number) + QStringLiteral(": ") +
               portErrorDescription(number);
    return text + QStringLiteral("\n\nFür Rückfragen und Informationen stehen wir ") +
           QStringLiteral("Ihnen gerne zur Verfügung:\n\n") + SupportContactBlock();
}

void ShowErrorReport(const QString& message, const QString& title)
{
    MessageBox::warning(nullptr, ErrorReportText(message), title);
}

void ShowErrorReport(int errorNumber, const QString& title)
{
    ShowErrorReport(QString::number(errorNumber), title);
}

QString ReplaceAll(const QString& text, const QString& search, const QString& replacement)
{
    if (search.isEmpty())
        return text;
    QString result = text;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = result.indexOf(search, from);
        if (at < 0)
            return result;
        result.replace(at, search.size(), replacement);
        from = at + replacement.size(); // the replacement itself is never searched again
    }
}

int TwipsToPixels(int twips)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    return qRound(twips / 15.0 * dpi / 96.0);
}

void CenterWindow(QWidget* window)
{
    const QScreen* screen = screenOf(window);
    if (!window || !screen)
        return;
    const QRect area = screen->geometry();
    const QSize size = window->frameGeometry().size();
    const int offset = TwipsToPixels(100);
    window->move(area.x() + (area.width() - size.width()) / 2 + offset,
                 area.y() + (area.height() - size.height()) / 2 + offset);
    KeepOnScreen(window);
}

QRect AvailableScreenArea(const QWidget* window)
{
    const QScreen* screen = screenOf(window);
    return screen ? screen->availableGeometry() : QRect();
}

void KeepOnScreen(QWidget* window)
{
    const QRect area = AvailableScreenArea(window);
    if (!window || area.isEmpty())
        return;
    const QRect frame = window->frameGeometry();
    // Right and bottom edge first, then left and top, which win when the window is the larger.
    const int x = std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width()));
    const int y = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height()));
    if (x != frame.left() || y != frame.top())
        window->move(x, y); // a window's position is that of its frame
}
