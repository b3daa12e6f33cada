// SPDX-License-Identifier: GPL-3.0-or-later
// The programming tab in the real loco list window, against taktora-sim over a real
// pseudo-terminal: the frames that go out, and what the tab shows afterwards.

#include "CommandSet.h"
#include "FakeSerialPort.h"
#include "krTaktoraTools.h"
#include "LocoListRig.h"
#include "MessageBox.h"
#include "ProgrammingTab.h"
#include "ProgrammingWidgets.h"
#include "TestMain.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>

using Frames = QList<FrameFields>;
Q_DECLARE_METATYPE(Frames)

namespace {
const FrameFields kOn = Request::setTrackMode(1, TrackMode::Programming);
const FrameFields kOff = Request::setTrackMode(1, TrackMode::Off);

FrameFields cv(quint8 command, quint16 number, quint8 value)
{
    return Request::cvByte(1, command, number, value);
}
FrameFields bitVerify(quint16 number, int bit)
{
    return Request::cvBit(1, Command::VerifyCvBit, number, bit, 1);
}
Frames bitVerifies(quint16 number)
{
    Frames frames;
    for (int i = 0; i < 8; ++i)
        frames.append(bitVerify(number, i));
    return frames;
}

// The loco list window of Controller 1 on the emulator as COM3 (or in simulation mode), on its
// programming tab; sent() is what went out after the opening.
struct Rig : LocoListRig
{
    ProgrammingTab* tab = nullptr;
    int opening = 0;

    explicit Rig(const QStringList& args) : LocoListRig(args) {}
    bool open(bool simulation = false)
    {
        if (!LocoListRig::open(1, simulation))
            return false;
        get<QTabWidget>("tabProgramming")->setCurrentIndex(1);
        tab = window->programmingTab();
        tab->setSettleWait(0.001);
        opening = int(sim.requests().size());
        MessageBox::takeShown();
        return true;
    }
    Frames sent() const { return sim.requests().mid(opening); }
    QLineEdit* field(int i) const { return get<QLineEdit>(QStringLiteral("txtValue_%1").arg(i)); }
    QString status() const { return get<QLabel>("lblStatus")->text(); }
    int litLamp() const
    {
        for (int i = 0; i < 3; ++i)
            if (get<CircleShape>(QStringLiteral("led_%1").arg(i))->fillColor() != Qt::black)
                return i;
        return -1;
    }
    // Verify, write, read, set the loco number, recognise it.
    void run(int operation)
    {
        const QString button = operation < 3    ? QStringLiteral("cmdOperation_%1").arg(operation)
                               : operation == 3 ? QStringLiteral("cmdLocoNumberSet")
                                                : QStringLiteral("cmdLocoRecognition");
        tab->findChild<QPushButton*>(button)->click();
    }
    void fill(int type, const QStringList& fields)
    {
        tab->selectProgType(type);
        for (int i = 0; i < fields.size(); ++i)
            field(i)->setText(fields[i]);
    }
};
} // namespace

class tst_programming : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QSettings("KORADIN", "KORADIN").clear();
        MessageBox::takeShown();
    }

    // Each operation between programming mode on and off, as the emulator saw it.
    void operations_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("fields"); // type, number, bit, value
        QTest::addColumn<int>("operation");      // 0 verify, 1 write, 2 read, 3 write declined
        QTest::addColumn<Frames>("sent");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("value"); // the value field afterwards
        QTest::addColumn<int>("bar");
        const QString match = "Der Inhalt entspricht dem gesuchten Wert";
        const QString written = "Der Wert wurde erfolgreich gesetzt";
        const QString unknown7 = "Wert für CV 7 konnte nicht ermittelt werden";
        const auto row = [](const char* name, const QStringList& args, const char* fields, int operation,
                            const Frames& sent, const QString& status, const char* value, int bar) {
            QTest::newRow(name) << args << QString(fields).split(' ') << operation << sent << status
                                << QString(value) << bar;
        };
        const QStringList noDecoder{"--no-decoder"};
        row("verify CV 256, other value", {}, "0 256 0 9", 0, {Request::make(1, 33, 0, 1, 9)},
            "Der Inhalt entspricht nicht dem gesuchten Wert", "9", 0);
        row("write CV 1023", {}, "0 1023 0 77", 1, {Request::make(1, 30, 255, 3, 77)}, written, "77", 0);
        row("write bit 5 of CV 29", {}, "1 29 5 1", 1, {Request::make(1, 31, 29, 0, 13)}, written, "1", 0);
        row("write declined", {}, "0 1 0 5", 3, {}, "Schreiben ...", "5", 0);
        row("write, no decoder", noDecoder, "0 1 0 5", 1, {cv(30, 1, 5)},
            "Der Wert konnte nicht gesetzt werden", "5", 0);
        row("read CV 7", {}, "0 7 0 5", 2, bitVerifies(7), "Wert für CV 7 ist 42", "42", 100);
        // The first bit verify is refused on all three attempts: the read stops there.
        row("read, refused", {"--fault", "command-255:3@34"}, "0 7 0 5", 2, Frames(3, bitVerify(7, 0)),
            unknown7, "5", 13);
        Frames search;
        for (int v = 0; v <= 42; ++v)
            search.append(Request::make(1, Command::VerifyRegister, 7, 0, quint8(v)));
        row("search register 7", {}, "2 7 0 5", 2, search, "Wert für Register 7 ist 42", "42", 100);
    }

    void operations()
    {
        QFETCH(QStringList, fields);
        QFETCH(int, operation);
        QFETCH(Frames, sent);
        QFETCH(QString, status);
        QFETCH(QStringList, args);
        Rig rig(args);
        QVERIFY2(rig.open(), qPrintable(rig.sim.errorString()));
        rig.fill(fields[0].toInt(), fields.mid(1));
        if (operation >= 1 && operation != 2)
            MessageBox::setNextAnswer(operation == 1 ? QMessageBox::Yes : QMessageBox::No);
        // Closing during the wait before the first exchange is refused.
        bool stayedOpen = operation == 3;
        if (operation != 3)
            QTimer::singleShot(0, rig.window.get(), [&] { stayedOpen = !rig.window->close(); });
        rig.tab->cmdOperation_Click(operation == 3 ? 1 : operation);
        QVERIFY(stayedOpen);

        QCOMPARE(rig.sent(), Frames{kOn} + sent + Frames{kOff});
        QCOMPARE(rig.status(), status);
        // Success: a match, a write, a value found; the declined write lights nothing.
        const bool success = status.startsWith("Der Inhalt entspricht dem") ||
                             status.contains("erfolgreich") || status.contains(" ist ");
        const int lamp = operation == 3 ? -1 : success ? 2 : 1;
        const QColor colour = rig.get<QLabel>("lblStatus")->palette().color(QPalette::WindowText);
        QCOMPARE(colour, lamp == -1 ? Qt::blue : lamp == 1 ? Qt::red : QColor(0, 192, 0));
        QCOMPARE(rig.litLamp(), lamp);
        QTEST(rig.field(2)->text(), "value");
        QFETCH(int, bar);
        auto* progress = qobject_cast<QProgressBar*>(rig.get("sspProgressPanel"));
        QVERIFY(progress);
        QTRY_COMPARE(progress->value(), bar); // the last value within a screen frame
        QCOMPARE(progress->text(), QStringLiteral("%1 %").arg(bar));
        QVERIFY(!rig.tab->isBreakVisible() && rig.get<QTabWidget>("tabProgramming")->isTabEnabled(0));
    }

    // Setting a number (0: none) and recognising what the decoder then holds; a recognised loco
    // goes into the Controller's configuration and the tree when the box is ticked.
    void locoNumbers_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("number");
        QTest::addColumn<bool>("autoConfig");
        QTest::addColumn<Frames>("sent");
        QTest::addColumn<QString>("recognised");
        QTest::addColumn<Frames>("stored");
        QTest::addColumn<int>("lamp");
        const FrameFields longAddress = Request::make(1, 31, 29, 0, 13);
        const QString steps28 = "  (28/126 FS)";
        auto entry = [](quint16 loco, quint8 code) { return Frames{Request::writeLocoEntry(1, loco, code)}; };
        const auto row = [](const char* name, const QStringList& args, int number, bool autoConfig,
                            const Frames& sent, const QString& recognised, const Frames& stored, int lamp) {
            QTest::newRow(name) << args << number << autoConfig << sent << recognised << stored << lamp;
        };
        row("127 short", {}, 127, false, {Request::make(1, 31, 29, 0, 5), cv(30, 1, 127)},
            "Erkannte Lok-Nummer 127" + steps28, {}, 2);
        row("10239", {}, 10239, true, {longAddress, cv(30, 17, 231), cv(30, 18, 255)},
            "Erkannte Lok-Nummer 10239" + steps28, entry(10239, 2), 2);
        row("14 steps", {"--cv", "29=0,1=5"}, 0, true, {}, "Erkannte Lok-Nummer 5  (14 FS)", entry(5, 1), 2);
        row("no decoder", {"--no-decoder"}, 0, true, {}, "Lok-Nummer konnte nicht erkannt werden", {}, 1);
        // Numbers the Controller cannot hold are reported, never stored.
        const QString outside = " außerhalb des Controller-Bereichs 1 bis 10239";
        row("12295", {"--cv", "29=38,17=240,18=7"}, 0, true, {}, "Erkannte Lok-Nummer 12295" + outside, {},
            1);
    }

    void locoNumbers()
    {
        QFETCH(int, number);
        QFETCH(Frames, sent);
        QFETCH(QString, recognised);
        QFETCH(Frames, stored);
        QFETCH(QStringList, args);
        Rig rig(args);
        QVERIFY2(rig.open(), qPrintable(rig.sim.errorString()));
        QFETCH(bool, autoConfig);
        rig.get<QCheckBox>("chkAutoConfig")->setChecked(autoConfig);
        if (number > 0) {
            rig.get<QLineEdit>("txtLocoNumber")->setText(QString::number(number));
            MessageBox::setNextAnswer(QMessageBox::Yes);
            QString whileWaiting;
            bool stayedOpen = false;
            QTimer::singleShot(0, rig.window.get(), [&] {
                whileWaiting = rig.status();
                stayedOpen = !rig.window->close();
            });
            rig.tab->findChild<QPushButton*>("cmdLocoNumberSet")->click();
            QVERIFY(stayedOpen);
            QCOMPARE(takeShownTexts(),
                     QStringList{
                         QStringLiteral("Möchten Sie die Lok auf die Nummer %1 einstellen ?").arg(number)});
            QCOMPARE(whileWaiting, QStringLiteral("%1 Lok-Nummer %2 setzen ...")
                                       .arg(number > 127 ? "Hohe" : "Niedrige")
                                       .arg(number));
            QCOMPARE(rig.sent(), Frames{kOn} + sent + Frames{kOff});
            QCOMPARE(rig.status(), QStringLiteral("Lok-Nummer %1 wurde erfolgreich gesetzt").arg(number));
            rig.opening += int(rig.sent().size());
        }
        rig.tab->findChild<QPushButton*>("cmdLocoRecognition")->click();
        // The CV 29 questions first: long, short, 14 steps, 28 steps.
        QCOMPARE(rig.sent().mid(1, 4),
                 (Frames{Request::make(1, 34, 29, 0, 13), Request::make(1, 34, 29, 0, 5),
                         Request::make(1, 34, 29, 0, 1), Request::make(1, 34, 29, 0, 9)}));
        QCOMPARE(rig.status(), recognised);
        QTEST(rig.litLamp(), "lamp");
        Frames entries;
        for (const FrameFields& f : rig.sent())
            if (f.command == Command::WriteLocoEntry)
                entries.append(f);
        QCOMPARE(entries, stored);
        if (!stored.isEmpty()) { // the tree shows what the Controller now holds
            const QAbstractItemModel* tree = rig.get<QTreeView>("tvLocoList")->model();
            QVERIFY(!tree->match(tree->index(0, 0), Qt::DisplayRole, recognised.section(' ', 2, 2), 1,
                                 Qt::MatchExactly)
                         .isEmpty());
        }
    }

    // A loco number out of range stops every operation before a frame goes out; without a port
    // every exchange fails, and each operation says so.
    void refusedOrWithoutPortNothingSucceeds()
    {
        {
            Rig rig({});
            QVERIFY2(rig.open(), qPrintable(rig.sim.errorString()));
            for (const QString number : {"0", "10240", "12a"}) {
                rig.get<QLineEdit>("txtLocoNumber")->setText(number);
                for (int operation = 0; operation < 4; ++operation) {
                    MessageBox::setNextAnswer(QMessageBox::Yes);
                    rig.run(operation);
                    const QStringList shown = takeShownTexts();
                    QVERIFY2(shown.size() == 1 && shown.first().contains("Lok-Nummer"), qPrintable(number));
                }
            }
            QCOMPARE(rig.sent(), Frames{});
        }
        Rig rig({});
        QVERIFY(rig.open(true));
        const QStringList expected{
            "Der Inhalt entspricht nicht dem gesuchten Wert", "Der Wert konnte nicht gesetzt werden",
            "Wert für CV 1 konnte nicht ermittelt werden", "Lok-Nummer konnte nicht gesetzt werden",
            "Lok-Nummer konnte nicht erkannt werden"};
        for (int operation = 0; operation < 5; ++operation) {
            MessageBox::setNextAnswer(QMessageBox::Yes);
            rig.run(operation);
            QCOMPARE(rig.status(), expected[operation]);
            QCOMPARE(rig.litLamp(), 1);
        }
    }
};

TAKTORA_TEST_MAIN(tst_programming)
#include "tst_programming.moc"
