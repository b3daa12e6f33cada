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
    bool editable() const
    {
        bool all = true, none = true;
        for (const QString& name : kPinFields + QStringList{"chkHWNotstop"}) {
            const bool enabled = find<QWidget>(name)->isEnabled();
            all = all && enabled;
            none = none && !enabled;
        }
        if (all == none)
            qFatal("some controls editable, others not");
        return all && find<QPushButton>("cmdOK")->isVisible() && !find<QPushButton>("cmdClose")->isVisible();
    }
    void changeSettings(QMessageBox::StandardButton answer)
    {
        MessageBox::setNextAnswer(answer);
        find<QPushButton>("cmdChangeSettings")->click();
    }
};
} // namespace

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
        QVERIFY(!rig.editable());
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
        QVERIFY(!rig.editable());
        rig.changeSettings(QMessageBox::Yes);
        QVERIFY(rig.editable());
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
};

TAKTORA_TEST_MAIN(TestSettingsSim)
#include "tst_settings_sim.moc"
