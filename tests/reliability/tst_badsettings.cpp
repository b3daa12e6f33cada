// SPDX-License-Identifier: GPL-3.0-or-later
// A settings file that a user, a crash or another program has spoiled: the real main window
// starts on it against taktora-sim, falls back as its rules say, and never sends a frame that
// carries a number made up from nonsense.

#include "AccessoryPanel.h"
#include "CommandSet.h"
#include "krTaktora.h"
#include "krTaktoraTools.h"
#include "MessageBox.h"
#include "SimProcess.h"
#include "TestMain.h"
#include "ThrottlePanel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QSettings>
#include <QSlider>

#include <memory>

Q_DECLARE_METATYPE(QSet<int>)

class TestBadSettings : public QObject
{
    Q_OBJECT

private slots:
    void startsAndSendsNoNonsense_data()
    {
        QTest::addColumn<QByteArray>("taktora"); // lines of the group [Taktora]
        QTest::addColumn<QString>("com3");       // what [Ports] COM3 points at: sim or a file
        QTest::addColumn<QString>("startBox");   // beginning of the box shown at start, if any
        QTest::addColumn<QSet<int>>("locos");    // loco numbers driven afterwards
        QTest::addColumn<QSet<int>>("decoders"); // accessory decoders switched afterwards

        const QString unavailable = QStringLiteral("\n\n(Fehler 8002 - Schnittstelle nicht verfügbar)");
        QTest::newRow("NUL with blanks")
            << QByteArray("SignalOutputTo=\"NUL \"\n") << "sim"
            << "Fehler beim Zugriff auf NUL " + unavailable << QSet<int>() << QSet<int>();
        QTest::newRow("COM3 is a regular file")
            << QByteArray("SignalOutputTo=COM3\n") << "file"
            << "Fehler beim Zugriff auf COM3\n\n(Fehler " << QSet<int>() << QSet<int>();
        QTest::newRow("loco abc") << QByteArray("SignalOutputTo=COM3\nSlider01=abc\nSlider02=\n") << "sim"
                                  << QString() << QSet<int>{1, 3, 4} << QSet<int>{1, 2, 3, 4};
        // The window checks all its decoder fields before it switches any.
        QTest::newRow("decoder 99999") << QByteArray("SignalOutputTo=COM3\nAccessoryAdress02=99999\n")
                                       << "sim" << QString() << QSet<int>{1, 2, 3, 4} << QSet<int>();
    }

    void startsAndSendsNoNonsense()
    {
        QFETCH(QByteArray, taktora);
        QFETCH(QString, com3);
        QFETCH(QString, startBox);
        QFETCH(QSet<int>, locos);
        QFETCH(QSet<int>, decoders);

        SimProcess sim;
        QVERIFY2(sim.start(), qPrintable(sim.errorString()));
        QTemporaryDir elsewhere;
        const QString file = elsewhere.filePath(QStringLiteral("not-a-port"));
        QFile(file).open(QIODevice::WriteOnly);
        const QString target = com3 == "sim" ? sim.devicePath() : file;

        const QString path = QSettings("KORADIN", "KORADIN").fileName();
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile conf(path);
        QVERIFY(conf.open(QIODevice::WriteOnly | QIODevice::Truncate));
        conf.write("[Ports]\nCOM3=" + target.toUtf8() + "\n\n[Taktora]\n" + taktora);
        conf.close();
        MessageBox::takeShown();

        ControllerLink link;
        AttachScreenPrompts(link);
        auto window = std::make_unique<krTaktora>(QStringLiteral("/usr/bin/taktora"), &link);
        const QList<MessageBox::Shown> atStart = MessageBox::takeShown();
        QCOMPARE(atStart.size(), startBox.isEmpty() ? 0 : 1);
        if (!startBox.isEmpty())
            QVERIFY2(atStart[0].text.startsWith(startBox), qPrintable(atStart[0].text));

        // The user checks Controller 1 and touches every throttle and accessory panel.
        window->findChild<QLineEdit*>(QStringLiteral("txtControllerNr"))->setText(QStringLiteral("1"));
        window->btnCheck_Click();
        for (int i = 0; i < krTaktora::ThrottleCount; ++i) {
            window->throttle(i)->slider()->setValue(100);
            window->throttle(i)->lightButton()->click();
        }
        for (int i = 0; i < krTaktora::AccessoryPanelCount; ++i)
            window->accessoryPanel(i)->onButton(0)->click();
        MessageBox::takeShown();

        QSet<int> drivenLocos;
        QSet<int> switchedDecoders;
        for (const FrameFields& f : sim.requests()) {
            const int number = wordFromBytes(f.data1, f.data2);
            if (f.command == Command::SetLocoSpeed || f.command == Command::LocoFunctionOn ||
                f.command == Command::LocoFunctionOff || f.command == Command::SetLocoDirection)
                drivenLocos << number;
            if (f.command == Command::SwitchAccessoryOn || f.command == Command::SwitchAccessoryOff)
                switchedDecoders << number;
        }
        QCOMPARE(drivenLocos, locos);
        QCOMPARE(switchedDecoders, decoders);
        QCOMPARE(QFileInfo(file).size(), 0); // nothing went into a file that is no port
    }
};

TAKTORA_TEST_MAIN(TestBadSettings)
#include "tst_badsettings.moc"
