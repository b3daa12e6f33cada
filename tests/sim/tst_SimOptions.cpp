#include "SimOptions.h"
#include "TestMain.h"

// What each accepted option does to the board is checked through the emulator's answers
// (tst_ControllerEmulator); here, what the command line must refuse.
class tst_SimOptions : public QObject
{
    Q_OBJECT

private slots:
    void wrongValuesAreRejected_data();
    void wrongValuesAreRejected();
};

void tst_SimOptions::wrongValuesAreRejected_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("firmware too big") << QStringList{"--firmware", "5.2.256"};
    QTest::newRow("board") << QStringList{"--board", "nano"};
    QTest::newRow("pins two") << QStringList{"--operation-pins", "3,2"};
    QTest::newRow("pin 256") << QStringList{"--programming-pins", "11,10,256"};
    QTest::newRow("stop on without stop") << QStringList{"--no-emergency-stop", "--emergency-stop-on"};
    QTest::newRow("controller 255") << QStringList{"--controller", "1,255"};
    QTest::newRow("controller empty item") << QStringList{"--controller", "1,,2"};
    QTest::newRow("loco steps") << QStringList{"--locos", "3:27"};
    QTest::newRow("loco 0") << QStringList{"--locos", "0:28"};
    QTest::newRow("loco 10240") << QStringList{"--locos", "10240"};
    QTest::newRow("loco twice") << QStringList{"--locos", "3:28,3:14"};
    QTest::newRow("range over a listed loco") << QStringList{"--locos", "7,9-5"};
    QTest::newRow("range beyond 10239") << QStringList{"--locos", "10000-10240"};
    QTest::newRow("range without end") << QStringList{"--locos", "5-"};
    QTest::newRow("cv 0") << QStringList{"--cv", "0=1"};
    QTest::newRow("cv 1025") << QStringList{"--cv", "1025=1"};
    QTest::newRow("cv value") << QStringList{"--cv", "1=256"};
    QTest::newRow("decoder file missing") << QStringList{"--decoder-cvs", "/nonexistent/lok.csv"};
    QTest::newRow("missing cv range backwards") << QStringList{"--missing-cv", "30-20"};
    QTest::newRow("register COM25") << QStringList{"--register", "COM25"};
    QTest::newRow("register device") << QStringList{"--register", "/dev/ttyS0"};
    QTest::newRow("delay") << QStringList{"--delay-ms", "-1"};
    QTest::newRow("verify one time") << QStringList{"--verify-ms", "35"};
    QTest::newRow("verify negative") << QStringList{"--verify-ms", "35,-1"};
    QTest::newRow("write") << QStringList{"--write-ms", "x"};
    QTest::newRow("fault kind") << QStringList{"--fault", "slow"};
    QTest::newRow("fault count 0") << QStringList{"--fault", "short:0"};
    QTest::newRow("fault command 256") << QStringList{"--fault", "short@256"};
    QTest::newRow("fault order") << QStringList{"--fault", "short@2:1"};
    QTest::newRow("unknown option") << QStringList{"--turbo"};
    QTest::newRow("positional") << QStringList{"COM3"};
}

void tst_SimOptions::wrongValuesAreRejected()
{
    QFETCH(QStringList, args);
    SimOptions options;
    options.delayMs = 42; // a refused command line leaves the options alone
    QString message;
    QCOMPARE(parseSimArguments(QStringList{"taktora-sim"} + args, options, message), SimParseResult::Error);
    QVERIFY(!message.isEmpty());
    QCOMPARE(options.delayMs, 42);
}

TAKTORA_TEST_MAIN(tst_SimOptions)
#include "tst_SimOptions.moc"
