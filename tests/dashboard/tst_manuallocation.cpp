// SPDX-License-Identifier: GPL-3.0-or-later
#include "ManualLocation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// Which manual the help button opens in the layouts the program runs from.
class tst_ManualLocation : public QObject
{
    Q_OBJECT

private slots:
    void findManual_data()
    {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("expected");
        const QString installed = "usr/share/doc/taktora/Handbuch_Taktora.pdf";
        QTest::newRow("none") << QStringList() << QString();
        QTest::newRow("installed") << QStringList{installed} << installed;
        QTest::newRow("beside the program first")
            << QStringList{installed, "usr/bin/Handbuch_Taktora.pdf"} << "usr/bin/Handbuch_Taktora.pdf";
        QTest::newRow("a folder is no manual") << QStringList{"usr/bin/Handbuch_Taktora.pdf/"} << QString();
    }
    void findManual()
    {
        QFETCH(QStringList, present);
        QFETCH(QString, expected);
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkpath("usr/bin"));
        for (const QString& path : present) {
            QVERIFY(QDir(root.path()).mkpath(QFileInfo(path).path()));
            if (path.endsWith('/'))
                QVERIFY(QDir(root.path()).mkpath(path));
            else
                QVERIFY(QFile(root.filePath(path)).open(QIODevice::WriteOnly));
        }
        const QString found = Dashboard::findManual(root.filePath("usr/bin"));
        QCOMPARE(found, expected.isEmpty() ? QString() : root.filePath(expected));
    }
};

QTEST_GUILESS_MAIN(tst_ManualLocation)
#include "tst_manuallocation.moc"
