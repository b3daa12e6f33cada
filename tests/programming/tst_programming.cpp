// The programming tab against taktora-sim over a real pseudo-terminal, hosted by a small window
// that runs the real Controller transaction on its own frame.

#include "CommandSet.h"
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
#include <QTimer>

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
            get<QLineEdit>(QStringLiteral("txtValue_%1").arg(i))->setText(fields[i]);
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
    // What was sent from request `from` on, without the track-mode frames.
    Frames programming(int from = 0) const
    {
        Frames frames;
        for (const FrameFields& f : sim.requests().mid(from))
            if (f.command != Command::ControllerControl)
                frames.append(f);
        return frames;
    }
};

const FrameFields kOn = Request::setTrackMode(1, TrackMode::Programming);
const FrameFields kOff = Request::setTrackMode(1, TrackMode::Off);
FrameFields cv(quint8 command, quint16 number, quint8 value)
{
    return Request::cvByte(1, command, number, value);
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
    void buttonOperations_data();
    void buttonOperations();
    void reads_data();
    void reads();
    void cancelArrivesBetweenExchanges();
    void writeKeepsItsRequestThroughTheWait();
    void locoNumberSetAndRecognised_data();
    void locoNumberSetAndRecognised();
    void recognition_data();
    void recognition();
    void invalidLocoNumberBlocksEveryOperation();
    void simulationModeClaimsNoSuccess();
    void fieldsAndControls();
    void spinSteps_data();
    void spinSteps();
    void elapsedTimes_data();
    void elapsedTimes();
};

void tst_programming::buttonOperations_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("fields"); // number, bit, value
    QTest::addColumn<int>("operation");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<Frames>("sent");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("lamp");
    const QString match = "Der Inhalt entspricht dem gesuchten Wert";
    const QString written = "Der Wert wurde erfolgreich gesetzt";
    QTest::newRow("verify CV 1") << QStringList() << 0 << QStringList{"1", "0", "3"} << 0 << false
                                 << Frames{cv(33, 1, 3)} << match << 2;
    QTest::newRow("verify CV 256, other value")
        << QStringList() << 0 << QStringList{"256", "0", "9"} << 0 << false
        << Frames{Request::make(1, 33, 0, 1, 9)} << "Der Inhalt entspricht nicht dem gesuchten Wert" << 1;
    QTest::newRow("write CV 1023") << QStringList() << 0 << QStringList{"1023", "0", "77"} << 1 << true
                                   << Frames{Request::make(1, 30, 255, 3, 77)} << written << 2;
    QTest::newRow("write bit 5 of CV 29") << QStringList() << 1 << QStringList{"29", "5", "1"} << 1 << true
                                          << Frames{Request::make(1, 31, 29, 0, 13)} << written << 2;
    QTest::newRow("verify bit 0 is 0") << QStringList() << 1 << QStringList{"29", "0", "0"} << 0 << false
                                       << Frames{Request::make(1, 34, 29, 0, 0)} << match << 2;
    QTest::newRow("write register 8") << QStringList() << 2 << QStringList{"8", "0", "200"} << 1 << true
                                      << Frames{Request::make(1, 32, 8, 0, 200)} << written << 2;
    QTest::newRow("write declined") << QStringList() << 0 << QStringList{"1", "0", "5"} << 1 << false
                                    << Frames{} << "Schreiben ..." << -1;
    QTest::newRow("write, no decoder")
        << QStringList{"--no-decoder"} << 0 << QStringList{"1", "0", "5"} << 1 << true << Frames{cv(30, 1, 5)}
        << "Der Wert konnte nicht gesetzt werden" << 1;
}

void tst_programming::buttonOperations()
{
    QFETCH(QStringList, args);
    QFETCH(int, type);
    QFETCH(QStringList, fields);
    QFETCH(int, operation);
    QFETCH(bool, yes);
    QFETCH(Frames, sent);
    QFETCH(QString, status);
    QFETCH(int, lamp);
    Rig rig(args);
    QVERIFY2(rig.start(), qPrintable(rig.sim.errorString()));
    rig.host.fill(type, fields);
    if (operation == 1)
        MessageBox::setNextAnswer(yes ? QMessageBox::Yes : QMessageBox::No);
    rig.host.tab->cmdOperation_Click(operation);

    // Programming mode goes on before and off after every operation, a declined one too.
    QCOMPARE(rig.sim.requests(), Frames{kOn} + sent + Frames{kOff});
    QCOMPARE(rig.host.status(), status);
    QCOMPARE(rig.host.statusColour(), lamp == 2 ? QColor(0, 192, 0) : lamp == 1 ? Qt::red : Qt::blue);
    QCOMPARE(rig.host.litLamp(), lamp);
}

void tst_programming::reads_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("value"); // the value field afterwards; it holds "5" before
    QTest::addColumn<int>("exchanges"); // verify requests sent
    QTest::addColumn<double>("bar");
    QTest::newRow("CV 7 is 42") << QStringList() << 0 << "7"
                                << "Wert für CV 7 ist 42"
                                << "42" << 8 << 100.0;
    QTest::newRow("CV 50 is 0") << QStringList{"--cv", "50=0"} << 0 << "50"
                                << "Wert für CV 50 ist 0"
                                << "0" << 9 << 100.0;
    QTest::newRow("no decoder") << QStringList{"--no-decoder"} << 0 << "7"
                                << "Wert für CV 7 konnte nicht ermittelt werden"
                                << "5" << 9 << 100.0;
    // Three attempts of the first bit verify go unanswered: the read stops there.
    QTest::newRow("no answer") << QStringList{"--fault", "command-255:3@34"} << 0 << "7"
                               << "Wert für CV 7 konnte nicht ermittelt werden"
                               << "5" << 3 << 12.5;
    QTest::newRow("register 7, first match") << QStringList() << 2 << "7"
                                             << "Wert für Register 7 ist 42"
                                             << "42" << 43 << 100.0;
}

void tst_programming::reads()
{
    QFETCH(QStringList, args);
    QFETCH(int, type);
    QFETCH(QString, number);
    QFETCH(QString, status);
    QFETCH(QString, value);
    QFETCH(int, exchanges);
    QFETCH(double, bar);
    Rig rig(args);
    QVERIFY2(rig.start(), qPrintable(rig.sim.errorString()));
    rig.host.fill(type, {number, "0", "5"});
    rig.host.tab->cmdOperation_Click(2);

    const Frames sent = rig.programming();
    QCOMPARE(sent.size(), exchanges);
    if (type == 2) // counted from 0 upwards
        QCOMPARE(sent.last(), Request::make(1, 35, 7, 0, 42));
    else if (exchanges >= 8)
        QCOMPARE(sent.mid(0, 2), (Frames{Request::make(1, 34, quint8(number.toInt()), 0, 8),
                                         Request::make(1, 34, quint8(number.toInt()), 0, 9)}));
    QCOMPARE(rig.sim.requests().last(), kOff);
    QCOMPARE(rig.host.status(), status);
    QCOMPARE(rig.host.get<QLineEdit>("txtValue_2")->text(), value);
    QCOMPARE(rig.host.tab->progressPercent(), bar);
    QVERIFY(!rig.host.tab->isBreakVisible());
    QVERIFY(rig.host.get("cmdOperation_1")->isEnabled());
    QVERIFY(rig.host.configurationTabEnabled);
}

void tst_programming::cancelArrivesBetweenExchanges()
{
    for (int type : {0, 2}) {
        Rig rig({});
        QVERIFY2(rig.start(), qPrintable(rig.sim.errorString()));
        rig.host.fill(type, {"7", "0", "5"});
        bool breakShown = false;
        bool othersDisabled = false;
        // Queued now, delivered when the read lets events through after its first exchange.
        QTimer::singleShot(0, &rig.host, [&] {
            breakShown = rig.host.tab->isBreakVisible();
            othersDisabled =
                !rig.host.get("cmdOperation_0")->isEnabled() && !rig.host.configurationTabEnabled;
            rig.host.get<QPushButton>("cmdBreak")->click();
        });
        rig.host.tab->setSettleWait(0);
        rig.host.tab->cmdOperation_Click(2);
        QVERIFY(breakShown);
        QVERIFY(othersDisabled);
        QCOMPARE(rig.programming().size(), 1);
        QCOMPARE(rig.sim.requests().last(), kOff);
        QCOMPARE(rig.host.status(), QStringLiteral("Vorgang abgebrochen"));
        QCOMPARE(rig.host.litLamp(), 1);
        QCOMPARE(rig.host.tab->progressPercent(), 0.0);
        QCOMPARE(rig.host.get<QLineEdit>("txtValue_2")->text(), QStringLiteral("5"));
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

void tst_programming::locoNumberSetAndRecognised_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("autoConfig");
    QTest::addColumn<Frames>("sent");
    QTest::addColumn<QString>("during");
    QTest::newRow("127 short") << 127 << true << Frames{Request::make(1, 31, 29, 0, 5), cv(30, 1, 127)}
                               << "Niedrige Lok-Nummer 127 setzen ...";
    QTest::newRow("128 long") << 128 << false
                              << Frames{Request::make(1, 31, 29, 0, 13), cv(30, 17, 192), cv(30, 18, 128)}
                              << "Hohe Lok-Nummer 128 setzen ...";
    QTest::newRow("1000") << 1000 << true
                          << Frames{Request::make(1, 31, 29, 0, 13), cv(30, 17, 195), cv(30, 18, 232)}
                          << "Hohe Lok-Nummer 1000 setzen ...";
    QTest::newRow("10239") << 10239 << false
                           << Frames{Request::make(1, 31, 29, 0, 13), cv(30, 17, 231), cv(30, 18, 255)}
                           << "Hohe Lok-Nummer 10239 setzen ...";
}

void tst_programming::locoNumberSetAndRecognised()
{
    QFETCH(int, number);
    QFETCH(bool, autoConfig);
    QFETCH(Frames, sent);
    QFETCH(QString, during);
    Rig rig({});
    QVERIFY2(rig.start(), qPrintable(rig.sim.errorString()));
    rig.host.get<QCheckBox>("chkAutoConfig")->setChecked(autoConfig);
    rig.host.get<QLineEdit>("txtLocoNumber")->setText(QString::number(number));
    MessageBox::setNextAnswer(QMessageBox::Yes);
    QString shownWhileWaiting;
    QTimer::singleShot(0, &rig.host, [&] { shownWhileWaiting = rig.host.status(); });
    rig.host.tab->cmdLocoNumberSet_Click();
    QCOMPARE(MessageBox::takeShown().first().text,
             QStringLiteral("Möchten Sie die Lok auf die Nummer %1 einstellen ?").arg(number));
    QCOMPARE(shownWhileWaiting, during);
    QCOMPARE(rig.sim.requests(), Frames{kOn} + sent + Frames{kOff});
    QCOMPARE(rig.host.status(), QStringLiteral("Lok-Nummer %1 wurde erfolgreich gesetzt").arg(number));

    const int before = int(rig.sim.requests().size());
    rig.host.tab->cmdLocoRecognition_Click();
    // The CV 29 questions: long, short, 14 steps, 28 steps.
    QCOMPARE(rig.programming(before).mid(0, 4),
             (Frames{Request::make(1, 34, 29, 0, 13), Request::make(1, 34, 29, 0, 5),
                     Request::make(1, 34, 29, 0, 1), Request::make(1, 34, 29, 0, 9)}));
    QCOMPARE(rig.host.status(), QStringLiteral("Erkannte Lok-Nummer %1  (28/126 FS)").arg(number));
    QCOMPARE(rig.host.stored, autoConfig ? Stored({{number, 2}}) : Stored());
}

void tst_programming::recognition_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("status");
    QTest::addColumn<Stored>("stored");
    QTest::newRow("factory decoder") << QStringList() << "Erkannte Lok-Nummer 3  (28/126 FS)"
                                     << Stored{{3, 2}};
    QTest::newRow("14 steps") << QStringList{"--cv", "29=0,1=5"} << "Erkannte Lok-Nummer 5  (14 FS)"
                              << Stored{{5, 1}};
    QTest::newRow("CV 17 below 192") << QStringList{"--cv", "29=38,17=100,18=5"}
                                     << "Lok-Nummer nicht gefunden" << Stored{};
    QTest::newRow("no decoder") << QStringList{"--no-decoder"} << "Lok-Nummer konnte nicht erkannt werden"
                                << Stored{};
}

void tst_programming::recognition()
{
    QFETCH(QStringList, args);
    QFETCH(QString, status);
    QFETCH(Stored, stored);
    Rig rig(args);
    QVERIFY2(rig.start(), qPrintable(rig.sim.errorString()));
    rig.host.tab->cmdLocoRecognition_Click();
    QCOMPARE(rig.host.status(), status);
    QCOMPARE(rig.host.stored, stored);
    QCOMPARE(rig.sim.requests().last(), kOff);
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
    const QStringList expected{"Der Inhalt entspricht nicht dem gesuchten Wert",
                               "Der Wert konnte nicht gesetzt werden",
                               "Wert für CV 1 konnte nicht ermittelt werden"};
    for (int operation = 0; operation < 3; ++operation) {
        host.tab->cmdOperation_Click(operation);
        QCOMPARE(host.status(), expected[operation]);
        QCOMPARE(host.litLamp(), 1);
    }
    host.tab->cmdLocoNumberSet_Click();
    QCOMPARE(host.status(), QStringLiteral("Lok-Nummer konnte nicht gesetzt werden"));
    host.tab->cmdLocoRecognition_Click();
    QCOMPARE(host.status(), QStringLiteral("Lok-Nummer konnte nicht erkannt werden"));
    QCOMPARE(host.stored, Stored{});
}

void tst_programming::fieldsAndControls()
{
    SetPortName("NUL");
    Host host;
    auto* bitField = host.get<QLineEdit>("txtValue_1");
    auto* valueField = host.get<QLineEdit>("txtValue_2");
    // Typing stops at the field's length; a spin step may go beyond it.
    host.tab->selectProgType(1);
    bitField->clear();
    QTest::keyClicks(bitField, "12");
    QCOMPARE(bitField->text(), QStringLiteral("1"));
    bitField->setText("9");
    host.tab->spnValue_Click(1, true);
    QCOMPARE(bitField->text(), QStringLiteral("10"));

    // Bit mode keeps a value of 0 or 1 and offers no search, also after the controls come back.
    const QList<QPair<QString, QString>> values{{"200", "0"}, {"1", "1"}, {"0", "0"}};
    for (const auto& [before, after] : values) {
        host.tab->selectProgType(0);
        valueField->setText(before);
        host.tab->selectProgType(1);
        QCOMPARE(valueField->text(), after);
    }
    host.tab->ProgButtonsEnabled(false);
    host.tab->ProgButtonsEnabled(true);
    QVERIFY(!host.get("cmdOperation_2")->isEnabled() && host.get("cmdOperation_1")->isEnabled());
    QVERIFY(host.get("txtValue_1")->isVisibleTo(&host));
    host.tab->selectProgType(2);
    QVERIFY(host.get("cmdOperation_2")->isEnabled() && !host.get("txtValue_1")->isVisibleTo(&host));
    QCOMPARE(host.get<QLabel>("lblCV")->text(), QStringLiteral("Register"));

    // The box starts ticked without a setting and stores every click.
    auto* box = host.get<QCheckBox>("chkAutoConfig");
    QVERIFY(box->isChecked());
    box->click();
    QCOMPARE(ReadSetting("AutoConfig", "", "Taktora"), QStringLiteral("0"));

    host.tab->ShowStatusLamp(2);
    QCOMPARE(host.litLamp(), 2);
    host.tab->ShowStatusLamp(5);
    QCOMPARE(host.litLamp(), -1);
}

void tst_programming::spinSteps_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("up");
    QTest::addColumn<QString>("result");
    QTest::newRow("up to 1024") << "1023" << true << "1024";
    QTest::newRow("not beyond 1024") << "1024" << true << "1024";
    QTest::newRow("not below 0") << "0" << false << "0";
    QTest::newRow("text counts as 0") << "abc" << true << "1";
    QTest::newRow("empty counts as 0") << "" << false << "0";
    QTest::newRow("fraction cut") << "3.7" << false << "2";
    QTest::newRow("sign dropped") << "-5" << true << "6";
}

void tst_programming::spinSteps()
{
    QFETCH(QString, text);
    QFETCH(bool, up);
    QFETCH(QString, result);
    QCOMPARE(Programming::spinStep(text, up), result);
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
    QTest::newRow("first in s") << qint64(10000) << "de_DE"
                                << "10,00sek.";
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
