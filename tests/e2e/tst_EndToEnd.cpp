// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandSet.h"
#include "krTaktoraTools.h"
#include "LineClient.h"
#include "MessageBox.h"
#include "PortDirectory.h"
#include "PortErrors.h"
#include "SimProcess.h"
#include "TestMain.h"

namespace {
const QString kCom = QStringLiteral("COM3");
} // namespace

// The program's transaction against the emulator on a real pseudo-terminal, and the emulator as a
// program: what only a real line and a real process show. What the board answers is
// tst_ControllerEmulator's business.
class tst_EndToEnd : public QObject
{
    Q_OBJECT

public:
    tst_EndToEnd()
    {
        AttachScreenPrompts(m_link);
        m_line.setNeedsCheck(false);
    }

private slots:
    void cleanup();
    void registersItsDeviceAndEndsCleanly();
    void portIsChosenByTheNumberInItsName();

private:
    ControllerLink m_link;
    LineClient m_line{m_link, QStringLiteral("Test"), LineClient::Kind::Screen};
};

void tst_EndToEnd::cleanup()
{
    m_link.close();
    MessageBox::takeShown();
}

void tst_EndToEnd::registersItsDeviceAndEndsCleanly()
{
    SimProcess sim({"--register", "com7"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    QVERIFY(sim.devicePath().startsWith(QLatin1String("/dev/")));
    QCOMPARE(PortDirectory::devicePath(QStringLiteral("COM7")), sim.devicePath());
    QVERIFY(sim.terminate());
}

// Each open closes the port first; the emulator, answering late and paced like a real line, stays.
void tst_EndToEnd::portIsChosenByTheNumberInItsName()
{
    SimProcess sim({"--pace", "--delay-ms", "30"});
    QVERIFY2(sim.attachAs(m_link, kCom), qPrintable(sim.errorString()));
    PortDirectory::registerDevice(QStringLiteral("COM30"), sim.devicePath());
    for (const char* name : {"COM03", "COM3:", "COM 3", "com3"}) {
        QVERIFY2(m_link.open(name), name);
        FrameFields frame = Request::readFirstLocoEntry(1);
        QVERIFY2(m_line.ControllerTransaction(frame, 1, false, 2), name);
        QCOMPARE(wordFromBytes(frame.data1, frame.data2), quint16(3));
    }
    // Beyond the 24 ports the program works with, whatever the settings map, and without a number.
    for (const char* name : {"COM30", "COMx", "CO"}) {
        QVERIFY2(!m_link.open(name), name);
        QCOMPARE(openErrorText(name, m_link.lastOpenError()),
                 QStringLiteral("Fehler beim Zugriff auf ") + name +
                     "\n\n(Fehler 8002 - Schnittstelle nicht verfügbar)");
    }
}

TAKTORA_TEST_MAIN(tst_EndToEnd)
#include "tst_EndToEnd.moc"
