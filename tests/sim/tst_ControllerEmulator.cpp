#include "CommandSet.h"
#include "ControllerEmulator.h"
#include "TestMain.h"

namespace {
// One request through the line; the answer decoded. An empty optional-like flag tells silence.
struct Reply
{
    bool answered = false;
    FrameFields frame;
    QByteArray raw;
};

Reply ask(ControllerEmulator& line, const FrameFields& request)
{
    Reply r;
    r.raw = line.receive(encodeFrame(request));
    r.answered = decodeFrame(r.raw, r.frame);
    return r;
}

FrameFields answerOf(ControllerEmulator& line, const FrameFields& request)
{
    const Reply r = ask(line, request);
    if (!r.answered || r.raw.size() != FrameSize)
        qWarning("no clean answer to %s: got %s", qPrintable(frameToString(encodeFrame(request))),
                 qPrintable(frameToString(r.raw)));
    return r.frame;
}

bool programmingFailed(const FrameFields& a)
{
    return a.data1 == Answer::ProgrammingFailed && a.data2 == Answer::ProgrammingFailed &&
           a.data3 == Answer::ProgrammingFailed;
}

// The way the program reads a CV: eight bit verifies, then a byte verify when nothing matched.
int readCvLikeTheProgram(ControllerEmulator& line, quint16 cv)
{
    int value = 0;
    for (int bit = 0; bit < 8; ++bit) {
        const FrameFields a = answerOf(line, Request::cvBit(1, Command::VerifyCvBit, cv, bit, 1));
        if (a.data1 != 255 || a.data3 != 255)
            value += 1 << bit;
    }
    if (value == 0 && programmingFailed(answerOf(line, Request::cvByte(1, Command::VerifyCvByte, cv, 0))))
        return -1;
    return value;
}

QList<QPair<quint16, quint8>> walkConfiguration(ControllerEmulator& line)
{
    QList<QPair<quint16, quint8>> entries;
    FrameFields a = answerOf(line, Request::readFirstLocoEntry(1));
    while (a.data3 != LocoEntry::None && entries.size() < 100) {
        entries.append({wordFromBytes(a.data1, a.data2), a.data3});
        a = answerOf(line, Request::readNextLocoEntry(1));
    }
    return entries;
}

ControllerEmulator lineWithLocos(const QList<EmulatedController::ConfiguredLoco>& locos)
{
    ControllerEmulator line;
    EmulatedController board;
    board.setLocoConfiguration(locos);
    line.setControllers({1}, board);
    return line;
}
} // namespace

class tst_ControllerEmulator : public QObject
{
    Q_OBJECT

private slots:
    void statusReportsBoardAndEmergencyStop_data();
    void statusReportsBoardAndEmergencyStop();
    void firmwareVersionInDataBytes();
    void otherControllerNumbers();
    void trackModeAcknowledgedAndReflectedInStatus();
    void locoConfigurationComesInTheBoardsOrder();
    void locoEntriesAreAddedChangedAndDeleted();
    void singleReadCarriesTheDirection();
    void driveAndAccessoryCommandsKeepTheirState();
    void restartKeepsConfigurationAndDropsRunningState();
    void programmingOnlyInProgrammingMode();
    void cvByteAndBitWritesReadBack();
    void registersMapOntoTheirCvs();
    void programmingWithoutDecoderFails();
    void pinsAndEmergencyStopReadBack();
    void unknownRequestsAnswer255();
    void wrongCheckByteIsIgnored();
    void splitAndConcatenatedInput();
    void idleGapDropsATornFrame();
    void faultsShapeTheAnswer();
    void faultRulesCountAndMatchCommands();
};

void tst_ControllerEmulator::statusReportsBoardAndEmergencyStop_data()
{
    QTest::addColumn<EmulatedController::Board>("board");
    QTest::addColumn<bool>("stopAvailable");
    QTest::addColumn<int>("bits");
    QTest::newRow("mega") << EmulatedController::Board::Mega << true << 0x11;
    QTest::newRow("uno") << EmulatedController::Board::Uno << true << 0x09;
    QTest::newRow("unknown, no stop") << EmulatedController::Board::Unknown << false << 0x00;
}

void tst_ControllerEmulator::statusReportsBoardAndEmergencyStop()
{
    QFETCH(EmulatedController::Board, board);
    QFETCH(bool, stopAvailable);
    QFETCH(int, bits);
    ControllerEmulator line;
    EmulatedController b;
    b.setBoard(board);
    b.setEmergencyStopAvailable(stopAvailable);
    line.setControllers({1}, b);

    const FrameFields a = answerOf(line, Request::queryControllerStatus(1));
    QCOMPARE(a.controller, quint8(1));
    QVERIFY(a.command != Answer::NoSuchController && a.command != Answer::Failed);
    QCOMPARE(int(a.data3), bits);
}

void tst_ControllerEmulator::firmwareVersionInDataBytes()
{
    ControllerEmulator line;
    FrameFields a = answerOf(line, Request::readFirmwareVersion(1));
    QCOMPARE(a.command, Command::ControllerQuery);
    QCOMPARE((QList<int>{a.data1, a.data2, a.data3}), (QList<int>{5, 2, 3}));

    EmulatedController b;
    b.setFirmware(6, 0, 1);
    line.setControllers({1}, b);
    a = answerOf(line, Request::readFirmwareVersion(1));
    QCOMPARE((QList<int>{a.data1, a.data2, a.data3}), (QList<int>{6, 0, 1}));
}

void tst_ControllerEmulator::otherControllerNumbers()
{
    ControllerEmulator line;
    line.setControllers({1, 4}, EmulatedController());

    // Asked for a number that is not there, the board says so; anything else stays unanswered.
    const FrameFields notThere = answerOf(line, Request::queryControllerStatus(3));
    QCOMPARE(notThere.controller, quint8(3));
    QCOMPARE(notThere.command, Answer::NoSuchController);
    QVERIFY(line.receive(encodeFrame(Request::readFirmwareVersion(3))).isEmpty());
    QVERIFY(line.receive(encodeFrame(Request::setLocoSpeed(3, 3, 100))).isEmpty());

    // Each served number is a board of its own.
    QCOMPARE(answerOf(line, Request::setTrackMode(4, TrackMode::Operation)).command,
             Answer::TrackModeAcknowledged);
    QVERIFY(answerOf(line, Request::queryControllerStatus(4)).data3 & StatusBit::LoadCircuitRaised);
    QVERIFY(!(answerOf(line, Request::queryControllerStatus(1)).data3 & StatusBit::LoadCircuitRaised));
}

void tst_ControllerEmulator::trackModeAcknowledgedAndReflectedInStatus()
{
    ControllerEmulator line;
    QVERIFY(!(answerOf(line, Request::queryControllerStatus(1)).data3 & StatusBit::LoadCircuitRaised));

    QCOMPARE(answerOf(line, Request::setTrackMode(1, TrackMode::Operation)).command,
             Answer::TrackModeAcknowledged);
    QVERIFY(answerOf(line, Request::queryControllerStatus(1)).data3 & StatusBit::LoadCircuitRaised);

    // Programming mode takes the power off the main track.
    QCOMPARE(answerOf(line, Request::setTrackMode(1, TrackMode::Programming)).command,
             Answer::TrackModeAcknowledged);
    QVERIFY(!(answerOf(line, Request::queryControllerStatus(1)).data3 & StatusBit::LoadCircuitRaised));
    QCOMPARE(line.controller(1)->trackMode(), TrackMode::Programming);

    QCOMPARE(answerOf(line, Request::setTrackMode(1, TrackMode::Off)).command, Answer::TrackModeAcknowledged);
    QCOMPARE(line.controller(1)->trackMode(), TrackMode::Off);
    QCOMPARE(answerOf(line, Request::make(1, Command::ControllerControl, ControlOp::TrackMode, 3, 0)).command,
             Answer::Failed);
}

void tst_ControllerEmulator::locoConfigurationComesInTheBoardsOrder()
{
    ControllerEmulator line = lineWithLocos({{7, 1}, {3, 2}, {1000, 3}});
    using Entry = QPair<quint16, quint8>;
    QCOMPARE(walkConfiguration(line), (QList<Entry>{{7, 1}, {3, 2}, {1000, 3}}));

    // Past the end the board keeps saying "no more"; a first read starts over.
    QCOMPARE(answerOf(line, Request::readNextLocoEntry(1)).data3, LocoEntry::None);
    QCOMPARE(walkConfiguration(line).size(), 3);

    ControllerEmulator empty = lineWithLocos({});
    QCOMPARE(answerOf(empty, Request::readFirstLocoEntry(1)).data3, LocoEntry::None);
}

void tst_ControllerEmulator::locoEntriesAreAddedChangedAndDeleted()
{
    ControllerEmulator line = lineWithLocos({{7, 1}, {3, 2}});
    using Entry = QPair<quint16, quint8>;

    QCOMPARE(answerOf(line, Request::writeLocoEntry(1, 300, SpeedSteps::Steps28)).command,
             Command::WriteLocoEntry);
    QCOMPARE(answerOf(line, Request::writeLocoEntry(1, 7, SpeedSteps::Steps126)).command,
             Command::WriteLocoEntry);
    QCOMPARE(walkConfiguration(line), (QList<Entry>{{7, 3}, {3, 2}, {300, 2}}));

    answerOf(line, Request::writeLocoEntry(1, 3, LocoEntry::Remove));
    answerOf(line, Request::writeLocoEntry(1, 4711, LocoEntry::Remove)); // not there: nothing happens
    QCOMPARE(walkConfiguration(line), (QList<Entry>{{7, 3}, {300, 2}}));

    QCOMPARE(answerOf(line, Request::readLocoEntry(1, 300)).data3, SpeedSteps::Steps28);
    const FrameFields gone = answerOf(line, Request::readLocoEntry(1, 3));
    QCOMPARE(gone.data3, LocoEntry::None);
    QCOMPARE(wordFromBytes(gone.data1, gone.data2), quint16(3));

    // Deleting the entry a walk stands on must not skip the next one.
    answerOf(line, Request::writeLocoEntry(1, 3, SpeedSteps::Steps14));
    FrameFields a = answerOf(line, Request::readFirstLocoEntry(1));
    QCOMPARE(wordFromBytes(a.data1, a.data2), quint16(7));
    answerOf(line, Request::writeLocoEntry(1, 7, LocoEntry::Remove));
    a = answerOf(line, Request::readNextLocoEntry(1));
    QCOMPARE(wordFromBytes(a.data1, a.data2), quint16(300));

    // Numbers outside 1..10239 and codes above 126 steps are refused and change nothing.
    QCOMPARE(answerOf(line, Request::writeLocoEntry(1, 0, SpeedSteps::Steps28)).command, Answer::Failed);
    QCOMPARE(answerOf(line, Request::writeLocoEntry(1, 10240, SpeedSteps::Steps28)).command, Answer::Failed);
    QCOMPARE(answerOf(line, Request::writeLocoEntry(1, 12, 4)).command, Answer::Failed);
    QCOMPARE(answerOf(line, Request::writeLocoEntry(1, 10239, SpeedSteps::Steps14)).command,
             Command::WriteLocoEntry);
    QCOMPARE(line.controller(1)->locoConfiguration().size(), 3); // 300, 3 and 10239
}

void tst_ControllerEmulator::singleReadCarriesTheDirection()
{
    ControllerEmulator line = lineWithLocos({{1234, SpeedSteps::Steps28}});
    QCOMPARE(answerOf(line, Request::readLocoEntry(1, 1234)).data3, quint8(0x02));
    answerOf(line, Request::setLocoDirection(1, 1234, true));
    QCOMPARE(answerOf(line, Request::readLocoEntry(1, 1234)).data3, quint8(0x82));
    QCOMPARE(answerOf(line, Request::readLocoEntry(1, 1234)).data3 & LocoEntry::SpeedStepMask,
             SpeedSteps::Steps28);
    answerOf(line, Request::setLocoDirection(1, 1234, false));
    QCOMPARE(answerOf(line, Request::readLocoEntry(1, 1234)).data3, quint8(0x02));
}

void tst_ControllerEmulator::driveAndAccessoryCommandsKeepTheirState()
{
    ControllerEmulator line;
    EmulatedController& board = *line.controller(1);

    QCOMPARE(answerOf(line, Request::setLocoSpeed(1, 3, 200)).command, Command::SetLocoSpeed);
    answerOf(line, Request::setLocoSpeed(1, 1234, 90));
    answerOf(line, Request::locoFunction(1, 1234, LightFunction, true));
    answerOf(line, Request::locoFunction(1, 1234, 12, true));
    answerOf(line, Request::locoFunction(1, 1234, 5, true));
    answerOf(line, Request::locoFunction(1, 1234, 5, false));
    QCOMPARE(board.locoState(3).speed, quint8(200));
    QCOMPARE(board.locoState(1234).functions, quint32((1u << 0) | (1u << 12)));

    answerOf(line, Request::stopLoco(1, 3));
    QCOMPARE(board.locoState(3).speed, quint8(0));
    QCOMPARE(board.locoState(1234).speed, quint8(90));
    QCOMPARE(answerOf(line, Request::stopLoco(1, AllLocos)).command, Command::StopLoco);
    QCOMPARE(board.locoState(1234).speed, quint8(0));
    QCOMPARE(board.locoState(1234).functions, quint32((1u << 0) | (1u << 12)));

    answerOf(line, Request::switchAccessory(1, 300, 1, true));
    answerOf(line, Request::switchAccessory(1, 300, 3, true));
    answerOf(line, Request::switchAccessory(1, 300, 1, false));
    QCOMPARE(board.accessoryOutputs(300), quint8(0x08));

    QCOMPARE(answerOf(line, Request::switchAccessory(1, 300, 4, true)).command, Answer::Failed);
    QCOMPARE(answerOf(line, Request::switchAccessory(1, 512, 0, true)).command, Answer::Failed);
    QCOMPARE(answerOf(line, Request::locoFunction(1, 3, 29, true)).command, Answer::Failed);
    QCOMPARE(answerOf(line, Request::setLocoSpeed(1, 10240, 10)).command, Answer::Failed);
    QCOMPARE(answerOf(line, Request::setLocoSpeed(1, AllLocos, 10)).command, Answer::Failed);
}

void tst_ControllerEmulator::restartKeepsConfigurationAndDropsRunningState()
{
    ControllerEmulator line = lineWithLocos({{5, 2}});
    EmulatedController& board = *line.controller(1);
    answerOf(line, Request::setTrackMode(1, TrackMode::Operation));
    answerOf(line, Request::setLocoSpeed(1, 5, 100));
    answerOf(line, Request::writeLocoEntry(1, 9, SpeedSteps::Steps14));
    answerOf(line, Request::setOperationPins(1, 7, 8));

    QCOMPARE(answerOf(line, Request::restartController(1)), Request::restartController(1));
    QCOMPARE(board.restarts(), 1);
    QVERIFY(!(answerOf(line, Request::queryControllerStatus(1)).data3 & StatusBit::LoadCircuitRaised));
    QCOMPARE(board.locoState(5).speed, quint8(0));
    QCOMPARE(board.locoConfiguration().size(), 2);
    QCOMPARE(answerOf(line, Request::readOperationPins(1)).data1, quint8(7));
}

void tst_ControllerEmulator::programmingOnlyInProgrammingMode()
{
    ControllerEmulator line;
    QVERIFY(programmingFailed(answerOf(line, Request::cvByte(1, Command::VerifyCvByte, 1, 3))));
    QVERIFY(programmingFailed(answerOf(line, Request::cvByte(1, Command::WriteCvByte, 1, 9))));
    answerOf(line, Request::setTrackMode(1, TrackMode::Operation));
    QVERIFY(programmingFailed(answerOf(line, Request::cvByte(1, Command::VerifyCvByte, 1, 3))));

    answerOf(line, Request::setTrackMode(1, TrackMode::Programming));
    const FrameFields match = answerOf(line, Request::cvByte(1, Command::VerifyCvByte, 1, 3));
    QCOMPARE(match, Request::cvByte(1, Command::VerifyCvByte, 1, 3));
    QCOMPARE(line.controller(1)->decoder().cv(1), quint8(3)); // the refused write changed nothing
}

void tst_ControllerEmulator::cvByteAndBitWritesReadBack()
{
    ControllerEmulator line;
    answerOf(line, Request::setTrackMode(1, TrackMode::Programming));
    QCOMPARE(readCvLikeTheProgram(line, 1), 3);
    QCOMPARE(readCvLikeTheProgram(line, 29), 6);

    const FrameFields write = Request::cvByte(1, Command::WriteCvByte, 1023, 0xA5);
    QCOMPARE(answerOf(line, write), write);
    QCOMPARE(readCvLikeTheProgram(line, 1023), 0xA5);
    QVERIFY(programmingFailed(answerOf(line, Request::cvByte(1, Command::VerifyCvByte, 1023, 0xA4))));

    // Long address: bit 5 of CV 29 on, CV 17/18 = 1000, the way the program sets it.
    answerOf(line, Request::cvBit(1, Command::WriteCvBit, 29, 5, 1));
    answerOf(line, Request::cvByte(1, Command::WriteCvByte, 17, 195));
    answerOf(line, Request::cvByte(1, Command::WriteCvByte, 18, 232));
    QCOMPARE(readCvLikeTheProgram(line, 29), 6 | 32);
    QVERIFY(!programmingFailed(answerOf(line, Request::cvBit(1, Command::VerifyCvBit, 29, 5, 1))));
    QVERIFY(programmingFailed(answerOf(line, Request::cvBit(1, Command::VerifyCvBit, 29, 5, 0))));
    answerOf(line, Request::cvBit(1, Command::WriteCvBit, 29, 1, 0));
    QCOMPARE(readCvLikeTheProgram(line, 29), 4 | 32);

    answerOf(line, Request::cvByte(1, Command::WriteCvByte, 50, 0));
    QCOMPARE(readCvLikeTheProgram(line, 50), 0); // eight misses, then the byte verify matches

    // CV numbers outside the decoder's memory and bit specs with stray bits fail.
    QVERIFY(programmingFailed(answerOf(line, Request::cvByte(1, Command::WriteCvByte, 0, 1))));
    QVERIFY(programmingFailed(answerOf(line, Request::cvByte(1, Command::WriteCvByte, 1025, 1))));
    QVERIFY(!programmingFailed(answerOf(line, Request::cvByte(1, Command::WriteCvByte, 1024, 1))));
    QVERIFY(programmingFailed(answerOf(line, Request::make(1, Command::VerifyCvBit, 29, 0, 0x12))));
}

void tst_ControllerEmulator::registersMapOntoTheirCvs()
{
    ControllerEmulator line;
    answerOf(line, Request::setTrackMode(1, TrackMode::Programming));
    auto verifyRegister = [&line](quint8 reg, quint8 value) {
        return !programmingFailed(
            answerOf(line, Request::registerValue(1, Command::VerifyRegister, reg, value)));
    };
    QVERIFY(verifyRegister(1, 3));
    QVERIFY(verifyRegister(5, 6)); // register 5 is CV 29
    QVERIFY(!verifyRegister(5, 7));

    const FrameFields write = Request::registerValue(1, Command::WriteRegister, 1, 44);
    QCOMPARE(answerOf(line, write), write);
    QCOMPARE(readCvLikeTheProgram(line, 1), 44);
    answerOf(line, Request::cvByte(1, Command::WriteCvByte, 29, 38));
    QVERIFY(verifyRegister(5, 38));
    answerOf(line, Request::registerValue(1, Command::WriteRegister, 6, 9)); // page register
    QVERIFY(verifyRegister(6, 9));
    QCOMPARE(line.controller(1)->decoder().cv(6), quint8(110));

    QVERIFY(programmingFailed(answerOf(line, Request::registerValue(1, Command::WriteRegister, 9, 1))));
    QVERIFY(programmingFailed(answerOf(line, Request::registerValue(1, Command::VerifyRegister, 0, 0))));
}

void tst_ControllerEmulator::programmingWithoutDecoderFails()
{
    ControllerEmulator line;
    line.controller(1)->decoder().setPresent(false);
    answerOf(line, Request::setTrackMode(1, TrackMode::Programming));
    QVERIFY(programmingFailed(answerOf(line, Request::cvByte(1, Command::WriteCvByte, 1, 3))));
    QVERIFY(programmingFailed(answerOf(line, Request::cvBit(1, Command::VerifyCvBit, 29, 1, 1))));
    QVERIFY(programmingFailed(answerOf(line, Request::registerValue(1, Command::VerifyRegister, 1, 3))));
    QCOMPARE(readCvLikeTheProgram(line, 1), -1);
}

void tst_ControllerEmulator::pinsAndEmergencyStopReadBack()
{
    ControllerEmulator line;
    FrameFields op = answerOf(line, Request::readOperationPins(1));
    QCOMPARE((QList<int>{op.data1, op.data2, op.data3}), (QList<int>{3, 2, 54})); // A0 of a Mega

    answerOf(line, Request::setOperationPins(1, 5, 6));
    answerOf(line, Request::setProgrammingPins(1, 12, 13));
    answerOf(line, Request::setMonitoringPins(1, 60, 61));
    op = answerOf(line, Request::readOperationPins(1));
    const FrameFields prog = answerOf(line, Request::readProgrammingPins(1));
    QCOMPARE((QList<int>{op.data1, op.data2, op.data3}), (QList<int>{5, 6, 60}));
    QCOMPARE((QList<int>{prog.data1, prog.data2, prog.data3}), (QList<int>{12, 13, 61}));

    answerOf(line, Request::setHardwareEmergencyStop(1, true));
    QVERIFY(answerOf(line, Request::queryControllerStatus(1)).data3 & StatusBit::EmergencyStopOn);
    answerOf(line, Request::setHardwareEmergencyStop(1, false));
    QVERIFY(!(answerOf(line, Request::queryControllerStatus(1)).data3 & StatusBit::EmergencyStopOn));

    line.controller(1)->setEmergencyStopAvailable(false);
    QCOMPARE(answerOf(line, Request::setHardwareEmergencyStop(1, true)).command, Answer::Failed);
    QVERIFY(!(answerOf(line, Request::queryControllerStatus(1)).data3 & StatusBit::EmergencyStopOn));
}

void tst_ControllerEmulator::unknownRequestsAnswer255()
{
    ControllerEmulator line;
    const QList<FrameFields> unknown = {
        Request::make(1, 99, 1, 2, 3),
        Request::make(1, 0, 0, 0, 0),
        Request::make(1, Command::ControllerControl, 99, 0, 0),
        Request::make(1, Command::ControllerQuery, 7, 0, 0),
        Request::make(1, Command::ReadLocoEntry, 0, 0, 100),
    };
    for (const FrameFields& request : unknown) {
        const Reply r = ask(line, request);
        QVERIFY2(r.answered, qPrintable(frameToString(encodeFrame(request))));
        QCOMPARE(r.frame.controller, quint8(1));
        QCOMPARE(r.frame.command, Answer::Failed);
    }
}

void tst_ControllerEmulator::wrongCheckByteIsIgnored()
{
    ControllerEmulator line;
    QByteArray bad = encodeFrame(Request::setLocoSpeed(1, 3, 77));
    bad[5] = static_cast<char>(bad[5] ^ 0x01);
    const auto exchanges = line.receiveAt(bad, 0);
    QCOMPARE(exchanges.size(), 1);
    QCOMPARE(exchanges[0].kind, ControllerEmulator::Exchange::Kind::Discarded);
    QVERIFY(exchanges[0].answer.isEmpty());
    QCOMPARE(line.controller(1)->locoState(3).speed, quint8(0));
    QCOMPARE(line.pendingBytes(), 0);

    // The next good frame right behind it is understood.
    QCOMPARE(answerOf(line, Request::setLocoSpeed(1, 3, 77)).command, Command::SetLocoSpeed);
    QCOMPARE(line.controller(1)->locoState(3).speed, quint8(77));
}

void tst_ControllerEmulator::splitAndConcatenatedInput()
{
    ControllerEmulator line;
    const QByteArray status = encodeFrame(Request::queryControllerStatus(1));
    for (int i = 0; i < FrameSize - 1; ++i)
        QVERIFY(line.receive(status.mid(i, 1)).isEmpty());
    const QByteArray answer = line.receive(status.mid(FrameSize - 1));
    FrameFields a;
    QVERIFY(decodeFrame(answer, a));
    QCOMPARE(a.data3, quint8(0x11));

    // Three requests in one burst, the last one cut short: two answers now, one later.
    const QByteArray burst = encodeFrame(Request::readFirmwareVersion(1)) +
                             encodeFrame(Request::queryControllerStatus(7)) +
                             encodeFrame(Request::readOperationPins(1));
    const QByteArray first = line.receive(burst.left(16));
    QCOMPARE(first.size(), 2 * FrameSize);
    QVERIFY(decodeFrame(first, a));
    QCOMPARE(a.data1, quint8(5));
    QVERIFY(decodeFrame(first.mid(FrameSize), a));
    QCOMPARE(a.command, Answer::NoSuchController);
    QVERIFY(decodeFrame(line.receive(burst.mid(16)), a));
    QCOMPARE(a.data1, quint8(3));
}

void tst_ControllerEmulator::idleGapDropsATornFrame()
{
    ControllerEmulator line;
    const QByteArray status = encodeFrame(Request::queryControllerStatus(1));

    // Half a frame, then silence longer than the gap: the next request starts afresh.
    QVERIFY(line.receiveAt(status.left(3), 1000).isEmpty());
    auto exchanges = line.receiveAt(status, 1000 + ControllerEmulator::ResyncGapMs + 1);
    QCOMPARE(exchanges.size(), 2);
    QCOMPARE(exchanges[0].kind, ControllerEmulator::Exchange::Kind::Discarded);
    QCOMPARE(exchanges[0].request, status.left(3));
    QCOMPARE(exchanges[1].kind, ControllerEmulator::Exchange::Kind::Answered);
    QCOMPARE(exchanges[1].request, status);

    // Within the gap the pieces belong together.
    QVERIFY(line.receiveAt(status.left(2), 5000).isEmpty());
    exchanges = line.receiveAt(status.mid(2), 5000 + ControllerEmulator::ResyncGapMs);
    QCOMPARE(exchanges.size(), 1);
    QCOMPARE(exchanges[0].kind, ControllerEmulator::Exchange::Kind::Answered);
}

void tst_ControllerEmulator::faultsShapeTheAnswer()
{
    const FrameFields speed = Request::setLocoSpeed(1, 3, 120);
    auto lineWith = [](FaultPlan::Kind kind) {
        ControllerEmulator line;
        line.faults().add(FaultPlan::Rule{kind, -1, -1});
        return line;
    };

    ControllerEmulator noAnswer = lineWith(FaultPlan::Kind::NoAnswer);
    QVERIFY(noAnswer.receive(encodeFrame(speed)).isEmpty());
    QCOMPARE(noAnswer.controller(1)->locoState(3).speed, quint8(0)); // lost before the board

    ControllerEmulator badCheck = lineWith(FaultPlan::Kind::BadCheck);
    QByteArray raw = badCheck.receive(encodeFrame(speed));
    FrameFields a;
    QCOMPARE(raw.size(), FrameSize);
    QVERIFY(!decodeFrame(raw, a));
    QCOMPARE(raw.left(5), encodeFrame(speed).left(5));
    QCOMPARE(badCheck.controller(1)->locoState(3).speed, quint8(120)); // the board did act

    ControllerEmulator refuse = lineWith(FaultPlan::Kind::Command255);
    QVERIFY(decodeFrame(refuse.receive(encodeFrame(speed)), a));
    QCOMPARE(a.command, Answer::Failed);
    QCOMPARE(refuse.controller(1)->locoState(3).speed, quint8(0));

    ControllerEmulator shortAnswer = lineWith(FaultPlan::Kind::Short);
    QCOMPARE(shortAnswer.receive(encodeFrame(speed)), encodeFrame(speed).left(5));

    ControllerEmulator trailing = lineWith(FaultPlan::Kind::Trailing);
    raw = trailing.receive(encodeFrame(Request::readFirmwareVersion(1)));
    QVERIFY(raw.size() > FrameSize);
    QVERIFY(decodeFrame(raw, a));
    QCOMPARE(a.data1, quint8(5));
}

void tst_ControllerEmulator::faultRulesCountAndMatchCommands()
{
    ControllerEmulator line;
    line.faults().add(FaultPlan::Rule{FaultPlan::Kind::NoAnswer, 2, Command::SetLocoSpeed});
    line.faults().add(FaultPlan::Rule{FaultPlan::Kind::BadCheck, 1, -1});

    // The status query does not match the first rule; the second rule takes it, once.
    FrameFields a;
    QVERIFY(!decodeFrame(line.receive(encodeFrame(Request::queryControllerStatus(1))), a));
    QVERIFY(decodeFrame(line.receive(encodeFrame(Request::queryControllerStatus(1))), a));

    QVERIFY(line.receive(encodeFrame(Request::setLocoSpeed(1, 3, 1))).isEmpty());
    QVERIFY(line.receive(encodeFrame(Request::setLocoSpeed(1, 3, 2))).isEmpty());
    QVERIFY(decodeFrame(line.receive(encodeFrame(Request::setLocoSpeed(1, 3, 3))), a));
    QCOMPARE(line.controller(1)->locoState(3).speed, quint8(3));

    // Requests that go unanswered anyway use up no fault.
    ControllerEmulator other;
    other.faults().add(FaultPlan::Rule{FaultPlan::Kind::Short, 1, -1});
    QVERIFY(other.receive(encodeFrame(Request::readFirmwareVersion(9))).isEmpty());
    QCOMPARE(other.receive(encodeFrame(Request::readFirmwareVersion(1))).size(), FrameSize - 1);
}

TAKTORA_TEST_MAIN(tst_ControllerEmulator)
#include "tst_ControllerEmulator.moc"
