// SPDX-License-Identifier: GPL-3.0-or-later
// The Controller settings dialog on a real pseudo-terminal against taktora-sim. The fault soak
// opens it from the dashboard and saves through it under faults.

#include "CommandSet.h"
#include "krControllerSettingsDD.h"
#include "krTaktoraTools.h"
#include "LineClient.h"
#include "SimWindow.h"
#include "TestMain.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

Q_DECLARE_METATYPE(QList<FrameFields>)

namespace {
const QStringList kPins{"txtOperationPin",   "txtOperationCircuit",   "txtSensingChannelAPin",
                        "txtProgrammingPin", "txtProgrammingCircuit", "txtSensingChannelBPin"};
const QList<FrameFields> kReads{Request::readFirmwareVersion(1), Request::queryControllerStatus(1),
                                Request::readOperationPins(1), Request::readProgrammingPins(1)};

// The emulator started with `args` as COM3, and a dialog for its Controller 1.
struct Rig : SimWindow<krControllerSettingsDD>
{
    explicit Rig(const QString& args) : SimWindow(args.split(' ', Qt::SkipEmptyParts)) {}
    bool start()
    {
        if (!sim.attachAs(link, "COM3"))
            return false;
        link.setChecked(1); // as the main window's check does
        return true;
    }
    void open(bool allowHWNotstop = false) // the dashboard always allows the emergency stop's box
    {
        window = std::make_unique<krControllerSettingsDD>(link);
        window->setControllerID(1);
        if (!allowHWNotstop)
            window->setAllowHWNotstop(false);
        window->show();
    }
    // Version, layout, emergency stop ("n/v", "on", "off"), the six pins: what the user sees.
    QString shown() const
    {
        const auto* box = get<QCheckBox>("chkHWNotstop");
        const auto* notAvailable = get<QLabel>("lblNotstopNotAvailable");
        // Both or neither shown would read "offn/v" or "".
        QStringList texts{get<QLabel>("lblFirmwareVersion")->text(), get<QLabel>("lblControllerType")->text(),
                          (box->isVisible() ? (box->isChecked() ? "on" : "off") : "") +
                              (notAvailable->isVisible() ? notAvailable->text() : "")};
        for (const QString& name : kPins)
            texts << get<QLineEdit>(name)->text();
        return texts.join(',');
    }
    // "e" for each of the six fields and the box that is enabled, then "v" for each shown button of
    // cmdChangeSettings, cmdClose, cmdOK, cmdCancel.
    QString view() const
    {
        QString v;
        for (const QString& name : kPins + QStringList{"chkHWNotstop"})
            v += get(name)->isEnabled() ? 'e' : '-';
        for (const char* name : {"cmdChangeSettings", "cmdClose", "cmdOK", "cmdCancel"})
            v += get(name)->isVisible() ? 'v' : '-';
        return v;
    }
};
const QString kReadOnly = "-------vv--";
const QString kEditable = "eeeeeee--vv";
} // namespace

class TestSettingsSim : public QObject
{
    Q_OBJECT

private slots:
    void init() { MessageBox::takeShown(); }

    void showsWhatTheControllerStores_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<bool>("allowHWNotstop");
        QTest::addColumn<QString>("shown");
        QTest::newRow("mega") << "--firmware 1.4.2 --operation-pins 3,0,54 --programming-pins 70,53,69"
                              << false << "1.4.2,Mega,off,3,n/a,A0,70,53,A15";
        QTest::newRow("uno, stop on") << "--board uno --emergency-stop-on --operation-pins 14,15,16" << false
                                      << "5.2.3,Uno,on,A0,A1,16,11,10,A1";
        QTest::newRow("unknown layout") << "--board unknown --no-emergency-stop --programming-pins 14,15,54"
                                        << false << "5.2.3,Undefiniert,n/v,3,2,54,14,15,54";
        QTest::newRow("opener keeps the stop away")
            << "--emergency-stop-on" << true << "5.2.3,Mega,n/v,3,2,A0,11,10,A1";
        QTest::newRow("no answer") << "--fault no-answer" << false
                                   << "0.0.0,Undefiniert,n/v,n/a,n/a,n/a,n/a,n/a,n/a";
    }
    void showsWhatTheControllerStores()
    {
        QFETCH(QString, args);
        QFETCH(bool, allowHWNotstop);
        Rig rig(args);
        QVERIFY2(rig.start(), qPrintable(rig.sim.errorString()));
        rig.open(allowHWNotstop);
        QCOMPARE(rig.window->windowTitle(), QStringLiteral("Controller-Einstellungen (Controller 1)"));
        QTEST(rig.shown(), "shown");
        QCOMPARE(rig.view(), kReadOnly);
        // Read once, up to the first read that fails, without a word to the user.
        QCOMPARE(rig.sim.requests(), args.contains("no-answer") ? QList<FrameFields>(2, kReads[0]) : kReads);
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void okSavesOrRefuses_data()
    {
        using namespace Request;
        QTest::addColumn<QString>("args");
        QTest::addColumn<QString>("typed");   // the six pins and the box, as shown()
        QTest::addColumn<int>("refused");     // the field that fails; -1: saved
        QTest::addColumn<QString>("message"); // its start
        QTest::addColumn<QList<FrameFields>>("sent");
        QTest::addColumn<QString>("reread"); // by a new dialog afterwards
        auto saved = [](const char* tag, const char* args, const char* typed, const QList<FrameFields>& sent,
                        const char* reread) {
            QTest::newRow(tag) << args << typed << -1 << "Neue Einstellungen wurden im Controller gespeichert"
                               << sent << reread;
        };
        auto refused = [](const char* tag, const char* typed, int field, const char* message) {
            QTest::newRow(tag) << QString() << typed << field << message << QList<FrameFields>() << QString();
        };
        saved("mega, stop off", "--emergency-stop-on", "5,6,a15,12,13,A3,off",
              {setHardwareEmergencyStop(1, false), setOperationPins(1, 5, 6), setProgrammingPins(1, 12, 13),
               setMonitoringPins(1, 69, 57)},
              "5.2.3,Mega,off,5,6,A15,12,13,A3");
        // A2 is 16 on an Uno, which reads back as a digital pin.
        saved("uno without stop", "--board uno --no-emergency-stop", "7,8,A2,9,53,A1,off",
              {setOperationPins(1, 7, 8), setProgrammingPins(1, 9, 53), setMonitoringPins(1, 16, 15)},
              "5.2.3,Uno,n/v,7,8,16,9,53,A1");
        // Without a layout an analog name has no number.
        saved("unknown layout, stop on", "--board unknown", "2,3,A3,4,5,A0,on",
              {setHardwareEmergencyStop(1, true), setOperationPins(1, 2, 3), setProgrammingPins(1, 4, 5),
               setMonitoringPins(1, 0, 0)},
              "5.2.3,Undefiniert,on,2,3,n/a,4,5,n/a");
        refused("pin emptied", " ,2,A0,11,10,A1,off", 0,
                "Der Ausgangsport für den Fahrmodus muß eingegeben werden.");
        refused("monitoring A16", "3,2,A0,11,10,A16,off", 5,
                "Der Port für die Überwachung im Programmiermodus ");
    }
    void okSavesOrRefuses()
    {
        QFETCH(QString, args);
        QFETCH(int, refused);
        Rig rig(args);
        QVERIFY2(rig.start(), qPrintable(rig.sim.errorString()));
        rig.open();
        for (auto answer : {QMessageBox::No, QMessageBox::Yes}) {
            MessageBox::setNextAnswer(answer);
            rig.get<QPushButton>("cmdChangeSettings")->click();
            QCOMPARE(rig.view(), answer == QMessageBox::Yes ? kEditable : kReadOnly);
        }
        const auto warning = MessageBox::takeShown().value(0);
        QCOMPARE(warning.icon, QMessageBox::Critical);
        QCOMPARE(warning.defaultButton, QMessageBox::No);
        QCOMPARE(warning.text,
                 "Eine Anpassung dieser Einstellungen ändert massiv die Funktionsweise Ihres "
                 "Controllers.\n\nBitte nehmen Sie diese daher nur nach ausdrücklicher Rücksprache "
                 "mit unserem Support vor.\n\nMöchten Sie fortfahren ?");
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QTest::keyClicks(rig.get("txtOperationPin"), "45"); // typing stops at two digits
        QCOMPARE(rig.get<QLineEdit>("txtOperationPin")->text(), QStringLiteral("34"));
        for (int i = 0; i < kPins.size(); ++i)
            rig.get<QLineEdit>(kPins[i])->setText(typed.section(',', i, i));
        rig.get<QCheckBox>("chkHWNotstop")->setChecked(typed.endsWith(",on"));
        rig.get<QPushButton>("cmdOK")->click();

        QTEST(rig.sim.requests().mid(kReads.size()), "sent");
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.startsWith(message), qPrintable(shown[0].text));
        QCOMPARE(shown[0].icon, refused < 0 ? QMessageBox::Information : QMessageBox::Warning);
        QCOMPARE(shown[0].title, QStringLiteral("KORADIN Taktora"));
        QCOMPARE(rig.window->isVisible(), refused >= 0);
        if (refused >= 0) { // waiting for a correction where it failed
            QCOMPARE(rig.window->focusWidget(), rig.get(kPins[refused]));
            return;
        }
        rig.open();
        QTEST(rig.shown(), "reread");
    }
};

TAKTORA_TEST_MAIN(TestSettingsSim)
#include "tst_settings_sim.moc"
