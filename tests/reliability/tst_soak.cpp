// SPDX-License-Identifier: GPL-3.0-or-later
// The fault soak: the real windows, driven by a seeded random user through one table of
// actions, against taktora-sim on a real pseudo-terminal that spoils a tenth of all exchanges
// with every fault it knows. The link's clock and the port's waits run kScale times fast, so a
// two-second timeout costs 100 ms; everything else is as in the program.
//
// A transaction's bound and the texts of its boxes are the link's tests'. Per transaction here:
// it sends only commands its action may send, a failure with errors on asks once whether to try
// again, and an accepted answer is one the board sent, for this request or (late, there being no
// sequence number) for an earlier one, which is counted. At the end the board's state
// (its log replayed) holds, for every loco, function, accessory output, entry, CV and the
// track, the value of the last request the program saw succeed on its own answer, or of one
// after it.
//
// TAKTORA_SOAK_EXCHANGES sets the number of exchanges (default 10000); the figures go to
// stdout and, with TAKTORA_SOAK_REPORT set, into that file.

#include "AccessoryPanel.h"
#include "CommandSet.h"
#include "ControllerEmulator.h"
#include "ControllerLink.h"
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

#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
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
const QStringList kSimArguments{"--fault-mix", QString::number(kSeed) + ":10", "--late-ms", "150"};

class ScaledClock final : public MonotonicClock
{
public:
    ScaledClock() { m_timer.start(); }
    qint64 nowMs() const override { return m_timer.elapsed() * kScale; }

private:
    QElapsedTimer m_timer;
};

// The real port; only its waits for answer bytes are shortened to match the clock.
class ScaledPort final : public SerialPortInterface
{
public:
    bool open(const QString& comName) override { return m_port.open(comName); }
    void close() override { m_port.close(); }
    bool isOpen() const override { return m_port.isOpen(); }
    void clearBuffers() override { m_port.clearBuffers(); }
    bool write(const QByteArray& bytes) override { return m_port.write(bytes); }
    bool waitForTransmitted(int msecs) override { return m_port.waitForTransmitted(msecs); }
    qint64 bytesWaiting() override { return m_port.bytesWaiting(); }
    bool waitForBytes(int msecs) override
    {
        return m_port.waitForBytes(int(qMax<qint64>(1, msecs / kScale)));
    }
    QByteArray readAll() override { return m_port.readAll(); }
    PortError lastError() const override { return m_port.lastError(); }

private:
    QtSerialPort m_port;
};

// What a request does to the board, as named values: "speed 3" = 200.
struct Effect
{
    QString key;
    int value = 0;
};
QList<Effect> effectsOf(const FrameFields& f, const QList<quint16>& allLocos)
{
    const QString n = QString::number(wordFromBytes(f.data1, f.data2));
    switch (f.command) {
    case Command::SetLocoSpeed:
        return {{"speed " + n, f.data3}};
    case Command::StopLoco: {
        QList<Effect> stopped;
        for (quint16 loco :
             wordFromBytes(f.data1, f.data2) == AllLocos ? allLocos : QList<quint16>{n.toUShort()})
            stopped.append({"speed " + QString::number(loco), 0});
        return stopped;
    }
    case Command::SetLocoDirection:
        return {{"forward " + n, f.data3 == 1}};
    case Command::LocoFunctionOn:
    case Command::LocoFunctionOff:
        return {{"function " + n + " " + QString::number(f.data3), f.command == Command::LocoFunctionOn}};
    case Command::SwitchAccessoryOn:
    case Command::SwitchAccessoryOff:
        return {{"accessory " + n + " " + QString::number(f.data3), f.command == Command::SwitchAccessoryOn}};
    case Command::ControllerControl:
        return f.data1 == ControlOp::TrackMode ? QList<Effect>{{QStringLiteral("track"), f.data2}}
                                               : QList<Effect>{};
    case Command::WriteLocoEntry:
        return {{"entry " + n, f.data3}};
    case Command::WriteCvByte:
        return {{"cv " + n, f.data3}};
    default:
        return {};
    }
}

int boardValue(EmulatedController& board, const QString& key)
{
    const QStringList w = key.split(' ');
    const quint16 number = w.value(1).toUShort();
    const EmulatedController::LocoState loco = board.locoState(number);
    if (w[0] == "track")
        return board.trackMode();
    if (w[0] == "cv")
        return board.decoder().cv(number);
    if (w[0] == "accessory")
        return (board.accessoryOutputs(number) >> w[2].toUInt()) & 1;
    if (w[0] == "function")
        return (loco.functions >> w[2].toUInt()) & 1;
    if (w[0] == "entry") {
        for (const auto& entry : board.locoConfiguration())
            if (entry.number == number)
                return entry.speedSteps;
        return 0;
    }
    return w[0] == "speed" ? loco.speed : loco.forward;
}

struct Action
{
    const char* name;
    int weight;
    QList<quint8> commands;
};

struct Soak final
{
    struct Done
    {
        TransactionRecord record;
        int attempt; // the last one, in `attempts`
    };

    SimProcess sim{kSimArguments};
    ScaledClock clock;
    ScaledPort port;
    ControllerLink link;
    QObject watch; // the context of the soak's connections to the link's traffic
    std::unique_ptr<krTaktora> window;
    std::mt19937 random{kSeed};
    const Action* action = nullptr;
    QList<FrameFields> attempts; // the n-th is the emulator's n-th request
    QList<Done> done;
    QStringList findings;
    QMap<QString, int> counts;

    int pick(int n) { return int(random() % quint32(n)); }
    template <typename T = QPushButton> T* find(QWidget* parent, const QByteArray& name)
    {
        return parent->findChild<T*>(QString::fromLatin1(name));
    }

    void transactionEnded(const TransactionRecord& r)
    {
        done.append({r, int(attempts.size()) - 1});
        counts["source " + r.origin]++;
        counts[r.accepted ? "transactions accepted" : "transactions failed"]++;
        if (!action->commands.contains(r.request.command))
            findings << QStringLiteral("%1 sent %2").arg(action->name, frameToString(encodeFrame(r.request)));
        // A failure with errors on asks once whether to try again; the texts are the link's tests'.
        const QList<MessageBox::Shown> boxes = MessageBox::takeShown();
        const auto failureBoxes =
            std::count_if(boxes.cbegin(), boxes.cend(), [](const MessageBox::Shown& box) {
                return box.buttons == (QMessageBox::Retry | QMessageBox::Cancel);
            });
        counts["failure boxes"] += int(failureBoxes);
        if (failureBoxes != (!r.accepted && r.showErrors ? 1 : 0))
            findings << QStringLiteral("%1 failure boxes after %2")
                            .arg(failureBoxes)
                            .arg(frameToString(encodeFrame(r.request)));
    }

    bool start()
    {
        if (!sim.start())
            return false;
        sim.registerAs(QStringLiteral("COM3"));
        AttachScreenPrompts(link);
        link.setClock(&clock);
        link.setPort(&port);
        QObject::connect(&link, &ControllerLink::requestSent, &watch,
                         [this](const FrameFields& request) { attempts.append(request); });
        QObject::connect(&link, &ControllerLink::transactionEnded, &watch,
                         [this](const TransactionRecord& r) { transactionEnded(r); });
        WriteSetting(QStringLiteral("SignalOutputTo"), QStringLiteral("COM3"), QStringLiteral("Taktora"));
        window = std::make_unique<krTaktora>(QStringLiteral("/usr/bin/taktora"), &link);
        find<QLineEdit>(window.get(), "txtControllerNr")->setText(QStringLiteral("1"));
        return port.isOpen();
    }
    ~Soak()
    {
        window.reset();
        link.disconnect(&watch);
        link.close();
        link.setPort(nullptr);
        link.setClock(nullptr);
    }

    void act();

    void useSettingsDialog()
    {
        const bool change = pick(2);
        const QString pin = QString::number(2 + pick(50));
        QTimer::singleShot(0, window.get(), [this, change, pin] {
            auto* dialog = qobject_cast<krControllerSettingsDD*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            if (!change)
                return find(dialog, "cmdClose")->click();
            MessageBox::setNextAnswer(QMessageBox::Yes);
            find(dialog, "cmdChangeSettings")->click();
            for (const char* name :
                 {"txtOperationPin", "txtOperationCircuit", "txtProgrammingPin", "txtProgrammingCircuit",
                  "txtSensingChannelAPin", "txtSensingChannelBPin"})
                find<QLineEdit>(dialog, name)->setText(QByteArray(name).contains("Sensing") ? "A3" : pin);
            find(dialog, "cmdOK")->click();
            if (dialog->isVisible()) // a field the dialog read as "n/a" after a lost answer
                find(dialog, "cmdCancel")->click();
        });
        find(window.get(), "cmdControllerSettings")->click();
    }

    // The loco list window, opened from the dashboard: a few changes of the configuration and
    // of the decoder on the programming track (each change of the configuration waits a second).
    void useLocoList()
    {
        QTimer::singleShot(0, window.get(), [this] {
            auto* list = qobject_cast<krLocoList*>(QApplication::activeModalWidget());
            if (!list)
                return;
            list->Form_Activate(); // the first activation reads the configuration
            auto* tree = find<QTreeView>(list, "tvLocoList");
            list->programmingTab()->setSettleWait(0.001);
            for (int n = 1 + pick(4); n > 0; --n) {
                const int roll = pick(100);
                const int rows = tree->model()->rowCount();
                if (roll < 25) {
                    counts["loco add"]++;
                    const QString number = QString::number(1 + pick(40));
                    QTimer::singleShot(0, list, [number] {
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
                    const int change = pick(6); // one delete in three, else a speed-step change
                    counts[change < 2 ? "loco delete" : "loco speed steps"]++;
                    if (change < 2)
                        list->DeleteSelectedLoco();
                    else
                        list->ChangeSpeedSteps(QStringList{"btn14", "btn28", "btn126"}[change % 3]);
                } else {
                    const int operation = pick(3); // verify, write, read
                    counts[QStringList{"CV verify", "CV write", "CV read"}[operation]]++;
                    list->programmingTab()->selectProgType(0);
                    const QStringList fields{QString::number(1 + pick(40)), "0", QString::number(pick(256))};
                    for (int i = 0; i < fields.size(); ++i)
                        find<QLineEdit>(list, QStringLiteral("txtValue_%1").arg(i).toLatin1())
                            ->setText(fields[i]);
                    if (operation == 1)
                        MessageBox::setNextAnswer(QMessageBox::Yes);
                    list->programmingTab()->cmdOperation_Click(operation);
                }
            }
            list->close();
        });
        find(window.get(), "btnProgrammedLocos")->click();
    }

    // The emulator answers in the order it was asked (a late answer holds back the ones behind
    // it), so its log pairs every request with the bytes it sent back: empty for none.
    QList<QByteArray> answersFromTheLog() const
    {
        QList<QByteArray> answers;
        QList<int> waiting;
        const QStringList lines = sim.logLines();
        for (int i = 0; i < lines.size(); ++i) {
            if (lines[i].startsWith(QLatin1String("> "))) {
                answers.append(QByteArray());
                if (!lines.value(i + 1).startsWith(QLatin1String("< none")))
                    waiting.append(int(answers.size()) - 1);
            } else if (lines[i].startsWith(QLatin1String("< ")) &&
                       !lines[i].startsWith(QLatin1String("< none")) && !waiting.isEmpty()) {
                QByteArray& bytes = answers[waiting.takeFirst()];
                for (const QString& b : lines[i].mid(2).section(QLatin1String("  ("), 0, 0).split(", "))
                    bytes.append(char(b.toUInt()));
            }
        }
        return answers;
    }

    // Which answer each accepted transaction took; the ones that took an earlier request's late
    // answer without a valid one of their own count as failed for the board's state.
    QSet<int> judgeAnswers()
    {
        const QList<QByteArray> answers = answersFromTheLog();
        if (answers.size() != attempts.size())
            findings
                << QStringLiteral("%1 requests written, %2 logged").arg(attempts.size()).arg(answers.size());
        QSet<int> unanswered;
        for (int k = 0; k < done.size(); ++k) {
            const Done& d = done[k];
            const QByteArray taken = encodeFrame(d.record.result);
            const QByteArray own = answers.value(d.attempt).left(FrameSize);
            FrameFields ownAnswer;
            const bool ownValid = decodeFrame(own, ownAnswer) && ownAnswer.command != Answer::Failed;
            if (!d.record.accepted || (ownValid && own == taken))
                continue;
            int from = d.attempt - 1;
            while (from >= 0 && answers[from].left(FrameSize) != taken)
                --from;
            if (from < 0) {
                findings << "accepted an answer the board never sent: " + frameToString(taken);
                continue;
            }
            const FrameFields& request = attempts[d.attempt];
            if (attempts[from] == request) {
                counts["late answer taken for a repeat of its request"]++;
                continue;
            }
            counts["late answer taken for a following request"]++;
            if (attempts[from].command != request.command)
                counts["late answer taken for a following request: another command"]++;
            if (!ownValid) {
                counts["late answer taken for a following request: none of its own"]++;
                unanswered << k;
            }
        }
        return unanswered;
    }

    // The board's state from its own log, replayed with the same faults on the same seed.
    void compareFinalState()
    {
        const QSet<int> unanswered = judgeAnswers();
        ControllerEmulator board;
        ControllerEmulator fresh;
        for (ControllerEmulator* e : {&board, &fresh}) {
            SimOptions options;
            QString message;
            parseSimArguments(QStringList{"taktora-sim"} + kSimArguments, options, message);
            options.applyTo(*e);
        }
        for (const FrameFields& request : sim.requests())
            board.receiveAt(encodeFrame(request), 0);
        // A stop of all locos reaches every loco the board knows or has driven.
        QList<quint16> locos;
        for (const auto& loco : board.controller(1)->locoConfiguration())
            locos << loco.number;
        for (const FrameFields& a : attempts)
            if (effectsOf(a, {}).value(0).key.contains(QRegularExpression("^(speed|forward|function) ")))
                locos << wordFromBytes(a.data1, a.data2);

        QMap<QString, QSet<int>> allowed; // for each value: the candidates the program's view allows
        for (int k = 0; k < done.size(); ++k) {
            const TransactionRecord& r = done[k].record;
            for (const Effect& e : effectsOf(r.request, locos)) {
                if (!allowed.contains(e.key))
                    allowed[e.key] = {boardValue(*fresh.controller(1), e.key)};
                const bool failedOnTheTrack = r.request.command == Command::WriteCvByte &&
                                              r.result.data1 == Answer::ProgrammingFailed &&
                                              r.result.data3 == Answer::ProgrammingFailed;
                if (r.accepted && !unanswered.contains(k) && !failedOnTheTrack)
                    allowed[e.key].clear();
                allowed[e.key] << e.value;
            }
        }
        for (auto it = allowed.cbegin(); it != allowed.cend(); ++it)
            if (!it.value().contains(boardValue(*board.controller(1), it.key())))
                findings << QStringLiteral("%1 is %2 on the board")
                                .arg(it.key())
                                .arg(boardValue(*board.controller(1), it.key()));
    }
};

// What the user does, how often (of 100) and the commands it may send; the first is the check,
// done whenever the operating controls are hidden.
const QList<Action> kActions{
    {"check", 0, {Command::ControllerQuery, Command::ReadLocoEntry}},
    {"speed", 35, {Command::SetLocoSpeed}},
    {"function", 10, {Command::LocoFunctionOn, Command::LocoFunctionOff}},
    {"light", 5, {Command::LocoFunctionOn, Command::LocoFunctionOff}},
    {"direction", 5, {Command::SetLocoDirection}}, // refused by the window while the loco moves
    {"loco number", 2, {Command::ReadLocoEntry}},
    {"accessory", 18, {Command::SwitchAccessoryOn, Command::SwitchAccessoryOff}},
    {"load circuit", 7, {Command::ControllerControl, Command::ControllerQuery}},
    {"global stop", 3, {Command::StopLoco}},
    {"stop", 3, {Command::StopLoco}},
    {"check", 4, {Command::ControllerQuery, Command::ReadLocoEntry}},
    {"loco list",
     3,
     {Command::ControllerControl, Command::ControllerQuery, Command::ReadLocoEntry, Command::WriteLocoEntry,
      Command::WriteCvByte, Command::VerifyCvByte, Command::VerifyCvBit}},
    {"Controller settings", 5, {Command::ControllerControl, Command::ControllerQuery}},
};

void Soak::act()
{
    int roll = pick(100);
    int index = 0;
    if (!find<QWidget>(window.get(), "ControllerFrame")->isHidden())
        for (index = 1; roll >= kActions[index].weight; ++index)
            roll -= kActions[index].weight;
    action = &kActions[index];
    counts[QStringLiteral("action ") + action->name]++;
    ThrottlePanel* throttle = window->throttle(pick(krTaktora::ThrottleCount));
    AccessoryPanel* panel = window->accessoryPanel(pick(krTaktora::AccessoryPanelCount));
    const QList<QAction*> keys = throttle->functionKeys()->actions();
    switch (index) {
    case 1:
        return throttle->slider()->setValue(pick(256));
    case 2:
        return keys[pick(int(keys.size()))]->trigger();
    case 3:
        return throttle->lightButton()->click();
    case 4:
        return throttle->directionButton()->click();
    case 5:
        throttle->locoNumberBox()->setEditText(QStringList{"3", "1000", "7", "5", "12"}[pick(5)]);
        return throttle->ShowSpeedStepMode();
    case 6:
        return (pick(2) ? panel->onButton(pick(4)) : panel->offButton(pick(4)))->click();
    case 7:
        return find(window.get(), "btnLoadCircuit")->click();
    case 8:
        return find(window.get(), "btnGlobalStop")->click();
    case 9:
        return throttle->stopButton()->click();
    case 11:
        return useLocoList();
    case 12:
        return useSettingsDialog();
    default:
        return window->btnCheck_Click();
    }
}
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
        while (soak.attempts.size() < target && soak.findings.size() < 20)
            soak.act();
        soak.action = &kActions.first(); // whatever the teardown sends
        soak.compareFinalState();

        QMap<QString, int> faults;
        for (const QString& line : soak.sim.logLines())
            if (line.contains(QLatin1String("(fault ")))
                faults[line.section(QLatin1String("(fault "), 1).chopped(1)]++;
        QStringList report{
            QStringLiteral("seed %1, 10 % of requests faulted, clock x%2, wall clock %3 s")
                .arg(kSeed)
                .arg(kScale)
                .arg(wall.elapsed() / 1000),
            QStringLiteral("exchanges %1, transactions %2").arg(soak.attempts.size()).arg(soak.done.size())};
        for (auto it = faults.cbegin(); it != faults.cend(); ++it)
            report << QStringLiteral("fault %1: %2").arg(it.key()).arg(it.value());
        for (auto it = soak.counts.cbegin(); it != soak.counts.cend(); ++it)
            report << QStringLiteral("%1: %2").arg(it.key()).arg(it.value());
        qInfo("%s", qPrintable(report.join('\n')));
        QFile out(qEnvironmentVariable("TAKTORA_SOAK_REPORT"));
        if (!out.fileName().isEmpty() && out.open(QIODevice::WriteOnly | QIODevice::Text))
            out.write((report.join('\n') + '\n').toUtf8());

        QVERIFY2(soak.findings.isEmpty(), qPrintable(soak.findings.join('\n')));
        QVERIFY(soak.attempts.size() >= target);
        QCOMPARE(faults.size(), 6); // every kind the emulator knows
    }
};

TAKTORA_TEST_MAIN(TestSoak)
#include "tst_soak.moc"
