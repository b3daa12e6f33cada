// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandSet.h"
#include "krTaktoraTools.h"
#include "LineClient.h"
#include "MessageBox.h"
#include "PortDirectory.h"
#include "PortErrors.h"
#include "SerialPortInterface.h"
#include "SimProcess.h"
#include "TestMain.h"

#include <QFile>
#include <QThread>

#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {
const QString kCom = QStringLiteral("COM3");

qint64 residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status")); // where there is none, nothing is compared
    const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
    const qsizetype at = text.indexOf("VmRSS:");
    return at < 0
               ? 0
               : text.mid(at + 6, text.indexOf('\n', at) - at - 6).trimmed().split(' ').value(0).toLongLong();
}
} // namespace

// The program's transaction against the emulator on a real pseudo-terminal, and the emulator as a
// program: what only a real line and a real process show. What the board answers is
// tst_ControllerEmulator's business.
class tst_EndToEnd : public QObject
{
    Q_OBJECT

public:
    tst_EndToEnd()
    {
        AttachScreenPrompts(m_link);
        m_line.setNeedsCheck(false);
    }

private slots:
    void cleanup();
    void registersItsDeviceAndEndsCleanly();
    void portIsChosenByTheNumberInItsName();
    void babblingBoardLeavesMemoryFlatAndTheNextExchangeRight();

private:
    ControllerLink m_link;
    LineClient m_line{m_link, QStringLiteral("Test"), LineClient::Kind::Screen};
};

void tst_EndToEnd::cleanup()
{
    m_link.close();
    MessageBox::takeShown();
}

void tst_EndToEnd::registersItsDeviceAndEndsCleanly()
{
    SimProcess sim({"--register", "com7"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    QVERIFY(sim.devicePath().startsWith(QLatin1String("/dev/")));
    QCOMPARE(PortDirectory::devicePath(QStringLiteral("COM7")), sim.devicePath());
    QVERIFY(sim.terminate());
}

// Each open closes the port first; the emulator, answering late and paced like a real line, stays.
void tst_EndToEnd::portIsChosenByTheNumberInItsName()
{
    SimProcess sim({"--pace", "--delay-ms", "30"});
    QVERIFY2(sim.attachAs(m_link, kCom), qPrintable(sim.errorString()));
    PortDirectory::registerDevice(QStringLiteral("COM30"), sim.devicePath());
    for (const char* name : {"COM03", "COM3:", "COM 3", "com3"}) {
        QVERIFY2(m_link.open(name), name);
        FrameFields frame = Request::readFirstLocoEntry(1);
        QVERIFY2(m_line.ControllerTransaction(frame, 1, false, 2), name);
        QCOMPARE(wordFromBytes(frame.data1, frame.data2), quint16(3));
    }
    // Beyond the 24 ports the program works with, whatever the settings map, and without a number.
    for (const char* name : {"COM30", "COMx", "CO"}) {
        QVERIFY2(!m_link.open(name), name);
        QCOMPARE(openErrorText(name, m_link.lastOpenError()),
                 QStringLiteral("Fehler beim Zugriff auf ") + name +
                     "\n\n(Fehler 8002 - Schnittstelle nicht verfügbar)");
    }
}

// A board on a pseudo-terminal of the test's own prints text while nobody asks it anything (a
// sketch with debug output, a board in a reset loop) until the line takes no more, then answers
// the first request that comes.
void tst_EndToEnd::babblingBoardLeavesMemoryFlatAndTheNextExchangeRight()
{
    const int board = posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(board >= 0 && grantpt(board) == 0 && unlockpt(board) == 0 && ptsname(board));
    ::fcntl(board, F_SETFL, ::fcntl(board, F_GETFL) | O_NONBLOCK);
    PortDirectory::registerDevice(kCom, QString::fromLocal8Bit(ptsname(board)));
    m_link.setPortName(kCom);
    QVERIFY(m_link.open(kCom));

    const qint64 before = residentKilobytes();
    const QByteArray text = QByteArray("debug: sensor 17 ok\r\n").repeated(200);
    qint64 written = 0;
    for (int refused = 0; written < qint64(8) * 1024 * 1024 && refused < 200;) {
        const ssize_t n = ::write(board, text.constData(), size_t(text.size()));
        refused = n > 0 ? 0 : refused + 1;
        written += qMax<ssize_t>(n, 0);
        QCoreApplication::processEvents(); // the window idles, its event loop running
        if (n <= 0)
            QThread::msleep(1);
    }
    QVERIFY2(m_link.port().bytesWaiting() <= FrameSize, qPrintable(QString::number(written)));
    QVERIFY2(residentKilobytes() - before < 1024, qPrintable(QString::number(residentKilobytes() - before)));

    const FrameFields status = Request::make(1, 0, 0, 0, 0x11);
    QByteArray request;
    std::thread answering([&] {
        pollfd line{board, POLLIN, 0};
        while (request.size() < FrameSize && ::poll(&line, 1, 5000) > 0) {
            char c = 0;
            if (::read(board, &c, 1) == 1)
                request.append(c);
        }
        const QByteArray answer = encodeFrame(status);
        if (::write(board, answer.constData(), size_t(answer.size())) != answer.size())
            request.clear();
    });
    FrameFields frame = Request::queryControllerStatus(1);
    const bool answered = m_line.ControllerTransaction(frame, 1, true, 2);
    answering.join();
    m_link.close();
    ::close(board);
    QVERIFY(answered);
    QCOMPARE(frame, status);
    QCOMPARE(request, encodeFrame(Request::queryControllerStatus(1)));
}

TAKTORA_TEST_MAIN(tst_EndToEnd)
#include "tst_EndToEnd.moc"
