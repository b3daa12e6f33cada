#include "TestMain.h"

#include "krInfo.h"
#include "TaktoraVersion.h"

#include <QLabel>
#include <QPointer>
#include <QTimer>

class TestKrInfo : public QObject
{
    Q_OBJECT

private:
    static QString labelText(const krInfo& box, const char* name)
    {
        const auto* label = box.findChild<QLabel*>(QLatin1String(name));
        return label ? label->text() : QStringLiteral("<no label %1>").arg(QLatin1String(name));
    }

private slots:
    void showsProgramIdentity()
    {
        krInfo box;
        QCOMPARE(box.objectName(), QStringLiteral("krInfo"));
        QCOMPARE(box.windowTitle(), QStringLiteral("Info"));
        QCOMPARE(labelText(box, "lblProductName"), QStringLiteral("Taktora"));
        // The version line and the build keep their trailing blanks.
        QCOMPARE(labelText(box, "lblVersion"),
                 QStringLiteral("Version %1.%2 ").arg(TaktoraVersion::Major).arg(TaktoraVersion::Minor));
        QCOMPARE(labelText(box, "lblBuild"), QStringLiteral("(build %1) ").arg(TaktoraVersion::Revision));
        QCOMPARE(labelText(box, "lblCopyright"),
                 QString::fromUtf8(TaktoraVersion::Copyright) + " by " + TaktoraVersion::CompanyName);
        QCOMPARE(labelText(box, "lblLegalInfo"), QString::fromUtf8(TaktoraVersion::LegalNotice));

        const auto* build = box.findChild<QLabel*>("lblBuild");
        QCOMPARE(build->palette().color(QPalette::WindowText), QColor(128, 128, 128));
        for (const QLabel* label : box.findChildren<QLabel*>())
            QCOMPARE(label->font().family(), QStringLiteral("Arial"));

        const auto* logo = box.findChild<QLabel*>("piclogo");
        QVERIFY(logo);
        QCOMPARE(logo->pixmap().size(), QSize(491, 85));
        QCOMPARE(logo->toolTip(), QStringLiteral("Klicken Sie das Fenster an, um es wieder zu schliessen"));
    }

    void closingKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier) << true;
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << true;
        QTest::newRow("Space") << int(Qt::Key_Space) << int(Qt::NoModifier) << true;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << int(Qt::NoModifier) << false;
        QTest::newRow("letter") << int(Qt::Key_A) << int(Qt::NoModifier) << false;
        QTest::newRow("Tab") << int(Qt::Key_Tab) << int(Qt::NoModifier) << false;
    }

    void closingKeys()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, closes);

        krInfo box;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QTest::keyClick(&box, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(box.isVisible(), !closes);
        if (closes)
            QCOMPARE(box.result(), int(QDialog::Accepted));
    }

    void clickAnywhereCloses_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("logo") << QStringLiteral("piclogo");
        QTest::newRow("window background") << QString();
        QTest::newRow("product name") << QStringLiteral("lblProductName");
        QTest::newRow("legal notice") << QStringLiteral("lblLegalInfo");
    }

    void clickAnywhereCloses()
    {
        QFETCH(QString, target);

        krInfo box;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QWidget* widget = target.isEmpty() ? static_cast<QWidget*>(&box) : box.findChild<QWidget*>(target);
        QVERIFY(widget);
        const QPoint where = target.isEmpty() ? QPoint(4, box.height() - 4) : widget->rect().center();
        QTest::mouseClick(widget, Qt::LeftButton, {}, where);
        QVERIFY(!box.isVisible());
    }

    void splashTimerClosesTheBox()
    {
        krInfo box;
        auto* timer = box.findChild<QTimer*>("Timer1");
        QVERIFY(timer);

        // From the toolbar the box waits for the user.
        box.show();
        QVERIFY(!timer->isActive());
        box.hide();

        box.setSplashInterval(30);
        box.show();
        QVERIFY(timer->isActive());
        QTRY_VERIFY(!box.isVisible());
        QCOMPARE(box.result(), int(QDialog::Accepted));
    }

    void modalSplashReturnsByItself()
    {
        // Should the timer not close the box, end the modal loop from outside and fail.
        bool forced = false;
        QTimer rescue;
        rescue.setSingleShot(true);
        connect(&rescue, &QTimer::timeout, this, [&forced] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                forced = true;
                modal->close();
            }
        });
        rescue.start(10000);
        krInfo::showModal(nullptr, 50);
        QVERIFY(!forced);
    }

    void logoSpansTheWindowWhenResized()
    {
        krInfo box;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        auto* logo = box.findChild<QLabel*>("piclogo");
        QCOMPARE(logo->width(), box.width());

        for (int width : {700, 320, 491, 555}) {
            box.resize(width, box.height());
            QCOMPARE(box.width(), width);
            QCOMPARE(logo->width(), box.width());
            QCOMPARE(logo->x(), 0);
            QVERIFY(logo->isVisible());
        }
    }
};

TAKTORA_TEST_MAIN(TestKrInfo)
#include "tst_krInfo.moc"
