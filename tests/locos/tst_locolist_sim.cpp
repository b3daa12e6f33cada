// The real loco list window on a real pseudo-terminal against taktora-sim: what the user sees,
// which frames go out, which questions come and which buttons are enabled afterwards.

#include "CommandSet.h"
#include "krLocoList.h"
#include "krTaktora.h"
#include "krTaktoraTools.h"
#include "Lamp.h"
#include "LocoTree.h"
#include "MessageBox.h"
#include "SimProcess.h"
#include "sysInput.h"
#include "TestMain.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeView>

#include <memory>

using Frames = QList<FrameFields>;

namespace {
const QStringList kButtons{"btnActivateConfig", "btnAdd", "btnDelete", "btn14", "btn28", "btn126"};

Frames fullRead(quint8 c, int entries)
{
    return Frames{Request::readFirstLocoEntry(c)} + Frames(entries, Request::readNextLocoEntry(c));
}

struct Rig
{
    SimProcess sim;
    std::unique_ptr<krLocoList> window;

    explicit Rig(const QStringList& args) : sim(args) {}
    ~Rig()
    {
        window.reset();
        CloseControllerPort();
    }
    bool open(quint16 controller = 1)
    {
        if (!sim.start())
            return false;
        sim.registerAs(QStringLiteral("COM3"));
        SetPortName(QStringLiteral("COM3"));
        if (!OpenControllerPort(QStringLiteral("COM3"), false))
            return false;
        window = std::make_unique<krLocoList>();
        window->setControllerID(controller);
        window->show();
        QCoreApplication::processEvents(); // the first activation, also without an activation event
        return true;
    }
    QTreeView* tree() const { return window->findChild<QTreeView*>("tvLocoList"); }
    QModelIndex node(int loco, int child = -1) const
    {
        const QModelIndex n = tree()->model()->index(loco, 0);
        return child < 0 ? n : tree()->model()->index(child, 0, n);
    }
    // "3:14F" for loco 3 with 14 speed steps, forward; the nodes' keys must fit their texts.
    QStringList shown() const
    {
        QStringList locos;
        for (int i = 0; i < tree()->model()->rowCount(); ++i) {
            const QString key = nodeKey(node(i));
            const bool keysFit = key == node(i).data().toString() + "#" &&
                                 nodeKey(node(i, 0)) == key + "fs" && nodeKey(node(i, 1)) == key + "fr" &&
                                 node(i).data(Qt::FontRole).value<QFont>().bold() &&
                                 tree()->isExpanded(node(i));
            locos << node(i).data().toString() + ":" + node(i, 0).data().toString().section(' ', 0, 0) +
                         (node(i, 1).data().toString().endsWith("vorwärts") ? "F" : "B") +
                         (keysFit ? "" : "?");
        }
        return locos;
    }
    QAction* button(const QString& key) const { return window->findChild<QAction*>(key); }
    QString enabled() const
    {
        QString states;
        for (const QString& key : kButtons)
            states += button(key)->isEnabled() ? '1' : '0';
        return states;
    }
    void clickNode(const QString& key)
    {
        for (int i = 0; i < tree()->model()->rowCount(); ++i) {
            for (int child = -1; child < 2; ++child) {
                if (nodeKey(node(i, child)) == key) {
                    tree()->setCurrentIndex(node(i, child));
                    emit tree()->clicked(node(i, child));
                }
            }
        }
    }
};

// Types the number into the input dialog once it is open and presses OK.
void answerInputDialog(const QString& text)
{
    QTimer::singleShot(0, [text] {
        if (auto* dialog = qobject_cast<sysInput*>(QApplication::activeModalWidget())) {
            dialog->textInput()->setText(text);
            dialog->okButton()->click();
        }
    });
}
} // namespace

class tst_LocoListSim : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QSettings("KORADIN", "KORADIN").clear();
        MessageBox::takeShown();
    }

    void opensSortedAndClosesWithTheTrackOff()
    {
        Rig rig({"--controller", "2", "--locos", "7:14,3:28,5:126"});
        QVERIFY2(rig.open(2), qPrintable(rig.sim.errorString()));
        QCOMPARE(rig.shown(), (QStringList{"3:28B", "5:126B", "7:14B"}));
        QCOMPARE(rig.window->windowTitle(),
                 QStringLiteral("Lok-Konfiguration / Programmierung (Controller 2)"));
        QCOMPARE(rig.enabled(), QStringLiteral("010000"));
        QVERIFY(!rig.tree()->currentIndex().isValid());
        QCOMPARE(rig.window->findChild<QTabWidget*>("tabProgramming")->currentIndex(), 0);
        const Frames opening = fullRead(2, 3) + Frames{Request::setTrackMode(2, TrackMode::Off)};
        QCOMPARE(rig.sim.requests(), opening);

        QAction unknown;
        unknown.setObjectName("btnPrint");
        rig.window->tlbLocoList_ButtonClick(&unknown);
        const auto shown = MessageBox::takeShown().value(0);
        QCOMPARE(shown.title + "|" + shown.text + "|" + QString::number(shown.icon) +
                     QString::number(shown.buttons),
                 ProgramTitle() + "|z.Z. noch ohne Funktion|" + QString::number(QMessageBox::NoIcon) +
                     QString::number(QMessageBox::Ok));

        // The programming tab is set up by the first activation; the setting is absent: ticked.
        QVERIFY(rig.window->findChild<QCheckBox*>("chkAutoConfig")->isChecked());
        QVERIFY(rig.window->findChild<QRadioButton*>("optProgType_0")->isChecked());
        auto* tab = rig.window->findChild<QTabWidget*>("tabProgramming");
        rig.window->ProgButtonsEnabled(false);
        QVERIFY(!tab->isTabEnabled(0));
        rig.window->ProgButtonsEnabled(true);
        QVERIFY(tab->isTabEnabled(0));

        // While "Abbruch" shows, neither the close box nor Escape closes the window.
        auto* cancel = rig.window->findChild<QPushButton*>("cmdBreak");
        cancel->show();
        QVERIFY(!rig.window->close());
        rig.window->reject();
        QVERIFY(rig.window->isVisible());
        QCOMPARE(rig.sim.requests(), opening);
        cancel->hide();
        QVERIFY(rig.window->close());
        QCOMPARE(rig.sim.requests(), opening + Frames{Request::setTrackMode(2, TrackMode::Off)});
    }

    // One action on a Controller holding 12 and 3: the question asked (title|text), the frames
    // after the opening, the locos shown and the buttons' states afterwards.
    void changes_data()
    {
        QTest::addColumn<QString>("node");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("question");
        QTest::addColumn<Frames>("frames");
        QTest::addColumn<QStringList>("locos");
        QTest::addColumn<QString>("buttons");
        const QStringList before{"3:14B", "12:28B"};
        QTest::newRow("add 300") << ""
                                 << "btnAdd" << 0 << ""
                                 << Frames{Request::writeLocoEntry(1, 300, 2)} + fullRead(1, 3)
                                 << QStringList{"3:14B", "12:28B", "300:28B"} << "110000";
        QTest::newRow("delete from the direction node")
            << "12#fr"
            << "btnDelete" << int(QMessageBox::Yes)
            << "Lok 12|Möchten Sie Lok-Nummer 12 aus der Konfiguration löschen ?"
            << Frames{Request::writeLocoEntry(1, 12, 0)} + fullRead(1, 1) << QStringList{"3:14B"} << "110000";
        QTest::newRow("126 from the speed-step node")
            << "12#fs"
            << "btn126" << int(QMessageBox::Yes) << "Lok 12|Geschwindigkeit auf 126 Fahrstufen anpassen ?"
            << Frames{Request::writeLocoEntry(1, 12, 3)} + fullRead(1, 2) << QStringList{"3:14B", "12:126B"}
            << "110000";
        QTest::newRow("28 from the loco node")
            << "3#"
            << "btn28" << int(QMessageBox::Yes) << "Lok 3|Geschwindigkeit auf 28 Fahrstufen anpassen ?"
            << Frames{Request::writeLocoEntry(1, 3, 2)} + fullRead(1, 2) << QStringList{"3:28B", "12:28B"}
            << "110000";
        QTest::newRow("delete declined") << "3#fs"
                                         << "btnDelete" << int(QMessageBox::No)
                                         << "Lok 3|Möchten Sie Lok-Nummer 3 aus der Konfiguration löschen ?"
                                         << Frames{} << before << "011111";
        QTest::newRow("14 declined") << "12#"
                                     << "btn14" << int(QMessageBox::No)
                                     << "Lok 12|Geschwindigkeit auf 14 Fahrstufen anpassen ?" << Frames{}
                                     << before << "011111";
    }
    void changes()
    {
        QFETCH(QString, node);
        QFETCH(QString, button);
        QFETCH(int, answer);
        Rig rig({"--locos", "12:28,3:14"});
        QVERIFY2(rig.open(), qPrintable(rig.sim.errorString()));
        const int opening = rig.sim.requests().size();
        rig.clickNode(node);
        if (answer)
            MessageBox::setNextAnswer(QMessageBox::StandardButton(answer));
        else
            answerInputDialog("300");
        rig.button(button)->trigger();
        // Active again once the input dialog or box has gone: neither a read nor a caption.
        rig.window->activateWindow();
        QCoreApplication::processEvents();

        QStringList asked;
        for (const auto& box : MessageBox::takeShown()) {
            QCOMPARE(box.icon, QMessageBox::Question);
            QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(box.defaultButton, QMessageBox::No);
            asked << box.title + "|" + box.text;
        }
        QTEST(asked.join("/"), "question");
        QTEST(rig.sim.requests().mid(opening), "frames");
        QTEST(rig.shown(), "locos");
        QTEST(rig.enabled(), "buttons");
        QCOMPARE(rig.window->windowTitle(),
                 QStringLiteral("Lok-Konfiguration / Programmierung (Controller 1)"));
    }

    void restartOnlyAfterChangesAndConfirmed()
    {
        Rig rig({"--locos", "3:14"});
        QVERIFY2(rig.open(), qPrintable(rig.sim.errorString()));
        rig.window->StoreLocoEntry(7, 1);
        rig.window->StoreLocoEntry(8, 3);
        rig.clickNode("7#"); // a node click enables the four and keeps the restart
        QCOMPARE(rig.enabled(), QStringLiteral("111111"));
        MessageBox::setNextAnswer(QMessageBox::No);
        rig.button("btnActivateConfig")->trigger();
        QCOMPARE(rig.enabled(), QStringLiteral("111111"));
        const int before = rig.sim.requests().size();
        MessageBox::setNextAnswer(QMessageBox::Yes);
        rig.button("btnActivateConfig")->trigger();
        QCOMPARE(rig.enabled(), QStringLiteral("011111"));
        QCOMPARE(rig.sim.requests().mid(before), Frames{Request::restartController(1)});
        const auto asked = MessageBox::takeShown();
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked[1].title + "|" + asked[1].text,
                 QStringLiteral("Controller-Neustart|Möchten Sie zur Aktivierung der neuen Lok-Einstellungen "
                                "den Controller neu starten ?"));
        rig.window->StoreLocoEntry(9, 2);
        QCOMPARE(rig.enabled(), QStringLiteral("110000"));
        QCOMPARE(rig.shown(), (QStringList{"3:14B", "7:14B", "8:126B", "9:28B"}));
    }

    // An empty board answers the first request with the end; a silent one fails it with one box,
    // and the silent track-off commands make three attempts each without a word.
    void emptyAndSilentControllers_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<Frames>("opening");
        QTest::addColumn<QStringList>("boxes");
        const FrameFields off = Request::setTrackMode(1, TrackMode::Off);
        QTest::newRow("empty") << QStringList{"--locos", ""} << Frames{Request::readFirstLocoEntry(1), off}
                               << QStringList{};
        QTest::newRow("silent") << QStringList{"--fault", "no-answer"}
                                << Frames(2, Request::readFirstLocoEntry(1)) + Frames(3, off)
                                << QStringList{"Controller 1 antwortet nicht."};
    }
    void emptyAndSilentControllers()
    {
        QFETCH(QStringList, args);
        QFETCH(Frames, opening);
        Rig rig(args);
        QVERIFY2(rig.open(), qPrintable(rig.sim.errorString()));
        QCOMPARE(rig.shown(), QStringList{});
        QCOMPARE(rig.sim.requests(), opening);
        QStringList boxes;
        for (const auto& box : MessageBox::takeShown())
            boxes << box.text;
        QTEST(boxes, "boxes");
        rig.window->reject(); // Escape
        QCOMPARE(rig.sim.requests().mid(opening.size()),
                 Frames(opening.size() > 2 ? 3 : 1, Request::setTrackMode(1, TrackMode::Off)));
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    // Window size asked for (twips) and what the window, the tab control and the tree become;
    // the toolbar always sits 150 below the tree.
    void resizeRules_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("tabHeight");
        QTest::addColumn<int>("treeHeight");
        QTest::newRow("too low") << 6750 << 4000 << 5055 << 3975;
        QTest::newRow("higher") << 6750 << 8000 << 7205 << 6125;
        QTest::newRow("narrower") << 5000 << 5850 << 5055 << 3975;
        QTest::newRow("wider") << 9000 << 6000 << 5205 << 4125;
    }
    void resizeRules()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        Rig rig({"--locos", ""});
        QVERIFY2(rig.open(), qPrintable(rig.sim.errorString()));
        rig.window->resize(TwipsToPixels(width), TwipsToPixels(height));
        QCoreApplication::processEvents();
        auto* tab = rig.window->findChild<QTabWidget*>("tabProgramming");
        auto* toolbar = rig.window->findChild<QToolBar*>("tlbLocoList");
        QCOMPARE(rig.window->width(), TwipsToPixels(6750));
        QCOMPARE(rig.window->height(), TwipsToPixels(qMax(height, 5850)));
        QFETCH(int, tabHeight);
        QFETCH(int, treeHeight);
        QCOMPARE(tab->height(), TwipsToPixels(tabHeight));
        QCOMPARE(rig.tree()->height(), TwipsToPixels(treeHeight));
        QCOMPARE(toolbar->y() - rig.tree()->geometry().bottom() - 1, TwipsToPixels(150));
        QCOMPARE(rig.tree()->mapTo(tab, QPoint(0, 0)), QPoint(TwipsToPixels(120), TwipsToPixels(480)));
    }

    // From the dashboard: the window opens for the Controller in the number field, and afterwards
    // the dashboard shows the load circuit as the Controller reports it.
    void openedFromTheDashboard()
    {
        SimProcess sim({"--controller", "0,4", "--locos", "3:28"});
        QVERIFY2(sim.start(), qPrintable(sim.errorString()));
        sim.registerAs(QStringLiteral("COM3"));
        WriteSetting(QStringLiteral("SignalOutputTo"), QStringLiteral("COM3"), QStringLiteral("Taktora"));
        {
            krTaktora dashboard(QStringLiteral("/usr/bin/taktora"));
            dashboard.findChild<QLineEdit*>("txtControllerNr")->setText("4");
            dashboard.btnCheck_Click();
            dashboard.btnLoadCircuit_Click(); // raised
            QCOMPARE(dashboard.findChild<Lamp*>("shpCircuitOn")->color(), QColor(0, 192, 0));
            dashboard.findChild<QLineEdit*>("txtControllerNr")->setText("4.4 Züge");
            QString caption;
            QTimer::singleShot(0, [&caption] {
                auto* window = qobject_cast<krLocoList*>(QApplication::activeModalWidget());
                if (!window)
                    return;
                window->Form_Activate();
                caption = window->windowTitle() + " " +
                          window->findChild<QTreeView*>()->model()->index(0, 0).data().toString();
                window->close();
            });
            const int before = sim.requests().size();
            dashboard.findChild<QPushButton*>("btnProgrammedLocos")->click();
            QCOMPARE(caption, QStringLiteral("Lok-Konfiguration / Programmierung (Controller 4) 3"));
            QCOMPARE(sim.requests().mid(before),
                     (fullRead(4, 1) + Frames{Request::setTrackMode(4, TrackMode::Off),
                                              Request::setTrackMode(4, TrackMode::Off),
                                              Request::queryControllerStatus(4)}));
            QCOMPARE(dashboard.findChild<Lamp*>("shpCircuitOff")->color(), QColor(255, 0, 0));
        }
        CloseControllerPort();
        QVERIFY(MessageBox::takeShown().isEmpty());
    }
};

TAKTORA_TEST_MAIN(tst_LocoListSim)
#include "tst_locolist_sim.moc"
