// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandSet.h"
#include "ControllerLink.h"
#include "FakeSerialPort.h"
#include "krTaktoraTools.h"
#include "MessageBox.h"
#include "PortErrors.h"
#include "TestMain.h"

#include <QSettings>

namespace {
QByteArray answer(quint8 c, quint8 cmd, quint8 d1, quint8 d2, quint8 d3)
{
    return encodeFrame(FrameFields{c, cmd, d1, d2, d3});
}
} // namespace

class TestLink : public QObject
{
    Q_OBJECT

private slots:
    void init() { MessageBox::takeShown(); }

    // An empty section is the program's own; values falling back to defaults: tst_badsettings.
    void settingsWithoutASection()
    {
        WriteSetting("Probe", "x", "");
        QCOMPARE(QSettings("KORADIN", "KORADIN").value("KORADIN Taktora/Probe").toString(),
                 QStringLiteral("x"));
        QCOMPARE(ReadSetting("Probe", "", ""), QStringLiteral("x"));
    }

    void replaceAll()
    {
        const QList<QStringList> cases{{"a$$b", "$", "\n", "a\n\nb"}, // adjacent
                                       {"xax", "a", "aa", "xaax"},    // replacement contains search
                                       {"abc", "", "x", "abc"}};
        for (const QStringList& c : cases)
            QCOMPARE(ReplaceAll(c[0], c[1], c[2]), c[3]);
    }

    void errorReport()
    {
        ShowErrorReport(QStringLiteral("Erste Zeile$Zweite Zeile"), QStringLiteral("   "));
        ShowErrorReport(68);
        ShowErrorReport(QStringLiteral("Handbuch nicht vorhanden."), QStringLiteral("Eigener Titel"));
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown[0].title, QStringLiteral("KORADIN Taktora"));
        QVERIFY(shown[0].text.startsWith(
            QStringLiteral("Erste Zeile\nZweite Zeile\n\nFür Rückfragen und "
                           "Informationen stehen wir Ihnen gerne zur Verfügung:\n\n")));
        QVERIFY(shown[0].text.endsWith(SupportContactBlock()));
        QCOMPARE(shown[0].icon, QMessageBox::Warning);
        QCOMPARE(shown[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(shown[1].text.startsWith(QStringLiteral("Fehler 68: ") + portErrorDescription(68) + "\n\n"));
        QCOMPARE(shown[2].title, QStringLiteral("Eigener Titel"));
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
        QVERIFY(!link.screen.ControllerTransaction(f, attempts, false, 2));
        QCOMPARE(link.port.written(), QList<QByteArray>(expectedWrites, encodeFrame(sent)));
        QCOMPARE(link.clock.nowMs(), qint64(expectedWrites) * 2000);
        QCOMPARE(f, sent);
        QVERIFY(MessageBox::takeShown().isEmpty());
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
        QVERIFY(!link.screen.ControllerTransaction(f, 2, true, 2));
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, text);
        QCOMPARE(shown[0].title, QStringLiteral("KORADIN Taktora"));
        QCOMPARE(shown[0].icon, QMessageBox::Warning);
        QCOMPARE(shown[0].buttons, QMessageBox::Retry | QMessageBox::Cancel);
        QCOMPARE(f, Request::queryControllerStatus(controller));
    }

    void writeFailureIsReportedEvenWithErrorsOff()
    {
        FakeLink link;
        link.port.close();
        FrameFields f = Request::setLocoSpeed(1, 3, 200);
        QVERIFY(!link.screen.ControllerTransaction(f, 2, false, 2));
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1); // one report for both attempts, no failure box
        QVERIFY2(shown[0].text.startsWith(
                     QStringLiteral("Fehler beim Zugriff auf COM3\n\nBitte überprüfen Sie den "
                                    "eingestellten COM-Port.\n\n(Fehler 8018 - ")),
                 qPrintable(shown[0].text));
        QVERIFY(shown[0].text.contains(QStringLiteral("Ihnen gerne zur Verfügung:")));
        QCOMPARE(shown[0].icon, QMessageBox::Warning);
        QCOMPARE(link.clock.nowMs(), qint64(0)); // nothing was waited for

        QVERIFY(!link.screen.ControllerTransaction(f, 2, true, 2));
        const auto withErrors = MessageBox::takeShown();
        QCOMPARE(withErrors.size(), 2);
        QCOMPARE(withErrors.last().text, QStringLiteral("Controller 1 antwortet nicht."));
    }
};

TAKTORA_TEST_MAIN(TestLink)
#include "tst_link.moc"
