// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestMain.h"

#include "ControllerLink.h"
#include "FakeSerialPort.h"
#include "krOptions.h"
#include "krTaktoraTools.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>
#endif

namespace {
const QString Simulation = QStringLiteral("<Simulationsmodus>");

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

// Shows the dialog and chooses a list entry, as the user would.
void openAndChoose(krOptions& dialog, const QString& entry)
{
    dialog.show();
    auto* list = child<QComboBox>(dialog, "cmbComPort");
    list->setCurrentIndex(list->findText(entry));
    QVERIFY2(list->currentText() == entry, qPrintable(entry));
}
} // namespace

class TestKrOptions : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QSettings(QStringLiteral("KORADIN"), QStringLiteral("KORADIN")).clear();
        MessageBox::takeShown();
    }
    void cleanup() { m_link.close(); }

    void closing_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("opened");
        QTest::addColumn<QString>("port"); // stored and in use afterwards
        QTest::addColumn<QString>("box");  // empty: none, and the dialog closes
        const auto row = [](const char* name, const QString& entry, const char* how,
                            const QStringList& opened, const char* port, const char* box = "") {
            QTest::newRow(name) << entry << QString(how) << opened << QString(port) << QString(box);
        };
        row("OK, simulation", Simulation, "btnOK", {}, "NUL");
        row("OK, existing port", "COM3", "btnOK", {"COM3", "COM3"}, "COM3");
        row("OK, missing port", "COM5", "btnOK", {"COM5"}, "COM2",
            "Fehler beim Zugriff auf COM5\n\n(Fehler 8002 - Schnittstelle nicht verfügbar)");
        row("Abbruch", "COM3", "btnCancel", {}, "COM2");
        row("Escape", "COM3", "Escape", {}, "COM2");
        row("close box", "COM3", "close", {}, "COM2");
    }
    void closing()
    {
        QFETCH(QString, entry);
        QFETCH(QString, how);
        QFETCH(QStringList, opened);
        QFETCH(QString, port);
        QFETCH(QString, box);
        FakeLink link(QStringLiteral("COM2"));
        link.port.setExistingPorts({"COM2", "COM3"});
        WriteSetting("SignalOutputTo", "COM2", "Taktora");

        krOptions dialog(link.link);
        openAndChoose(dialog, entry);
        if (how == "Escape")
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else if (how == "close")
            dialog.close();
        else
            QTest::mouseClick(child<QPushButton>(dialog, qPrintable(how)), Qt::LeftButton);

        QStringList shown;
        for (const MessageBox::Shown& message : MessageBox::takeShown())
            shown << message.text.left(box.size()); // the report goes on with contact details
        QCOMPARE(shown, box.isEmpty() ? QStringList() : QStringList{box});
        QCOMPARE(dialog.isVisible(), !box.isEmpty());
        QCOMPARE(link.port.openedNames(), opened);
        // Only a failed test leaves no port open: it closed the old one first.
        QCOMPARE(link.port.isOpen(), box.isEmpty());
        QCOMPARE(link.link.portName(), port);
        QCOMPARE(storedPort(), port);
    }

#ifndef Q_OS_WIN
    // The whole way on a real port: the device list finds a board plugged in while the dialog is
    // open, assigning it writes the "Ports" entry, and OK opens the real device.
    void assignedDeviceOpensOnOk()
    {
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
        const QString pty = QString::fromLocal8Bit(ptsname(master));
        SerialDeviceList plugged;
        krOptions dialog(m_link);
        dialog.setDeviceScanner([&] { return plugged; });
        dialog.show();
        // Simulation mode uses no device.
        QVERIFY(!child<QGroupBox>(dialog, "fraDeviceMapping")->isEnabled());
        openAndChoose(dialog, "COM4");
        auto* devices = child<QComboBox>(dialog, "cmbDevice");
        auto* assign = child<QPushButton>(dialog, "btnAssign");
        auto* mapping = child<QLabel>(dialog, "lblMapping");
        QCOMPARE(mapping->text(), QStringLiteral("COM4 ist keinem Gerät zugeordnet"));

        plugged.append({pty, "n/a", "FTDI"});
        devices->showPopup();
        devices->hidePopup();
        QCOMPARE(devices->currentText(), "FTDI – " + pty);
        QTest::mouseClick(assign, Qt::LeftButton);
        QCOMPARE(ReadSetting("COM4", QString(), "Ports"), pty);
        QCOMPARE(mapping->text(), "COM4 → " + pty + " (vorhanden)");

        QTest::mouseClick(child<QPushButton>(dialog, "btnOK"), Qt::LeftButton);
        QVERIFY(m_link.port().isOpen());
        QCOMPARE(m_link.portName(), QStringLiteral("COM4"));
        QCOMPARE(storedPort(), QStringLiteral("COM4"));
        ::close(master);
    }

    // A COM name mapped to a device the system does not list (the emulator's pseudo-terminal)
    // shows that device, so that "Zuordnen" keeps it; the COM list marks the names with a device.
    void mappedDeviceShowsEvenWhenUnlisted()
    {
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
        const QString pty = QString::fromLocal8Bit(ptsname(master));
        const QString gone = QStringLiteral("/dev/taktora-no-such-device");
        WriteSetting("COM3", pty, "Ports");
        WriteSetting("COM5", gone, "Ports");
        WriteSetting("SignalOutputTo", "COM3", "Taktora");
        krOptions dialog(m_link);
        dialog.setDeviceScanner([] { return SerialDeviceList{{"/dev/ttyS0", "Serieller Port", QString()}}; });
        dialog.show();
        auto* devices = child<QComboBox>(dialog, "cmbDevice");
        QCOMPARE(devices->currentData().toString(), pty);
        QCOMPARE(devices->currentText(), pty + " (zugeordnet)");
        devices->showPopup(); // looks the devices up again
        devices->hidePopup();
        QCOMPARE(devices->currentData().toString(), pty);
        QTest::mouseClick(child<QPushButton>(dialog, "btnAssign"), Qt::LeftButton);
        QCOMPARE(ReadSetting("COM3", QString(), "Ports"), pty);

        auto* names = child<QComboBox>(dialog, "cmbComPort");
        const auto mark = [names](int i) { return names->itemIcon(i).pixmap(8).toImage(); };
        QCOMPARE(names->itemData(3, Qt::ToolTipRole).toString(), "COM3 → " + pty + " (vorhanden)");
        QCOMPARE(names->itemData(5, Qt::ToolTipRole).toString(), "COM5 → " + gone + " (nicht angeschlossen)");
        QVERIFY(!names->itemData(4, Qt::ToolTipRole).isValid());
        QVERIFY(mark(3) != mark(4) && mark(3) != mark(5) && mark(4) != mark(5));

        // The device goes with the name: another name offers only the system's devices.
        openAndChoose(dialog, "COM4");
        QCOMPARE(devices->findData(pty), -1);
        openAndChoose(dialog, "COM3");
        QTest::mouseClick(child<QPushButton>(dialog, "btnUnassign"), Qt::LeftButton);
        QVERIFY(!names->itemData(3, Qt::ToolTipRole).isValid());
        QCOMPARE(mark(3), mark(4));
        ::close(master);
    }
#endif

private:
    ControllerLink m_link;
};

TAKTORA_TEST_MAIN(TestKrOptions)
#include "tst_krOptions.moc"
