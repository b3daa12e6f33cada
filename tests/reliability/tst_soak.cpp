// The fault soak: the real windows, driven by a seeded random user, against taktora-sim on a
// real pseudo-terminal that spoils a fixed share of all exchanges with every kind of fault it
// knows. The link's clock and the port's waits run kScale times faster than the wall clock, so
// the two-second timeouts the windows pass cost a twentieth of that; everything else is as in
// the program.
//
// Checked for every transaction: it returns within attempts x (timeout + the transmit bound) plus
// a margin; it succeeds only with a six-byte answer, right check byte, not refused, that it read
// from the line and the board really sent; a failure with errors on shows the failure box once,
// and no other box is ever shown but the program's own. At the end the emulator's state (its own
// request log replayed) holds, for every loco, function, accessory output and the track, the
// value of the last command the program saw accepted, or of one sent after it that the program
// saw fail (a lost answer does not undo what the board did).
//
// TAKTORA_SOAK_EXCHANGES sets the number of exchanges (default 10000); the figures go to
// stdout and, with TAKTORA_SOAK_REPORT set, into that file.

#include "AccessoryPanel.h"
#include "CommandSet.h"
#include "ControllerEmulator.h"
#include "krControllerSettingsDD.h"
#include "krLocoList.h"
#include "krTaktora.h"
#include "krTaktoraTools.h"
#include "LocoNumberBox.h"
#include "MessageBox.h"
#include "ProgrammingTab.h"
#include "QtSerialPort.h"
#include "SimOptions.h"
#include "SimProcess.h"
#include "sysInput.h"
#include "TestMain.h"
#include "ThrottlePanel.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSlider>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include <memory>
#include <random>

namespace {
constexpr qint64 kScale = 20;
constexpr quint32 kSeed = 20261205;
constexpr int kFaultPercent = 10;
const QString kMix = QString::number(kSeed) + QStringLiteral(":") + QString::number(kFaultPercent);
const QStringList kSimArguments{"--fault-mix", kMix, "--late-ms", "150"};

// A board in the state taktora-sim starts in with these arguments, faults and all.
void setUpLikeTheEmulator(ControllerEmulator& board)
{
    SimOptions options;
    QString message;
    parseSimArguments(QStringList{"taktora-sim"} + kSimArguments, options, message);
    options.applyTo(board);
}

class ScaledClock final : public MonotonicClock
{
public:
    ScaledClock() { m_timer.start(); }
    qint64 nowMs() const override { return m_timer.elapsed() * kScale; }

private:
    QElapsedTimer m_timer;
};

// The real port; only its waits for answer bytes are shortened to match the clock. It keeps what
// each transaction read, and counts the exchanges.
class ScaledPort final : public SerialPortInterface
{
public:
    bool open(const QString& comName) override { return m_port.open(comName); }
    void close() override { m_port.close(); }
    bool isOpen() const override { return m_port.isOpen(); }
    void clearBuffers() override { m_port.clearBuffers(); }
    bool write(const QByteArray& bytes) override
    {
        ++exchanges;
        return m_port.write(bytes);
    }
    bool waitForTransmitted(int msecs) override { return m_port.waitForTransmitted(msecs); }
    qint64 bytesWaiting() override { return m_port.bytesWaiting(); }
    bool waitForBytes(int msecs) override
    {
        return m_port.waitForBytes(int(qMax<qint64>(1, msecs / kScale)));
    }
    QByteArray readAll() override
    {
        const QByteArray bytes = m_port.readAll();
        reads << bytes;
        return bytes;
    }
    PortError lastError() const override { return m_port.lastError(); }

    int exchanges = 0;
    QList<QByteArray> reads; // since the last transaction ended

private:
    QtSerialPort m_port;
};

// The boxes of the settings dialog's save, which the soak goes through.
const QStringList kOtherBoxes{
    QStringLiteral("Eine Anpassung dieser Einstellungen ändert massiv die Funktionsweise "
                   "Ihres Controllers."),
    QStringLiteral("Neue Einstellungen wurden im Controller gespeichert")};

bool isFailureBox(const MessageBox::Shown& box)
{
    static const QRegularExpression text(
        QStringLiteral("^(Controller \\d{1,3} antwortet nicht\\.|Kommunikation zu den KORADIN Controllern "
                       "unterbrochen)$"));
    return text.match(box.text).hasMatch() && box.icon == QMessageBox::Warning &&
           box.buttons == (QMessageBox::Retry | QMessageBox::Cancel);
}

// What a command does to the board, as one named value: "speed 3" = 200.
struct Effect
{
    QString key;
    int value = 0;
    bool needsSuccess = false; // done only when the answer's data bytes do not say it failed
};
QList<Effect> effectsOf(const FrameFields& f, const QList<quint16>& allLocos)
{
    const quint16 number = wordFromBytes(f.data1, f.data2);
    const QString n = QString::number(number);
    switch (f.command) {
    case Command::SetLocoSpeed:
        return {{"speed " + n, f.data3}};
    case Command::StopLoco: {
        if (number != AllLocos)
            return {{"speed " + n, 0}};
        QList<Effect> all;
        for (quint16 loco : allLocos)
            all.append({"speed " + QString::number(loco), 0});
        return all;
    }
    case Command::SetLocoDirection:
        return {{"forward " + n, f.data3 == 1}};
    case Command::LocoFunctionOn:
    case Command::LocoFunctionOff:
        return {{"function " + n + " F" + QString::number(f.data3), f.command == Command::LocoFunctionOn}};
    case Command::SwitchAccessoryOn:
    case Command::SwitchAccessoryOff:
        return {{"accessory " + n + "." + QString::number(f.data3), f.command == Command::SwitchAccessoryOn}};
    case Command::ControllerControl:
        if (f.data1 == ControlOp::TrackMode)
            return {{QStringLiteral("track"), f.data2}};
        break;
    case Command::WriteLocoEntry:
        return {{"entry " + n, f.data3}};
    case Command::WriteCvByte:
        return {{"cv " + n, f.data3, true}};
    default:
        break;
    }
    return {};
}

int boardValue(EmulatedController& board, const QString& key)
{
    const QStringList w = key.split(' ');
    if (w[0] == "track")
        return board.trackMode();
    if (w[0] == "cv")
        return board.decoder().cv(w[1].toInt());
    if (w[0] == "entry") {
        for (const auto& entry : board.locoConfiguration())
            if (entry.number == w[1].toInt())
                return entry.speedSteps;
        return 0;
    }
    if (w[0] == "accessory") {
        const QStringList p = w[1].split('.');
        return (board.accessoryOutputs(quint16(p[0].toUInt())) >> p[1].toUInt()) & 1;
    }
    const EmulatedController::LocoState loco = board.locoState(quint16(w[1].toUInt()));
    if (w[0] == "speed")
        return loco.speed;
    if (w[0] == "forward")
        return loco.forward;
    return (loco.functions >> w[2].mid(1).toUInt()) & 1;
}

struct Soak
{
    SimProcess sim{kSimArguments};
    ScaledClock clock;
    ScaledPort port;
    std::unique_ptr<krTaktora> window;
    std::mt19937 random{kSeed};

    int transactions = 0;
    int failed = 0;
    int failureBoxes = 0;
    qint64 longestMs = 0; // the longest transaction, on the link's clock
    qint64 longestBudgetMs = 0;
    QStringList findings;
    QMap<QString, int> otherBoxes;
    QMap<QString, int> actions;
    QList<TransactionRecord> records;

    int pick(int n) { return int(random() % quint32(n)); }

    void observe(const TransactionRecord& r)
    {
        ++transactions;
        records << r;
        const int tries = r.attempts == 0 ? 3 : r.attempts;
        // Per attempt the answer's timeout and the transmit bound (1 s), and one second on top.
        const qint64 budget = tries * (r.timeoutSeconds * 1000 + 1000 * kScale) + 1000 * kScale;
        if (r.elapsedMs > longestMs) {
            longestMs = r.elapsedMs;
            longestBudgetMs = budget;
        }
        if (r.elapsedMs > budget)
            findings << QStringLiteral("blocked %1 ms (budget %2)").arg(r.elapsedMs).arg(budget);

        if (r.accepted) {
            bool read = false;
            for (const QByteArray& bytes : port.reads)
                read = read || bytes.left(FrameSize) == encodeFrame(r.result);
            if (!read || r.result.command == Answer::Failed)
                findings << QStringLiteral("accepted %1: %2")
                                .arg(read ? "a refusal" : "what it did not read",
                                     frameToString(encodeFrame(r.result)));
        } else {
            ++failed;
        }
        port.reads.clear();

        int boxes = 0;
        for (const MessageBox::Shown& box : MessageBox::takeShown()) {
            if (isFailureBox(box))
                ++boxes;
            else
                otherBoxes[box.text.section('\n', 0, 0)]++;
            if (!isFailureBox(box) && box.icon != QMessageBox::Question &&
                !kOtherBoxes.contains(box.text.section('\n', 0, 0)) &&
                !box.title.endsWith(QLatin1String(" Versionskontrolle")))
                findings << "a box the program does not show for a bad line: " + box.text;
        }
        failureBoxes += boxes;
        if (boxes != (!r.accepted && r.showErrors ? 1 : 0))
            findings << QStringLiteral("%1 failure boxes after %2 (%3)")
                            .arg(boxes)
                            .arg(frameToString(encodeFrame(r.request)), r.accepted ? "accepted" : "failed");
    }

    bool start()
    {
        if (!sim.start())
            return false;
        sim.registerAs(QStringLiteral("COM3"));
        InstallClock(&clock);
        InstallControllerPort(&port);
        InstallTransactionObserver([this](const TransactionRecord& r) { observe(r); });
        WriteSetting(QStringLiteral("SignalOutputTo"), QStringLiteral("COM3"), QStringLiteral("Taktora"));
        window = std::make_unique<krTaktora>(QStringLiteral("/usr/bin/taktora"));
        window->findChild<QLineEdit*>(QStringLiteral("txtControllerNr"))->setText(QStringLiteral("1"));
        return port.isOpen();
    }
    ~Soak()
    {
        window.reset();
        InstallTransactionObserver({});
        CloseControllerPort();
        InstallControllerPort(nullptr);
        InstallClock(nullptr);
    }

    // One thing a user does on the main window.
    void act()
    {
        if (window->findChild<QWidget*>(QStringLiteral("ControllerFrame"))->isHidden()) {
            actions["check"]++;
            window->btnCheck_Click();
            return;
        }
        ThrottlePanel* throttle = window->throttle(pick(krTaktora::ThrottleCount));
        AccessoryPanel* panel = window->accessoryPanel(pick(krTaktora::AccessoryPanelCount));
        const int roll = pick(100);
        if (roll < 35) {
            actions["speed"]++;
            throttle->slider()->setValue(pick(256));
        } else if (roll < 45) {
            actions["function"]++;
            const QList<QAction*> keys = throttle->functionKeys()->actions();
            keys[pick(int(keys.size()))]->trigger();
        } else if (roll < 50) {
            actions["light"]++;
            throttle->lightButton()->click();
        } else if (roll < 55) {
            actions["direction"]++;
            throttle->directionButton()->click(); // refused while the loco moves
        } else if (roll < 57) {
            actions["loco number"]++;
            const char* numbers[] = {"3", "1000", "7", "5", "12"};
            throttle->locoNumberBox()->setEditText(QString::fromLatin1(numbers[pick(5)]));
            throttle->ShowSpeedStepMode();
        } else if (roll < 75) {
            actions["accessory"]++;
            (pick(2) ? panel->onButton(pick(4)) : panel->offButton(pick(4)))->click();
        } else if (roll < 82) {
            actions["load circuit"]++;
            window->findChild<QPushButton*>(QStringLiteral("btnLoadCircuit"))->click();
        } else if (roll < 85) {
            actions["global stop"]++;
            window->findChild<QPushButton*>(QStringLiteral("btnGlobalStop"))->click();
        } else if (roll < 88) {
            actions["stop"]++;
            throttle->stopButton()->click();
        } else if (roll < 92) {
            actions["check"]++;
            window->btnCheck_Click();
        } else if (roll < 95) { // each change of the configuration waits a second, as the window does
            useLocoList();
        } else {
            actions["Controller settings"]++;
            useSettingsDialog();
        }
    }

    void useSettingsDialog()
    {
        const bool change = pick(2);
        const QString pins = QString::number(2 + pick(50));
        QTimer::singleShot(0, window.get(), [change, pins] {
            auto* dialog = qobject_cast<krControllerSettingsDD*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            if (!change) {
                dialog->findChild<QPushButton*>(QStringLiteral("cmdClose"))->click();
                return;
            }
            MessageBox::setNextAnswer(QMessageBox::Yes);
            dialog->findChild<QPushButton*>(QStringLiteral("cmdChangeSettings"))->click();
            for (const char* name :
                 {"txtOperationPin", "txtOperationCircuit", "txtProgrammingPin", "txtProgrammingCircuit"})
                dialog->findChild<QLineEdit*>(QString::fromLatin1(name))->setText(pins);
            for (const char* name : {"txtSensingChannelAPin", "txtSensingChannelBPin"})
                dialog->findChild<QLineEdit*>(QString::fromLatin1(name))->setText(QStringLiteral("A3"));
            dialog->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
            if (dialog->isVisible()) // a field the dialog read as "n/a" after a lost answer
                dialog->findChild<QPushButton*>(QStringLiteral("cmdCancel"))->click();
        });
        window->findChild<QPushButton*>(QStringLiteral("cmdControllerSettings"))->click();
    }

    // The loco list window as the dashboard opens it: a few changes of the configuration and of
    // the decoder on the programming track, then closed.
    void useLocoList()
    {
        actions["loco list"]++;
        auto list = std::make_unique<krLocoList>();
        list->setControllerID(1);
        list->show();
        QCoreApplication::processEvents(); // the first activation reads the configuration
        auto* tree = list->findChild<QTreeView*>(QStringLiteral("tvLocoList"));
        ProgrammingTab* tab = list->programmingTab();
        tab->setSettleWait(0.001);
        for (int n = 1 + pick(4); n > 0; --n) {
            const int roll = pick(100);
            const int rows = tree->model()->rowCount();
            if (roll < 25) {
                actions["loco add"]++;
                const QString number = QString::number(1 + pick(40));
                QTimer::singleShot(0, list.get(), [number] {
                    if (auto* input = qobject_cast<sysInput*>(QApplication::activeModalWidget())) {
                        input->textInput()->setText(number);
                        input->okButton()->click();
                    }
                });
                list->AddLoco();
            } else if (roll < 55 && rows > 0) {
                const QModelIndex node = tree->model()->index(pick(rows), 0);
                tree->setCurrentIndex(node);
                list->tvLocoList_NodeClick(node);
                MessageBox::setNextAnswer(QMessageBox::Yes);
                if (pick(3) == 0) {
                    actions["loco delete"]++;
                    list->DeleteSelectedLoco();
                } else {
                    actions["loco speed steps"]++;
                    const char* keys[] = {"btn14", "btn28", "btn126"};
                    list->ChangeSpeedSteps(QString::fromLatin1(keys[pick(3)]));
                }
            } else {
                const int operation = pick(3); // verify, write, read
                actions[QStringList{"CV verify", "CV write", "CV read"}[operation]]++;
                tab->selectProgType(0);
                const QStringList fields{QString::number(1 + pick(40)), "0", QString::number(pick(256))};
                for (int i = 0; i < fields.size(); ++i)
                    list->findChild<QLineEdit*>(QStringLiteral("txtValue_%1").arg(i))->setText(fields[i]);
                if (operation == 1)
                    MessageBox::setNextAnswer(QMessageBox::Yes);
                tab->cmdOperation_Click(operation);
            }
        }
        list->close();
    }

    // The board's state from its own log, replayed with the same faults on the same seed.
    void compareFinalState()
    {
        ControllerEmulator board;
        ControllerEmulator fresh;
        setUpLikeTheEmulator(board);
        setUpLikeTheEmulator(fresh);
        for (const FrameFields& request : sim.requests())
            board.receiveAt(encodeFrame(request), 0);
        // A stop of all locos reaches every loco the board knows or has driven.
        QList<quint16> locos;
        for (const auto& loco : board.controller(1)->locoConfiguration())
            locos << loco.number;
        for (const TransactionRecord& r : records)
            if (effectsOf(r.request, {})
                    .value(0)
                    .key.contains(QRegularExpression("^(speed|forward|function) ")))
                locos << wordFromBytes(r.request.data1, r.request.data2);
        locos.removeAll(AllLocos);

        // Every accepted answer is one the board put on the line.
        QSet<QByteArray> sent;
        for (const QString& line : sim.logLines()) {
            const QStringList bytes =
                line.mid(2).section(QLatin1String("  ("), 0, 0).split(QStringLiteral(", "));
            if (line.startsWith(QLatin1String("< ")) && bytes.size() >= FrameSize) {
                QByteArray frame;
                for (int i = 0; i < FrameSize; ++i)
                    frame.append(char(bytes[i].toUInt()));
                sent << frame;
            }
        }
        for (const TransactionRecord& r : records)
            if (r.accepted && !sent.contains(encodeFrame(r.result)))
                findings << "accepted an answer the board never sent: " +
                                frameToString(encodeFrame(r.result));

        // For each value: the candidates the program's view allows.
        QMap<QString, QSet<int>> allowed;
        for (const TransactionRecord& r : records) {
            for (const Effect& e : effectsOf(r.request, locos)) {
                if (!allowed.contains(e.key))
                    allowed[e.key] = {boardValue(*fresh.controller(1), e.key)};
                const bool failedOnTheTrack = r.result.data1 == Answer::ProgrammingFailed &&
                                              r.result.data2 == Answer::ProgrammingFailed &&
                                              r.result.data3 == Answer::ProgrammingFailed;
                if (r.accepted && !(e.needsSuccess && failedOnTheTrack))
                    allowed[e.key].clear();
                allowed[e.key] << e.value;
            }
        }
        for (auto it = allowed.cbegin(); it != allowed.cend(); ++it) {
            const int value = boardValue(*board.controller(1), it.key());
            if (!it.value().contains(value))
                findings << QStringLiteral("%1 is %2 on the board").arg(it.key()).arg(value);
        }
    }
};
} // namespace

class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void mixedFaultsThroughEveryWindow()
    {
        const int target = qEnvironmentVariableIsSet("TAKTORA_SOAK_EXCHANGES")
                               ? qEnvironmentVariableIntValue("TAKTORA_SOAK_EXCHANGES")
                               : 10000;
        Soak soak;
        QVERIFY2(soak.start(), qPrintable(soak.sim.errorString()));
        QElapsedTimer wall;
        wall.start();
        while (soak.port.exchanges < target && soak.findings.size() < 20)
            soak.act();
        soak.compareFinalState();

        QMap<QString, int> faults;
        int answered = 0;
        for (const QString& line : soak.sim.logLines()) {
            const qsizetype at = line.indexOf(QLatin1String("(fault "));
            if (at >= 0)
                faults[line.mid(at + 7).chopped(1)]++;
            answered += line.startsWith(QLatin1String("< ")) && at < 0 && !line.startsWith("< none");
        }
        QStringList report;
        report << QStringLiteral("seed %1, %2 % of requests faulted, clock x%3")
                      .arg(kSeed)
                      .arg(kFaultPercent)
                      .arg(kScale)
               << QStringLiteral(
                      "exchanges %1, transactions %2, failed %3, failure boxes %4, answered cleanly %5")
                      .arg(soak.port.exchanges)
                      .arg(soak.transactions)
                      .arg(soak.failed)
                      .arg(soak.failureBoxes)
                      .arg(answered)
               << QStringLiteral(
                      "wall clock %1 s; longest transaction %2 ms on the link's clock (its budget %3 ms)")
                      .arg(wall.elapsed() / 1000)
                      .arg(soak.longestMs)
                      .arg(soak.longestBudgetMs);
        for (auto it = faults.cbegin(); it != faults.cend(); ++it)
            report << QStringLiteral("fault %1: %2").arg(it.key()).arg(it.value());
        for (auto it = soak.actions.cbegin(); it != soak.actions.cend(); ++it)
            report << QStringLiteral("action %1: %2").arg(it.key()).arg(it.value());
        for (auto it = soak.otherBoxes.cbegin(); it != soak.otherBoxes.cend(); ++it)
            report << QStringLiteral("box \"%1\": %2").arg(it.key()).arg(it.value());
        for (const QString& line : report)
            qInfo("%s", qPrintable(line));
        if (qEnvironmentVariableIsSet("TAKTORA_SOAK_REPORT")) {
            QFile out(qEnvironmentVariable("TAKTORA_SOAK_REPORT"));
            if (out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
                out.write((report.join('\n') + '\n').toUtf8());
        }

        QVERIFY2(soak.findings.isEmpty(), qPrintable(soak.findings.join('\n')));
        QVERIFY(soak.port.exchanges >= target);
        QVERIFY(!faults.isEmpty());
    }
};

TAKTORA_TEST_MAIN(TestSoak)
#include "tst_soak.moc"
