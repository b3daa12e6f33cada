#include "DashboardRules.h"
#include "TestMain.h"

using namespace Dashboard;

class TestDashboardRules : public QObject
{
    Q_OBJECT

private slots:
    void firmwareVersionControl_data()
    {
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<int>("revision");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("reportEnd");
        QTest::newRow("5.2.0 passes") << 5 << 2 << 0 << true << QString();
        QTest::newRow("5.2.255 passes") << 5 << 2 << 255 << true << QString();
        QTest::newRow("older minor") << 5 << 1 << 9 << false
                                     << "Bitte aktualisieren Sie die Firmware des Controllers.";
        QTest::newRow("newer major") << 6 << 0 << 1 << false
                                     << "Bitte aktualisieren Sie die Taktora-Software";
        QTest::newRow("older major, newer minor")
            << 4 << 99 << 0 << false << "Bitte aktualisieren Sie die Firmware des Controllers.";
    }
    void firmwareVersionControl()
    {
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(int, revision);
        QFETCH(bool, accepted);
        QFETCH(QString, reportEnd);
        const VersionVerdict verdict = checkFirmwareVersion(major, minor, revision);
        QCOMPARE(verdict.accepted, accepted);
        QVERIFY2(verdict.report.endsWith(reportEnd), qPrintable(verdict.report));
        if (!accepted)
            QVERIFY(verdict.report.startsWith(
                QStringLiteral("Version Taktora: \t5.2.16\nVersion Firmware: \t\t") +
                firmwareVersionText(major, minor, revision) + "\n\n"));
        QCOMPARE(versionReportTitle(), QStringLiteral("KORADIN Taktora Versionskontrolle"));
    }

    void statusAndEntryTexts()
    {
        QCOMPARE(boardLayoutText(24), QStringLiteral("Uno"));
        QCOMPARE(boardLayoutText(16), QStringLiteral("Mega"));
        QCOMPARE(boardLayoutText(0), QStringLiteral("unbekannt"));
        QCOMPARE(boardLayoutText(32), QStringLiteral("unbekannt"));
        QCOMPARE(speedStepText(255), QStringLiteral("n.v."));
        QCOMPARE(speedStepText(130), QStringLiteral("28 FS"));
        QCOMPARE(speedStepText(0), QStringLiteral("Fehler"));
        QCOMPARE(speedStepText(1), QStringLiteral("14 FS"));
        QCOMPARE(speedStepText(0x43), QStringLiteral("126 FS"));
        QCOMPARE(programVersionText(), QStringLiteral("Taktora V5.2 (build 16)"));
    }

    void speeds_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("percent");
        QTest::newRow("full") << 0 << 255 << "100 %";
        QTest::newRow("half") << 127 << 128 << "50 %";
        QTest::newRow("55") << 55 << 200 << "78 %";
        QTest::newRow("almost resting") << 254 << 1 << "0 %";
        QTest::newRow("resting") << 255 << 0 << "0 %";
    }
    void speeds()
    {
        QFETCH(int, position);
        QFETCH(int, value);
        QFETCH(QString, percent);
        QCOMPARE(int(speedValue(position)), value);
        QCOMPARE(speedPercentText(position), percent);
    }

    void numbersFromFields()
    {
        QCOMPARE(leadingNumber("abc"), 0.0);
        QCOMPARE(leadingNumber(""), 0.0);
        QCOMPARE(leadingNumber(" 12abc"), 12.0);
        QCOMPARE(leadingNumber("250.4"), 250.4);
        QCOMPARE(leadingNumber("-3"), -3.0);
        QCOMPARE(controllerByte("255"), std::optional<quint8>(255));
        QCOMPARE(controllerByte("1.6"), std::optional<quint8>(2));
        QVERIFY(!controllerByte("256"));
        QVERIFY(!controllerByte("-1"));
        QCOMPARE(wordNumber("1234"), std::optional<quint16>(1234));
        QCOMPARE(wordNumber(" 65535 "), std::optional<quint16>(65535));
        QVERIFY(!wordNumber("65536"));
        QVERIFY(!wordNumber("1.5"));
        QVERIFY(!wordNumber("-1"));
        QVERIFY(!wordNumber("abc"));
        QVERIFY(!wordNumber(""));
    }

    void namesAndStarts()
    {
        QCOMPARE(panelSettingKey("Slider", 2), QStringLiteral("Slider02"));
        QCOMPARE(panelSettingKey("AccessoryAdress", 0), QStringLiteral("AccessoryAdress00"));
        QVERIFY(isHostedStart("/usr/local/bin/KORADIN"));
        QVERIFY(isHostedStart("koradin"));
        QVERIFY(!isHostedStart("/opt/taktora/taktora"));
        QVERIFY(!isHostedStart("/opt/koradin/taktora"));
    }
};

TAKTORA_TEST_MAIN(TestDashboardRules)
#include "tst_dashboardrules.moc"
