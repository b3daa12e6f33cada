// The checked main window on the screen the test runs on (see run-under-xvfb.sh): what the user
// needs in an emergency lies inside the screen, and where the window fits as it always was, its
// layout is unchanged.

#include "krTaktora.h"
#include "krTaktoraTools.h"
#include "SimProcess.h"
#include "TestMain.h"
#include "ThrottlePanel.h"

#include <QLabel>
#include <QLineEdit>

namespace {
// Every named widget shown in the window, with its place in the window's coordinates.
QMap<QString, QRect> namedGeometries(const QWidget& window)
{
    QMap<QString, QRect> geometries;
    for (const QWidget* w : window.findChildren<QWidget*>())
        if (!w->objectName().isEmpty() && w->isVisibleTo(&window))
            geometries.insert(w->objectName(), QRect(w->mapTo(&window, QPoint(0, 0)), w->size()));
    return geometries;
}
} // namespace

class TestScreenFit : public QObject
{
    Q_OBJECT

private slots:
    void checkedWindowFitsTheScreen()
    {
        SimProcess sim;
        QVERIFY2(sim.start(), qPrintable(sim.errorString()));
        sim.registerAs(QStringLiteral("COM3"));
        WriteSetting(QStringLiteral("SignalOutputTo"), QStringLiteral("COM3"), QStringLiteral("Taktora"));

        // The layout without a screen to fit, as after a check: as it has always been.
        krTaktora natural(QStringLiteral("/usr/bin/taktora"));
        natural.findChild<QWidget*>("ControllerFrame")->show();
        natural.adjustSize();
        natural.grab(); // lays every child out as a show would, without showing

        krTaktora window(QStringLiteral("/usr/bin/taktora"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.findChild<QLineEdit*>("txtControllerNr")->setText("1");
        window.btnCheck_Click();
        QVERIFY(window.findChild<QLabel*>("lblStatus")->text().startsWith(QStringLiteral("OK (Firmware ")));

        const QRect area = AvailableScreenArea(&window);
        qInfo() << "screen" << area << "natural" << natural.size() << "window" << window.frameGeometry();
        QVERIFY(area.contains(window.frameGeometry()));
        QStringList vital{"btnGlobalStop", "btnLoadCircuit", "btnCheck"};
        for (int i = 0; i < krTaktora::ThrottleCount; ++i)
            vital << QStringLiteral("btnStop_%1").arg(i) << QStringLiteral("fraAccessory_%1").arg(i);
        const auto geometries = namedGeometries(window);
        for (const QString& name : vital)
            QVERIFY2(window.rect().contains(geometries.value(name)), qPrintable(name)); // shown, unclipped

        if (area.width() >= natural.width() && area.height() >= natural.height())
            QCOMPARE(geometries, namedGeometries(natural));
    }
};

TAKTORA_TEST_MAIN(TestScreenFit)
#include "tst_screenfit.moc"
