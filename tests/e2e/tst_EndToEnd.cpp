#include "CommandSet.h"
#include "krTaktoraTools.h"
#include "MessageBox.h"
#include "PortDirectory.h"
#include "SerialPortInterface.h"
#include "SimProcess.h"
#include "TestMain.h"

#include <QFile>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {
const QString kCom = QStringLiteral("COM3");
const QString kNoAnswer = QStringLiteral("Controller 1 antwortet nicht.");

// A board on a pseudo-terminal of the test's own: it prints text while nobody asks it anything (a
// sketch with debug output, a board in a reset loop) until the line takes no more, then answers the
// first request that comes with `answer`.
class BabblingBoard
{
public:
    explicit BabblingBoard(const FrameFields& answer) : m_answer(encodeFrame(answer))
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0 && ptsname(m_master))
            m_device = QString::fromLocal8Bit(ptsname(m_master));
    }
    ~BabblingBoard()
    {
        if (m_board.joinable())
            m_board.join();
        if (m_master >= 0)
            ::close(m_master);
    }
    QString device() const { return m_device; }
    bool quiet() const { return m_quiet; }
    qint64 written() const { return m_written; }
    QByteArray request() // once the answer is out
    {
        m_board.join();
        return m_request;
    }

    void start()
    {
        m_board = std::thread([this] {
            ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
            const QByteArray text = QByteArray("debug: sensor 17 ok\r\n").repeated(200);
            for (int refused = 0; m_written < qint64(8) * 1024 * 1024 && refused < 200;) {
                const ssize_t n = ::write(m_master, text.constData(), size_t(text.size()));
                refused = n > 0 ? 0 : refused + 1;
                m_written += qMax<ssize_t>(n, 0);
                if (n <= 0)
                    QThread::msleep(1);
            }
            m_quiet = true;
            pollfd line{m_master, POLLIN, 0};
            while (m_request.size() < FrameSize && ::poll(&line, 1, 5000) > 0) {
                char c = 0;
                if (::read(m_master, &c, 1) == 1)
                    m_request.append(c);
            }
            if (::write(m_master, m_answer.constData(), size_t(m_answer.size())) != m_answer.size())
                m_request.clear();
        });
    }

private:
    const QByteArray m_answer;
    int m_master = -1;
    QString m_device;
    std::thread m_board;
    std::atomic<bool> m_quiet{false};
    std::atomic<qint64> m_written{0};
    QByteArray m_request;
};

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

// The program's transaction against the emulator on a real pseudo-terminal: what only a real
// line shows. What the board answers is tst_ControllerEmulator's business.
class tst_EndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void answerLandsInTheFrameAndBothGoToTheLog();
    void faultKinds_data();
    void faultKinds();
    void portIsChosenByTheNumberInItsName();
    void babblingBoardLeavesMemoryFlatAndTheNextExchangeRight();
};

void tst_EndToEnd::cleanup()
{
    CloseControllerPort();
    MessageBox::takeShown();
}

void tst_EndToEnd::answerLandsInTheFrameAndBothGoToTheLog()
{
    SimProcess sim({"--firmware", "5.2.7"});
    QVERIFY2(sim.attachAs(kCom), qPrintable(sim.errorString()));
    FrameFields frame = Request::readFirmwareVersion(1);
    QVERIFY(ControllerTransaction(frame, 1, true, 2));
    QCOMPARE(frame, Request::make(1, Command::ControllerQuery, 5, 2, 7));
    QCOMPARE(sim.requests(), QList<FrameFields>{Request::readFirmwareVersion(1)});
    QCOMPARE(sim.logLines(), (QStringList{"> 1, 2, 253, 0, 0, 254", "< 1, 2, 5, 2, 7, 3"}));
    QVERIFY(takeShownTexts().isEmpty());
}

void tst_EndToEnd::faultKinds_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("requests");
    QTest::newRow("no answer") << "no-answer:2" << false << 2;
    QTest::newRow("bad check byte, then a good answer") << "bad-check:1" << true << 2;
    QTest::newRow("refused") << "command-255:2" << false << 2;
    QTest::newRow("short answer") << "short:2" << false << 2;
    QTest::newRow("stray bytes after the answer") << "trailing:1" << true << 1;
}

void tst_EndToEnd::faultKinds()
{
    QFETCH(QString, fault);
    QFETCH(bool, accepted);
    QFETCH(int, requests);
    SimProcess sim({"--fault", fault});
    QVERIFY2(sim.attachAs(kCom), qPrintable(sim.errorString()));
    FrameFields frame = Request::readFirmwareVersion(1);
    QCOMPARE(ControllerTransaction(frame, 2, true, 1), accepted);
    QCOMPARE(frame, accepted ? Request::make(1, Command::ControllerQuery, 5, 2, 3)
                             : Request::readFirmwareVersion(1));
    QCOMPARE(takeShownTexts(), accepted ? QStringList() : QStringList{kNoAnswer});
    QCOMPARE(sim.requests().size(), requests);

    // Once the fault has passed, nothing of it spoils the next exchange.
    frame = Request::readOperationPins(1);
    QVERIFY(ControllerTransaction(frame, 1, true, 2));
    QCOMPARE(frame, Request::make(1, Command::ControllerQuery, 3, 2, 54));
}

// Each open closes the port first; the emulator, answering late and paced like a real line, stays.
void tst_EndToEnd::portIsChosenByTheNumberInItsName()
{
    SimProcess sim({"--pace", "--delay-ms", "30"});
    QVERIFY2(sim.attachAs(kCom), qPrintable(sim.errorString()));
    PortDirectory::registerDevice(QStringLiteral("COM30"), sim.devicePath());
    for (const char* name : {"COM03", "COM3:", "COM 3", "com3"}) {
        QVERIFY2(OpenControllerPort(name, true), name);
        FrameFields frame = Request::readFirstLocoEntry(1);
        QVERIFY2(ControllerTransaction(frame, 1, false, 2), name);
        QCOMPARE(wordFromBytes(frame.data1, frame.data2), quint16(3));
    }
    // Beyond the 24 ports the program works with, whatever the settings map, and without a number.
    for (const char* name : {"COM30", "COMx", "CO"}) {
        QVERIFY2(!OpenControllerPort(name, false), name);
        QVERIFY2(takeShownTexts().value(0).startsWith(QStringLiteral("Fehler beim Zugriff auf ") + name +
                                                      "\n\n(Fehler 8002 - Schnittstelle nicht verfügbar)"),
                 name);
    }
}

void tst_EndToEnd::babblingBoardLeavesMemoryFlatAndTheNextExchangeRight()
{
    const FrameFields status = Request::make(1, 0, 0, 0, 0x11);
    BabblingBoard board(status);
    QVERIFY(!board.device().isEmpty());
    PortDirectory::registerDevice(kCom, board.device());
    SetPortName(kCom);
    QVERIFY(OpenControllerPort(kCom, true));

    const qint64 before = residentKilobytes();
    board.start();
    while (!board.quiet()) { // the window idles, its event loop running, until the line takes no more
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    QVERIFY2(ControllerPort().bytesWaiting() <= FrameSize, qPrintable(QString::number(board.written())));
    QVERIFY2(residentKilobytes() - before < 1024, qPrintable(QString::number(residentKilobytes() - before)));

    FrameFields frame = Request::queryControllerStatus(1);
    QVERIFY(ControllerTransaction(frame, 1, true, 2));
    QCOMPARE(frame, status);
    QCOMPARE(board.request(), encodeFrame(Request::queryControllerStatus(1)));
}

TAKTORA_TEST_MAIN(tst_EndToEnd)
#include "tst_EndToEnd.moc"
