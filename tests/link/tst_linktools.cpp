#include "FakeSerialPort.h"
#include "krTaktoraTools.h"
#include "MessageBox.h"
#include "PortDirectory.h"
#include "PortErrors.h"
#include "QtSerialPort.h"
#include "TestMain.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QWidget>

class TestLinkTools : public QObject
{
    Q_OBJECT

private slots:
    void init() { MessageBox::takeShown(); }

    // Named sections round trip through the dashboard's closing and next check (tst_operating,
    // tst_maincheck); here an empty value and an empty section.
    void settingsDefaultsAndSections()
    {
        WriteSetting("AutoConfig", "", "Taktora");
        QCOMPARE(ReadSetting("AutoConfig", "1", "Taktora"), QStringLiteral("1"));
        WriteSetting("Probe", "x", "");
        QSettings raw("KORADIN", "KORADIN");
        QCOMPARE(raw.value("KORADIN Taktora/Probe").toString(), QStringLiteral("x"));
    }

    void settingsFileWithNonsenseFallsBackToDefaults()
    {
        const QString path = QSettings("KORADIN", "KORADIN").fileName();
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("\x01\x02garbage without sections\n[Taktora\nSlider00=a, b\n[Taktora]\nSlider01=\n"
                   "Slider02=12, 13\n==\n");
        file.close();
        QCOMPARE(ReadSetting("Slider01", "2", "Taktora"), QStringLiteral("2"));
        QCOMPARE(ReadSetting("Slider02", "3", "Taktora"), QStringLiteral("12, 13"));
        QCOMPARE(ReadSetting("SignalOutputTo", "NUL", "Taktora"), QStringLiteral("NUL"));
        QFile::remove(path);
    }

    void replaceAll_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const char* text, const char* search, const char* replacement,
                            const char* expected) {
            QTest::newRow(name) << QString(text) << QString(search) << QString(replacement)
                                << QString(expected);
        };
        row("adjacent", "a$$b", "$", "\n", "a\n\nb");
        row("replacement contains search", "xax", "a", "aa", "xaax");
        row("longer search", "abab", "ab", "b", "bb");
        row("empty search", "abc", "", "x", "abc");
    }
    void replaceAll()
    {
        QFETCH(QString, text);
        QFETCH(QString, search);
        QFETCH(QString, replacement);
        QFETCH(QString, expected);
        QCOMPARE(ReplaceAll(text, search, replacement), expected);
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

    // The boxes the program shows speak German even where Qt's translations are missing.
    void realBoxesHaveGermanButtons()
    {
        QMessageBox box(QMessageBox::Question, QString(), QString(),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Retry | QMessageBox::Cancel);
        MessageBox::useGermanButtonTexts(box);
        QCOMPARE(box.button(QMessageBox::Yes)->text(), QStringLiteral("&Ja"));
        QCOMPARE(box.button(QMessageBox::No)->text(), QStringLiteral("&Nein"));
        QCOMPARE(box.button(QMessageBox::Retry)->text(), QStringLiteral("&Wiederholen"));
        QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("Abbrechen"));
    }

    // No such port (8002) on the real port: tst_EndToEnd and tst_krOptions.
    void openPortErrors_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("tail");
        QTest::newRow("unavailable") << 68 << "(Fehler 68 - Schnittstelle nicht verfügbar)";
        QTest::newRow("permission") << 70 << QString("(Fehler 70 - ") + portErrorDescription(70) + ")";
    }
    void openPortErrors()
    {
        QFETCH(int, number);
        QFETCH(QString, tail);
        FakeLink link;
        link.port.setExistingPorts({});
        link.port.setOpenError(number);
        QVERIFY(!OpenControllerPort("COM3", false));
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.startsWith("Fehler beim Zugriff auf COM3\n\n" + tail + "\n\n"),
                 qPrintable(shown[0].text));
        QVERIFY(!link.port.isOpen());
        QVERIFY(!OpenControllerPort("COM3", true));
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(PortName(), QStringLiteral("COM3")); // a failed open never changes the port name
    }

    void realPortReachesOnlyMappedDevices()
    {
        QCOMPARE(QtSerialPort::errorNumberFor(QSerialPort::ResourceError), 68); // a pulled USB cable
#ifndef Q_OS_WIN
        QVERIFY(portErrorDescription(PortErrorNumber::PermissionDenied).contains("dialout"));
#endif
        QtSerialPort port; // an unmapped name: tst_EndToEnd
#ifndef Q_OS_WIN
        PortDirectory::registerDevice("com9", "/dev/taktora-no-such-device");
        QCOMPARE(PortDirectory::devicePath("COM9"), QStringLiteral("/dev/taktora-no-such-device"));
        QVERIFY(!port.open("COM9"));
        QCOMPARE(port.lastError().number, 8002);
#endif
        QVERIFY(!port.write("abc"));
        QCOMPARE(port.lastError().number, PortErrorNumber::PortNotOpen);
    }

    void waitSecondsLetsEventsRun()
    {
        bool early = false, late = false;
        QTimer::singleShot(20, this, [&] { early = true; });
        QTimer::singleShot(5000, this, [&] { late = true; });
        WaitSeconds(0.15);
        QVERIFY(early); // the windows ran meanwhile
        QVERIFY(!late); // and the wait ended on its own

        bool pending = false;
        QTimer::singleShot(0, this, [&] { pending = true; });
        WaitSeconds(0);
        WaitSeconds(-3);
        QVERIFY(!pending); // no wait at all: nothing ran
        QTRY_VERIFY(pending);
    }

    void centerWindowSitsBelowRightOfCentre()
    {
        QWidget w;
        w.resize(300, 200);
        CenterWindow(&w);
        const QRect screen = w.screen()->geometry();
        const int offset = TwipsToPixels(100);
        QCOMPARE(w.frameGeometry().x(),
                 screen.x() + (screen.width() - w.frameGeometry().width()) / 2 + offset);
        QCOMPARE(w.frameGeometry().y(),
                 screen.y() + (screen.height() - w.frameGeometry().height()) / 2 + offset);
        QCOMPARE(TwipsToPixels(1440), 96);
        // The offset would push a window as large as the screen over its edge: kept inside.
        w.resize(screen.size());
        CenterWindow(&w);
        QCOMPARE(w.frameGeometry(), AvailableScreenArea(&w));
        // Larger than the screen: the top left corner stays on it.
        w.resize(screen.size() + QSize(200, 100));
        CenterWindow(&w);
        QCOMPARE(w.frameGeometry().topLeft(), AvailableScreenArea(&w).topLeft());
    }
};

TAKTORA_TEST_MAIN(TestLinkTools)
#include "tst_linktools.moc"
