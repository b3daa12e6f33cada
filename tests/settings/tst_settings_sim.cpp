// The Controller settings dialog on a real pseudo-terminal against taktora-sim.

#include "CommandSet.h"
#include "krControllerSettingsDD.h"
#include "krTaktora.h"
#include "krTaktoraTools.h"
#include "SimProcess.h"
#include "TestMain.h"

#include <QCheckBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTimer>

#include <memory>

namespace {
const QStringList kPinFields{"txtOperationPin",   "txtOperationCircuit",   "txtSensingChannelAPin",
                             "txtProgrammingPin", "txtProgrammingCircuit", "txtSensingChannelBPin"};
const QList<FrameFields> kReads{Request::readFirmwareVersion(1), Request::queryControllerStatus(1),
                                Request::readOperationPins(1), Request::readProgrammingPins(1)};

struct SettingsRig
{
    SimProcess sim;
    std::unique_ptr<krControllerSettingsDD> dialog;

    explicit SettingsRig(const QStringList& arguments) : sim(arguments) {}
    ~SettingsRig() { CloseControllerPort(); }
    bool start()
    {
        if (!sim.start())
            return false;
        sim.registerAs(QStringLiteral("COM3"));
        SetPortName(QStringLiteral("COM3"));
        return OpenControllerPort(QStringLiteral("COM3"), true);
    }
    // A new dialog for Controller 1, as the dashboard opens it unless told otherwise.
    void open(bool allowHWNotstop = false)
    {
        dialog = std::make_unique<krControllerSettingsDD>();
        dialog->setControllerID(1);
        if (!allowHWNotstop)
            dialog->setAllowHWNotstop(false);
        dialog->show();
    }
    template <typename T> T* find(const QString& name) const
    {
        T* w = dialog->findChild<T*>(name);
        if (!w)
            qFatal("missing control %s", qPrintable(name));
        return w;
    }
    QStringList pins() const
    {
        QStringList texts;
        for (const QString& name : kPinFields)
            texts << find<QLineEdit>(name)->text();
        return texts;
    }
    // "n/v", "on" or "off", with the check box's and the label's visibility agreeing.
    QString stop() const
    {
        const auto* box = find<QCheckBox>("chkHWNotstop");
        if (box->isVisible() == find<QLabel>("lblNotstopNotAvailable")->isVisible())
            return QStringLiteral("both or neither shown");
        return box->isVisible() ? QString(box->isChecked() ? "on" : "off") : QStringLiteral("n/v");
    }
    // "editable" or "read-only": the six fields and the check box go together, and so do the buttons.
    QString view() const
    {
        auto shown = [this](const char* name) { return find<QWidget>(name)->isVisibleTo(dialog.get()); };
        int enabled = 0;
        for (const QString& name : kPinFields + QStringList{"chkHWNotstop"})
            enabled += find<QWidget>(name)->isEnabled() ? 1 : 0;
        const bool editPair = shown("cmdOK") && shown("cmdCancel");
        const bool readPair = shown("cmdChangeSettings") && shown("cmdClose");
        if (enabled == kPinFields.size() + 1 && editPair && !readPair)
            return QStringLiteral("editable");
        if (enabled == 0 && readPair && !editPair)
            return QStringLiteral("read-only");
        return QStringLiteral("mixed");
    }
    void changeSettings(QMessageBox::StandardButton answer)
    {
        MessageBox::setNextAnswer(answer);
        find<QPushButton>("cmdChangeSettings")->click();
    }
};
} // namespace

Q_DECLARE_METATYPE(QList<FrameFields>)

class TestSettingsSim : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QSettings("KORADIN", "KORADIN").clear();
        MessageBox::takeShown();
    }

    void showsWhatTheControllerStores_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("allowHWNotstop");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("stop");
        QTest::addColumn<QStringList>("pins");
        QTest::newRow("mega") << QStringList{"--firmware",         "1.4.2",   "--operation-pins", "3,0,54",
                                             "--programming-pins", "70,53,69"}
                              << false << "1.4.2"
                              << "Mega"
                              << "off" << QStringList{"3", "n/a", "A0", "70", "53", "A15"};
        QTest::newRow("uno, stop on") << QStringList{"--board",          "uno",      "--emergency-stop-on",
                                                     "--operation-pins", "14,15,16", "--programming-pins",
                                                     "11,13,15"}
                                      << false << "5.2.3"
                                      << "Uno"
                                      << "on" << QStringList{"A0", "A1", "16", "11", "13", "A1"};
        QTest::newRow("unknown layout, no stop")
            << QStringList{"--board", "unknown", "--no-emergency-stop", "--programming-pins", "14,15,54"}
            << false << "5.2.3"
            << "Undefiniert"
            << "n/v" << QStringList{"3", "2", "54", "14", "15", "54"};
        QTest::newRow("opener keeps the stop away") << QStringList{"--emergency-stop-on"} << true << "5.2.3"
                                                    << "Mega"
                                                    << "n/v" << QStringList{"3", "2", "A0", "11", "10", "A1"};
        QTest::newRow("no answer") << QStringList{"--fault", "no-answer"} << false << "0.0.0"
                                   << "Undefiniert"
                                   << "n/v" << QStringList(6, "n/a");
    }
    void showsWhatTheControllerStores()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, allowHWNotstop);
        SettingsRig rig(args);
        QVERIFY2(rig.start(), qPrintable(rig.sim.errorString()));
        rig.open(allowHWNotstop);
        QCOMPARE(rig.dialog->windowTitle(), QStringLiteral("Controller-Einstellungen (Controller 1)"));
        QTEST(rig.find<QLabel>("lblFirmwareVersion")->text(), "version");
        QTEST(rig.find<QLabel>("lblControllerType")->text(), "layout");
        QTEST(rig.stop(), "stop");
        QTEST(rig.pins(), "pins");
        QCOMPARE(rig.view(), QStringLiteral("read-only"));
        // Read once, stopping at the first read that fails, and never a word to the user.
        const bool answers = !args.contains("no-answer");
        QCOMPARE(rig.sim.requests(), answers ? kReads : QList<FrameFields>(2, kReads[0]));
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void editingOnlyAfterTheWarning()
    {
        SettingsRig rig({"--emergency-stop-on"});
        QVERIFY2(rig.start(), qPrintable(rig.sim.errorString()));
        rig.open();
        rig.dialog->layout()->activate();
        const int buttonRow = rig.find<QPushButton>("cmdChangeSettings")->y();
        rig.changeSettings(QMessageBox::No);
        QCOMPARE(rig.view(), QStringLiteral("read-only"));
        rig.changeSettings(QMessageBox::Yes);
        QCOMPARE(rig.view(), QStringLiteral("editable"));
        QCOMPARE(rig.stop(), QStringLiteral("on"));
        rig.dialog->layout()->activate();
        QCOMPARE(rig.find<QPushButton>("cmdOK")->y(), buttonRow);
        QVERIFY(rig.find<QPushButton>("cmdOK")->x() < rig.find<QPushButton>("cmdCancel")->x());
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].icon, QMessageBox::Critical);
        QCOMPARE(shown[0].title, QStringLiteral("KORADIN Taktora"));
        QCOMPARE(shown[0].defaultButton, QMessageBox::No);
        QCOMPARE(shown[0].text,
                 QStringLiteral("Eine Anpassung dieser Einstellungen ändert massiv die "
                                "Funktionsweise Ihres Controllers.\n\nBitte nehmen Sie diese daher "
                                "nur nach ausdrücklicher Rücksprache mit unserem Support "
                                "vor.\n\nMöchten Sie fortfahren ?"));
        // Typing stops at the field's length.
        auto* field = rig.find<QLineEdit>("txtOperationPin");
        field->clear();
        QTest::keyClicks(field, "123");
        QCOMPARE(field->text(), QStringLiteral("12"));
        rig.find<QPushButton>("cmdCancel")->click();
        QVERIFY(!rig.dialog->isVisible());
        QCOMPARE(rig.sim.requests(), kReads);
    }

    void savingWritesEveryStep_data()
    {
        using namespace Request;
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QList<FrameFields>>("sent");
        QTest::addColumn<QStringList>("reread");
        QTest::addColumn<QString>("stop");
        QTest::newRow("mega, stop switched off")
            << QStringList{"--emergency-stop-on"} << QStringList{"5", "6", "a15", "12", "13", "A3"}
            << QList<FrameFields>{setHardwareEmergencyStop(1, false), setOperationPins(1, 5, 6),
                                  setProgrammingPins(1, 12, 13), setMonitoringPins(1, 69, 57)}
            << QStringList{"5", "6", "A15", "12", "13", "A3"} << "off";
        // A2 is 16 on an Uno, and 16 reads back as a digital pin.
        QTest::newRow("uno without stop")
            << QStringList{"--board", "uno", "--no-emergency-stop"}
            << QStringList{"7", "8", "A2", "9", "53", "A1"}
            << QList<FrameFields>{setOperationPins(1, 7, 8), setProgrammingPins(1, 9, 53),
                                  setMonitoringPins(1, 16, 15)}
            << QStringList{"7", "8", "16", "9", "53", "A1"} << "n/v";
        // Without a layout an analog name has no number: the monitoring pins are cleared.
        QTest::newRow("unknown layout, stop switched on")
            << QStringList{"--board", "unknown"} << QStringList{"2", "3", "A3", "4", "5", "A0"}
            << QList<FrameFields>{setHardwareEmergencyStop(1, true), setOperationPins(1, 2, 3),
                                  setProgrammingPins(1, 4, 5), setMonitoringPins(1, 0, 0)}
            << QStringList{"2", "3", "n/a", "4", "5", "n/a"} << "on";
    }
    void savingWritesEveryStep()
    {
        QFETCH(QStringList, typed);
        QFETCH(QList<FrameFields>, sent);
        QFETCH(QString, stop);
        QFETCH(QStringList, args);
        SettingsRig rig(args);
        QVERIFY2(rig.start(), qPrintable(rig.sim.errorString()));
        rig.open();
        rig.changeSettings(QMessageBox::Yes);
        for (int i = 0; i < kPinFields.size(); ++i)
            rig.find<QLineEdit>(kPinFields[i])->setText(typed[i]);
        rig.find<QCheckBox>("chkHWNotstop")->setChecked(stop == "on");
        MessageBox::takeShown();
        rig.find<QPushButton>("cmdOK")->click();
        QCOMPARE(rig.sim.requests().mid(kReads.size()), sent);
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("Neue Einstellungen wurden im Controller gespeichert"));
        QCOMPARE(shown[0].icon, QMessageBox::Information);
        QCOMPARE(shown[0].title, QStringLiteral("KORADIN Taktora"));
        QCOMPARE(rig.dialog->result(), int(QDialog::Accepted));
        QVERIFY(!rig.dialog->isVisible());
        // The Controller keeps what was written: a new dialog reads it back.
        rig.open();
        QTEST(rig.pins(), "reread");
        QCOMPARE(rig.stop(), stop);
    }

    void validationKeepsTheDialogOpen_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("output pin emptied") << "txtOperationPin"
                                            << " "
                                            << "Der Ausgangsport für den Fahrmodus muß eingegeben werden.";
        QTest::newRow("n/a left") << "txtOperationCircuit"
                                  << "n/a"
                                  << "Der Port für den Laststrom im Fahrmodus muß numerisch sein.";
        QTest::newRow("digital pin 54") << "txtProgrammingPin"
                                        << "54"
                                        << "Der Ausgangsport für den Programmiermodus ist nicht im gültigen "
                                           "Bereich (2 bis 53) .";
        QTest::newRow("monitoring A16") << "txtSensingChannelAPin"
                                        << "A16"
                                        << "Der Port für die Überwachung im Fahrmodus";
        QTest::newRow("monitoring digital") << "txtSensingChannelBPin"
                                            << "54"
                                            << "Der Port für die Überwachung im Programmiermodus";
    }
    void validationKeepsTheDialogOpen()
    {
        QFETCH(QString, field);
        QFETCH(QString, message);
        QFETCH(QString, text);
        SettingsRig rig({});
        QVERIFY2(rig.start(), qPrintable(rig.sim.errorString()));
        rig.open();
        rig.changeSettings(QMessageBox::Yes);
        rig.find<QLineEdit>(field)->setText(text);
        MessageBox::takeShown();
        rig.find<QPushButton>("cmdOK")->click();
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.startsWith(message + (message.endsWith('.') ? "" : " ")),
                 qPrintable(shown[0].text));
        QCOMPARE(rig.dialog->focusWidget(), rig.find<QLineEdit>(field));
        QVERIFY(rig.dialog->isVisible());
        QCOMPARE(rig.sim.requests(), kReads);
    }

    void dashboardOpensTheCheckedController()
    {
        SettingsRig rig({"--controller", "4", "--emergency-stop-on"});
        QVERIFY2(rig.start(), qPrintable(rig.sim.errorString()));
        WriteSetting("SignalOutputTo", "COM3", "Taktora");
        krTaktora window(QStringLiteral("/usr/bin/taktora"));
        window.findChild<QLineEdit*>("txtControllerNr")->setText("4");
        window.btnCheck_Click();
        QString seen;
        QTimer::singleShot(0, this, [&] {
            if (auto* dialog = qobject_cast<krControllerSettingsDD*>(QApplication::activeModalWidget())) {
                const auto* box = dialog->findChild<QCheckBox*>("chkHWNotstop");
                seen = dialog->windowTitle() + (box->isVisible() && box->isChecked() ? " ticked" : "");
                dialog->findChild<QPushButton*>("cmdClose")->click();
            }
        });
        window.findChild<QPushButton*>("cmdControllerSettings")->click();
        QCOMPARE(seen, QStringLiteral("Controller-Einstellungen (Controller 4) ticked"));
        QCOMPARE(rig.sim.requests().last(), Request::readProgrammingPins(4));
    }
};

TAKTORA_TEST_MAIN(TestSettingsSim)
#include "tst_settings_sim.moc"
