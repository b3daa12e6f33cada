#include "PortDirectory.h"
#include "SimProcess.h"
#include "TestMain.h"

// The emulator as a program: how it starts, announces itself and ends. What it answers on its
// pseudo-terminal is tst_EndToEnd's business.
class tst_SimProgram : public QObject
{
    Q_OBJECT

private slots:
    void registersItsDeviceUnderTheComName();
    void endsCleanlyOnSigterm();
    void refusesAWrongCommandLine();
};

void tst_SimProgram::registersItsDeviceUnderTheComName()
{
    SimProcess sim({"--register", "com7"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    QVERIFY(sim.devicePath().startsWith(QLatin1String("/dev/")));
    QCOMPARE(PortDirectory::devicePath(QStringLiteral("COM7")), sim.devicePath());
}

void tst_SimProgram::endsCleanlyOnSigterm()
{
    SimProcess sim;
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    QVERIFY(sim.terminate());
}

void tst_SimProgram::refusesAWrongCommandLine()
{
    SimProcess sim({"--firmware", "5.2"});
    QVERIFY(!sim.start(2000));
    QVERIFY2(sim.errorString().contains(QLatin1String("firmware")), qPrintable(sim.errorString()));
}

TAKTORA_TEST_MAIN(tst_SimProgram)
#include "tst_SimProgram.moc"
