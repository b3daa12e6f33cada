#include "CommandSet.h"
#include "ControllerEmulator.h"
#include "SimOptions.h"
#include "TestMain.h"

namespace {
SimParseResult parse(const QStringList& args, SimOptions& options, QString& message)
{
    return parseSimArguments(QStringList{QStringLiteral("taktora-sim")} + args, options, message);
}

FrameFields answerOf(ControllerEmulator& line, const FrameFields& request)
{
    FrameFields a;
    decodeFrame(line.receive(encodeFrame(request)), a);
    return a;
}
} // namespace

class tst_SimOptions : public QObject
{
    Q_OBJECT

private slots:
    void defaultsServeTheProgramOutOfTheBox();
    void everyOptionReachesTheEmulator();
    void faultOptions_data();
    void faultOptions();
    void wrongValuesAreRejected_data();
    void wrongValuesAreRejected();
};

void tst_SimOptions::defaultsServeTheProgramOutOfTheBox()
{
    SimOptions options;
    QString message;
    QCOMPARE(parse({}, options, message), SimParseResult::Run);
    ControllerEmulator line;
    options.applyTo(line);

    QCOMPARE(line.controllerNumbers(), QList<quint8>{1});
    FrameFields a = answerOf(line, Request::readFirmwareVersion(1));
    QCOMPARE((QList<int>{a.data1, a.data2, a.data3}), (QList<int>{5, 2, 3}));
    QCOMPARE(answerOf(line, Request::queryControllerStatus(1)).data3,
             quint8(StatusBit::EmergencyStopAvailable | StatusBit::BoardMega));

    // Several locos, deliberately not in ascending order.
    QList<quint16> numbers;
    for (const auto& e : line.controller(1)->locoConfiguration())
        numbers << e.number;
    QVERIFY(numbers.size() >= 3);
    QVERIFY(!std::is_sorted(numbers.cbegin(), numbers.cend()));

    QVERIFY(line.controller(1)->decoder().present());
    QCOMPARE(line.controller(1)->decoder().cv(1), quint8(3));
    QCOMPARE(line.controller(1)->decoder().cv(29), quint8(6));
    QVERIFY(options.faults.isEmpty());
    QCOMPARE(options.delayMs, 0);
    QVERIFY(!options.pace);
}

void tst_SimOptions::everyOptionReachesTheEmulator()
{
    SimOptions options;
    QString message;
    QCOMPARE(parse({"--controller",
                    "2,5",
                    "--firmware",
                    "5.1.9",
                    "--board",
                    "UNO",
                    "--no-emergency-stop",
                    "--locos",
                    "12:14, 4:126,9",
                    "--cv",
                    "1=44,1024=7",
                    "--delay-ms",
                    "15",
                    "--pace",
                    "--register",
                    "com3",
                    "--log",
                    "/tmp/x.log",
                    "--fault",
                    "short:2@20",
                    "--fault",
                    "no-answer"},
                   options, message),
             SimParseResult::Run);
    QCOMPARE(options.delayMs, 15);
    QVERIFY(options.pace);
    QCOMPARE(options.registerCom, QStringLiteral("COM3"));
    QCOMPARE(options.logFile, QStringLiteral("/tmp/x.log"));

    ControllerEmulator line;
    options.applyTo(line);
    QCOMPARE(line.controllerNumbers(), (QList<quint8>{2, 5}));
    QVERIFY(!line.controller(1));
    const EmulatedController& board = *line.controller(2);
    QCOMPARE(board.board(), EmulatedController::Board::Uno);
    using Loco = EmulatedController::ConfiguredLoco;
    QCOMPARE(board.locoConfiguration(),
             (QList<Loco>{{12, SpeedSteps::Steps14}, {4, SpeedSteps::Steps126}, {9, SpeedSteps::Steps28}}));
    QCOMPARE(board.decoder().cv(1), quint8(44));
    QCOMPARE(board.decoder().cv(1024), quint8(7));
    QCOMPARE(board.decoder().cv(29), quint8(6)); // untouched factory value

    // The fault rules apply in order: the loco read loses its answer's last byte twice, then
    // the catch-all silences everything.
    QCOMPARE(line.receive(encodeFrame(Request::readFirstLocoEntry(2))).size(), FrameSize - 1);
    QVERIFY(line.receive(encodeFrame(Request::queryControllerStatus(2))).isEmpty());
    line.faults().clear();
    const FrameFields fw = answerOf(line, Request::readFirmwareVersion(5));
    QCOMPARE((QList<int>{fw.data1, fw.data2, fw.data3}), (QList<int>{5, 1, 9}));

    QCOMPARE(parse({"--locos", "", "--cv", "", "--no-decoder", "--board", "unknown"}, options, message),
             SimParseResult::Run);
    QVERIFY(options.locos.isEmpty());
    QVERIFY(options.cvs.isEmpty());
    QVERIFY(!options.decoderPresent);
    QCOMPARE(options.board, EmulatedController::Board::Unknown);
}

void tst_SimOptions::faultOptions_data()
{
    QTest::addColumn<QString>("spec");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("command");
    QTest::newRow("plain") << "bad-check" << true << int(FaultPlan::Kind::BadCheck) << -1 << -1;
    QTest::newRow("count") << "command-255:3" << true << int(FaultPlan::Kind::Command255) << 3 << -1;
    QTest::newRow("command") << "trailing@23" << true << int(FaultPlan::Kind::Trailing) << -1 << 23;
    QTest::newRow("both") << "No-Answer:1@2" << true << int(FaultPlan::Kind::NoAnswer) << 1 << 2;
    QTest::newRow("unknown kind") << "garbage" << false << 0 << 0 << 0;
    QTest::newRow("zero count") << "short:0" << false << 0 << 0 << 0;
    QTest::newRow("command too big") << "short@256" << false << 0 << 0 << 0;
    QTest::newRow("order") << "short@2:1" << false << 0 << 0 << 0;
}

void tst_SimOptions::faultOptions()
{
    QFETCH(QString, spec);
    QFETCH(bool, valid);
    FaultPlan::Rule rule;
    QString error;
    QCOMPARE(FaultPlan::parse(spec, rule, error), valid);
    QCOMPARE(error.isEmpty(), valid);
    if (!valid)
        return;
    QFETCH(int, kind);
    QFETCH(int, count);
    QFETCH(int, command);
    QCOMPARE(int(rule.kind), kind);
    QCOMPARE(rule.count, count);
    QCOMPARE(rule.command, command);
}

void tst_SimOptions::wrongValuesAreRejected_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("firmware two parts") << QStringList{"--firmware", "5.2"};
    QTest::newRow("firmware too big") << QStringList{"--firmware", "5.2.256"};
    QTest::newRow("board") << QStringList{"--board", "nano"};
    QTest::newRow("controller 255") << QStringList{"--controller", "1,255"};
    QTest::newRow("controller empty item") << QStringList{"--controller", "1,,2"};
    QTest::newRow("loco steps") << QStringList{"--locos", "3:27"};
    QTest::newRow("loco 0") << QStringList{"--locos", "0:28"};
    QTest::newRow("loco twice") << QStringList{"--locos", "3:28,3:14"};
    QTest::newRow("cv 0") << QStringList{"--cv", "0=1"};
    QTest::newRow("cv value") << QStringList{"--cv", "1=256"};
    QTest::newRow("register COM25") << QStringList{"--register", "COM25"};
    QTest::newRow("register name") << QStringList{"--register", "/dev/ttyS0"};
    QTest::newRow("delay") << QStringList{"--delay-ms", "-1"};
    QTest::newRow("fault") << QStringList{"--fault", "slow"};
    QTest::newRow("unknown option") << QStringList{"--turbo"};
    QTest::newRow("positional") << QStringList{"COM3"};
}

void tst_SimOptions::wrongValuesAreRejected()
{
    QFETCH(QStringList, args);
    SimOptions options;
    options.delayMs = 42; // a rejected command line leaves the options alone
    QString message;
    QCOMPARE(parse(args, options, message), SimParseResult::Error);
    QVERIFY(!message.isEmpty());
    QCOMPARE(options.delayMs, 42);
}

TAKTORA_TEST_MAIN(tst_SimOptions)
#include "tst_SimOptions.moc"
