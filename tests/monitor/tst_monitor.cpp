// SPDX-License-Identifier: GPL-3.0-or-later
// The traffic monitor: what it lists of the link's traffic and notes, and from which source,
// against an in-memory port; then on the real line to taktora-sim, unanswered attempts and
// retries included, and that it lists nothing once closed or paused.

#include "CommandSet.h"
#include "FailingSave.h"
#include "FakeSerialPort.h"
#include "krTaktora.h"
#include "krTaktoraTools.h"
#include "krTrafficMonitor.h"
#include "LineClient.h"
#include "LinePrompter.h"
#include "MessageBox.h"
#include "SimProcess.h"
#include "TestMain.h"
#include "ThrottlePanel.h"
#include "TrafficModel.h"

#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QSlider>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

namespace {
QStringList rowCells(TrafficModel* model, int row)
{
    model->publish(); // what its timer would show
    QStringList cells;
    for (int c = 0; c < TrafficModel::ColumnCount; ++c)
        cells << model->index(row, c).data().toString();
    return cells.mid(1); // the time varies
}

// A failure box the user answers with Cancel.
struct Box final : LinePrompter
{
    bool retryAfterNoAnswer(quint8) override { return false; }
    void portFailed(const QString&, const PortError&) override {}
};

// The link on a port that answers each request with itself, a window's source on it, and a model
// watching it.
struct Rig
{
    FakeClock clock;
    FakeSerialPort port{&clock};
    ControllerLink link;
    LineClient screen{link, QStringLiteral("Hauptfenster"), LineClient::Kind::Screen};
    Box box;
    TrafficModel model;
    // Every published row, dropped row and clear keeps the model's contract, or the test fails.
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::QtTest};

    explicit Rig(int capacity = TrafficModel::DefaultCapacity) : model(link, nullptr, capacity)
    {
        port.setExistingPorts({QStringLiteral("COM3")});
        port.setResponder([](const QByteArray& request) { return request; });
        link.setPort(&port);
        link.setClock(&clock);
        link.setPrompter(&box);
        link.setPortName(QStringLiteral("COM3"));
        link.open(QStringLiteral("COM3"));
        link.setChecked(1);
        model.setWatching(true);
    }
};
} // namespace

class TestMonitor : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QSettings("KORADIN", "KORADIN").clear();
        MessageBox::takeShown();
    }

    void requestsAreNamedAndDecoded_data()
    {
        QTest::addColumn<FrameFields>("request");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("values");
        QTest::addColumn<QString>("meaning");
        const auto row = [](const char* name, const FrameFields& request, const char* command,
                            const char* values, const char* meaning) {
            QTest::newRow(name) << request << QString(command) << QString(values) << QString(meaning);
        };
        row("speed", Request::setLocoSpeed(1, 1000, 200), "SetLocoSpeed", "Lok 1000, Geschwindigkeit 200",
            "Geschwindigkeit setzen");
        row("stop all", Request::stopLoco(1, AllLocos), "StopLoco", "alle Loks", "Lok anhalten");
        row("light", Request::locoFunction(1, 3, LightFunction, true), "LocoFunctionOn", "Lok 3, Licht",
            "Lokfunktion einschalten");
        row("accessory", Request::switchAccessory(1, 300, 1, true), "SwitchAccessoryOn",
            "Decoder 300, Port 2", "Zubehör einschalten");
        row("cv bit", Request::cvBit(1, Command::VerifyCvBit, 29, 5, 1), "VerifyCvBit", "CV 29, Bit 5 = 1",
            "CV-Bit prüfen");
        row("next entry", Request::readNextLocoEntry(1), "ReadLocoEntry", "nächster Eintrag",
            "Lokeintrag lesen");
        row("track off", Request::setTrackMode(1, TrackMode::Off), "SetTrackMode", "Modus 0",
            "Gleis schalten");
    }

    void requestsAreNamedAndDecoded()
    {
        QFETCH(FrameFields, request);
        QFETCH(QString, name);
        QFETCH(QString, values);
        Rig rig;
        QVERIFY(rig.screen.transact(request, 1, false, 2).answered());
        QCOMPARE(rig.model.rowCount(), 0); // until its timer publishes
        QCOMPARE(rowCells(&rig.model, 0).mid(3, 2), (QStringList{name, values}));
        QTEST(rig.model.index(0, TrafficModel::Name).data(TrafficModel::MeaningRole).toString(), "meaning");
    }

    void theRingKeepsTheNewestFrames()
    {
        Rig rig(3);
        rig.port.setResponder([](const QByteArray&) { return QByteArray(); });
        for (quint8 speed = 1; speed <= 5; ++speed) {
            QVERIFY(!rig.screen.transact(Request::setLocoSpeed(1, 3, speed), 1, false, 2).answered());
            rig.model.publish(); // a full ring drops its oldest row
        }
        QCOMPARE(rig.model.rowCount(), 3);
        QCOMPARE(rowCells(&rig.model, 0)[4], QStringLiteral("Lok 3, Geschwindigkeit 3"));
        QCOMPARE(rowCells(&rig.model, 2)[4], QStringLiteral("Lok 3, Geschwindigkeit 5"));
    }

    // A folder without write permission, then a full disk.
    void failedSaveSaysWhyAndKeepsTheOlderFile()
    {
        Rig rig;
        krTrafficMonitor monitor(rig.link);
        QVERIFY(rig.screen.transact(Request::setLocoSpeed(1, 3, 200), 1, false, 2).answered());
        rig.model.publish();
        for (const auto reason : {FailingSave::ReadOnlyFolder, FailingSave::DiskFull}) {
            FailingSave failing(reason, "older\n");
            QVERIFY(!monitor.saveCsv(failing.path()));
            failing.lift();
            QCOMPARE(failing.contents(), QByteArray("older\n"));
            const QString start =
                "Der Datenverkehr konnte nicht in die Datei\n" + failing.path() + "\ngespeichert werden:\n\n";
            const QStringList shown = takeShownTexts();
            QVERIFY2(shown.size() == 1 && shown[0].startsWith(start) && shown[0].size() > start.size(),
                     qPrintable(shown.join('|')));
        }
    }

    // "verkehr" typed over an existing verkehr.csv: the dialog adds the suffix and asks first.
    void saveDialogAddsTheSuffixAndAsksBeforeReplacing()
    {
        Rig rig;
        krTrafficMonitor monitor(rig.link);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("verkehr.csv"));
        QFile older(path);
        QVERIFY(older.open(QIODevice::WriteOnly) && older.write("older\n") == 6);
        older.close();
        WriteSetting(Settings::TrafficFolder, dir.path());
        for (const bool replace : {false, true}) {
            QString asked;
            QTimer user;
            user.setInterval(20);
            connect(&user, &QTimer::timeout, this, [&] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                if (!dialog)
                    return;
                if (!asked.isEmpty()) { // declined: the dialog is still open
                    dialog->reject();
                    return;
                }
                QTimer::singleShot(50, this, [&] {
                    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                    QVERIFY(box);
                    asked = box->text();
                    box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
                });
                auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                name->setText(QStringLiteral("verkehr"));
                QTest::keyClick(name, Qt::Key_Return);
            });
            user.start();
            monitor.findChild<QAbstractButton*>(QStringLiteral("btnSaveCsv"))->click();
            QVERIFY2(asked.contains(QStringLiteral("verkehr.csv")), qPrintable(asked));
            QVERIFY(older.open(QIODevice::ReadOnly));
            const QByteArray contents = older.readAll();
            older.close();
            QCOMPARE(contents.startsWith("older"), !replace);
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("verkehr.csv")});
    }

    void listsTheDriveLiveAndNothingWhenClosedOrPaused()
    {
        SimProcess sim({"--fault", "no-answer:2@24"}); // the global stop goes unanswered twice
        QVERIFY2(sim.start(), qPrintable(sim.errorString()));
        sim.registerAs(QStringLiteral("COM3"));
        WriteSetting(QStringLiteral("SignalOutputTo"), QStringLiteral("COM3"), QStringLiteral("Taktora"));
        krTaktora window(QStringLiteral("/usr/bin/taktora"));
        window.findChild<QLineEdit*>("txtControllerNr")->setText("1");
        window.findChild<QAbstractButton*>("btnCheck")->click();

        window.findChild<QAction*>("btnMonitor")->trigger();
        auto* monitor = window.findChild<krTrafficMonitor*>();
        QVERIFY(monitor && monitor->isVisible());
        TrafficModel* model = monitor->model();
        QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model->rowCount(), 0); // only what happens while it is open

        window.throttle(0)->slider()->setValue(55);
        QCOMPARE(rowCells(model, 0),
                 (QStringList{"Hauptfenster", "gesendet", "1, 23, 1, 0, 200, 223", "SetLocoSpeed",
                              "Lok 1, Geschwindigkeit 200", "beantwortet"}));
        window.findChild<QWidget*>("btnGlobalStop")->setFocus();
        window.findChild<QAbstractButton*>("btnGlobalStop")->click();
        model->publish();
        QCOMPARE(model->rowCount(), 4);

        // The filter shows one command; the CSV holds what the filter shows.
        monitor->setCommandFilter(QStringLiteral("StopLoco"));
        QCOMPARE(monitor->table()->model()->rowCount(), 2);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("verkehr.csv"));
        QVERIFY(monitor->saveCsv(path));
        QFile csv(path);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(csv.readAll().mid(3)).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QStringLiteral("Zeit (ms);Quelle;Richtung;Bytes;Befehl;Werte;Ergebnis"));
        QVERIFY(lines[2].endsWith(";StopLoco;alle Loks;Wiederholung, keine Antwort"));
        QCOMPARE(takeShownTexts(), QStringList{"Controller 1 antwortet nicht."});

        // Paused or closed, nothing more is listed, though the frames still go out.
        auto* paused = monitor->findChild<QLabel*>("lblPaused");
        QVERIFY(!paused->isVisible());
        monitor->findChild<QAbstractButton*>("btnPause")->click();
        QVERIFY(paused->isVisible());
        QCOMPARE(paused->text(), QStringLiteral("angehalten"));
        window.throttle(0)->slider()->setValue(100);
        monitor->findChild<QAbstractButton*>("btnPause")->click();
        QVERIFY(!paused->isVisible());
        monitor->close();
        window.throttle(0)->slider()->setValue(101);
        model->publish();
        QCOMPARE(model->rowCount(), 4);
        QCOMPARE(sim.requests().last(), Request::setLocoSpeed(1, 1, 154));
        window.line().link().close();
    }
};

TAKTORA_TEST_MAIN(TestMonitor)
#include "tst_monitor.moc"
