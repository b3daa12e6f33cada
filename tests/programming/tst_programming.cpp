// The programming tab against taktora-sim over a real pseudo-terminal, hosted by a small window
// that runs the real Controller transaction on its own frame.

#include "CommandSet.h"
#include "krLocoList.h"
#include "krTaktoraTools.h"
#include "MessageBox.h"
#include "ProgrammingTab.h"
#include "ProgrammingWidgets.h"
#include "SimProcess.h"
#include "TestMain.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

using Frames = QList<FrameFields>;
using Stored = QList<QPair<int, int>>;
Q_DECLARE_METATYPE(Frames)

namespace {
class Host : public QWidget, public ProgrammingChannel
{
    Q_OBJECT

public:
    Host() : tab(new ProgrammingTab(*this, this))
    {
        tab->setSettleWait(0.001);
        tab->selectProgType(0);
        tab->loadAutoConfigSetting();
    }
    quint16 controllerId() const override { return 1; }
    FrameFields& frame() override { return m_frame; }
    bool transact(int attempts, bool showErrors) override
    {
        return ControllerTransaction(m_frame, attempts, showErrors, 2);
    }
    void storeLocoEntry(quint16 loco, quint8 code) override { stored.append({loco, code}); }
    void setConfigurationTabEnabled(bool enabled) override { configurationTabEnabled = enabled; }
    QWidget* validationWindow() override { return this; }

    template <typename T = QWidget> T* get(const QString& name) const { return findChild<T*>(name); }
    QLineEdit* field(int i) const { return get<QLineEdit>(QStringLiteral("txtValue_%1").arg(i)); }
    QString status() const { return get<QLabel>("lblStatus")->text(); }
    QColor statusColour() const { return get<QLabel>("lblStatus")->palette().color(QPalette::WindowText); }
    int litLamp() const
    {
        for (int i = 0; i < 3; ++i)
            if (get<CircleShape>(QStringLiteral("led_%1").arg(i))->fillColor() != Qt::black)
                return i;
        return -1;
    }
    void fill(int type, const QStringList& fields)
    {
        tab->selectProgType(type);
        for (int i = 0; i < fields.size(); ++i)
            field(i)->setText(fields[i]);
    }

    ProgrammingTab* tab;
    Stored stored;
    bool configurationTabEnabled = true;

private:
    FrameFields m_frame;
};

// The emulator as COM3 and the tab attached to it.
struct Rig
{
    SimProcess sim;
    Host host;
    explicit Rig(const QStringList& args) : sim(args) {}
    bool start()
    {
        if (!sim.start())
            return false;
        sim.registerAs(QStringLiteral("COM3"));
        SetPortName(QStringLiteral("COM3"));
        return OpenControllerPort(QStringLiteral("COM3"), false);
    }
    ~Rig() { CloseControllerPort(); }
};

const FrameFields kOn = Request::setTrackMode(1, TrackMode::Programming);
const FrameFields kOff = Request::setTrackMode(1, TrackMode::Off);
FrameFields cv(quint8 command, quint16 number, quint8 value)
{
    return Request::cvByte(1, command, number, value);
}
// The exchanges of a CV read (eight bit verifies, and the byte verify for 0) and of a search.
Frames bitVerifies(quint16 number, int count = 8)
{
    Frames frames;
    for (int i = 0; i < count; ++i)
        frames.append(Request::cvBit(1, Command::VerifyCvBit, number, i, 1));
    return frames;
}
Frames registerVerifies(quint8 reg, int last)
{
    Frames frames;
    for (int v = 0; v <= last; ++v)
        frames.append(Request::make(1, Command::VerifyRegister, reg, 0, quint8(v)));
    return frames;
}
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
    void operations_data();
    void operations();
    void cancelArrivesBetweenExchanges();
    void writeKeepsItsRequestThroughTheWait();
    void locoNumbers_data();
    void locoNumbers();
    void invalidLocoNumberBlocksEveryOperation();
    void simulationModeClaimsNoSuccess();
    void fieldsAndControls();
    void recognisedLocoEntersTheLocoList();
    void elapsedTimes_data();
    void elapsedTimes();
};

// Each operation between programming mode on and off, as the emulator saw it.
void tst_programming::operations_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("fields"); // type, number, bit, value
    QTest::addColumn<int>("operation");      // 0 verify, 1 write, 2 read, 3 write declined
    QTest::addColumn<Frames>("sent");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("value"); // the value field afterwards
    QTest::addColumn<double>("bar");
    const QString match = "Der Inhalt entspricht dem gesuchten Wert";
    const QString written = "Der Wert wurde erfolgreich gesetzt";
    const QString unknown7 = "Wert für CV 7 konnte nicht ermittelt werden";
    const QStringList none;
    QTest::newRow("verify CV 1") << none << QStringList{"0", "1", "0", "3"} << 0 << Frames{cv(33, 1, 3)}
                                 << match << "3" << 0.0;
    QTest::newRow("verify CV 256, other value")
        << none << QStringList{"0", "256", "0", "9"} << 0 << Frames{Request::make(1, 33, 0, 1, 9)}
        << "Der Inhalt entspricht nicht dem gesuchten Wert"
        << "9" << 0.0;
    QTest::newRow("write CV 1023") << none << QStringList{"0", "1023", "0", "77"} << 1
                                   << Frames{Request::make(1, 30, 255, 3, 77)} << written << "77" << 0.0;
    QTest::newRow("write bit 5 of CV 29") << none << QStringList{"1", "29", "5", "1"} << 1
                                          << Frames{Request::make(1, 31, 29, 0, 13)} << written << "1" << 0.0;
    QTest::newRow("verify bit 0 is 0") << none << QStringList{"1", "29", "0", "0"} << 0
                                       << Frames{Request::make(1, 34, 29, 0, 0)} << match << "0" << 0.0;
    QTest::newRow("write register 8") << none << QStringList{"2", "8", "0", "200"} << 1
                                      << Frames{Request::make(1, 32, 8, 0, 200)} << written << "200" << 0.0;
    QTest::newRow("write declined") << none << QStringList{"0", "1", "0", "5"} << 3 << Frames{}
                                    << "Schreiben ..."
                                    << "5" << 0.0;
    QTest::newRow("write, no decoder") << QStringList{"--no-decoder"} << QStringList{"0", "1", "0", "5"} << 1
                                       << Frames{cv(30, 1, 5)} << "Der Wert konnte nicht gesetzt werden"
                                       << "5" << 0.0;
    QTest::newRow("read CV 7") << none << QStringList{"0", "7", "0", "5"} << 2 << bitVerifies(7)
                               << "Wert für CV 7 ist 42"
                               << "42" << 100.0;
    QTest::newRow("read CV 50, value 0")
        << QStringList{"--cv", "50=0"} << QStringList{"0", "50", "0", "5"} << 2
        << bitVerifies(50) + Frames{cv(33, 50, 0)} << "Wert für CV 50 ist 0"
        << "0" << 100.0;
    QTest::newRow("read, no decoder") << QStringList{"--no-decoder"} << QStringList{"0", "7", "0", "5"} << 2
                                      << bitVerifies(7) + Frames{cv(33, 7, 0)} << unknown7 << "5" << 100.0;
    // The first bit verify goes unanswered on all three attempts: the read stops there.
    QTest::newRow("read, no answer") << QStringList{"--fault", "command-255:3@34"}
                                     << QStringList{"0", "7", "0", "5"} << 2
                                     << Frames(3, bitVerifies(7, 1).first()) << unknown7 << "5" << 12.5;
    QTest::newRow("search register 7") << none << QStringList{"2", "7", "0", "5"} << 2
                                       << registerVerifies(7, 42) << "Wert für Register 7 ist 42"
                                       << "42" << 100.0;
}

void tst_programming::operations()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, fields);
    QFETCH(int, operation);
    QFETCH(Frames, sent);
    QFETCH(QString, status);
    QFETCH(QString, value);
    QFETCH(double, bar);
    Rig rig(args);
    QVERIFY2(rig.start(), qPrintable(rig.sim.errorString()));
    rig.host.fill(fields[0].toInt(), fields.mid(1));
    if (operation >= 1 && operation != 2)
        MessageBox::setNextAnswer(operation == 1 ? QMessageBox::Yes : QMessageBox::No);
    rig.host.tab->cmdOperation_Click(operation == 3 ? 1 : operation);

    QCOMPARE(rig.sim.requests(), Frames{kOn} + sent + Frames{kOff});
    QCOMPARE(rig.host.status(), status);
    const int lamp = operation == 3 ? -1 : rig.host.statusColour() == QColor(0, 192, 0) ? 2 : 1;
    QCOMPARE(rig.host.statusColour(), lamp == -1 ? Qt::blue : lamp == 1 ? Qt::red : QColor(0, 192, 0));
    QCOMPARE(rig.host.litLamp(), lamp);
    QCOMPARE(rig.host.field(2)->text(), value);
    QCOMPARE(rig.host.tab->progressPercent(), bar);
    QVERIFY(!rig.host.tab->isBreakVisible() && rig.host.configurationTabEnabled);
}

void tst_programming::cancelArrivesBetweenExchanges()
{
    for (const QString type : {"0", "2"}) {
        Rig rig({});
        QVERIFY2(rig.start(), qPrintable(rig.sim.errorString()));
        rig.host.fill(type.toInt(), {"7", "0", "5"});
        bool breakShownAlone = false;
        // Queued now, delivered when the read lets events through after its first exchange.
        QTimer::singleShot(0, &rig.host, [&] {
            breakShownAlone = rig.host.tab->isBreakVisible() &&
                              !rig.host.get("cmdOperation_0")->isEnabled() &&
                              !rig.host.configurationTabEnabled;
            rig.host.get<QPushButton>("cmdBreak")->click();
        });
        rig.host.tab->setSettleWait(0);
        rig.host.tab->cmdOperation_Click(2);
        QVERIFY(breakShownAlone);
        QCOMPARE(
            rig.sim.requests(),
            (Frames{kOn, type == "0" ? bitVerifies(7, 1).first() : registerVerifies(7, 0).first(), kOff}));
        QCOMPARE(rig.host.status(), QStringLiteral("Vorgang abgebrochen"));
        QCOMPARE(rig.host.litLamp(), 1);
        QCOMPARE(rig.host.tab->progressPercent(), 0.0);
        QCOMPARE(rig.host.field(2)->text(), QStringLiteral("5"));
        QVERIFY(!rig.host.tab->isBreakVisible() && !rig.host.tab->cancelRequested());
    }
}

void tst_programming::writeKeepsItsRequestThroughTheWait()
{
    Rig rig({});
    QVERIFY2(rig.start(), qPrintable(rig.sim.errorString()));
    rig.host.fill(0, {"1", "0", "9"});
    MessageBox::setNextAnswer(QMessageBox::Yes);
    // While the write waits, the user verifies another CV with the same frame.
    QTimer::singleShot(0, &rig.host, [&] {
        rig.host.fill(0, {"7", "0", "42"});
        rig.host.tab->cmdOperation_Click(0);
    });
    rig.host.tab->cmdOperation_Click(1);
    QCOMPARE(rig.sim.requests(), (Frames{kOn, kOn, cv(33, 7, 42), kOff, cv(30, 1, 9), kOff}));
}

// Setting a number (0: none) and recognising what the decoder then holds.
void tst_programming::locoNumbers_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("autoConfig");
    QTest::addColumn<Frames>("sent");
    QTest::addColumn<QString>("recognised");
    QTest::addColumn<Stored>("stored");
    const QStringList none;
    const FrameFields shortAddress = Request::make(1, 31, 29, 0, 5);
    const FrameFields longAddress = Request::make(1, 31, 29, 0, 13);
    const QString steps28 = "  (28/126 FS)";
    QTest::newRow("127 short") << none << 127 << true << Frames{shortAddress, cv(30, 1, 127)}
                               << "Erkannte Lok-Nummer 127" + steps28 << Stored{{127, 2}};
    QTest::newRow("128 long") << none << 128 << false << Frames{longAddress, cv(30, 17, 192), cv(30, 18, 128)}
                              << "Erkannte Lok-Nummer 128" + steps28 << Stored{};
    QTest::newRow("1000") << none << 1000 << true << Frames{longAddress, cv(30, 17, 195), cv(30, 18, 232)}
                          << "Erkannte Lok-Nummer 1000" + steps28 << Stored{{1000, 2}};
    QTest::newRow("10239") << none << 10239 << false << Frames{longAddress, cv(30, 17, 231), cv(30, 18, 255)}
                           << "Erkannte Lok-Nummer 10239" + steps28 << Stored{};
    QTest::newRow("14 steps") << QStringList{"--cv", "29=0,1=5"} << 0 << true << Frames{}
                              << "Erkannte Lok-Nummer 5  (14 FS)" << Stored{{5, 1}};
    QTest::newRow("CV 17 below 192") << QStringList{"--cv", "29=38,17=100,18=5"} << 0 << true << Frames{}
                                     << "Lok-Nummer nicht gefunden" << Stored{};
    QTest::newRow("no decoder") << QStringList{"--no-decoder"} << 0 << true << Frames{}
                                << "Lok-Nummer konnte nicht erkannt werden" << Stored{};
}

void tst_programming::locoNumbers()
{
    QFETCH(QStringList, args);
    QFETCH(int, number);
    QFETCH(bool, autoConfig);
    QFETCH(Frames, sent);
    QFETCH(QString, recognised);
    QFETCH(Stored, stored);
    Rig rig(args);
    QVERIFY2(rig.start(), qPrintable(rig.sim.errorString()));
    rig.host.get<QCheckBox>("chkAutoConfig")->setChecked(autoConfig);
    if (number > 0) {
        rig.host.get<QLineEdit>("txtLocoNumber")->setText(QString::number(number));
        MessageBox::setNextAnswer(QMessageBox::Yes);
        QString whileWaiting;
        QTimer::singleShot(0, &rig.host, [&] { whileWaiting = rig.host.status(); });
        rig.host.tab->cmdLocoNumberSet_Click();
        QCOMPARE(MessageBox::takeShown().first().text,
                 QStringLiteral("Möchten Sie die Lok auf die Nummer %1 einstellen ?").arg(number));
        QCOMPARE(whileWaiting, QStringLiteral("%1 Lok-Nummer %2 setzen ...")
                                   .arg(number > 127 ? "Hohe" : "Niedrige")
                                   .arg(number));
        QCOMPARE(rig.sim.requests(), Frames{kOn} + sent + Frames{kOff});
        QCOMPARE(rig.host.status(), QStringLiteral("Lok-Nummer %1 wurde erfolgreich gesetzt").arg(number));
    }
    const int before = int(rig.sim.requests().size());
    rig.host.tab->cmdLocoRecognition_Click();
    // The CV 29 questions first: long, short, 14 steps, 28 steps.
    QCOMPARE(rig.sim.requests().mid(before + 1, 4),
             (Frames{Request::make(1, 34, 29, 0, 13), Request::make(1, 34, 29, 0, 5),
                     Request::make(1, 34, 29, 0, 1), Request::make(1, 34, 29, 0, 9)}));
    QCOMPARE(rig.sim.requests().last(), kOff);
    QCOMPARE(rig.host.status(), recognised);
    QCOMPARE(rig.host.stored, stored);
}

void tst_programming::invalidLocoNumberBlocksEveryOperation()
{
    Rig rig({});
    QVERIFY2(rig.start(), qPrintable(rig.sim.errorString()));
    for (const QString number : {"0", "10240", "12a"}) {
        rig.host.get<QLineEdit>("txtLocoNumber")->setText(number);
        for (int operation = 0; operation < 4; ++operation) {
            MessageBox::setNextAnswer(QMessageBox::Yes);
            if (operation < 3)
                rig.host.tab->cmdOperation_Click(operation);
            else
                rig.host.tab->cmdLocoNumberSet_Click();
            const auto shown = MessageBox::takeShown();
            QVERIFY2(shown.size() == 1 && shown.first().text.contains("Lok-Nummer"), qPrintable(number));
        }
    }
    QCOMPARE(rig.sim.requests(), Frames{});
}

// Without a port every exchange fails, and each operation says so.
void tst_programming::simulationModeClaimsNoSuccess()
{
    SetPortName("NUL");
    Host host;
    MessageBox::setNextAnswer(QMessageBox::Yes);
    MessageBox::setNextAnswer(QMessageBox::Yes);
    const QStringList expected{
        "Der Inhalt entspricht nicht dem gesuchten Wert", "Der Wert konnte nicht gesetzt werden",
        "Wert für CV 1 konnte nicht ermittelt werden", "Lok-Nummer konnte nicht gesetzt werden",
        "Lok-Nummer konnte nicht erkannt werden"};
    for (int operation = 0; operation < 5; ++operation) {
        if (operation < 3)
            host.tab->cmdOperation_Click(operation);
        else if (operation == 3)
            host.tab->cmdLocoNumberSet_Click();
        else
            host.tab->cmdLocoRecognition_Click();
        QCOMPARE(host.status(), expected[operation]);
        QCOMPARE(host.litLamp(), 1);
    }
    QCOMPARE(host.stored, Stored{});
}

void tst_programming::fieldsAndControls()
{
    SetPortName("NUL");
    Host host;
    // Typing stops at the field's length; a spin step may go beyond it, up to 1024.
    host.tab->selectProgType(1);
    host.field(1)->clear();
    QTest::keyClicks(host.field(1), "12");
    QCOMPARE(host.field(1)->text(), QStringLiteral("1"));
    const QList<QPair<QString, QString>> spins{{"9", "10"}, {"1024", "1024"}, {"x", "1"}, {"-3.7", "5"}};
    for (const auto& [before, after] : spins) {
        host.field(1)->setText(before);
        host.tab->spnValue_Click(1, true);
        QCOMPARE(host.field(1)->text(), after);
    }
    host.tab->spnValue_Click(1, false);
    QCOMPARE(host.field(1)->text(), QStringLiteral("4"));

    // Bit mode keeps a value of 0 or 1 and offers no search, also after the controls come back.
    const QList<QPair<QString, QString>> values{{"200", "0"}, {"1", "1"}, {"0", "0"}};
    for (const auto& [before, after] : values) {
        host.fill(0, {"1", "0", before});
        host.tab->selectProgType(1);
        QCOMPARE(host.field(2)->text(), after);
    }
    host.tab->ProgButtonsEnabled(false);
    host.tab->ProgButtonsEnabled(true);
    QVERIFY(!host.get("cmdOperation_2")->isEnabled() && host.get("cmdOperation_1")->isEnabled());
    QVERIFY(host.field(1)->isVisibleTo(&host));
    host.tab->selectProgType(2);
    QVERIFY(host.get("cmdOperation_2")->isEnabled() && !host.field(1)->isVisibleTo(&host));
    QCOMPARE(host.get<QLabel>("lblCV")->text(), QStringLiteral("Register"));

    // The box starts ticked without a setting and stores every click.
    auto* box = host.get<QCheckBox>("chkAutoConfig");
    QVERIFY(box->isChecked());
    box->click();
    QCOMPARE(ReadSetting("AutoConfig", "", "Taktora"), QStringLiteral("0"));
    host.tab->ShowStatusLamp(5);
    QCOMPARE(host.litLamp(), -1);
}

// Through the real loco list window: a recognised loco goes into the Controller's configuration
// and the tree, and the window stays open while "Abbruch" shows.
void tst_programming::recognisedLocoEntersTheLocoList()
{
    SimProcess sim({"--locos", "3:28", "--cv", "29=38,17=195,18=232"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    sim.registerAs("COM3");
    SetPortName("COM3");
    QVERIFY(OpenControllerPort("COM3", false));
    {
        krLocoList window;
        window.setControllerID(1);
        window.show();
        QCoreApplication::processEvents();
        window.findChild<QTabWidget*>("tabProgramming")->setCurrentIndex(1);
        // Tried again at each event pass until a read shows "Abbruch".
        bool stayedOpen = false;
        std::function<void()> tryClosing = [&] {
            if (!window.programmingTab()->isBreakVisible())
                return QTimer::singleShot(0, &window, tryClosing);
            window.reject();
            stayedOpen = window.isVisible() && !window.close();
        };
        QTimer::singleShot(0, &window, tryClosing);
        window.findChild<QPushButton*>("cmdLocoRecognition")->click();
        QVERIFY(stayedOpen);
        QCOMPARE(window.findChild<QLabel*>("lblStatus")->text(),
                 QStringLiteral("Erkannte Lok-Nummer 1000  (28/126 FS)"));
        QVERIFY(sim.requests().contains(Request::writeLocoEntry(1, 1000, SpeedSteps::Steps28)));
        const auto* tree = window.findChild<QTreeWidget*>("tvLocoList");
        QCOMPARE(tree->topLevelItemCount(), 2);
        QCOMPARE(tree->topLevelItem(1)->text(0), QStringLiteral("1000"));
        QVERIFY(window.findChild<QTabWidget*>("tabProgramming")->isTabEnabled(0));
    }
    CloseControllerPort();
}

void tst_programming::elapsedTimes_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::newRow("8.5 s") << qint64(8500) << "de_DE"
                           << "8500 ms";
    QTest::newRow("last in ms") << qint64(9999) << "de_DE"
                                << "9999 ms";
    QTest::newRow("10.5 s German") << qint64(10500) << "de_DE"
                                   << "10,50sek.";
    QTest::newRow("10.5 s English") << qint64(10500) << "en_US"
                                    << "10.50sek.";
    QTest::newRow("no grouping") << qint64(1234567) << "de_DE"
                                 << "1234,57sek.";
}

void tst_programming::elapsedTimes()
{
    QFETCH(qint64, ms);
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QCOMPARE(Programming::readElapsedText(ms, QLocale(locale)), text);
}

TAKTORA_TEST_MAIN(tst_programming)
#include "tst_programming.moc"
