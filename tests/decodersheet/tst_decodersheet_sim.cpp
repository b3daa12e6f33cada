// SPDX-License-Identifier: GPL-3.0-or-later
// The decoder sheet against taktora-sim over a real pseudo-terminal: reading a whole decoder,
// what a lost answer and "Abbruch" leave in the table, the CSV round trip and the comparison, a
// restore onto a second decoder, and the opening from the dashboard.

#include "CommandSet.h"
#include "FailingSave.h"
#include "krDecoderSheet.h"
#include "krTaktoraTools.h"
#include "SheetModel.h"
#include "SimDashboard.h"
#include "SimWindow.h"
#include "TestMain.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <csignal>

using Frames = QList<FrameFields>;
using Values = QMap<int, int>; // CV -> value; -1: "Fehler", no value

namespace {
const FrameFields kOn = Request::setTrackMode(1, TrackMode::Programming);
const FrameFields kOff = Request::setTrackMode(1, TrackMode::Off);
const QString kHeader = "CV,Name,Wert,Status\n";

QString writeFile(const QTemporaryDir& dir, const QString& name, const QString& text)
{
    QFile file(dir.filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write(text.toUtf8());
    return file.fileName();
}

// The sheet of Controller 1 on an emulator started with `args`, shown and opened.
struct Rig : SimWindow<krDecoderSheet>
{
    QString file; // what the file dialogs answer
    int opening = 0;

    explicit Rig(const QStringList& args) : SimWindow(args) {}
    bool open()
    {
        if (!sim.attachAs(link, QStringLiteral("COM3"), false))
            return false;
        link.setChecked(1); // as the main window's check does
        window = std::make_unique<krDecoderSheet>(link);
        window->setControllerID(1);
        window->setSettleWait(0.001);
        window->setFileChooser([this](krDecoderSheet::FileAction) { return file; });
        // Every change of the table keeps the model's contract, or the test fails.
        new QAbstractItemModelTester(window->model(), QAbstractItemModelTester::FailureReportingMode::QtTest,
                                     window.get());
        window->show();
        QCoreApplication::processEvents();
        opening = int(sim.requests().size());
        return true;
    }
    Frames sent() const { return sim.requests().mid(opening); }
    void click(const char* name) const { window->findChild<QPushButton*>(name)->click(); }
    QString summary() const { return window->findChild<QLabel*>("lblStatus")->text(); }
    Values values() const
    {
        Values v;
        for (const Sheet::Row& row : window->rows())
            v.insert(row.cv, row.value.value_or(-1));
        return v;
    }
    QStringList statuses() const
    {
        QStringList s;
        for (const Sheet::Row& row : window->rows())
            s << Sheet::statusText(row.status);
        return s;
    }
};

const Values kFactory{{1, 3},  {2, 5},  {3, 12},   {4, 8},  {5, 255}, {6, 110},
                      {7, 42}, {8, 13}, {17, 192}, {18, 3}, {19, 0},  {29, 6}};
} // namespace

class tst_decodersheet_sim : public QObject
{
    Q_OBJECT

private slots:
    void init() { MessageBox::takeShown(); }

    void readAll_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<Values>("values");
        QTest::addColumn<QString>("summary");
        Values missing19 = kFactory;
        missing19[19] = -1;
        Values lost1 = kFactory;
        lost1[1] = -1;
        QTest::newRow("factory decoder")
            << QStringList{} << kFactory << "12 von 12 CVs gelesen, 0 mit Fehler";
        QTest::newRow("a CV the decoder lacks")
            << QStringList{"--missing-cv", "19"} << missing19 << "11 von 12 CVs gelesen, 1 mit Fehler";
        // The first bit verify of CV 1 goes unanswered on all three attempts.
        QTest::newRow("a lost answer")
            << QStringList{"--fault", "no-answer:3@34"} << lost1 << "11 von 12 CVs gelesen, 1 mit Fehler";
    }

    void readAll()
    {
        QFETCH(QStringList, args);
        QFETCH(Values, values);
        Rig rig(args);
        QVERIFY2(rig.open(), qPrintable(rig.sim.errorString()));
        QCOMPARE(rig.window->windowTitle(), QStringLiteral("Decoder-Datenblatt (Controller 1)"));
        QCOMPARE(rig.sim.requests().last(), kOff); // the opening switched the track off
        rig.click("cmdReadAll");
        QCOMPARE(rig.values(), values);
        for (int i = 0; i < rig.window->rows().size(); ++i)
            QCOMPARE(rig.statuses()[i], values.values()[i] < 0 ? "Fehler" : "gelesen");
        QTEST(rig.summary(), "summary");
        auto* bar = qobject_cast<QProgressBar*>(rig.window->findChild<QWidget*>("sspProgressPanel"));
        QVERIFY(bar);
        QTRY_COMPARE(bar->text(), QStringLiteral("100 %"));
        // Programming mode only around the read; a CV of value 0 costs the byte verify as well.
        const Frames sent = rig.sent();
        QCOMPARE(sent.first(), kOn);
        QCOMPARE(sent.last(), kOff);
        QVERIFY(sent.contains(Request::cvByte(1, Command::VerifyCvByte, 19, 0)));
        QVERIFY(rig.window->model()
                    ->index(11, SheetModel::ValueColumn)
                    .data(Qt::ToolTipRole)
                    .toString()
                    .contains("Bit 1, Fahrstufen: 28 oder 128"));
    }

    // The cable goes once CV 3 is done: one port error, the read or write stops at the next CV, the
    // rows not reached keep their state, and programming mode is not switched off over a dead line.
    // The check lost there instead (the main window has noticed a pulled cable, or the options
    // changed) stops it the same way, without a word and without another frame.
    void cableGoes_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<bool>("pulled"); // else the check is lost
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<QString>("summary");
        const QStringList read =
            QStringList(3, "gelesen") + QStringList{"Fehler"} + QStringList(8, "nicht gelesen");
        QTest::newRow("Alle lesen") << false << true << read
                                    << "Abgebrochen: 3 von 12 CVs gelesen, 1 mit Fehler";
        QTest::newRow("Alle lesen, check lost")
            << false << false << read << "Abgebrochen: 3 von 12 CVs gelesen, 1 mit Fehler";
        // CV 7 and CV 8 take no new value.
        QTest::newRow("Geänderte schreiben")
            << true << true
            << QStringList(3, "geschrieben") + QStringList{"Fehler", "geändert", "geändert"} +
                   QStringList(2, "nicht gelesen") + QStringList(4, "geändert")
            << "Abgebrochen: 3 CVs geschrieben und geprüft, 1 mit Fehler";
    }

    void cableGoes()
    {
        QFETCH(bool, write);
        QFETCH(bool, pulled);
        QTemporaryDir dir;
        const QString link = dir.filePath("ttyTaktora");
        Rig rig({"--link", link});
        QVERIFY2(rig.open(), qPrintable(rig.sim.errorString()));
        Values wanted;
        for (int i = 0; write && i < 12; ++i) {
            rig.window->model()->setData(rig.window->model()->index(i, SheetModel::ValueColumn), 100 + i,
                                         Qt::EditRole);
            wanted.insert(rig.window->rows()[i].cv, rig.window->rows()[i].value.value_or(-1));
        }
        qsizetype sentBefore = -1;
        connect(rig.window->model(), &QAbstractItemModel::dataChanged, this, [&](const QModelIndex& index) {
            if (index.row() != 2)
                return;
            sentBefore = rig.sim.requests().size();
            if (!pulled)
                return rig.link.clearCheck();
            ::kill(pid_t(rig.sim.pid()), SIGUSR1);
            while (QFileInfo::exists(link))
                QThread::msleep(5);
        });
        MessageBox::setNextAnswer(QMessageBox::Yes);
        rig.click(write ? "cmdWriteChanged" : "cmdReadAll");
        QStringList boxes = takeShownTexts().mid(write ? 1 : 0);
        // A pulled cable: one port box, or none when the line noticed the port gone before the next
        // exchange (as it does under load), which ends the read as a lost check does.
        QVERIFY2(boxes.size() <= (pulled ? 1 : 0), qPrintable(boxes.join(" | ")));
        if (!boxes.isEmpty())
            QVERIFY2(boxes.first().startsWith("Fehler beim Zugriff auf COM3"), qPrintable(boxes.first()));
        if (!pulled)
            QCOMPARE(rig.sim.requests().size(), sentBefore);
        QTEST(rig.statuses(), "statuses");
        QTEST(rig.summary(), "summary");
        if (write) // every wanted value stays, the failed one included
            QCOMPARE(rig.values(), wanted);
        QVERIFY(!rig.window->isBusy());
    }

    void saveCompareAndRestoreOntoASecondDecoder()
    {
        QTemporaryDir dir;
        Values tuned = kFactory;
        tuned[2] = 9;
        tuned[29] = 38;
        tuned[7] = 11;
        const QString first =
            writeFile(dir, "seed.csv", kHeader + "2,,9,gelesen\n7,,11,gelesen\n29,,38,gelesen\n");
        {
            Rig rig({"--decoder-cvs", first});
            QVERIFY2(rig.open(), qPrintable(rig.sim.errorString()));
            rig.click("cmdReadAll");
            QCOMPARE(rig.values(), tuned);
            rig.file = dir.filePath("lok1.csv");
            rig.click("cmdSave");
            // A second loco's sheet: CV 3 differs, CV 19 is missing, CV 29 has no value.
            rig.file =
                writeFile(dir, "lok2.csv",
                          kHeader + "1,Basisadresse,3,gelesen\n2,,9,gelesen\n3,,20,gelesen\n4,,8,gelesen\n"
                                    "5,,255,gelesen\n6,,110,gelesen\n7,,11,gelesen\n8,,13,gelesen\n"
                                    "17,,192,gelesen\n18,,3,gelesen\n29,,,Fehler\n");
            rig.click("cmdCompare");
            QList<int> marked;
            for (int i = 0; i < rig.window->rows().size(); ++i)
                if (rig.window->model()->index(i, 0).data(SheetModel::DiffersRole).toBool())
                    marked << rig.window->rows()[i].cv;
            QCOMPARE(marked, (QList<int>{3, 19, 29}));
            QCOMPARE(rig.summary(), QStringLiteral("Vergleich mit lok2.csv: 3 CVs weichen ab"));
        }
        QFile saved(dir.filePath("lok1.csv"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(saved.readAll()).split('\n');
        QCOMPARE(lines.mid(0, 2), (QStringList{"CV,Name,Wert,Status", "1,Basisadresse,3,gelesen"}));
        QCOMPARE(lines[8],
                 QStringLiteral("8,Herstellerkennung (Public Domain & Do-It-Yourself Decoders),13,gelesen"));

        // The second decoder: other values everywhere, CV 18 not to be had.
        Rig second({"--cv", "1=4,2=1,3=1,4=1,5=200,6=100,7=50,8=151,17=193,19=5,29=6", "--missing-cv", "18"});
        QVERIFY2(second.open(), qPrintable(second.sim.errorString()));
        second.file = saved.fileName();
        second.click("cmdLoad");
        QCOMPARE(second.statuses(), QStringList(12, "geändert"));
        MessageBox::setNextAnswer(QMessageBox::Yes);
        second.click("cmdWriteChanged");
        QCOMPARE(takeShownTexts(), QStringList{"Möchten Sie 10 geänderte CVs auf den Decoder schreiben ?"});
        QStringList expected(12, "geschrieben");
        expected[6] = expected[7] = "geändert";
        expected[9] = "Fehler";
        QCOMPARE(second.statuses(), expected);
        QCOMPARE(second.summary(),
                 QStringLiteral("9 CVs geschrieben und geprüft, 1 mit Fehler; nicht geschrieben, da "
                                "nur lesbar: CV 7, CV 8"));
        for (const FrameFields& f : second.sent())
            QVERIFY(f.command != Command::WriteCvByte || (f.data1 != 7 && f.data1 != 8));
        // The failed CV keeps the value it was to get: the next write offers it again, a save keeps it.
        QCOMPARE(second.values(), tuned);
        second.click("cmdWriteChanged");
        QCOMPARE(takeShownTexts(), QStringList{"Möchten Sie 1 geänderte CV auf den Decoder schreiben ?"});
        second.file = dir.filePath("lok2-nicht-geschrieben.csv");
        second.click("cmdSave");
        QFile failed(second.file);
        QVERIFY(failed.open(QIODevice::ReadOnly));
        QVERIFY(failed.readAll().contains("\n18,Erweiterte Adresse (niedrig),3,Fehler\n"));
        // Read back, once the loss of the three unwritten values is confirmed: the first decoder's
        // values, but its own version and maker.
        // Every read begins by switching the programming track on; a late retry of an earlier
        // frame may still reach the emulator's log, so look for that frame rather than a count.
        const qsizetype before = second.sent().size();
        for (auto answer : {QMessageBox::No, QMessageBox::Yes}) {
            MessageBox::setNextAnswer(answer);
            second.click("cmdReadAll");
            QCOMPARE(second.sent().mid(before).contains(kOn), answer == QMessageBox::Yes);
        }
        QCOMPARE(
            takeShownTexts(),
            QStringList(2, "Möchten Sie alle CVs lesen und dabei 3 geänderte, noch nicht geschriebene Werte "
                           "verwerfen ?"));
        Values held = tuned;
        held[7] = 50;
        held[8] = 151;
        held[18] = -1;
        QCOMPARE(second.values(), held);
    }

    // A folder without write permission, then a full disk.
    void failedSaveSaysWhyAndKeepsTheOlderFile()
    {
        Rig rig({});
        QVERIFY2(rig.open(), qPrintable(rig.sim.errorString()));
        const QByteArray older = (kHeader + "1,Basisadresse,3,gelesen\n").toUtf8();
        for (const auto reason : {FailingSave::ReadOnlyFolder, FailingSave::DiskFull}) {
            FailingSave failing(reason, older);
            rig.file = failing.path();
            rig.click("cmdSave");
            failing.lift();
            QCOMPARE(failing.contents(), older);
            const QStringList shown = takeShownTexts();
            const QString start = "Die Datei " + rig.file + " konnte nicht geschrieben werden:\n\n";
            QVERIFY2(shown.size() == 1 && shown[0].startsWith(start) && shown[0].size() > start.size(),
                     qPrintable(shown.join('|')));
            QVERIFY2(!rig.summary().startsWith("Gespeichert"), qPrintable(rig.summary()));
        }
    }

    void openedFromTheDashboard()
    {
        SimDashboard dash({});
        QVERIFY2(dash.start(), qPrintable(dash.sim.errorString()));
        QAction* button = dash.window->findChild<QAction*>("btnDecoderSheet");
        dash.check("1");
        const int before = int(dash.sim.requests().size());
        QString title;
        QStringList added;
        QTimer::singleShot(0, dash.window.get(), [&] {
            auto* sheet = qobject_cast<krDecoderSheet*>(QApplication::activeModalWidget());
            QVERIFY(sheet);
            title = sheet->windowTitle();
            sheet->findChild<QLineEdit*>("txtCVs")->setText("33-35, 30");
            sheet->findChild<QPushButton*>("cmdAddCVs")->click();
            for (const Sheet::Row& row : sheet->rows())
                added << QString::number(row.cv);
            sheet->findChild<QLineEdit*>("txtCVs")->setText("1024");
            sheet->findChild<QPushButton*>("cmdAddCVs")->click();
            sheet->reject();
        });
        button->trigger();
        QCOMPARE(title, QStringLiteral("Decoder-Datenblatt (Controller 1)"));
        QCOMPARE(added.mid(11), (QStringList{"29", "30", "33", "34", "35"}));
        QCOMPARE(takeShownTexts(),
                 QStringList{"\"1024\" ist keine CV von 1 bis 1023 und kein Bereich wie 17-19"});
        // Track off on opening and on closing, then the dashboard asks for the load circuit again.
        const Frames sent = dash.sim.requests().mid(before);
        QCOMPARE(sent.count(kOff), 2);
        QCOMPARE(sent.last(), Request::queryControllerStatus(1));
    }
};

TAKTORA_TEST_MAIN(tst_decodersheet_sim)
#include "tst_decodersheet_sim.moc"
