// SPDX-License-Identifier: GPL-3.0-or-later
// The rules that turn the Controller's entries into the list, and the real loco list window on
// a real pseudo-terminal against taktora-sim: what the user sees, which frames go out, which
// questions come and which buttons are enabled afterwards. The fault soak opens it from the
// dashboard and drives it under faults.

#include "CommandSet.h"
#include "krLocoList.h"
#include "krTaktoraTools.h"
#include "LineClient.h"
#include "LocoConfiguration.h"
#include "LocoListRig.h"
#include "LocoRules.h"
#include "LocoTree.h"
#include "MessageBox.h"
#include "SimDashboard.h"
#include "sysInput.h"
#include "TestMain.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeView>

#include <csignal>

using Frames = QList<FrameFields>;
using Entries = QList<QList<int>>; // data1, data2, data3

namespace {
Frames fullRead(quint8 c, int entries)
{
    return Frames{Request::readFirstLocoEntry(c)} + Frames(entries, Request::readNextLocoEntry(c));
}

struct Rig : LocoListRig
{
    explicit Rig(const QStringList& args) : LocoListRig(args) {}
    QTreeView* tree() const { return get<QTreeView>("tvLocoList"); }
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
    // The states of btnActivateConfig, btnAdd, btnDelete, btn14, btn28, btn126.
    QString enabled() const
    {
        QString states;
        for (const char* key : {"btnActivateConfig", "btnAdd", "btnDelete", "btn14", "btn28", "btn126"})
            states += get<QAction>(key)->isEnabled() ? '1' : '0';
        return states;
    }
    void clickNode(const QString& key)
    {
        for (int i = 0; i < tree()->model()->rowCount(); ++i)
            for (int child = -1; child < 2; ++child)
                if (nodeKey(node(i, child)) == key) {
                    tree()->setCurrentIndex(node(i, child));
                    emit tree()->clicked(node(i, child));
                }
    }
};
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

    // Entries as the Controller may deliver them, also those the emulator never sends (undefined
    // steps, spare bits, duplicates, numbers out of range), and what the list makes of them.
    void entriesBecomeASortedList_data()
    {
        QTest::addColumn<Entries>("delivered");
        QTest::addColumn<QStringList>("listed"); // key | speed-step text | direction text
        QTest::newRow("attribute bits")
            << Entries{{3, 0, 130}, {255, 39, 3}, {12, 0, 0}, {44, 1, 128}, {7, 0, 0x7D}}
            << QStringList{"L00003|28 Fahrstufen|Fahrtrichtung: vorwärts",
                           "L00007|14 Fahrstufen|Fahrtrichtung: rückwärts",
                           "L00012|undef. Fahrstufen|Fahrtrichtung: rückwärts",
                           "L00300|undef. Fahrstufen|Fahrtrichtung: vorwärts",
                           "L10239|126 Fahrstufen|Fahrtrichtung: rückwärts"};
        // Skipped: a second 7, loco 0, 10240, 65535 and 32768 (negative as a 16-bit number).
        QTest::newRow("faulty Controller")
            << Entries{{7, 0, 2}, {0, 0, 2}, {0, 40, 2}, {7, 0, 3}, {255, 255, 2}, {5, 0, 1}, {0, 128, 2}}
            << QStringList{"L00005|14 Fahrstufen|Fahrtrichtung: rückwärts",
                           "L00007|28 Fahrstufen|Fahrtrichtung: rückwärts"};
    }
    void entriesBecomeASortedList()
    {
        QFETCH(Entries, delivered);
        LocoConfiguration list;
        for (const QList<int>& e : delivered)
            list.insert(Locos::locoFromEntry(quint8(e[0]), quint8(e[1]), quint8(e[2])));
        QStringList listed;
        for (const clsLoco& loco : list) {
            listed << loco.ListKey() + "|" + Locos::speedStepNodeText(loco) + "|" +
                          Locos::directionNodeText(loco);
            // Every node of a loco leads back to its number.
            QCOMPARE(Locos::locoNumberOfNodeKey(Locos::directionNodeKey(loco.LocoNumber())),
                     int(loco.LocoNumber()));
        }
        QTEST(listed, "listed");
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
        const auto row = [](const char* name, const char* node, const char* button, int answer,
                            const QString& question, const Frames& frames, const QStringList& locos,
                            const char* buttons) {
            QTest::newRow(name) << QString(node) << QString(button) << answer << question << frames << locos
                                << QString(buttons);
        };
        const int yes = QMessageBox::Yes;
        const QString remove = "Möchten Sie Lok-Nummer %1 aus der Konfiguration löschen ?";
        const QString steps = "Geschwindigkeit auf %1 Fahrstufen anpassen ?";
        row("add 300", "", "btnAdd", 0, "", Frames{Request::writeLocoEntry(1, 300, 2)} + fullRead(1, 3),
            {"3:14B", "12:28B", "300:28B"}, "110000");
        row("delete from the direction node", "12#fr", "btnDelete", yes, "Lok 12|" + remove.arg(12),
            Frames{Request::writeLocoEntry(1, 12, 0)} + fullRead(1, 1), {"3:14B"}, "110000");
        row("126 from the speed-step node", "12#fs", "btn126", yes, "Lok 12|" + steps.arg(126),
            Frames{Request::writeLocoEntry(1, 12, 3)} + fullRead(1, 2), {"3:14B", "12:126B"}, "110000");
        row("delete declined", "3#fs", "btnDelete", QMessageBox::No, "Lok 3|" + remove.arg(3), {},
            {"3:14B", "12:28B"}, "011111");
    }
    void changes()
    {
        QFETCH(QString, button);
        QFETCH(int, answer);
        Rig rig({"--locos", "12:28,3:14"});
        QVERIFY2(rig.open(), qPrintable(rig.sim.errorString()));
        const int opening = rig.sim.requests().size();
        QFETCH(QString, node);
        rig.clickNode(node);
        if (answer)
            MessageBox::setNextAnswer(QMessageBox::StandardButton(answer));
        else // types the number into the input dialog once it is open
            QTimer::singleShot(0, [] {
                if (auto* dialog = qobject_cast<sysInput*>(QApplication::activeModalWidget())) {
                    dialog->textInput()->setText("300");
                    dialog->okButton()->click();
                }
            });
        rig.get<QAction>(button)->trigger();
        // Active again once the input dialog or box has gone: neither a read nor a caption.
        rig.window->activateWindow();
        QCoreApplication::processEvents();

        QStringList asked;
        for (const auto& box : MessageBox::takeShown()) {
            QVERIFY(box.icon == QMessageBox::Question && box.defaultButton == QMessageBox::No);
            asked << box.title + "|" + box.text;
        }
        QTEST(asked.join("/"), "question");
        QTEST(rig.sim.requests().mid(opening), "frames");
        QTEST(rig.shown(), "locos");
        QTEST(rig.enabled(), "buttons");
    }

    // A board of three, an empty one (it answers the first request with the end) and a silent
    // one (one box for the read, and the silent track-off commands make three attempts each
    // without a word): the list the window opens with, and the closing that switches the track off.
    void opensAndClosesWithTheTrackOff_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("controller");
        QTest::addColumn<QStringList>("locos");
        QTest::addColumn<Frames>("opening");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<int>("closing"); // track-off frames, closed by Escape in the empty rows
        const auto off = [](quint8 c) { return Request::setTrackMode(c, TrackMode::Off); };
        QTest::newRow("sorted") << QStringList{"--controller", "2", "--locos", "7:14,3:28,5:126"} << 2
                                << QStringList{"3:28B", "5:126B", "7:14B"} << fullRead(2, 3) + Frames{off(2)}
                                << QStringList{} << 1;
        QTest::newRow("empty") << QStringList{"--locos", ""} << 1 << QStringList{}
                               << Frames{Request::readFirstLocoEntry(1), off(1)} << QStringList{} << 1;
        QTest::newRow("silent") << QStringList{"--fault", "no-answer"} << 1 << QStringList{}
                                << Frames(2, Request::readFirstLocoEntry(1)) + Frames(3, off(1))
                                << QStringList{"Controller 1 antwortet nicht."} << 3;
    }
    void opensAndClosesWithTheTrackOff()
    {
        QFETCH(QStringList, args);
        QFETCH(Frames, opening);
        QFETCH(int, controller);
        Rig rig(args);
        QVERIFY2(rig.open(quint8(controller)), qPrintable(rig.sim.errorString()));
        QTEST(rig.shown(), "locos");
        QCOMPARE(rig.window->windowTitle(),
                 QStringLiteral("Lok-Konfiguration / Programmierung (Controller %1)").arg(controller));
        QCOMPARE(rig.enabled(), QStringLiteral("010000"));
        QVERIFY(!rig.tree()->currentIndex().isValid());
        QCOMPARE(rig.sim.requests(), opening);
        QTEST(takeShownTexts(), "boxes");
        // While a programming operation runs ("Abbruch" shown) the window stays.
        auto* cancel = rig.get<QPushButton>("cmdBreak");
        cancel->show();
        QVERIFY(!rig.window->close());
        cancel->hide();
        if (rig.shown().isEmpty())
            rig.window->reject(); // Escape
        else
            QVERIFY(rig.window->close());
        QFETCH(int, closing);
        QCOMPARE(rig.sim.requests().mid(opening.size()),
                 Frames(closing, Request::setTrackMode(quint8(controller), TrackMode::Off)));
        QVERIFY(MessageBox::takeShown().isEmpty());
    }
};

TAKTORA_TEST_MAIN(tst_LocoListSim)
#include "tst_locolist_sim.moc"
