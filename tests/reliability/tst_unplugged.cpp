// The Controller's cable is pulled while the program runs: the real main window on a real
// pseudo-terminal that disappears between exchanges and in the middle of one.

#include "AccessoryPanel.h"
#include "CommandSet.h"
#include "krTaktora.h"
#include "krTaktoraTools.h"
#include "MessageBox.h"
#include "SimProcess.h"
#include "TestMain.h"
#include "ThrottlePanel.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <memory>
#include <thread>

namespace {
const QString kNoAnswer = QStringLiteral("Controller 1 antwortet nicht.");
const QString kPortError = QStringLiteral(
    "Fehler beim Zugriff auf COM3\n\nBitte überprüfen Sie den eingestellten COM-Port.\n\n(Fehler ");

// The boxes of one failed command: the port error once, then the failure box once.
void expectPortErrorThenFailureBox()
{
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QStringList texts;
    for (const MessageBox::Shown& box : shown)
        texts << box.text;
    QVERIFY2(texts.size() == 2, qPrintable(texts.join(" | ")));
    QVERIFY2(texts[0].startsWith(kPortError), qPrintable(texts[0]));
    QCOMPARE(texts[1], kNoAnswer);
}

// Chooses COM3 in the options dialog the way a user does, once the dialog is up.
void choosePortInOptions(krTaktora& window)
{
    QTimer::singleShot(0, &window, [] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog && dialog->objectName() == QLatin1String("krOptions"));
        auto* list = dialog->findChild<QComboBox*>(QStringLiteral("cmbComPort"));
        list->setCurrentIndex(list->findText(QStringLiteral("COM3")));
        dialog->findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
    });
    window.Toolbar1_ButtonClick(window.findChild<QAction*>(QStringLiteral("btnOptions")));
}

struct Dashboard
{
    std::unique_ptr<krTaktora> window;
    Dashboard()
    {
        WriteSetting(QStringLiteral("SignalOutputTo"), QStringLiteral("COM3"), QStringLiteral("Taktora"));
        window = std::make_unique<krTaktora>(QStringLiteral("/usr/bin/taktora"));
    }
    ~Dashboard()
    {
        window.reset();
        CloseControllerPort();
    }
    QString check()
    {
        window->findChild<QLineEdit*>(QStringLiteral("txtControllerNr"))->setText(QStringLiteral("1"));
        window->btnCheck_Click();
        return window->findChild<QLabel*>(QStringLiteral("lblStatus"))->text();
    }
};

// Kills the emulator as soon as its log shows the request it is waiting for, so the program is
// inside that exchange, waiting for the answer, when the line goes.
std::thread killOnRequest(SimProcess& sim, const QString& requestLine)
{
    const qint64 pid = sim.pid();
    return std::thread([&sim, pid, requestLine] {
        while (!sim.logLines().contains(requestLine))
            QThread::msleep(5);
        ::kill(pid_t(pid), SIGKILL);
    });
}
} // namespace

class TestUnplugged : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QSettings(QStringLiteral("KORADIN"), QStringLiteral("KORADIN")).clear();
        MessageBox::takeShown();
    }

    void mainWindowBetweenAndDuringExchanges()
    {
        auto sim = std::make_unique<SimProcess>(QStringList{"--fault", "no-answer@23"});
        QVERIFY2(sim->start(), qPrintable(sim->errorString()));
        sim->registerAs(QStringLiteral("COM3"));
        Dashboard dash;
        QCOMPARE(dash.check(), QStringLiteral("OK (Firmware 5.2.3) "));
        ThrottlePanel* throttle = dash.window->throttle(0);

        // During an exchange: speed commands go unanswered, and the line goes while one waits.
        std::thread killer = killOnRequest(*sim, QStringLiteral("> 1, 23, 1, 0, 155, 140"));
        throttle->slider()->setValue(100);
        killer.join();
        expectPortErrorThenFailureBox();

        // Between exchanges: every further command fails the same way and the window stays usable.
        throttle->slider()->setValue(255);
        expectPortErrorThenFailureBox();
        dash.window->accessoryPanel(0)->onButton(1)->click();
        expectPortErrorThenFailureBox();
        QCOMPARE(dash.check(), QStringLiteral("Kommunikationsfehler"));
        QVERIFY(!MessageBox::takeShown().isEmpty());

        // The board is back on another device; the user picks COM3 again in the options.
        SimProcess back;
        QVERIFY2(back.start(), qPrintable(back.errorString()));
        back.registerAs(QStringLiteral("COM3"));
        choosePortInOptions(*dash.window);
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(dash.check(), QStringLiteral("OK (Firmware 5.2.3) "));
        throttle->slider()->setValue(100);
        QCOMPARE(back.requests().last(), Request::setLocoSpeed(1, 1, 155));
        QVERIFY(MessageBox::takeShown().isEmpty());
    }
};

TAKTORA_TEST_MAIN(TestUnplugged)
#include "tst_unplugged.moc"
