#include "CommandSet.h"
#include "krTaktoraTools.h"
#include "MessageBox.h"
#include "PortDirectory.h"
#include "SimProcess.h"
#include "TestMain.h"

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

TAKTORA_TEST_MAIN(tst_EndToEnd)
#include "tst_EndToEnd.moc"
