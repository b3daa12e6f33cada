#include "CommandSet.h"
#include "krTaktoraTools.h"
#include "MessageBox.h"
#include "SimProcess.h"
#include "TestMain.h"

#include <QElapsedTimer>

namespace {
const QString kCom = QStringLiteral("COM3");

QStringList shownTexts()
{
    QStringList texts;
    for (const MessageBox::Shown& box : MessageBox::takeShown())
        texts << box.text;
    return texts;
}
} // namespace

// Every test starts its own emulator, registers it as COM3 in the test's private settings and
// opens it the way the program does.
class tst_EndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void statusAndFirmwareLandInTheFrame();
    void missingControllerIsReportedByTheLine();
    void noAnswerFailsWithTheMessage();
    void badCheckByteThenGoodAnswer();
    void command255Fails();
    void shortAnswerFails();
    void trailingBytesAreIgnored();
    void pacedAndDelayedAnswersArrive();
    void emulatorSurvivesCloseAndReopen();
    void vanishedEmulatorFailsWithAPortError();

private:
    bool attach(SimProcess& sim);
};

void tst_EndToEnd::init()
{
    MessageBox::takeShown();
}

void tst_EndToEnd::cleanup()
{
    CloseControllerPort();
    SetPortName(QStringLiteral("NUL"));
}

bool tst_EndToEnd::attach(SimProcess& sim)
{
    if (!sim.start()) {
        qWarning("%s", qPrintable(sim.errorString()));
        return false;
    }
    sim.registerAs(kCom);
    SetPortName(kCom);
    return OpenControllerPort(kCom, true);
}

void tst_EndToEnd::statusAndFirmwareLandInTheFrame()
{
    SimProcess sim({"--firmware", "5.2.7", "--board", "uno"});
    QVERIFY(attach(sim));

    quint8 controller = 1, command = Command::ControllerQuery, d1 = QueryOp::Status, d2 = 0, d3 = 0;
    QVERIFY(ControllerTransaction(controller, command, d1, d2, d3, 2, true, 2));
    QCOMPARE(controller, quint8(1));
    QVERIFY(command != Answer::NoSuchController);
    QCOMPARE(d3, quint8(StatusBit::EmergencyStopAvailable | StatusBit::BoardUno));

    FrameFields frame = Request::readFirmwareVersion(1);
    QVERIFY(ControllerTransaction(frame, 2, true, 2));
    QCOMPARE((QList<int>{frame.data1, frame.data2, frame.data3}), (QList<int>{5, 2, 7}));

    QCOMPARE(sim.requests(),
             (QList<FrameFields>{Request::queryControllerStatus(1), Request::readFirmwareVersion(1)}));
    QCOMPARE(sim.logLines().value(0), QStringLiteral("> 1, 2, 0, 0, 0, 3"));
    QVERIFY(shownTexts().isEmpty());
}

void tst_EndToEnd::missingControllerIsReportedByTheLine()
{
    SimProcess sim;
    QVERIFY(attach(sim));
    FrameFields frame = Request::queryControllerStatus(3);
    QVERIFY(ControllerTransaction(frame, 2, true, 2));
    QCOMPARE(frame.controller, quint8(3));
    QCOMPARE(frame.command, Answer::NoSuchController);
}

void tst_EndToEnd::noAnswerFailsWithTheMessage()
{
    SimProcess sim({"--fault", "no-answer"});
    QVERIFY(attach(sim));
    FrameFields frame = Request::setLocoSpeed(1, 3, 200);
    QVERIFY(!ControllerTransaction(frame, 2, true, 1));
    QCOMPARE(frame, Request::setLocoSpeed(1, 3, 200));
    QCOMPARE(shownTexts(), QStringList{QStringLiteral("Controller 1 antwortet nicht.")});
    QCOMPARE(sim.requests().size(), 2);
}

void tst_EndToEnd::badCheckByteThenGoodAnswer()
{
    SimProcess sim({"--fault", "bad-check:1"});
    QVERIFY(attach(sim));
    FrameFields frame = Request::readOperationPins(1);
    QVERIFY(ControllerTransaction(frame, 2, true, 2));
    QCOMPARE((QList<int>{frame.data1, frame.data2, frame.data3}), (QList<int>{3, 2, 54}));
    QCOMPARE(sim.requests(),
             (QList<FrameFields>{Request::readOperationPins(1), Request::readOperationPins(1)}));
    QVERIFY(shownTexts().isEmpty());
}

void tst_EndToEnd::command255Fails()
{
    SimProcess sim({"--fault", "command-255@23"});
    QVERIFY(attach(sim));
    FrameFields frame = Request::setLocoSpeed(1, 3, 10);
    QVERIFY(!ControllerTransaction(frame, 2, false, 1));
    QCOMPARE(frame, Request::setLocoSpeed(1, 3, 10));
    QVERIFY(shownTexts().isEmpty());

    // Only that command is refused.
    frame = Request::queryControllerStatus(1);
    QVERIFY(ControllerTransaction(frame, 2, false, 1));
}

void tst_EndToEnd::shortAnswerFails()
{
    SimProcess sim({"--fault", "short"});
    QVERIFY(attach(sim));
    FrameFields frame = Request::readFirmwareVersion(1);
    QVERIFY(!ControllerTransaction(frame, 2, true, 1));
    QCOMPARE(frame, Request::readFirmwareVersion(1));
    QCOMPARE(shownTexts(), QStringList{QStringLiteral("Controller 1 antwortet nicht.")});
}

void tst_EndToEnd::trailingBytesAreIgnored()
{
    SimProcess sim({"--fault", "trailing", "--firmware", "5.2.11"});
    QVERIFY(attach(sim));
    FrameFields frame = Request::readFirmwareVersion(1);
    QVERIFY(ControllerTransaction(frame, 2, true, 2));
    QCOMPARE((QList<int>{frame.controller, frame.command, frame.data1, frame.data2, frame.data3}),
             (QList<int>{1, Command::ControllerQuery, 5, 2, 11}));
    // The stray bytes of the first answer do not spoil the next exchange.
    frame = Request::queryControllerStatus(1);
    QVERIFY(ControllerTransaction(frame, 1, true, 2));
    QCOMPARE(frame.data3, quint8(StatusBit::EmergencyStopAvailable | StatusBit::BoardMega));
    QCOMPARE(sim.requests().size(), 2);
}

void tst_EndToEnd::pacedAndDelayedAnswersArrive()
{
    SimProcess sim({"--pace", "--delay-ms", "30"});
    QVERIFY(attach(sim));
    for (int i = 0; i < 5; ++i) {
        FrameFields frame = Request::setLocoSpeed(1, 1000, static_cast<quint8>(i * 50));
        QVERIFY(ControllerTransaction(frame, 1, true, 2));
        QCOMPARE(frame, Request::setLocoSpeed(1, 1000, static_cast<quint8>(i * 50)));
    }
    QCOMPARE(sim.requests().size(), 5);
}

void tst_EndToEnd::emulatorSurvivesCloseAndReopen()
{
    SimProcess sim;
    QVERIFY(attach(sim));
    for (int round = 0; round < 3; ++round) {
        FrameFields frame = Request::readFirstLocoEntry(1);
        QVERIFY2(ControllerTransaction(frame, 2, true, 2), qPrintable(QString::number(round)));
        QCOMPARE(wordFromBytes(frame.data1, frame.data2), quint16(3));
        CloseControllerPort();
        QVERIFY(OpenControllerPort(kCom, true));
    }
    QVERIFY(sim.isRunning());
    QVERIFY(shownTexts().isEmpty());
}

void tst_EndToEnd::vanishedEmulatorFailsWithAPortError()
{
    SimProcess sim;
    QVERIFY(attach(sim));
    FrameFields frame = Request::queryControllerStatus(1);
    QVERIFY(ControllerTransaction(frame, 2, true, 1));

    sim.kill();
    frame = Request::queryControllerStatus(1);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!ControllerTransaction(frame, 2, true, 1));
    qInfo("transaction against the vanished emulator returned after %lld ms", clock.elapsed());
    QCOMPARE(frame, Request::queryControllerStatus(1));

    const QStringList texts = shownTexts();
    QVERIFY2(!texts.isEmpty(), "no message at all");
    QVERIFY2(texts.first().startsWith(QStringLiteral("Fehler beim Zugriff auf COM3")),
             qPrintable(texts.join(" | ")));
    QCOMPARE(texts.last(), QStringLiteral("Controller 1 antwortet nicht."));
}

TAKTORA_TEST_MAIN(tst_EndToEnd)
#include "tst_EndToEnd.moc"
