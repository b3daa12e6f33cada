// What the Controller's entries become: records, their order in the list and their tree texts,
// including entries that the emulator never sends (undefined steps, spare bits, bad numbers).

#include "CommandSet.h"
#include "LocoConfiguration.h"
#include "LocoRules.h"
#include "TestMain.h"

class tst_LocoRules : public QObject
{
    Q_OBJECT

private slots:
    void recordFromEntry_data()
    {
        QTest::addColumn<int>("data1");
        QTest::addColumn<int>("data2");
        QTest::addColumn<int>("data3");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("direction");
        QTest::newRow("28 forward") << 3 << 0 << 130 << 3 << "L00003"
                                    << "28 Fahrstufen"
                                    << "Fahrtrichtung: vorwärts";
        QTest::newRow("highest") << 255 << 39 << 3 << 10239 << "L10239"
                                 << "126 Fahrstufen"
                                 << "Fahrtrichtung: rückwärts";
        QTest::newRow("undefined backward") << 12 << 0 << 0 << 12 << "L00012"
                                            << "undef. Fahrstufen"
                                            << "Fahrtrichtung: rückwärts";
        QTest::newRow("undefined forward") << 44 << 1 << 128 << 300 << "L00300"
                                           << "undef. Fahrstufen"
                                           << "Fahrtrichtung: vorwärts";
        QTest::newRow("spare bits ignored") << 7 << 0 << 0x7D << 7 << "L00007"
                                            << "14 Fahrstufen"
                                            << "Fahrtrichtung: rückwärts";
    }
    void recordFromEntry()
    {
        QFETCH(int, data1);
        QFETCH(int, data2);
        QFETCH(int, data3);
        const clsLoco loco = Locos::locoFromEntry(quint8(data1), quint8(data2), quint8(data3));
        QTEST(int(loco.LocoNumber()), "number");
        QTEST(loco.ListKey(), "key");
        QTEST(Locos::speedStepNodeText(loco), "steps");
        QTEST(Locos::directionNodeText(loco), "direction");
        QTEST(Locos::locoNumberOfNodeKey(Locos::directionNodeKey(loco.LocoNumber())), "number");
    }

    // Whatever order and whatever faults the Controller delivers, the list stays sorted and unique.
    void listOrder_data()
    {
        QTest::addColumn<QList<int>>("delivered");
        QTest::addColumn<QList<int>>("listed");
        QTest::newRow("own order") << QList<int>{7, 3, 5} << QList<int>{3, 5, 7};
        QTest::newRow("descending") << QList<int>{10239, 1000, 2, 1} << QList<int>{1, 2, 1000, 10239};
        QTest::newRow("duplicates and bad numbers")
            << QList<int>{7, 0, 10240, 7, 65535, 3, 32768} << QList<int>{3, 7};
    }
    void listOrder()
    {
        QFETCH(QList<int>, delivered);
        LocoConfiguration list;
        for (int n : delivered)
            list.insert(Locos::locoFromEntry(lowByte(quint16(n)), highByte(quint16(n)), 2));
        QList<int> numbers;
        for (const clsLoco& loco : list)
            numbers << loco.LocoNumber();
        QTEST(numbers, "listed");
    }
};

TAKTORA_TEST_MAIN(tst_LocoRules)
#include "tst_locorules.moc"
