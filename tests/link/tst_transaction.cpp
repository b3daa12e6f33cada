#include "CommandSet.h"
#include "FakeSerialPort.h"
#include "krTaktoraTools.h"
#include "MessageBox.h"
#include "TestMain.h"

namespace {
QByteArray answer(quint8 c, quint8 cmd, quint8 d1, quint8 d2, quint8 d3)
{
    return encodeFrame(FrameFields{c, cmd, d1, d2, d3});
}
QByteArray withWrongCheck(QByteArray frame)
{
    frame[5] = char(quint8(frame[5]) ^ 0x5a);
    return frame;
}
} // namespace

class TestTransaction : public QObject
{
    Q_OBJECT

private slots:
    void init() { MessageBox::takeShown(); }

    void simulationSendsNothingAndChangesNothing_data()
    {
        QTest::addColumn<QString>("portName");
        QTest::newRow("upper") << "NUL";
        QTest::newRow("lower") << "nul";
    }
    void simulationSendsNothingAndChangesNothing()
    {
        QFETCH(QString, portName);
        FakeLink link;
        link.port.setResponder([](const QByteArray&) { return answer(1, 2, 9, 9, 9); });
        SetPortName(portName);
        quint8 c = 1, cmd = 2, d1 = 0, d2 = 0, d3 = 0;
        QVERIFY(!ControllerTransaction(c, cmd, d1, d2, d3, 2, true, 2));
        QCOMPARE(link.port.written().size(), 0);
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(FrameFields({c, cmd, d1, d2, d3}), FrameFields({1, 2, 0, 0, 0}));
    }

    void attemptsAndFullTimeoutPerAttempt_data()
    {
        QTest::addColumn<int>("attempts");
        QTest::addColumn<int>("expectedWrites");
        QTest::newRow("0 means 3") << 0 << 3;
        QTest::newRow("2") << 2 << 2;
        QTest::newRow("1") << 1 << 1;
    }
    void attemptsAndFullTimeoutPerAttempt()
    {
        QFETCH(int, attempts);
        QFETCH(int, expectedWrites);
        FakeLink link;
        FrameFields f = Request::queryControllerStatus(4);
        const FrameFields sent = f;
        QVERIFY(!ControllerTransaction(f, attempts, false, 2));
        QCOMPARE(link.port.written().size(), expectedWrites);
        for (const QByteArray& w : link.port.written())
            QCOMPARE(w, encodeFrame(sent));
        QCOMPARE(link.clock.nowMs(), qint64(expectedWrites) * 2000);
        QCOMPARE(f, sent);
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void wireFrameOfTheCheck()
    {
        FakeLink link;
        link.port.queueAnswer(answer(1, 2, 0, 0, 0x18));
        FrameFields f = Request::queryControllerStatus(1);
        QVERIFY(ControllerTransaction(f, 2, true, 2));
        QCOMPARE(link.port.written().value(0), QByteArray::fromHex("010200000003"));
    }

    void answersAndRejections_data()
    {
        QTest::addColumn<QList<QByteArray>>("answers");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("writes");
        QTest::addColumn<QByteArray>("resultFrame"); // first five bytes of the expected answer
        QTest::addColumn<int>("waitedMs");

        QTest::newRow("good answer, bytes in frame order")
            << QList<QByteArray>{answer(7, 2, 5, 2, 3)} << true << 1 << answer(7, 2, 5, 2, 3).left(5) << 0;
        QTest::newRow("wrong check byte, then good")
            << QList<QByteArray>{withWrongCheck(answer(1, 2, 1, 1, 1)), answer(1, 2, 5, 2, 0)} << true << 2
            << answer(1, 2, 5, 2, 0).left(5) << 0;
        QTest::newRow("command 255 with a right check byte fails every attempt")
            << QList<QByteArray>{answer(1, 255, 0, 0, 0), answer(1, 255, 0, 0, 0)} << false << 2
            << QByteArray() << 0;
        QTest::newRow("surplus bytes are dropped")
            << QList<QByteArray>{answer(1, 2, 4, 5, 6) + QByteArray::fromHex("aabbcc")} << true << 1
            << answer(1, 2, 4, 5, 6).left(5) << 0;
        QTest::newRow("five bytes only")
            << QList<QByteArray>{answer(1, 2, 4, 5, 6).left(5), answer(1, 2, 4, 5, 6).left(5)} << false << 2
            << QByteArray() << 4000;
        QTest::newRow("garbage, then good")
            << QList<QByteArray>{QByteArray::fromHex("ffffffffffff"), answer(1, 2, 0, 0, 8)} << true << 2
            << answer(1, 2, 0, 0, 8).left(5) << 0;
    }
    void answersAndRejections()
    {
        QFETCH(QList<QByteArray>, answers);
        QFETCH(bool, accepted);
        QFETCH(int, writes);
        QFETCH(QByteArray, resultFrame);
        QFETCH(int, waitedMs);

        FakeLink link;
        for (const QByteArray& a : answers)
            link.port.queueAnswer(a);
        quint8 c = 1, cmd = 2, d1 = 253, d2 = 0, d3 = 0;
        QCOMPARE(ControllerTransaction(c, cmd, d1, d2, d3, 2, false, 2), accepted);
        QCOMPARE(link.port.written().size(), writes);
        for (const QByteArray& w : link.port.written())
            QCOMPARE(w, encodeFrame(FrameFields{1, 2, 253, 0, 0})); // never a failed answer's bytes
        if (accepted) {
            QCOMPARE(encodeFrame(FrameFields{c, cmd, d1, d2, d3}).left(5), resultFrame);
        } else {
            QCOMPARE(FrameFields({c, cmd, d1, d2, d3}), FrameFields({1, 2, 253, 0, 0}));
        }
        QCOMPARE(link.clock.nowMs(), qint64(waitedMs)); // short answers wait out the full timeout
    }

    void lateBytesFromAnEarlierExchangeAreDiscarded()
    {
        FakeLink link;
        link.port.injectLateBytes(answer(1, 2, 9, 9, 9));
        link.port.queueAnswer(answer(1, 2, 5, 2, 3));
        FrameFields f = Request::readFirmwareVersion(1);
        QVERIFY(ControllerTransaction(f, 2, true, 2));
        QCOMPARE(f, FrameFields({1, 2, 5, 2, 3}));
    }

    void failureBoxNamesTheController_data()
    {
        QTest::addColumn<quint8>("controller");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("text");
        QTest::newRow("silent 3") << quint8(3) << QByteArray() << "Controller 3 antwortet nicht.";
        QTest::newRow("all controllers")
            << quint8(255) << QByteArray() << "Kommunikation zu den KORADIN Controllern unterbrochen";
        QTest::newRow("rejected answer names its own byte 1")
            << quint8(3) << answer(7, 255, 0, 0, 0) << "Controller 7 antwortet nicht.";
    }
    void failureBoxNamesTheController()
    {
        QFETCH(quint8, controller);
        QFETCH(QByteArray, reply);
        QFETCH(QString, text);
        FakeLink link;
        link.port.setResponder([reply](const QByteArray&) { return reply; });
        FrameFields f = Request::queryControllerStatus(controller);
        QVERIFY(!ControllerTransaction(f, 2, true, 2));
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, text);
        QCOMPARE(shown[0].title, QStringLiteral("KORADIN Taktora"));
        QCOMPARE(shown[0].icon, QMessageBox::Warning);
        QCOMPARE(shown[0].buttons, QMessageBox::Retry | QMessageBox::Cancel);
        QCOMPARE(f, Request::queryControllerStatus(controller));
    }

    void retryRunsTheAttemptsAgain()
    {
        FakeLink link;
        link.port.queueSilence();
        link.port.queueSilence();
        link.port.queueAnswer(answer(1, 2, 0, 0, 16));
        MessageBox::setNextAnswer(QMessageBox::Retry);
        FrameFields f = Request::queryControllerStatus(1);
        QVERIFY(ControllerTransaction(f, 2, true, 2));
        QCOMPARE(f.data3, quint8(16));
        QCOMPARE(link.port.written().size(), 3);
        QCOMPARE(MessageBox::takeShown().size(), 1);
    }

    void writeFailureIsReportedEvenWithErrorsOff()
    {
        FakeLink link;
        link.port.close();
        FrameFields f = Request::setLocoSpeed(1, 3, 200);
        QVERIFY(!ControllerTransaction(f, 2, false, 2));
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 2); // one report per attempt, no failure box
        QVERIFY2(shown[0].text.startsWith(
                     QStringLiteral("Fehler beim Zugriff auf COM3\n\nBitte überprüfen Sie den "
                                    "eingestellten COM-Port.\n\n(Fehler 8018 - ")),
                 qPrintable(shown[0].text));
        QVERIFY(shown[0].text.contains(QStringLiteral("Ihnen gerne zur Verfügung:")));
        QCOMPARE(shown[0].icon, QMessageBox::Warning);
        QCOMPARE(link.clock.nowMs(), qint64(0)); // nothing was waited for

        QVERIFY(!ControllerTransaction(f, 2, true, 2));
        const auto withErrors = MessageBox::takeShown();
        QCOMPARE(withErrors.size(), 3);
        QCOMPARE(withErrors.last().text, QStringLiteral("Controller 1 antwortet nicht."));
    }

    void vanishedDeviceFailsWithoutWaitingOutTheTimeout()
    {
        FakeLink link;
        link.port.queueAnswer(answer(1, 2, 0, 0, 0));
        FrameFields f = Request::queryControllerStatus(1);
        QVERIFY(ControllerTransaction(f, 2, false, 2));
        link.port.vanish();
        f = Request::queryControllerStatus(1);
        QVERIFY(!ControllerTransaction(f, 2, false, 2));
        QCOMPARE(f, Request::queryControllerStatus(1));
        QVERIFY(link.clock.nowMs() < 4000);
        const auto shown = MessageBox::takeShown();
        QVERIFY(!shown.isEmpty());
        QVERIFY(shown[0].text.contains(QStringLiteral("(Fehler 68 - ")));
    }
};

TAKTORA_TEST_MAIN(TestTransaction)
#include "tst_transaction.moc"
