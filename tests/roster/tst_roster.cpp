// SPDX-License-Identifier: GPL-3.0-or-later
// The roster without widgets: its rules, JMRI's files read (a damaged one among them), written
// and read again with nothing lost, and the store keeping its folder in step.

#include "Roster.h"
#include "TestMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using Roster::Entry;

namespace {

Entry named(const QString& id, int number)
{
    Entry e;
    e.id = id;
    e.number = number;
    e.longAddress = Roster::defaultLongAddress(number);
    return e;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_roster : public QObject
{
    Q_OBJECT

private slots:
    void rules_data();
    void rules();
    void entryProblems_data();
    void entryProblems();
    void importsAJmriRosterAroundADamagedFile();
    void roundTripKeepsEverything();
    void damagedIndexLeavesTheLocoFiles();
    void storeRemovesTheFilesOfRemovedLocos();
};

void tst_roster::rules_data()
{
    QTest::addColumn<QString>("got");
    QTest::addColumn<QString>("expected");
    QTest::newRow("list text with name") << Roster::listText(3, QStringLiteral("BR 218")) << "3 – BR 218";
    QTest::newRow("list text without name") << Roster::listText(1234, QString()) << "1234";
    QTest::newRow("number of a list text") << Roster::numberOfListText(QStringLiteral("3 – BR 218")) << "3";
    QTest::newRow("number typed") << Roster::numberOfListText(QStringLiteral("47")) << "47";
    QTest::newRow("cap at 80 %") << QString::number(Roster::cappedSpeed(255, 80)) << "204";
    QTest::newRow("below the cap") << QString::number(Roster::cappedSpeed(100, 80)) << "100";
    QTest::newRow("cap at 0 %") << QString::number(Roster::cappedSpeed(30, 0)) << "0";
    QTest::newRow("full speed") << QString::number(Roster::cappedSpeed(255, 100)) << "255";
    QTest::newRow("file name") << Roster::fileNameFor(QStringLiteral("Köf II/2"), {}) << "K_f II_2.xml";
    QTest::newRow("file name taken") << Roster::fileNameFor(QStringLiteral("V 100"),
                                                            {QStringLiteral("v 100.xml")})
                                     << "V 100_2.xml";
    QTest::newRow("momentary tooltip")
        << Roster::functionTooltip(2, {QStringLiteral("Horn"), true}) << "F2: Horn (Taster)";
    QTest::newRow("plain tooltip") << Roster::functionTooltip(7, {}) << "F7";
}

void tst_roster::rules()
{
    QFETCH(QString, got);
    QFETCH(QString, expected);
    QCOMPARE(got, expected);
}

void tst_roster::entryProblems_data()
{
    QTest::addColumn<Entry>("entry");
    QTest::addColumn<QString>("problem");
    const QString none;
    QTest::newRow("good") << named(QStringLiteral("V 200"), 200) << none;
    QTest::newRow("highest number") << named(QStringLiteral("X"), 10239) << none;
    QTest::newRow("number 0") << named(QStringLiteral("X"), 0)
                              << "Die Loknummer muss zwischen 1 und 10239 liegen.";
    QTest::newRow("number 10240") << named(QStringLiteral("X"), 10240)
                                  << "Die Loknummer muss zwischen 1 und 10239 liegen.";
    QTest::newRow("no name") << named(QStringLiteral(" "), 5) << "Die Lok braucht einen Namen.";
    QTest::newRow("name taken") << named(QStringLiteral("br 218"), 5)
                                << "Der Name \"br 218\" ist schon vergeben.";
    Entry shortHigh = named(QStringLiteral("X"), 128);
    shortHigh.longAddress = false;
    QTest::newRow("short above 127") << shortHigh << "Eine kurze Adresse reicht nur bis 127.";
    Entry fast = named(QStringLiteral("X"), 5);
    fast.maxSpeed = 101;
    QTest::newRow("speed 101 %") << fast << "Die Höchstgeschwindigkeit muss zwischen 0 und 100 % liegen.";
}

void tst_roster::entryProblems()
{
    QFETCH(Entry, entry);
    QFETCH(QString, problem);
    QCOMPARE(Roster::entryProblem(entry, {named(QStringLiteral("BR 218"), 218)}), problem);
}

void tst_roster::importsAJmriRosterAroundADamagedFile()
{
    const Jmri::Reading r = LocoRoster::readFolder(QStringLiteral(ROSTER_DATA));
    // The damaged file and the loco number the Controller cannot take, each with its line.
    QCOMPARE(r.problems.size(), 2);
    QVERIFY2(r.problems.at(0).startsWith(QStringLiteral("roster.xml, Zeile 24: Lok \"Gleisbau\"")),
             qPrintable(r.problems.at(0)));
    QVERIFY2(r.problems.at(1).startsWith(QStringLiteral("roster/Koef_II.xml, Zeile 9: ")),
             qPrintable(r.problems.at(1)));

    QCOMPARE(r.entries.size(), 3);
    const Entry& br = r.entries.at(0);
    QCOMPARE(br.id, QStringLiteral("BR 218"));
    QCOMPARE(br.number, 218);
    QVERIFY(br.longAddress);
    QCOMPARE(br.roadNumber, QStringLiteral("218 001-5"));
    QCOMPARE(br.owner, QStringLiteral("Anna"));
    QCOMPARE(br.maxSpeed, 80);
    QCOMPARE(br.functions[0].label, QStringLiteral("Licht"));
    QCOMPARE(br.functions[1].label, QStringLiteral("Fahrgeräusch"));
    QVERIFY(!br.functions[1].momentary);
    QCOMPARE(br.functions[2].label, QStringLiteral("Horn"));
    QVERIFY(br.functions[2].momentary);
    QVERIFY(!br.functions[3].momentary); // no lockable attribute: latching
    const QList<QPair<int, int>> cvs{{1, 3}, {17, 192}, {18, 218}, {29, 38}};
    QCOMPARE(Roster::plainCvs(br), cvs);

    const Entry& v100 = r.entries.at(1);
    QCOMPARE(v100.number, 3);
    QVERIFY(!v100.longAddress);
    QVERIFY(v100.functions[12].momentary);
    QCOMPARE(v100.functions[12].label, QStringLiteral("Pfiff"));

    // What the index knows of the loco whose own file is damaged.
    const Entry& koef = r.entries.at(2);
    QCOMPARE(koef.id, QStringLiteral("Köf II"));
    QCOMPARE(koef.number, 12);
    QCOMPARE(koef.comment, QStringLiteral("aus dem Index"));
    QCOMPARE(koef.functions[0].label, QStringLiteral("Licht"));
}

void tst_roster::roundTripKeepsEverything()
{
    const QList<Entry> imported = LocoRoster::readFolder(QStringLiteral(ROSTER_DATA)).entries;
    QTemporaryDir out;
    QList<Entry> written = imported;
    QCOMPARE(LocoRoster::writeFolder(out.path(), written), QString());
    const Jmri::Reading again = LocoRoster::readFolder(out.path());
    QCOMPARE(again.problems, QStringList());
    QCOMPARE(again.entries.size(), imported.size());
    for (int i = 0; i < imported.size(); ++i) {
        const Entry& a = imported.at(i);
        const Entry& b = again.entries.at(i);
        QCOMPARE(b.id, a.id);
        QCOMPARE(b.fileName, a.fileName);
        QCOMPARE(b.number, a.number);
        QCOMPARE(b.longAddress, a.longAddress);
        QCOMPARE(QStringList({b.roadName, b.roadNumber, b.model, b.owner, b.comment}),
                 QStringList({a.roadName, a.roadNumber, a.model, a.owner, a.comment}));
        QCOMPARE(b.maxSpeed, a.maxSpeed);
        for (int f = 0; f < Roster::FunctionCount; ++f) {
            QCOMPARE(b.functions[size_t(f)].label, a.functions[size_t(f)].label);
            QCOMPARE(b.functions[size_t(f)].momentary, a.functions[size_t(f)].momentary);
        }
        QCOMPARE(b.cvValues, a.cvValues);
    }
    // What the program does not use comes back in the element it came from.
    const QByteArray br = contents(out.filePath(QStringLiteral("roster/BR_218.xml")));
    for (const char* kept :
         {"mfg=\"Fleischmann\"", "imageFilePath=\"\"", "<decoder model=\"LokSound 5\"",
          "<functionlabel num=\"14\" lockable=\"false\">Kupplung</functionlabel>", "<key>Epoche</key>",
          "<varValue item=\"Short Address\" value=\"3\"/>", "<CVvalue name=\"16.2.257\" value=\"7\"/>"})
        QVERIFY2(br.contains(kept), kept);
    QVERIFY(br.indexOf("<decoder ") < br.indexOf("<locoaddress>"));
    QVERIFY(br.indexOf("</functionlabels>") < br.indexOf("<attributepairs>"));
    QVERIFY(br.indexOf("<attributepairs>") < br.indexOf("<values>"));
    QVERIFY(br.indexOf("<decoderDef>") > br.indexOf("<values>"));
}

void tst_roster::damagedIndexLeavesTheLocoFiles()
{
    QTemporaryDir dir;
    QList<Entry> entries{named(QStringLiteral("V 200"), 200), named(QStringLiteral("BR 01"), 1)};
    QCOMPARE(LocoRoster::writeFolder(dir.path(), entries), QString());
    QFile index(dir.filePath(QStringLiteral("roster.xml")));
    QVERIFY(index.open(QIODevice::WriteOnly));
    index.write("<?xml version=\"1.0\"?>\n<roster-config>\n<roster>\n<locomotive id=\"x\"\n");
    index.close();

    const Jmri::Reading r = LocoRoster::readFolder(dir.path());
    QCOMPARE(r.problems.size(), 1);
    QVERIFY2(r.problems.first().startsWith(QStringLiteral("roster.xml, Zeile ")),
             qPrintable(r.problems.first()));
    QStringList names;
    for (const Entry& e : r.entries)
        names << e.id;
    QCOMPARE(names, QStringList({QStringLiteral("BR 01"), QStringLiteral("V 200")}));
}

void tst_roster::storeRemovesTheFilesOfRemovedLocos()
{
    QTemporaryDir dir;
    LocoRoster roster(dir.path());
    QCOMPARE(roster.load(), QStringList()); // no roster yet is no problem
    QCOMPARE(roster.save({named(QStringLiteral("V 200"), 200), named(QStringLiteral("Köf"), 12)}), QString());
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("roster/V 200.xml"))));
    QCOMPARE(roster.save({roster.entries().at(1)}), QString());
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("roster/V 200.xml"))));

    LocoRoster reread(dir.path());
    QCOMPARE(reread.load(), QStringList());
    QCOMPARE(reread.entries().size(), 1);
    QVERIFY(reread.entryForNumber(12));
    QVERIFY(!reread.entryForNumber(200));
}

TAKTORA_TEST_MAIN(tst_roster)
#include "tst_roster.moc"
