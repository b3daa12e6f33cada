// SPDX-License-Identifier: GPL-3.0-or-later
// The roster on the screen: the roster window's tables, and the throttles showing names and
// labels, sending a push-button function's two frames and keeping a loco under its top speed.

#include "CommandSet.h"
#include "DashboardRig.h"
#include "DashboardRules.h"
#include "krDecoderSheet.h"
#include "krRoster.h"
#include "LocoNumberBox.h"
#include "Roster.h"
#include "RosterModels.h"
#include "SheetModel.h"
#include "TestMain.h"
#include "ThrottlePanel.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QStandardPaths>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>

namespace {

QTemporaryDir dataHome;

} // namespace

class tst_roster_throttles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void windowEditsAndOffersConfiguredLocos();
    void listShowsNamesFieldKeepsNumbers();
    void functionKeys_data();
    void functionKeys();
    void decoderSheetToAndFromRoster();
};

void tst_roster_throttles::initTestCase()
{
    // The main window reads the roster from the user's data folder: here a folder of the test's.
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
    QList<Roster::Entry> imported = LocoRoster::readFolder(QStringLiteral(ROSTER_DATA)).entries;
    QCOMPARE(imported.size(), 3);
    QCOMPARE(LocoRoster::writeFolder(LocoRoster::defaultFolder(), imported), QString());
}

void tst_roster_throttles::windowEditsAndOffersConfiguredLocos()
{
    QTemporaryDir dir;
    LocoRoster roster(dir.path());
    krRoster window(roster, [] { return QList<int>{3, 7, 3, 20000, 9}; });
    QAbstractItemModelTester rosterTester(window.model(),
                                          QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester functionTester(window.functionModel(),
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
    window.show();
    auto* offered = window.findChild<QComboBox*>(QStringLiteral("cboOffered"));
    QCOMPARE(offered->count(), 4); // 3, 7 and 9 from the Controller, then 1, the first free number
    QCOMPARE(offered->itemData(1).toInt(), 7);
    offered->setCurrentIndex(1);
    window.cmdAdd_Click();
    QCOMPARE(roster.entries().size(), 1);
    QCOMPARE(roster.entries().first().id, QStringLiteral("Lok 7"));
    QCOMPARE(offered->count(), 3); // 7 is no longer offered

    RosterModel* model = window.model();
    QVERIFY(model->setData(model->index(0, RosterModel::Name), QStringLiteral("BR 218")));
    QVERIFY(!model->setData(model->index(0, RosterModel::Number), QStringLiteral("10240")));
    QVERIFY(!model->setData(model->index(0, RosterModel::MaxSpeed), QStringLiteral("schnell")));
    QVERIFY(model->setData(model->index(0, RosterModel::MaxSpeed), QStringLiteral("75")));
    window.table()->setCurrentIndex(model->index(0, 0));
    FunctionModel* functions = window.functionModel();
    QCOMPARE(functions->rowCount(), Roster::FunctionCount);
    QVERIFY(functions->setData(functions->index(2, FunctionModel::Label), QStringLiteral("Horn")));
    QVERIFY(
        functions->setData(functions->index(2, FunctionModel::Momentary), Qt::Checked, Qt::CheckStateRole));

    // Everything went to the files at once.
    LocoRoster reread(dir.path());
    QCOMPARE(reread.load(), QStringList());
    const Roster::Entry& e = reread.entries().first();
    QCOMPARE(e.id, QStringLiteral("BR 218"));
    QCOMPARE(e.number, 7);
    QCOMPARE(e.maxSpeed, 75);
    QCOMPARE(e.functions[2].label, QStringLiteral("Horn"));
    QVERIFY(e.functions[2].momentary);

    // Import, then export: what came in goes out again.
    QTemporaryDir out;
    window.setFileChooser([&](krRoster::FileAction action) {
        return action == krRoster::FileAction::Import ? QStringLiteral(ROSTER_DATA "/roster.xml")
                                                      : out.filePath(QStringLiteral("roster.xml"));
    });
    window.cmdImport_Click();
    const QStringList told = takeShownTexts();
    QCOMPARE(told.size(), 1);
    QVERIFY2(told.first().contains(QStringLiteral("roster/Koef_II.xml, Zeile 9")), qPrintable(told.first()));
    QCOMPARE(roster.entries().size(), 3); // "BR 218" replaced, "V 100" and "Köf II" added
    QCOMPARE(roster.entries().first().number, 218);
    window.cmdExport_Click();
    QCOMPARE(LocoRoster::readFolder(out.path()).entries.size(), 3);
}

void tst_roster_throttles::listShowsNamesFieldKeepsNumbers()
{
    DashboardRig rig({"--locos", "3:28,218:126,5:14"});
    rig.check();
    ThrottlePanel* t = rig.window->throttle(0);
    t->FillLocoNumberList();
    LocoNumberBox* box = t->locoNumberBox();
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    QCOMPARE(items,
             QStringList({QStringLiteral("3 – V 100"), QStringLiteral("218 – BR 218"), QStringLiteral("5")}));
    box->setCurrentIndex(1);
    QCOMPARE(box->currentText(), QStringLiteral("218"));
    QCOMPARE(t->shownLoco(), std::optional<quint16>(218));

    // BR 218 runs at 80 % at most: full slider sends 204, a slow one what it shows.
    rig.link.port.resetLog();
    t->slider()->setValue(0);
    t->slider()->setValue(200);
    QCOMPARE(rig.sentLines({Command::SetLocoSpeed}),
             QStringList({QStringLiteral("23:218:204"), QStringLiteral("23:218:55")}));

    // A typed "2" is loco 2, not the listed 218 it begins, whether the user leaves or confirms.
    t->slider()->setValue(Dashboard::RestingPosition); // the field is locked while the loco runs
    rig.window->show();
    QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
    for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Return}) {
        box->setFocus();
        box->lineEdit()->clear();
        QTest::keyClicks(box->lineEdit(), QStringLiteral("2"));
        QTest::keyClick(box->lineEdit(), key);
        QCOMPARE(box->currentText(), QStringLiteral("2"));
    }
}

void tst_roster_throttles::functionKeys_data()
{
    QTest::addColumn<QString>("loco");
    QTest::addColumn<QString>("action"); // mouse, space, ctrl: how F-key `key` is worked
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("whilePressed");
    QTest::addColumn<QStringList>("afterRelease");
    QTest::newRow("horn by mouse") << "218"
                                   << "mouse"
                                   << "F2" << QStringList{"27:218:2"} << QStringList{"27:218:2", "28:218:2"};
    QTest::newRow("horn by space bar")
        << "218"
        << "space"
        << "F2" << QStringList{"27:218:2"} << QStringList{"27:218:2", "28:218:2"};
    QTest::newRow("horn by Ctrl+F2") << "218"
                                     << "ctrl"
                                     << "F2" << QStringList{"27:218:2"}
                                     << QStringList{"27:218:2", "28:218:2"};
    QTest::newRow("latching F1 by mouse") << "218"
                                          << "mouse"
                                          << "F1" << QStringList{} << QStringList{"27:218:1"};
    QTest::newRow("whistle F12 of loco 3")
        << "3"
        << "mouse"
        << "F12" << QStringList{"27:3:12"} << QStringList{"27:3:12", "28:3:12"};
    QTest::newRow("F2 of a loco without entry latches") << "5"
                                                        << "mouse"
                                                        << "F2" << QStringList{} << QStringList{"27:5:2"};
}

void tst_roster_throttles::functionKeys()
{
    QFETCH(QString, loco);
    QFETCH(QString, action);
    QFETCH(QString, key);
    QFETCH(QStringList, whilePressed);
    QFETCH(QStringList, afterRelease);
    WriteSetting(QStringLiteral("Slider00"), loco, QStringLiteral("Taktora"));
    DashboardRig rig({"--locos", "3:28,218:126,5:14"});
    rig.window->show();
    rig.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
    rig.check();
    ThrottlePanel* t = rig.window->throttle(0);
    QCOMPARE(t->locoNumberBox()->currentText(), loco);
    auto* button = qobject_cast<QToolButton*>(
        t->functionKeys()->widgetForAction(t->functionKeys()->findChild<QAction*>(key)));
    QVERIFY(button);
    if (loco == QLatin1String("218") && key == QLatin1String("F2")) {
        QCOMPARE(button->text(), QStringLiteral("Horn"));
        QCOMPARE(button->toolTip(), QStringLiteral("F2: Horn (Taster)"));
    }
    const auto functionFrames = [&] {
        return rig.sentLines({Command::LocoFunctionOn, Command::LocoFunctionOff});
    };
    if (action == QLatin1String("ctrl")) {
        QWidget* focused = QApplication::focusWidget() ? QApplication::focusWidget() : rig.window.get();
        QTest::keyClick(focused, Qt::Key_1, Qt::ControlModifier); // choose throttle 0
        const auto fKey = Qt::Key(Qt::Key_F1 + key.mid(1).toInt() - 1);
        QTest::keyPress(focused, fKey, Qt::ControlModifier);
        QCOMPARE(functionFrames(), whilePressed);
        QTest::keyRelease(focused, fKey, Qt::ControlModifier);
    } else if (action == QLatin1String("space")) {
        button->setFocus();
        QTest::keyPress(button, Qt::Key_Space);
        QCOMPARE(functionFrames(), whilePressed);
        QTest::keyRelease(button, Qt::Key_Space);
    } else {
        QTest::mousePress(button, Qt::LeftButton);
        QCOMPARE(functionFrames(), whilePressed);
        QTest::mouseRelease(button, Qt::LeftButton);
    }
    QCOMPARE(functionFrames(), afterRelease);
}

void tst_roster_throttles::decoderSheetToAndFromRoster()
{
    QTemporaryDir dir;
    LocoRoster roster(dir.path());
    QList<Roster::Entry> imported = LocoRoster::readFolder(QStringLiteral(ROSTER_DATA)).entries;
    QCOMPARE(roster.save(imported), QString());
    FakeLink link;
    krDecoderSheet sheet(link.link);
    sheet.setRoster(&roster);
    using Sheet::Row;
    using Sheet::Status;
    // Read from the decoder: short address 3 (CV 29 bit 5 clear), so the values go to "V 100".
    // A value the user typed and did not write is not the decoder's, and stays out.
    sheet.model()->setRows({Row{1, QString(), 3, Status::Read}, Row{3, QString(), 25, Status::Written},
                            Row{5, QString(), 180, Status::Changed}, Row{29, QString(), 6, Status::Read},
                            Row{30, QString(), std::nullopt, Status::NotRead}});
    sheet.cmdToRoster_Click();
    const QList<QPair<int, int>> kept{{1, 3}, {3, 25}, {29, 6}};
    QCOMPARE(Roster::plainCvs(*roster.entryForNumber(3)), kept);

    // Without an address nothing goes anywhere; a loco not in the roster gets an entry.
    sheet.model()->setRows({Row{3, QString(), 9, Status::Read}});
    sheet.cmdToRoster_Click();
    QCOMPARE(roster.entries().size(), 3);
    sheet.model()->setRows({Row{1, QString(), 44, Status::Read}, Row{29, QString(), 2, Status::Read}});
    sheet.cmdToRoster_Click();
    QCOMPARE(roster.entries().size(), 4);
    QCOMPARE(roster.entries().last().id, QStringLiteral("Lok 44"));

    // The JMRI loco's CVs come in ready to be written: every value changed.
    QStringList offered;
    sheet.setEntryChooser([&](const QStringList& names) {
        offered = names;
        return QStringLiteral("BR 218");
    });
    sheet.cmdFromRoster_Click();
    QCOMPARE(offered,
             QStringList({QStringLiteral("BR 218"), QStringLiteral("V 100"), QStringLiteral("Lok 44")}));
    QStringList rows;
    for (const Row& r : sheet.rows())
        rows << QStringLiteral("%1=%2 %3").arg(r.cv).arg(r.value.value_or(-1)).arg(int(r.status));
    const QString changed = QString::number(int(Status::Changed));
    QCOMPARE(rows,
             QStringList({"1=3 " + changed, "17=192 " + changed, "18=218 " + changed, "29=38 " + changed}));
}

TAKTORA_TEST_MAIN(tst_roster_throttles)
#include "tst_roster_throttles.moc"
