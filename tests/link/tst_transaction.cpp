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
} // namespace

class TestTransaction : public QObject
{
    Q_OBJECT

private slots:
    void init() { MessageBox::takeShown(); }

    // "NUL" itself is the dashboard's simulation mode (tst_maincheck); any case of it counts.
    void simulationSendsNothingAndChangesNothing()
    {
        FakeLink link;
        link.port.setResponder([](const QByteArray&) { return answer(1, 2, 9, 9, 9); });
        SetPortName("nul");
        quint8 c = 1, cmd = 2, d1 = 0, d2 = 0, d3 = 0;
        QVERIFY(!ControllerTransaction(c, cmd, d1, d2, d3, 2, true, 2));
        QCOMPARE(link.port.written().size(), 0);
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(FrameFields({c, cmd, d1, d2, d3}), FrameFields({1, 2, 0, 0, 0}));
    }

    // Silence or a frame short of its last byte: every attempt waits out its full timeout.
    void attemptsAndFullTimeoutPerAttempt_data()
    {
        QTest::addColumn<int>("attempts");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("expectedWrites");
        QTest::newRow("0 means 3") << 0 << QByteArray() << 3;
        QTest::newRow("2, five bytes only") << 2 << answer(4, 2, 0, 0, 0).left(5) << 2;
        QTest::newRow("1") << 1 << QByteArray() << 1;
    }
    void attemptsAndFullTimeoutPerAttempt()
    {
        QFETCH(int, attempts);
        QFETCH(QByteArray, reply);
        QFETCH(int, expectedWrites);
        FakeLink link;
        link.port.setResponder([reply](const QByteArray&) { return reply; });
        FrameFields f = Request::queryControllerStatus(4);
        const FrameFields sent = f;
        QVERIFY(!ControllerTransaction(f, attempts, false, 2));
        QCOMPARE(link.port.written(), QList<QByteArray>(expectedWrites, encodeFrame(sent)));
        QCOMPARE(link.clock.nowMs(), qint64(expectedWrites) * 2000);
        QCOMPARE(f, sent);
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    // The fault kinds of a real line are tst_EndToEnd's; here what only exact bytes show.
    void answerBytesLandInFrameOrder()
    {
        FakeLink link;
        link.port.queueAnswer(answer(7, 2, 5, 2, 3));
        quint8 c = 1, cmd = 2, d1 = 253, d2 = 0, d3 = 0;
        QVERIFY(ControllerTransaction(c, cmd, d1, d2, d3, 2, false, 2));
        QCOMPARE(FrameFields({c, cmd, d1, d2, d3}), FrameFields({7, 2, 5, 2, 3}));
        QCOMPARE(link.clock.nowMs(), qint64(0));
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
        QCOMPARE(shown.size(), 1); // one report for both attempts, no failure box
        QVERIFY2(shown[0].text.startsWith(
                     QStringLiteral("Fehler beim Zugriff auf COM3\n\nBitte überprüfen Sie den "
                                    "eingestellten COM-Port.\n\n(Fehler 8018 - ")),
                 qPrintable(shown[0].text));
        QVERIFY(shown[0].text.contains(QStringLiteral("Ihnen gerne zur Verfügung:")));
        QCOMPARE(shown[0].icon, QMessageBox::Warning);
        QCOMPARE(link.clock.nowMs(), qint64(0)); // nothing was waited for

        QVERIFY(!ControllerTransaction(f, 2, true, 2));
        const auto withErrors = MessageBox::takeShown();
        QCOMPARE(withErrors.size(), 2);
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
