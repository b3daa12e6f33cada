// SPDX-License-Identifier: GPL-3.0-or-later
#include "PtyServer.h"

#include "CablePlug.h"
#include "SignalHold.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/select.h>
#include <termios.h>
#include <unistd.h>

#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace {
volatile std::sig_atomic_t g_stopSignal = 0;

void onStopSignal(int signal)
{
    g_stopSignal = signal;
}

qint64 nowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<qint64>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

// The kernel wakes a sleeper a little late; the last stretch before an answer is due is spent
// watching the clock instead, so paced answers leave on time.
constexpr qint64 SpinNs = 60000;

// Waits until the line has bytes or the timeout passes, letting the stop signals in meanwhile.
// 1: readable; 0: timeout or signal; -1: the line is hung up or in error.
int waitReadable(int fd, const timespec* timeout, const sigset_t* mask)
{
#ifdef __linux__
    pollfd p{fd, POLLIN, 0};
    if (ppoll(&p, 1, timeout, mask) <= 0)
        return 0;
    return (p.revents & POLLIN) ? 1 : -1;
#else
    fd_set set;
    FD_ZERO(&set);
    FD_SET(fd, &set);
    return pselect(fd + 1, &set, nullptr, nullptr, timeout, mask) > 0 ? 1 : 0;
#endif
}

void pauseBriefly()
{
    const timespec pause{0, 10000000L};
    nanosleep(&pause, nullptr);
}

QString systemError(const char* what)
{
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}
} // namespace

PtyServer::PtyServer(ControllerEmulator& emulator, Timing timing) : m_emulator(emulator), m_timing(timing)
{}

PtyServer::~PtyServer()
{
    if (!m_linkPath.isEmpty())
        CablePlug::removeLink(m_linkPath);
    if (m_terminalSide >= 0)
        ::close(m_terminalSide);
    if (m_master >= 0)
        ::close(m_master);
}

bool PtyServer::open(QString& error)
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        error = systemError("posix_openpt");
        return false;
    }
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        error = systemError("grantpt/unlockpt");
        return false;
    }
    const char* name = ptsname(m_master);
    if (!name) {
        error = systemError("ptsname");
        return false;
    }
    m_devicePath = QString::fromLocal8Bit(name);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);

    // Holding the terminal side open keeps the line up while the program has the port closed.
    m_terminalSide = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_terminalSide < 0) {
        error = systemError("open terminal side");
        return false;
    }
    termios tio{};
    if (tcgetattr(m_terminalSide, &tio) != 0) {
        error = systemError("tcgetattr");
        return false;
    }
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    if (tcsetattr(m_terminalSide, TCSANOW, &tio) != 0) {
        error = systemError("tcsetattr");
        return false;
    }
    return m_linkPath.isEmpty() || CablePlug::makeLink(m_linkPath, m_devicePath, error);
}

void PtyServer::pullCable()
{
    if (m_master < 0)
        return;
    ::close(m_terminalSide);
    ::close(m_master); // the terminal goes away, as a USB device does
    m_terminalSide = m_master = -1;
    if (!m_linkPath.isEmpty()) // last, so that a missing link means a dead line
        CablePlug::removeLink(m_linkPath);
    m_pending.clear();
    log(QStringLiteral("# cable pulled"));
}

void PtyServer::plugCableIn()
{
    if (m_master >= 0)
        return;
    QString error;
    log(open(error) ? QStringLiteral("# cable plugged in: ") + m_devicePath
                    : QStringLiteral("# cable not plugged in: ") + error);
}

void PtyServer::holdStopSignals()
{
    SignalHold::hold(onStopSignal, {SIGTERM, SIGINT, SIGHUP});
    std::signal(SIGPIPE, SIG_IGN);
}

int PtyServer::run()
{
#ifdef __linux__
    // Paced answers need wake-ups close to the microsecond, not the default 50 us of slack.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    holdStopSignals();
    sigprocmask(SIG_SETMASK, nullptr, &m_waitMask);
    SignalHold::letThrough(m_waitMask, {SIGTERM, SIGINT, SIGHUP});
    CablePlug::holdSignals();
    CablePlug::letThrough(m_waitMask);
    while (!g_stopSignal) {
        const CablePlug::Request plug = CablePlug::take();
        if (plug == CablePlug::Request::Pull)
            pullCable();
        else if (plug == CablePlug::Request::PlugIn)
            plugCableIn();
        waitForWork();
        sendDue();
    }
    return 0;
}

void PtyServer::waitForWork()
{
    timespec timeout{};
    timespec* timeoutPtr = nullptr;
    if (!m_pending.empty()) {
        const qint64 left = m_pending.front().dueNs - nowNs();
        if (left <= SpinNs) {
            while (nowNs() < m_pending.front().dueNs) {
            }
            return;
        }
        const qint64 sleepNs = left - SpinNs;
        timeout.tv_sec = static_cast<time_t>(sleepNs / 1000000000LL);
        timeout.tv_nsec = static_cast<long>(sleepNs % 1000000000LL);
        timeoutPtr = &timeout;
    }

    if (m_master < 0) { // the cable is out: only a signal can change anything
        pselect(0, nullptr, nullptr, nullptr, nullptr, &m_waitMask);
        return;
    }
    const int ready = waitReadable(m_master, timeoutPtr, &m_waitMask);
    if (ready > 0)
        readRequests();
    else if (ready < 0)
        pauseBriefly(); // nothing to read, but do not spin on a line in error
}

void PtyServer::readRequests()
{
    char buffer[4096];
    const ssize_t n = ::read(m_master, buffer, sizeof buffer);
    if (n <= 0) {
        if (n == 0 || (errno != EAGAIN && errno != EINTR))
            pauseBriefly();
        return;
    }
    const qint64 arrivalNs = nowNs();
    const auto exchanges =
        m_emulator.receiveAt(QByteArray(buffer, static_cast<int>(n)), arrivalNs / 1000000LL);

    // On a paced line the request bytes themselves were on the wire for a while: the last of
    // them reached the board only then.
    qint64 deliveredNs = arrivalNs;
    for (const auto& exchange : exchanges) {
        if (m_timing.pace) {
            deliveredNs = qMax(deliveredNs, m_receiveLineFreeNs) + exchange.request.size() * ByteNs;
            m_receiveLineFreeNs = deliveredNs;
        }
        schedule(exchange, arrivalNs, deliveredNs);
    }
}

void PtyServer::schedule(const ControllerEmulator::Exchange& exchange, qint64 arrivalNs, qint64 deliveredNs)
{
    if (m_log)
        log(requestLogLine(exchange));
    if (exchange.answer.isEmpty()) {
        if (m_log && exchange.kind != ControllerEmulator::Exchange::Kind::Discarded)
            log(answerLogLine(exchange));
        return;
    }
    const qint64 delayNs =
        static_cast<qint64>(m_timing.delayMs + exchange.busyMs + (exchange.late ? m_timing.lateMs : 0)) *
        1000000LL;
    qint64 dueNs = arrivalNs + delayNs;
    if (m_timing.pace) {
        // The answer is handed over when its last byte would have arrived.
        const qint64 startNs = qMax(deliveredNs + delayNs, m_transmitLineFreeNs);
        dueNs = startNs + exchange.answer.size() * ByteNs;
        m_transmitLineFreeNs = dueNs;
    }
    m_pending.push_back(Pending{dueNs, exchange.answer, m_log ? answerLogLine(exchange) : QString()});
}

void PtyServer::sendDue()
{
    while (!m_pending.empty() && m_pending.front().dueNs <= nowNs()) {
        const Pending p = m_pending.front();
        m_pending.pop_front();
        if (m_log)
            log(p.logLine);
        const ssize_t written = ::write(m_master, p.bytes.constData(), static_cast<size_t>(p.bytes.size()));
        if (written != p.bytes.size())
            log(QStringLiteral("# answer not delivered: nobody reads the line"));
    }
}

void PtyServer::log(const QString& line)
{
    if (!m_log)
        return;
    std::fputs(line.toUtf8().constData(), m_log);
    std::fputc('\n', m_log);
    std::fflush(m_log);
}
