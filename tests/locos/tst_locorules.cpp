// SPDX-License-Identifier: GPL-3.0-or-later
// Entries as the Controller may deliver them, also those the emulator never sends (undefined
// steps, spare bits, duplicates, numbers out of range), and what the list makes of them.

#include "LocoConfiguration.h"
#include "LocoRules.h"
#include "TestMain.h"

using Entries = QList<QList<int>>; // data1, data2, data3

class tst_LocoRules : public QObject
{
    Q_OBJECT

private slots:
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
};

TAKTORA_TEST_MAIN(tst_LocoRules)
#include "tst_locorules.moc"
