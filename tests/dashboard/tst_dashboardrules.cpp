#include "CommandSet.h"
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
        QTest::addColumn<QString>("reportEnd"); // empty: accepted
        QTest::newRow("5.2 passes") << 5 << 2 << QString();
        QTest::newRow("newer major") << 6 << 0 << "Bitte aktualisieren Sie die Taktora-Software";
        QTest::newRow("older major, newer minor")
            << 4 << 99 << "Bitte aktualisieren Sie die Firmware des Controllers.";
    }
    void firmwareVersionControl()
    {
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(QString, reportEnd);
        const VersionVerdict verdict = checkFirmwareVersion(major, minor, 9);
        QCOMPARE(verdict.accepted, reportEnd.isEmpty());
        QVERIFY2(verdict.report.endsWith(reportEnd), qPrintable(verdict.report));
        if (!verdict.accepted)
            QCOMPARE(verdict.report.left(verdict.report.indexOf("Bitte")),
                     QStringLiteral("Version Taktora: \t5.2.16\nVersion Firmware: \t\t%1.%2.9\n\n")
                         .arg(major)
                         .arg(minor));
    }

    void speeds_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("percent");
        QTest::newRow("full") << 0 << 255 << "100 %";
        QTest::newRow("half") << 127 << 128 << "50 %";
        QTest::newRow("almost resting") << 254 << 1 << "0 %";
    }
    void speeds()
    {
        QFETCH(int, position);
        QFETCH(int, value);
        QFETCH(QString, percent);
        QCOMPARE(int(speedValue(position)), value);
        QCOMPARE(speedPercentText(position), percent);
    }

    void numbersAndNames()
    {
        QCOMPARE(speedStepText(130), QStringLiteral("28 FS")); // other attribute bits are ignored
        // Reading the layout after a check against the emulator: tst_dashboard_sim.
        QCOMPARE(boardLayoutText(StatusBit::BoardUno | StatusBit::BoardMega), QStringLiteral("Uno"));
        QCOMPARE(boardLayoutText(StatusBit::LoadCircuitRaised), QStringLiteral("unbekannt"));
        QCOMPARE(controllerByte("1.6"), std::optional<quint8>(2));
        QVERIFY(isHostedStart("koradin.exe"));
        QVERIFY(!isHostedStart("/opt/koradin/taktora"));
    }
};

TAKTORA_TEST_MAIN(TestDashboardRules)
#include "tst_dashboardrules.moc"
