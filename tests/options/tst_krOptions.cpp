#include "TestMain.h"

#include "FakeSerialPort.h"
#include "krOptions.h"
#include "krTaktoraTools.h"
#include "PortChoice.h"
#include "PortDirectory.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryFile>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>
#endif

namespace {
const QString Simulation = QStringLiteral("<Simulationsmodus>");

void storePort(const QString& name)
{
    WriteSetting(QStringLiteral("SignalOutputTo"), name, QStringLiteral("Taktora"));
}

QString storedPort()
{
    return ReadSetting(QStringLiteral("SignalOutputTo"), QStringLiteral("<unset>"),
                       QStringLiteral("Taktora"));
}

template <typename T> T* child(const QWidget& parent, const char* name)
{
    auto* widget = parent.findChild<T*>(QLatin1String(name));
    if (!widget)
        qFatal("missing control %s", name);
    return widget;
}

// Shows a fresh dialog and chooses a list entry, as the user would.
void openAndChoose(krOptions& dialog, const QString& entry)
{
    dialog.show();
    auto* list = child<QComboBox>(dialog, "cmbComPort");
    const int index = list->findText(entry);
    QVERIFY2(index >= 0, qPrintable(entry));
    list->setCurrentIndex(index);
}
} // namespace

class TestKrOptions : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QSettings(QStringLiteral("KORADIN"), QStringLiteral("KORADIN")).clear();
        InstallControllerPort(nullptr);
        CloseControllerPort();
        SetPortName(QStringLiteral("NUL"));
        MessageBox::takeShown();
    }

    void cleanup()
    {
        CloseControllerPort();
        InstallControllerPort(nullptr);
    }

    void storedNameSelectsAnEntry_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("index");
        QTest::newRow("lower case") << "com7" << 7;
        QTest::newRow("one digit") << "COM1" << 1;
        QTest::newRow("highest") << "COM24" << 24;
        QTest::newRow("above range") << "COM25" << 0;
        QTest::newRow("three digits") << "COM100" << 0;
        QTest::newRow("leading zero has no entry") << "COM07" << 0;
        QTest::newRow("zero has no entry") << "COM0" << 0;
        QTest::newRow("simulation") << "NUL" << 0;
        QTest::newRow("junk") << "XYZ" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("blank around it") << " COM3" << 0;
        QTest::newRow("trailing text") << "COM3x" << 0;
        QTest::newRow("device path") << "/dev/ttyACM0" << 0;
    }

    void storedNameSelectsAnEntry()
    {
        QFETCH(QString, stored);
        QFETCH(int, index);
        QCOMPARE(PortChoice::listIndexForStoredName(stored), index);
    }

    void listAndNamesAgree()
    {
        const QStringList entries = PortChoice::listEntries();
        QCOMPARE(entries.size(), 25);
        QCOMPARE(entries.first(), Simulation);
        for (int i = 1; i < entries.size(); ++i) {
            QCOMPARE(entries.at(i), QStringLiteral("COM%1").arg(i));
            QCOMPARE(PortChoice::portNameForListIndex(i), entries.at(i));
        }
        QCOMPARE(PortChoice::portNameForListIndex(0), QStringLiteral("NUL"));
        QCOMPARE(PortChoice::portNameForListIndex(-1), QStringLiteral("NUL"));
        QCOMPARE(PortChoice::portNameForListIndex(25), QStringLiteral("NUL"));
    }

    void textsForTheUser()
    {
        QCOMPARE(PortChoice::mappingText("COM3", "/dev/ttyACM0", true),
                 QStringLiteral("COM3 → /dev/ttyACM0 (vorhanden)"));
        QCOMPARE(PortChoice::mappingText("COM3", "/dev/ttyACM0", false),
                 QStringLiteral("COM3 → /dev/ttyACM0 (nicht angeschlossen)"));
        QCOMPARE(PortChoice::mappingText("COM3", QString(), false),
                 QStringLiteral("COM3 ist keinem Gerät zugeordnet"));

        QCOMPARE(PortChoice::deviceLabel({"/dev/ttyACM0", "Arduino Mega 2560", "Arduino (www.arduino.cc)"}),
                 QStringLiteral("Arduino Mega 2560 – /dev/ttyACM0"));
        QCOMPARE(PortChoice::deviceLabel({"/dev/ttyUSB0", "n/a", "FTDI"}),
                 QStringLiteral("FTDI – /dev/ttyUSB0"));
        QCOMPARE(PortChoice::deviceLabel({"/dev/ttyS0", "", ""}), QStringLiteral("/dev/ttyS0"));
    }

    void firstActivation_data()
    {
        QTest::addColumn<QString>("stored"); // empty: nothing stored
        QTest::addColumn<QString>("selected");
        QTest::newRow("fresh settings") << QString() << Simulation;
        QTest::newRow("com7") << "com7"
                              << "COM7";
        QTest::newRow("COM24") << "COM24"
                               << "COM24";
        QTest::newRow("COM25") << "COM25" << Simulation;
        QTest::newRow("XYZ") << "XYZ" << Simulation;
    }

    void firstActivation()
    {
        QFETCH(QString, stored);
        QFETCH(QString, selected);
        if (!stored.isEmpty())
            storePort(stored);

        krOptions dialog;
        QCOMPARE(dialog.objectName(), QStringLiteral("krOptions"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Einstellungen"));
        dialog.show();

        auto* tabs = child<QTabWidget>(dialog, "tabSettings");
        QCOMPARE(tabs->count(), 1);
        QCOMPARE(tabs->tabText(0), QStringLiteral("&Allgemein"));
        QCOMPARE(child<QGroupBox>(dialog, "fraCommPorts")->title(), QStringLiteral("Serielle Schnittstelle"));
        QCOMPARE(child<QLabel>(dialog, "lblInfo")->text(),
                 QStringLiteral("Bitte wählen Sie hier die gewünschte serielle \nSchnittstelle aus"));
        QCOMPARE(child<QPushButton>(dialog, "btnOK")->text(), QStringLiteral("OK"));
        QCOMPARE(child<QPushButton>(dialog, "btnCancel")->text(), QStringLiteral("Abbruch"));

        auto* list = child<QComboBox>(dialog, "cmbComPort");
        QCOMPARE(list->count(), 25);
        QCOMPARE(list->currentText(), selected);
        QCOMPARE(dialog.selectedPortName(), stored.isEmpty() ? QStringLiteral("NUL") : stored);
        // Showing the dialog stores nothing.
        QCOMPARE(storedPort(), stored.isEmpty() ? QStringLiteral("<unset>") : stored);
    }

    void okWithSimulationStoresNulAndOpensNothing()
    {
        FakeClock clock;
        FakeSerialPort port(&clock);
        port.setExistingPorts({"COM3"});
        InstallControllerPort(&port);
        storePort("COM3");
        SetPortName("COM3");

        krOptions dialog;
        openAndChoose(dialog, Simulation);
        QTest::mouseClick(child<QPushButton>(dialog, "btnOK"), Qt::LeftButton);

        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
        QVERIFY(port.openedNames().isEmpty());
        QCOMPARE(PortName(), QStringLiteral("NUL"));
        QCOMPARE(storedPort(), QStringLiteral("NUL"));
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void okWithPortThatReachesNoDeviceKeepsTheDialogOpen()
    {
        // The real port: COM5 has no entry in the "Ports" group.
        storePort("COM2");
        SetPortName("COM2");

        krOptions dialog;
        openAndChoose(dialog, "COM5");
        QTest::mouseClick(child<QPushButton>(dialog, "btnOK"), Qt::LeftButton);

        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().icon, QMessageBox::Warning);
        QVERIFY2(shown.first().text.startsWith(QStringLiteral("Fehler beim Zugriff auf COM5")),
                 qPrintable(shown.first().text));
        QVERIFY2(shown.first().text.contains(QStringLiteral("(Fehler 8002 - Schnittstelle nicht verfügbar)")),
                 qPrintable(shown.first().text));

        QVERIFY(dialog.isVisible());
        QCOMPARE(storedPort(), QStringLiteral("COM2"));
        QCOMPARE(PortName(), QStringLiteral("COM2"));
        QVERIFY(!ControllerPort().isOpen());
    }

    void failedTestThenSimulationSucceeds()
    {
        FakeClock clock;
        FakeSerialPort port(&clock);
        port.setOpenError(68);
        InstallControllerPort(&port);

        krOptions dialog;
        openAndChoose(dialog, "COM9");
        auto* ok = child<QPushButton>(dialog, "btnOK");
        QTest::mouseClick(ok, Qt::LeftButton);
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.first().text.contains(QStringLiteral("(Fehler 68 - Schnittstelle nicht verfügbar)")));
        QCOMPARE(port.openedNames(), QStringList{"COM9"});
        QVERIFY(dialog.isVisible());
        QCOMPARE(storedPort(), QStringLiteral("<unset>"));

        // The user chooses again in the same dialog.
        child<QComboBox>(dialog, "cmbComPort")->setCurrentIndex(0);
        QTest::mouseClick(ok, Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(storedPort(), QStringLiteral("NUL"));
    }

    void okWithExistingPortOpensItTwiceAndStoresIt()
    {
        FakeClock clock;
        FakeSerialPort port(&clock);
        port.setExistingPorts({"COM3"});
        InstallControllerPort(&port);

        krOptions dialog;
        openAndChoose(dialog, "COM3");
        QTest::mouseClick(child<QPushButton>(dialog, "btnOK"), Qt::LeftButton);

        QCOMPARE(port.openedNames(), (QStringList{"COM3", "COM3"}));
        QVERIFY(port.isOpen());
        QCOMPARE(PortName(), QStringLiteral("COM3"));
        QCOMPARE(storedPort(), QStringLiteral("COM3"));
        QCOMPARE(dialog.selectedPortName(), QStringLiteral("COM3"));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

#ifndef Q_OS_WIN
    void okWithPseudoTerminalLeavesItOpen()
    {
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0);
        QVERIFY(grantpt(master) == 0 && unlockpt(master) == 0);
        PortDirectory::registerDevice("COM4", QString::fromLocal8Bit(ptsname(master)));

        krOptions dialog;
        openAndChoose(dialog, "COM4");
        QTest::mouseClick(child<QPushButton>(dialog, "btnOK"), Qt::LeftButton);

        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QVERIFY2(shown.isEmpty(), shown.isEmpty() ? "" : qPrintable(shown.first().text));
        QVERIFY(ControllerPort().isOpen());
        QCOMPARE(storedPort(), QStringLiteral("COM4"));
        CloseControllerPort();
        ::close(master);
    }
#endif

    void cancelChangesNothing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Abbruch") << "button";
        QTest::newRow("Escape") << "escape";
        QTest::newRow("close box") << "close";
    }

    void cancelChangesNothing()
    {
        QFETCH(QString, how);
        FakeClock clock;
        FakeSerialPort port(&clock);
        port.setExistingPorts({"COM3", "COM9"});
        InstallControllerPort(&port);
        storePort("COM3");
        SetPortName("COM3");

        krOptions dialog;
        openAndChoose(dialog, "COM9");
        if (how == "button")
            QTest::mouseClick(child<QPushButton>(dialog, "btnCancel"), Qt::LeftButton);
        else if (how == "escape")
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else
            dialog.close();

        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(port.openedNames().isEmpty());
        QCOMPARE(PortName(), QStringLiteral("COM3"));
        QCOMPARE(storedPort(), QStringLiteral("COM3"));
    }

    void assigningADetectedDeviceWritesThePortsEntry()
    {
        if (!krOptions::deviceMappingAvailable())
            QSKIP("the COM name is the device here");

        QTemporaryFile present;
        QVERIFY(present.open());
        const QString missing = QStringLiteral("/dev/ttyTaktoraTest-missing");

        krOptions dialog;
        dialog.setDeviceScanner([&] {
            return SerialDeviceList{{missing, "Arduino Mega 2560", "Arduino (www.arduino.cc)"},
                                    {present.fileName(), "", "FTDI"}};
        });
        openAndChoose(dialog, "COM3");

        auto* mapping = child<QLabel>(dialog, "lblMapping");
        auto* devices = child<QComboBox>(dialog, "cmbDevice");
        auto* assign = child<QPushButton>(dialog, "btnAssign");
        auto* unassign = child<QPushButton>(dialog, "btnUnassign");
        QCOMPARE(mapping->text(), QStringLiteral("COM3 ist keinem Gerät zugeordnet"));
        QVERIFY(!unassign->isEnabled());
        QCOMPARE(devices->count(), 2);
        QCOMPARE(devices->itemText(0), "Arduino Mega 2560 – " + missing);
        QCOMPARE(devices->itemText(1), "FTDI – " + present.fileName());

        devices->setCurrentIndex(1);
        QTest::mouseClick(assign, Qt::LeftButton);
        QCOMPARE(PortDirectory::devicePath("COM3"), present.fileName());
        QCOMPARE(ReadSetting("COM3", QString(), "Ports"), present.fileName());
        QCOMPARE(mapping->text(), "COM3 → " + present.fileName() + " (vorhanden)");
        QVERIFY(unassign->isEnabled());

        devices->setCurrentIndex(0);
        QTest::mouseClick(assign, Qt::LeftButton);
        QCOMPARE(PortDirectory::devicePath("COM3"), missing);
        QCOMPARE(mapping->text(), "COM3 → " + missing + " (nicht angeschlossen)");

        // Another COM name shows its own mapping; the assignment went to COM3 only.
        auto* list = child<QComboBox>(dialog, "cmbComPort");
        list->setCurrentText("COM4");
        QCOMPARE(mapping->text(), QStringLiteral("COM4 ist keinem Gerät zugeordnet"));
        QVERIFY(PortDirectory::devicePath("COM4").isEmpty());

        // Back on COM3 the list offers the device the name reaches.
        list->setCurrentText("COM3");
        QCOMPARE(devices->currentIndex(), 0);
        QTest::mouseClick(unassign, Qt::LeftButton);
        QVERIFY(PortDirectory::devicePath("COM3").isEmpty());
        QCOMPARE(mapping->text(), QStringLiteral("COM3 ist keinem Gerät zugeordnet"));

        list->setCurrentIndex(0);
        QVERIFY(!child<QGroupBox>(dialog, "fraDeviceMapping")->isEnabled());
    }

    void deviceListFollowsWhatIsPluggedIn()
    {
        if (!krOptions::deviceMappingAvailable())
            QSKIP("the COM name is the device here");

        SerialDeviceList plugged;
        krOptions dialog;
        dialog.setDeviceScanner([&] { return plugged; });
        openAndChoose(dialog, "COM6");

        auto* devices = child<QComboBox>(dialog, "cmbDevice");
        auto* assign = child<QPushButton>(dialog, "btnAssign");
        QCOMPARE(devices->count(), 1);
        QCOMPARE(devices->currentText(), QStringLiteral("Kein serielles Gerät gefunden"));
        QVERIFY(!assign->isEnabled());

        // A board is plugged in while the dialog is open; opening the list finds it.
        plugged.append({"/dev/ttyACM7", "Arduino Uno", "Arduino LLC"});
        devices->showPopup();
        devices->hidePopup();
        QCOMPARE(devices->count(), 1);
        QCOMPARE(devices->currentText(), QStringLiteral("Arduino Uno – /dev/ttyACM7"));
        QVERIFY(assign->isEnabled());
        QTest::mouseClick(assign, Qt::LeftButton);
        QCOMPARE(PortDirectory::devicePath("COM6"), QStringLiteral("/dev/ttyACM7"));
    }
};

TAKTORA_TEST_MAIN(TestKrOptions)
#include "tst_krOptions.moc"
