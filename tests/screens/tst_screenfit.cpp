// The checked main window on the screen the test runs on (see run-under-xvfb.sh): everything the
// user needs in an emergency lies inside the screen, and where the window fits as it always was,
// its layout is unchanged.

#include "AccessoryPanel.h"
#include "krTaktora.h"
#include "krTaktoraTools.h"
#include "SimProcess.h"
#include "TestMain.h"
#include "ThrottlePanel.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace {
// Every widget with a name, by name, in window coordinates.
QMap<QString, QRect> namedGeometries(const QWidget& window)
{
    QMap<QString, QRect> geometries;
    for (const QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->objectName().isEmpty() && w->isVisibleTo(&window))
            geometries.insert(w->objectName(), QRect(w->mapTo(&window, QPoint(0, 0)), w->size()));
    }
    return geometries;
}

QRect onScreen(const QWidget* w)
{
    return QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
}
} // namespace

class TestScreenFit : public QObject
{
    Q_OBJECT

private slots:
    void checkedWindowFitsTheScreen()
    {
        SimProcess sim({"--board", "uno"});
        QVERIFY2(sim.start(), qPrintable(sim.errorString()));
        sim.registerAs(QStringLiteral("COM3"));
        WriteSetting(QStringLiteral("SignalOutputTo"), QStringLiteral("COM3"), QStringLiteral("Taktora"));

        // The layout the window has without a screen to fit: as it has always been.
        krTaktora natural(QStringLiteral("/usr/bin/taktora"));
        natural.findChild<QWidget*>("ControllerFrame")->show(); // as after a check
        natural.adjustSize();
        natural.grab(); // lays every child out as a show would, without showing
        const QSize naturalSize = natural.size();
        const auto naturalGeometries = namedGeometries(natural);

        krTaktora window(QStringLiteral("/usr/bin/taktora"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.findChild<QLineEdit*>("txtControllerNr")->setText("1");
        window.btnCheck_Click();
        QVERIFY(window.findChild<QLabel*>("lblStatus")->text().startsWith(QStringLiteral("OK (Firmware ")));
        QCoreApplication::processEvents();

        const QRect area = AvailableScreenArea(&window);
        qInfo() << "screen" << area << "scale" << window.devicePixelRatio() << "natural" << naturalSize
                << "window" << window.frameGeometry();
        QVERIFY(area.contains(window.frameGeometry()));

        QList<QWidget*> vital{window.findChild<QWidget*>("btnGlobalStop"),
                              window.findChild<QWidget*>("btnLoadCircuit"),
                              window.findChild<QWidget*>("btnCheck")};
        for (int i = 0; i < krTaktora::ThrottleCount; ++i)
            vital << window.throttle(i)->stopButton();
        for (int i = 0; i < krTaktora::AccessoryPanelCount; ++i)
            vital << window.accessoryPanel(i);
        for (const QWidget* w : vital) {
            QVERIFY2(w && w->isVisible(), qPrintable(w ? w->objectName() : QStringLiteral("?")));
            QVERIFY2(window.geometry().contains(onScreen(w)), qPrintable(w->objectName()));
        }

        if (area.width() >= naturalSize.width() && area.height() >= naturalSize.height()) {
            QCOMPARE(window.size(), naturalSize);
            const auto geometries = namedGeometries(window);
            QCOMPARE(geometries.keys(), naturalGeometries.keys());
            for (auto it = naturalGeometries.cbegin(); it != naturalGeometries.cend(); ++it)
                QVERIFY2(geometries[it.key()] == it.value(),
                         qPrintable(it.key() + QDebug::toString(geometries[it.key()]) +
                                    QDebug::toString(it.value())));
        }
    }
};

TAKTORA_TEST_MAIN(TestScreenFit)
#include "tst_screenfit.moc"
