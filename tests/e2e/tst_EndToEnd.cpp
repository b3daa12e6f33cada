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

QStringList shownTexts()
{
    QStringList texts;
    for (const MessageBox::Shown& box : MessageBox::takeShown())
        texts << box.text;
    return texts;
}

// Registers the started emulator as COM3 and opens it the way the program does.
bool attach(SimProcess& sim)
{
    if (!sim.start()) {
        qWarning("%s", qPrintable(sim.errorString()));
        return false;
    }
    sim.registerAs(kCom);
    SetPortName(kCom);
    return OpenControllerPort(kCom, true);
}

// A board on a pseudo-terminal of the test's own that prints text while nobody asks it anything
// (a sketch with debug output, a board in a reset loop), until told to answer one request.
class BabblingBoard
{
public:
    static constexpr qint64 Limit = qint64(8) * 1024 * 1024; // more than any bound the program may keep

    BabblingBoard()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0 && ptsname(m_master)) {
            m_device = QString::fromLocal8Bit(ptsname(m_master));
            ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        }
    }
    ~BabblingBoard()
    {
        stopBabbling();
        if (m_master >= 0)
            ::close(m_master);
    }
    QString device() const { return m_device; }

    void startBabbling()
    {
        m_babbler = std::thread([this] {
            const QByteArray text = QByteArray("debug: sensor 17 ok\r\n").repeated(200);
            int refused = 0; // writes in a row that the line did not take
            while (!m_stop && m_written < Limit && refused < 200) {
                const ssize_t n = ::write(m_master, text.constData(), size_t(text.size()));
                refused = n > 0 ? 0 : refused + 1;
                m_written += qMax<ssize_t>(n, 0);
                if (n <= 0)
                    QThread::msleep(1);
            }
            m_done = true;
        });
    }
    bool done() const { return m_done; }
    qint64 written() const { return m_written; }
    void stopBabbling()
    {
        m_stop = true;
        if (m_babbler.joinable())
            m_babbler.join();
    }

    // Reads one request and answers it with `answer`, on a thread of its own while the program
    // blocks in its transaction (programSide). Returns the request bytes.
    QByteArray answerOneWhile(const FrameFields& answer, const std::function<void()>& programSide)
    {
        QByteArray request;
        std::thread board([&] {
            pollfd p{m_master, POLLIN, 0};
            while (request.size() < FrameSize && ::poll(&p, 1, 5000) > 0) {
                char c[FrameSize];
                const ssize_t n = ::read(m_master, c, size_t(FrameSize - request.size()));
                if (n <= 0 && errno != EAGAIN)
                    break; // the program let go of the line
                request.append(c, int(qMax<ssize_t>(n, 0)));
            }
            const QByteArray bytes = encodeFrame(answer);
            if (::write(m_master, bytes.constData(), size_t(bytes.size())) != bytes.size())
                request.clear();
        });
        programSide();
        board.join();
        return request;
    }

private:
    int m_master = -1;
    QString m_device;
    std::thread m_babbler;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_done{false};
    std::atomic<qint64> m_written{0};
};

qint64 residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0; // no such file: nothing to compare
    const QByteArray text = status.readAll();
    const qsizetype at = text.indexOf("VmRSS:");
    return at < 0
               ? 0
               : text.mid(at + 6, text.indexOf('\n', at) - at - 6).trimmed().split(' ').first().toLongLong();
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
    void emulatorSurvivesCloseAndReopen();
    void vanishedEmulatorFailsWithAPortError();
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
    QVERIFY(attach(sim));
    FrameFields frame = Request::readFirmwareVersion(1);
    QVERIFY(ControllerTransaction(frame, 1, true, 2));
    QCOMPARE(frame, Request::make(1, Command::ControllerQuery, 5, 2, 7));
    QCOMPARE(sim.requests(), QList<FrameFields>{Request::readFirmwareVersion(1)});
    QCOMPARE(sim.logLines(), (QStringList{"> 1, 2, 253, 0, 0, 254", "< 1, 2, 5, 2, 7, 3"}));
    QVERIFY(shownTexts().isEmpty());
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
    QVERIFY(attach(sim));
    FrameFields frame = Request::readFirmwareVersion(1);
    QCOMPARE(ControllerTransaction(frame, 2, true, 1), accepted);
    QCOMPARE(frame, accepted ? Request::make(1, Command::ControllerQuery, 5, 2, 3)
                             : Request::readFirmwareVersion(1));
    QCOMPARE(shownTexts(), accepted ? QStringList() : QStringList{kNoAnswer});
    QCOMPARE(sim.requests().size(), requests);

    // Once the fault has passed, nothing of it spoils the next exchange.
    frame = Request::readOperationPins(1);
    QVERIFY(ControllerTransaction(frame, 1, true, 2));
    QCOMPARE(frame, Request::make(1, Command::ControllerQuery, 3, 2, 54));
}

void tst_EndToEnd::emulatorSurvivesCloseAndReopen()
{
    // Answers paced like a real line, and late.
    SimProcess sim({"--pace", "--delay-ms", "30"});
    QVERIFY(attach(sim));
    for (int round = 0; round < 3; ++round) {
        FrameFields frame = Request::readFirstLocoEntry(1);
        QVERIFY2(ControllerTransaction(frame, 1, true, 2), qPrintable(QString::number(round)));
        QCOMPARE(wordFromBytes(frame.data1, frame.data2), quint16(3));
        CloseControllerPort();
        QVERIFY(OpenControllerPort(kCom, true));
    }
    QVERIFY(sim.isRunning());
}

void tst_EndToEnd::vanishedEmulatorFailsWithAPortError()
{
    SimProcess sim;
    QVERIFY(attach(sim));
    FrameFields frame = Request::queryControllerStatus(1);
    QVERIFY(ControllerTransaction(frame, 1, true, 1));

    sim.kill();
    frame = Request::queryControllerStatus(1);
    QVERIFY(!ControllerTransaction(frame, 2, true, 1));
    QCOMPARE(frame, Request::queryControllerStatus(1));
    const QStringList texts = shownTexts();
    QVERIFY2(!texts.isEmpty() && texts.first().startsWith(QStringLiteral("Fehler beim Zugriff auf COM3")),
             qPrintable(texts.join(" | ")));
    QCOMPARE(texts.last(), kNoAnswer);
}

void tst_EndToEnd::portIsChosenByTheNumberInItsName()
{
    SimProcess sim;
    QVERIFY(attach(sim)); // as COM3
    PortDirectory::registerDevice(QStringLiteral("COM30"), sim.devicePath());
    for (const char* name : {"COM03", "COM3:", "COM 3", "com3"}) {
        QVERIFY2(OpenControllerPort(name, true), name);
        FrameFields frame = Request::queryControllerStatus(1);
        QVERIFY2(ControllerTransaction(frame, 1, false, 2), name);
    }
    // Beyond the 24 ports the program works with, whatever the settings map.
    QVERIFY(!OpenControllerPort(QStringLiteral("COM30"), false));
    QVERIFY(shownTexts().first().startsWith(
        QStringLiteral("Fehler beim Zugriff auf COM30\n\n(Fehler 8002 - Schnittstelle nicht verfügbar)")));
}

void tst_EndToEnd::babblingBoardLeavesMemoryFlatAndTheNextExchangeRight()
{
    BabblingBoard board;
    QVERIFY(!board.device().isEmpty());
    PortDirectory::registerDevice(kCom, board.device());
    SetPortName(kCom);
    QVERIFY(OpenControllerPort(kCom, true));

    const qint64 before = residentKilobytes();
    board.startBabbling();
    while (!board.done()) { // the window idles, its event loop running, until the line takes no more
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    board.stopBabbling();
    QVERIFY2(ControllerPort().bytesWaiting() <= FrameSize, qPrintable(QString::number(board.written())));
    QVERIFY2(residentKilobytes() - before < 1024, qPrintable(QString::number(residentKilobytes() - before)));

    const FrameFields status = Request::make(1, 0, 0, 0, 0x11);
    FrameFields frame = Request::queryControllerStatus(1);
    bool answered = false;
    const QByteArray request =
        board.answerOneWhile(status, [&] { answered = ControllerTransaction(frame, 1, true, 2); });
    QCOMPARE(request, encodeFrame(Request::queryControllerStatus(1)));
    QVERIFY(answered);
    QCOMPARE(frame, status);
}

TAKTORA_TEST_MAIN(tst_EndToEnd)
#include "tst_EndToEnd.moc"
