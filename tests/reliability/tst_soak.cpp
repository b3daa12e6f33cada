// SPDX-License-Identifier: GPL-3.0-or-later
// The fault soak: the real main window, driven by a seeded random user, against taktora-sim on
// a real pseudo-terminal that spoils a tenth of all exchanges. The link's clock and the port's
// waits run kScale times fast. At the end the board's state (its log replayed) holds, for every
// loco, function, accessory output and the track, the value of the last request the program
// saw succeed on its own answer, or of one after it; and every failed transaction asked once.
// TAKTORA_SOAK_EXCHANGES sets the number of exchanges (default 10000); the figures go to
// stdout and, with TAKTORA_SOAK_REPORT set, into that file.

#include "AccessoryPanel.h"
#include "CommandSet.h"
#include "ControllerEmulator.h"
#include "ControllerLink.h"
#include "krTaktora.h"
#include "krTaktoraTools.h"
#include "MessageBox.h"
#include "QtSerialPort.h"
#include "SimOptions.h"
#include "SimProcess.h"
#include "TestMain.h"
#include "ThrottlePanel.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QToolBar>
#include <QToolButton>

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
QList<Effect> effectsOf(const FrameFields& f)
{
    const QString n = QString::number(wordFromBytes(f.data1, f.data2));
    switch (f.command) {
    case Command::SetLocoSpeed:
        return {{"speed " + n, f.data3}};
    case Command::StopLoco:
        return {{"speed " + n, 0}};
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
    if (w[0] == "accessory")
        return (board.accessoryOutputs(number) >> w[2].toUInt()) & 1;
    if (w[0] == "function")
        return (loco.functions >> w[2].toUInt()) & 1;
    return w[0] == "speed" ? loco.speed : loco.forward;
}

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
    QList<FrameFields> attempts; // the n-th is the emulator's n-th request
    QList<Done> done;
    QStringList findings;
    int lateTaken = 0; // accepted answers that were an earlier request's

    int pick(int n) { return int(random() % quint32(n)); }
    template <typename T = QPushButton> T* find(QWidget* parent, const QByteArray& name)
    {
        return parent->findChild<T*>(QString::fromLatin1(name));
    }

    void transactionEnded(const TransactionRecord& r)
    {
        done.append({r, int(attempts.size()) - 1});
        const QList<MessageBox::Shown> boxes = MessageBox::takeShown();
        const auto failureBoxes =
            std::count_if(boxes.cbegin(), boxes.cend(), [](const MessageBox::Shown& box) {
                return box.buttons == (QMessageBox::Retry | QMessageBox::Cancel);
            });
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

    // Accepted transactions the board gave no valid answer of their own: they took an earlier
    // request's late answer, so the board may never have carried them out.
    QSet<int> judgeAnswers()
    {
        // The emulator logs a request once it has read it: the last ones may still be on their way.
        QList<QByteArray> answers = answersFromTheLog();
        for (int waited = 0; answers.size() < attempts.size() && waited < 5000; waited += 50) {
            QTest::qWait(50);
            answers = answersFromTheLog();
        }
        if (answers.size() != attempts.size())
            findings << QStringLiteral("%1 requests, %2 logged").arg(attempts.size()).arg(answers.size());
        QSet<int> unanswered;
        for (int k = 0; k < done.size(); ++k) {
            const QByteArray own = answers.value(done[k].attempt).left(FrameSize);
            FrameFields ownAnswer;
            if (!done[k].record.accepted)
                continue;
            lateTaken += own != encodeFrame(done[k].record.result);
            if (!decodeFrame(own, ownAnswer) || ownAnswer.command == Answer::Failed)
                unanswered << k;
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
        QMap<QString, QSet<int>> allowed; // for each value: the candidates the program's view allows
        for (int k = 0; k < done.size(); ++k) {
            const TransactionRecord& r = done[k].record;
            for (const Effect& e : effectsOf(r.request)) {
                if (!allowed.contains(e.key))
                    allowed[e.key] = {boardValue(*fresh.controller(1), e.key)};
                if (r.accepted && !unanswered.contains(k))
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

// What the user does; the check whenever the operating controls are hidden.
void Soak::act()
{
    ThrottlePanel* throttle = window->throttle(pick(krTaktora::ThrottleCount));
    AccessoryPanel* panel = window->accessoryPanel(pick(krTaktora::AccessoryPanelCount));
    const QList<QAction*> keys = throttle->functionKeys()->actions();
    const int roll = find<QWidget>(window.get(), "ControllerFrame")->isHidden() ? 100 : pick(100);
    if (roll < 45)
        throttle->slider()->setValue(pick(256));
    else if (roll < 60)
        keys[pick(int(keys.size()))]->trigger();
    else if (roll < 65) // refused by the window while the loco moves
        throttle->directionButton()->click();
    else if (roll < 85)
        (pick(2) ? panel->onButton(pick(4)) : panel->offButton(pick(4)))->click();
    else if (roll < 92)
        find(window.get(), "btnLoadCircuit")->click();
    else if (roll < 96)
        throttle->stopButton()->click();
    else
        window->btnCheck_Click();
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
        soak.compareFinalState();

        QMap<QString, int> faults;
        for (const QString& line : soak.sim.logLines())
            if (line.contains(QLatin1String("(fault ")))
                faults[line.section(QLatin1String("(fault "), 1).chopped(1)]++;
        QString report =
            QStringLiteral("seed %1, clock x%2, wall clock %3 s, exchanges %4, late answers taken %5\n")
                .arg(kSeed)
                .arg(kScale)
                .arg(wall.elapsed() / 1000)
                .arg(soak.attempts.size())
                .arg(soak.lateTaken);
        for (auto it = faults.cbegin(); it != faults.cend(); ++it)
            report += QStringLiteral("fault %1: %2\n").arg(it.key()).arg(it.value());
        qInfo("%s", qPrintable(report));
        QFile out(qEnvironmentVariable("TAKTORA_SOAK_REPORT"));
        if (!out.fileName().isEmpty() && out.open(QIODevice::WriteOnly | QIODevice::Text))
            out.write(report.toUtf8());

        QVERIFY2(soak.findings.isEmpty(), qPrintable(soak.findings.join('\n')));
        QCOMPARE(faults.size(), 6); // every kind the emulator knows
    }
};

TAKTORA_TEST_MAIN(TestSoak)
#include "tst_soak.moc"
