#include "CommandSet.h"
#include "PortDirectory.h"
#include "SimProcess.h"
#include "TestMain.h"

#include <QDeadlineTimer>
#include <QSerialPort>

namespace {
// Writes the request and collects what comes back until `expected` bytes are there; gives up
// after two seconds (the caller compares what it got).
QByteArray exchange(QSerialPort& port, const QByteArray& request, int expected)
{
    port.write(request);
    port.waitForBytesWritten(2000);
    QByteArray received;
    const QDeadlineTimer deadline(2000);
    while (received.size() < expected && !deadline.hasExpired()) {
        if (port.bytesAvailable() > 0 || port.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            received += port.readAll();
    }
    return received;
}

bool openPort(QSerialPort& port, const QString& device)
{
    port.setPortName(device);
    port.setBaudRate(QSerialPort::Baud115200);
    return port.open(QIODevice::ReadWrite);
}
} // namespace

class tst_SimProgram : public QObject
{
    Q_OBJECT

private slots:
    void answersOnItsPseudoTerminalAndLogsBothWays();
    void registersItsDeviceUnderTheComName();
    void endsCleanlyOnSigterm();
    void refusesAWrongCommandLine();
};

void tst_SimProgram::answersOnItsPseudoTerminalAndLogsBothWays()
{
    SimProcess sim({"--firmware", "5.2.9"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    QVERIFY(sim.devicePath().startsWith(QLatin1String("/dev/")));

    QSerialPort port;
    QVERIFY2(openPort(port, sim.devicePath()), qPrintable(port.errorString()));
    FrameFields answer;
    QVERIFY(decodeFrame(exchange(port, encodeFrame(Request::readFirmwareVersion(1)), FrameSize), answer));
    QCOMPARE((QList<int>{answer.data1, answer.data2, answer.data3}), (QList<int>{5, 2, 9}));
    QVERIFY(decodeFrame(exchange(port, encodeFrame(Request::setLocoSpeed(1, 1234, 200)), FrameSize), answer));

    QCOMPARE(sim.requests(),
             (QList<FrameFields>{Request::readFirmwareVersion(1), Request::setLocoSpeed(1, 1234, 200)}));
    const QStringList log = sim.logLines();
    QCOMPARE(log.value(0), QStringLiteral("> 1, 2, 253, 0, 0, 254"));
    QCOMPARE(log.value(1), QStringLiteral("< 1, 2, 5, 2, 9, 13"));
    QCOMPARE(log.value(2), QStringLiteral("> 1, 23, 210, 4, 200, 8"));
}

void tst_SimProgram::registersItsDeviceUnderTheComName()
{
    SimProcess sim({"--register", "com7"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    QCOMPARE(PortDirectory::devicePath(QStringLiteral("COM7")), sim.devicePath());

    // The helper's own registration points another name at the same device.
    sim.registerAs(QStringLiteral("COM12"));
    QCOMPARE(PortDirectory::devicePath(QStringLiteral("com12")), sim.devicePath());
}

void tst_SimProgram::endsCleanlyOnSigterm()
{
    SimProcess sim;
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    QVERIFY(sim.terminate());
    QVERIFY(!sim.isRunning());
}

void tst_SimProgram::refusesAWrongCommandLine()
{
    SimProcess sim({"--firmware", "5.2"});
    QVERIFY(!sim.start(2000));
    QVERIFY2(sim.errorString().contains(QLatin1String("firmware")), qPrintable(sim.errorString()));
}

TAKTORA_TEST_MAIN(tst_SimProgram)
#include "tst_SimProgram.moc"
