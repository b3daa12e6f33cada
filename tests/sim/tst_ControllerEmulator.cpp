// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandSet.h"
#include "ControllerEmulator.h"
#include "SimOptions.h"
#include "TestMain.h"

namespace {
// One request on the line and the bytes that must come back (none: silence).
struct Step
{
    FrameFields request;
    QByteArray answer;
};
using Script = QList<Step>;
} // namespace

Q_DECLARE_METATYPE(Script)

namespace {
void row(const char* name, const QStringList& args, const Script& script)
{
    QTest::newRow(name) << args << script;
}

// The answers a board gives: an answer keeps the controller number of its request.
const auto reply = [](const FrameFields& r, int command, int d1, int d2, int d3) -> Step {
    return {r, encodeFrame(Request::make(r.controller, quint8(command), quint8(d1), quint8(d2), quint8(d3)))};
};
const auto echo = [](const FrameFields& r) -> Step { return {r, encodeFrame(r)}; };
const auto silent = [](const FrameFields& r) -> Step { return {r, QByteArray()}; };
const auto refused = [](const FrameFields& r) { return reply(r, Answer::Failed, r.data1, r.data2, r.data3); };
const auto progFails = [](const FrameFields& r) { return reply(r, r.command, 255, 255, 255); };
const auto data = [](const FrameFields& r, int d1, int d2, int d3) {
    return reply(r, r.command, d1, d2, d3);
};
// Status bits: 0x01 emergency stop available, 0x02 on, 0x08 Uno, 0x10 Mega, 0x20 load circuit raised.
const auto status = [](quint8 c, int bits) {
    return reply(Request::queryControllerStatus(c), 0, 0, 0, bits);
};
const auto trackMode = [](quint8 c, quint8 mode) {
    const FrameFields r = Request::setTrackMode(c, mode);
    return reply(r, Answer::TrackModeAcknowledged, r.data1, r.data2, r.data3);
};
const auto entry = [](const FrameFields& r, quint16 loco, int attributes) {
    return reply(r, Command::ReadLocoEntry, lowByte(loco), highByte(loco), attributes);
};

const FrameFields kTurn = Request::setLocoDirection(1, 3, true);
} // namespace

class tst_ControllerEmulator : public QObject
{
    Q_OBJECT

private slots:

    void answersRequests_data()
    {
        using namespace Request;
        const FrameFields first = readFirstLocoEntry(1);
        const FrameFields next = readNextLocoEntry(1);
        const quint8 none = LocoEntry::None;
        auto single = [](quint16 loco) { return readLocoEntry(1, loco); };
        auto write = [](quint16 cv, quint8 v) { return cvByte(1, Command::WriteCvByte, cv, v); };
        auto verify = [](quint16 cv, quint8 v) { return cvByte(1, Command::VerifyCvByte, cv, v); };
        auto writeBit = [](quint16 cv, int bit, int v) { return cvBit(1, Command::WriteCvBit, cv, bit, v); };
        auto verifyBit = [](quint16 cv, int bit, int v) {
            return cvBit(1, Command::VerifyCvBit, cv, bit, v);
        };
        auto writeReg = [](quint8 r, quint8 v) { return registerValue(1, Command::WriteRegister, r, v); };
        auto verifyReg = [](quint8 r, quint8 v) { return registerValue(1, Command::VerifyRegister, r, v); };

        // The emulator's command line sets the board up, then each request gets its answer in turn.
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<Script>("script");
        row("uno board without stop", {"--board", "uno", "--no-emergency-stop", "--firmware", "6.0.1"},
            {status(1, 0x08), data(readFirmwareVersion(1), 6, 0, 1), data(readProgrammingPins(1), 11, 10, 15),
             refused(setHardwareEmergencyStop(1, true)), status(1, 0x08)});
        row("track mode", {},
            {trackMode(1, TrackMode::Operation), status(1, 0x31), trackMode(1, TrackMode::Programming),
             status(1, 0x11), trackMode(1, TrackMode::Off),
             refused(make(1, Command::ControllerControl, ControlOp::TrackMode, 3, 0)),
             // data3 says whether the mode is operation; any other pairing is no track-mode request
             refused(make(1, Command::ControllerControl, ControlOp::TrackMode, TrackMode::Operation, 0)),
             refused(make(1, Command::ControllerControl, ControlOp::TrackMode, TrackMode::Programming, 1)),
             status(1, 0x11)});
        // A number nobody serves: the status query says so, everything else goes unanswered.
        row("controller numbers", {"--controller", "1,4"},
            {reply(queryControllerStatus(3), Answer::NoSuchController, 0, 0, 0),
             silent(readFirmwareVersion(3)), silent(setLocoSpeed(3, 3, 100)),
             trackMode(4, TrackMode::Operation), status(4, 0x31), status(1, 0x11)});
        row("configuration order", {"--locos", "7:14,3:28,1000:126"},
            {entry(first, 7, 1), entry(next, 3, 2), entry(next, 1000, 3), entry(next, 0, none),
             entry(next, 0, none), entry(first, 7, 1), entry(single(1000), 1000, 3),
             entry(single(8), 8, none)});
        row("writes and deletes", {"--locos", "7:14,3:28"},
            {echo(writeLocoEntry(1, 300, 2)), echo(writeLocoEntry(1, 7, 3)), entry(first, 7, 3),
             entry(next, 3, 2), entry(next, 300, 2), echo(writeLocoEntry(1, 3, LocoEntry::Remove)),
             echo(writeLocoEntry(1, 4711, LocoEntry::Remove)), entry(first, 7, 3), entry(next, 300, 2),
             entry(next, 0, none), entry(single(3), 3, none),
             // deleting the entry a walk stands on must not skip the next one
             echo(writeLocoEntry(1, 3, 1)), entry(first, 7, 3), echo(writeLocoEntry(1, 7, LocoEntry::Remove)),
             entry(next, 300, 2), entry(next, 3, 1), refused(writeLocoEntry(1, 0, 2)),
             refused(writeLocoEntry(1, 10240, 2)), refused(writeLocoEntry(1, 12, 4)),
             echo(writeLocoEntry(1, 10239, 1)), entry(next, 10239, 1), entry(next, 0, none)});
        // A restart forgets what lives in RAM and keeps what the board stores.
        row("direction and restart", {"--locos", "1234:28"},
            {entry(single(1234), 1234, 0x02), echo(setLocoDirection(1, 1234, true)),
             entry(single(1234), 1234, 0x82), echo(setLocoDirection(1, 1234, false)),
             entry(single(1234), 1234, 0x02), echo(setLocoDirection(1, 1234, true)),
             trackMode(1, TrackMode::Operation), echo(setOperationPins(1, 7, 8)),
             echo(writeLocoEntry(1, 9, 1)), echo(restartController(1)), status(1, 0x11),
             entry(single(1234), 1234, 0x02), entry(single(9), 9, 1), data(readOperationPins(1), 7, 8, 54)});
        // Any loco number the frame holds is driven; 65535 is every loco at once.
        row("driving", {"--locos", "1234:28"},
            {echo(setLocoSpeed(1, 3, 200)), echo(stopLoco(1, AllLocos)), echo(locoFunction(1, 3, 28, true)),
             echo(switchAccessory(1, 511, 3, true)), refused(switchAccessory(1, 300, 4, true)),
             refused(switchAccessory(1, 512, 0, true)), refused(locoFunction(1, 3, 29, true)),
             refused(make(1, Command::SetLocoDirection, 3, 0, 2)), echo(setLocoSpeed(1, 10240, 10)),
             echo(locoFunction(1, 65534, 1, false)), echo(setLocoSpeed(1, AllLocos, 10)),
             echo(locoFunction(1, AllLocos, 0, true)), echo(setLocoDirection(1, AllLocos, true)),
             entry(readLocoEntry(1, 1234), 1234, 0x82)});
        row("programming track only in programming mode", {},
            {progFails(verify(1, 3)), progFails(write(1, 9)), trackMode(1, TrackMode::Operation),
             progFails(verify(1, 3)), trackMode(1, TrackMode::Programming), echo(verify(1, 3)),
             progFails(verify(1, 9))});
        row("cv bytes and bits", {"--cv", "1023=7"},
            {trackMode(1, TrackMode::Programming), echo(verify(1023, 7)), echo(write(1023, 0xA5)),
             echo(verify(1023, 0xA5)), progFails(verify(1023, 0xA4)), echo(writeBit(29, 5, 1)),
             echo(verify(29, 38)), echo(verifyBit(29, 5, 1)), progFails(verifyBit(29, 5, 0)),
             echo(writeBit(29, 1, 0)), echo(verify(29, 36)), echo(write(1024, 1)), progFails(write(0, 1)),
             progFails(write(1025, 1)), progFails(make(1, Command::VerifyCvBit, 29, 0, 0x12))});
        // Register 5 is CV 29; register 6 is the page register, not CV 6.
        row("registers", {},
            {trackMode(1, TrackMode::Programming), echo(verifyReg(1, 3)), echo(verifyReg(5, 6)),
             progFails(verifyReg(5, 7)), echo(writeReg(1, 44)), echo(verify(1, 44)), echo(writeReg(5, 38)),
             echo(verify(29, 38)), echo(writeReg(6, 9)), echo(verifyReg(6, 9)), echo(verify(6, 110)),
             progFails(writeReg(9, 1)), progFails(verifyReg(0, 0))});
        // Unanswered requests use up no fault; the first rule that matches takes the request.
        row("fault rules", {"--fault", "no-answer:2@22", "--fault", "command-255:1"},
            {silent(readFirmwareVersion(9)), refused(queryControllerStatus(1)), status(1, 0x11),
             silent(kTurn), silent(kTurn), entry(single(3), 3, 0x02), echo(kTurn),
             entry(single(3), 3, 0x82)});
    }

    void answersRequests()
    {
        QFETCH(QStringList, args);
        QFETCH(Script, script);
        SimOptions options;
        QString error;
        QCOMPARE(parseSimArguments(QStringList{"taktora-sim"} + args, options, error), SimParseResult::Run);
        ControllerEmulator line;
        options.applyTo(line);

        QStringList got, expected;
        auto show = [](const QByteArray& bytes) {
            return bytes.isEmpty() ? QStringLiteral("none") : frameToString(bytes);
        };
        for (const Step& step : script) {
            const QByteArray request = encodeFrame(step.request);
            got << show(request) + " -> " + show(line.receive(request));
            expected << show(request) + " -> " + show(step.answer);
        }
        QCOMPARE(got, expected);
    }

    void wrongCheckByteAndTornFrames()
    {
        ControllerEmulator line;
        auto answers = [&line](const QByteArray& bytes, qint64 atMs) {
            QByteArray out;
            for (const ControllerEmulator::Exchange& e : line.receiveAt(bytes, atMs))
                out += e.answer;
            return out;
        };
        const QByteArray turn = encodeFrame(kTurn);
        const QByteArray query = encodeFrame(Request::queryControllerStatus(1));
        const QByteArray statusAnswer = status(1, 0x11).answer;
        QByteArray bad = turn;
        bad[5] = char(bad[5] ^ 0x01);

        // A wrong check byte: the whole frame goes unanswered and undone, the next one is understood.
        QCOMPARE(answers(bad + query, 0), statusAnswer);
        QVERIFY(!line.controller(1)->locoState(3).forward);

        // Pieces within the idle gap belong together, also across a burst.
        for (int i = 0; i < FrameSize - 1; ++i)
            QCOMPARE(answers(query.mid(i, 1), 10 + i), QByteArray());
        QCOMPARE(answers(query.mid(5) + turn + query.left(4), 20), statusAnswer + turn);
        QCOMPARE(answers(query.mid(4), 20 + ControllerEmulator::ResyncGapMs), statusAnswer);

        // After a longer silence a torn frame is dropped and the next request starts afresh.
        QCOMPARE(answers(turn.left(3), 1000), QByteArray());
        QCOMPARE(answers(query, 1000 + ControllerEmulator::ResyncGapMs + 1), statusAnswer);
        QCOMPARE(line.pendingBytes(), 0);
    }
};

TAKTORA_TEST_MAIN(tst_ControllerEmulator)
#include "tst_ControllerEmulator.moc"
