// SPDX-License-Identifier: GPL-3.0-or-later
// The checked main window on the screen the test runs on (see run-under-xvfb.sh): what the user
// needs in an emergency lies inside the screen, the rest at least within reach of a scroll bar,
// every text, icon and logo is whole and drawn for the screen's scale, and where the window fits
// as it always was, its layout is unchanged.

#include "krControllerSettingsDD.h"
#include "krDecoderSheet.h"
#include "krInfo.h"
#include "krLocoList.h"
#include "krOptions.h"
#include "krPhoneThrottles.h"
#include "krTaktora.h"
#include "krTaktoraTools.h"
#include "krTrafficMonitor.h"
#include "krTurnouts.h"
#include "krWebThrottle.h"
#include "LineClient.h"
#include "SimProcess.h"
#include "TestMain.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QtMath>
#include <QToolButton>

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

// Whether no parent, scroll area or window edge cuts anything off the widget.
bool shownWhole(const QWidget* w)
{
    const QWidget* window = w->window();
    QRect shown(w->mapTo(window, QPoint(0, 0)), w->size());
    for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        shown &= QRect(p->mapTo(window, QPoint(0, 0)), p->size());
    return shown.size() == w->size();
}

// What a widget shows that could be cut off or blurred, or an empty text when all is well.
QString flawOf(const QWidget* w, qreal ratio)
{
    const auto* label = qobject_cast<const QLabel*>(w);
    const auto* button = qobject_cast<const QAbstractButton*>(w);
    if (label && !label->wordWrap() && !label->text().isEmpty()) {
        const QRect inside = label->contentsRect().marginsRemoved(QMargins() + label->margin());
        QString text = label->text();
        if (label->buddy()) // "&Port:" shows as "Port:"
            text.replace(QStringLiteral("&&"), QStringLiteral("\x01")).remove('&').replace('\x01', '&');
        if (inside.width() < w->fontMetrics().horizontalAdvance(text) ||
            inside.height() < w->fontMetrics().height())
            return QStringLiteral("text cut off");
    }
    // A wrapped text needs the height its lines take at the label's width.
    if (label && label->wordWrap() && !label->text().isEmpty() &&
        label->heightForWidth(label->width()) > label->height())
        return QStringLiteral("wrapped text cut off");
    // The loco list keeps the width it was designed with, whatever its title.
    if (w->isWindow() && !w->windowTitle().isEmpty() && w->objectName() != QLatin1String("krLocoList") &&
        w->width() < TitleWidth(w))
        return QStringLiteral("title elided");
    const auto* tool = qobject_cast<const QToolButton*>(w);
    const bool textShown = !tool || tool->toolButtonStyle() != Qt::ToolButtonIconOnly;
    if (button && textShown && !button->text().isEmpty() && !(w->size() - w->minimumSizeHint()).isValid())
        return QStringLiteral("text cut off");
    int largest = 0; // the largest drawing of the icon
    for (const QSize& s : button ? button->icon().availableSizes() : QList<QSize>())
        largest = std::max(largest, s.width());
    if (button && !button->icon().isNull() && largest < qCeil(button->iconSize().width() * ratio))
        return QStringLiteral("icon blurred");
    return QString();
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

        // The layout without a screen to fit, as after a check: as it has always been. In
        // simulation mode, so that the port is the checked window's alone.
        WriteSetting(QStringLiteral("SignalOutputTo"), QStringLiteral("NUL"), QStringLiteral("Taktora"));
        krTaktora natural(QStringLiteral("/usr/bin/taktora"));
        natural.findChild<QWidget*>("ControllerFrame")->show();
        natural.adjustSize();
        natural.grab(); // lays every child out as a show would, without showing

        WriteSetting(QStringLiteral("SignalOutputTo"), QStringLiteral("COM3"), QStringLiteral("Taktora"));
        krTaktora window(QStringLiteral("/usr/bin/taktora"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.findChild<QLineEdit*>("txtControllerNr")->setText("1");
        window.btnCheck_Click();
        QVERIFY(window.findChild<QLabel*>("lblStatus")->text().startsWith(QStringLiteral("OK (Firmware ")));

        const QRect area = AvailableScreenArea(&window);
        qInfo() << "screen" << area << "natural" << natural.size() << "window" << window.frameGeometry();
        QVERIFY(area.contains(window.frameGeometry()));
        const qreal ratio = window.devicePixelRatioF();
        for (const QWidget* w : window.findChildren<QWidget*>())
            if (w->isVisibleTo(&window))
                QVERIFY2(flawOf(w, ratio).isEmpty(), qPrintable(w->objectName() + ": " + flawOf(w, ratio)));

        // Always in view, a throttle's speed, direction and STOP too; the accessory panels at least
        // within a scroll's reach.
        QList<QWidget*> vital = {window.findChild<QWidget*>("btnGlobalStop"),
                                 window.findChild<QWidget*>("btnLoadCircuit"),
                                 window.findChild<QWidget*>("btnCheck")};
        QList<QWidget*> reachable;
        for (int i = 0; i < krTaktora::ThrottleCount; ++i) {
            for (const char* name : {"btnStop_%1", "krDirection_%1", "lblSliderValue_%1", "krSlider_%1"})
                vital << window.findChild<QWidget*>(QString::fromLatin1(name).arg(i));
            reachable << window.findChild<QWidget*>(QStringLiteral("fraAccessory_%1").arg(i));
        }
        for (QWidget* w : reachable) {
            for (QScrollArea* scroller : window.findChildren<QScrollArea*>())
                if (!shownWhole(w) && scroller->isAncestorOf(w))
                    scroller->ensureWidgetVisible(w, 0, 0);
            QVERIFY2(shownWhole(w), qPrintable(w->objectName()));
            for (const QWidget* v : vital)
                QVERIFY2(shownWhole(v), qPrintable(v->objectName()));
        }
        if (area.width() >= natural.width() && area.height() >= natural.height())
            QCOMPARE(namedGeometries(window), namedGeometries(natural));

        // Every window opened from here shows its texts whole as well, on the same screen.
        std::vector<std::unique_ptr<QWidget>> windows;
        ControllerLink& link = window.line().link();
        windows.emplace_back(new krOptions(link, &window));
        windows.emplace_back(new krTrafficMonitor(link, &window));
        auto* phones = new krPhoneThrottles(*window.phoneServer(), &window);
        phones->addSection(NamedButton("cmdWebThrottle", "Handregler im &Browser ...", phones));
        windows.emplace_back(phones);
        windows.emplace_back(new krWebThrottle(*window.webServer(), &window));
        windows.emplace_back(new krTurnouts(*window.turnouts(), link, &window));
        const auto ofController = [&windows](auto* dialog) {
            dialog->setControllerID(1);
            windows.emplace_back(dialog);
        };
        ofController(new krControllerSettingsDD(link, &window));
        ofController(new krLocoList(link, &window));
        ofController(new krDecoderSheet(link, &window));
        for (const auto& dialog : windows) {
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
            QTest::qWait(50); // the first activation fills the texts
            QVERIFY2(area.contains(dialog->frameGeometry()), qPrintable(dialog->objectName()));
            const QList<QWidget*> shown = dialog->findChildren<QWidget*>() << dialog.get();
            for (const QWidget* w : shown)
                if (w->isVisibleTo(dialog.get()))
                    QVERIFY2(flawOf(w, ratio).isEmpty(),
                             qPrintable(dialog->objectName() + "/" + w->objectName() + " (" +
                                        w->metaObject()->className() + " " + w->property("text").toString() +
                                        "): " + flawOf(w, ratio)));
            dialog->close();
        }

        krInfo about(&window); // also the start-up splash
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QVERIFY(area.contains(about.frameGeometry()));
        const auto* logo = about.findChild<QLabel*>("piclogo");
        QVERIFY(logo->pixmap().width() >= qCeil(logo->width() * ratio));
    }
};

TAKTORA_TEST_MAIN(TestScreenFit)
#include "tst_screenfit.moc"
