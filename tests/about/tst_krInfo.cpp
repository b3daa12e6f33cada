// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestMain.h"

#include "krInfo.h"
#include "TaktoraVersion.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>

class TestKrInfo : public QObject
{
    Q_OBJECT

private slots:
    void showsProgramIdentity()
    {
        krInfo box;
        const auto text = [&box](const char* name) {
            const auto* label = box.findChild<QLabel*>(QLatin1String(name));
            return label ? label->text() : QStringLiteral("<missing>");
        };
        QCOMPARE(text("lblProductName"), QStringLiteral("Taktora"));
        // The version line and the build keep their trailing blanks.
        QCOMPARE(text("lblVersion"),
                 QStringLiteral("Version %1.%2 ").arg(TaktoraVersion::Major).arg(TaktoraVersion::Minor));
        QCOMPARE(text("lblBuild"), QStringLiteral("(build %1) ").arg(TaktoraVersion::Revision));
        const auto* logo = box.findChild<QLabel*>("piclogo");
        QVERIFY(logo && !logo->pixmap().isNull());
        QCOMPARE(logo->toolTip(), QStringLiteral("Klicken Sie das Fenster an, um es wieder zu schliessen"));
    }

    void closing_data()
    {
        QTest::addColumn<int>("key"); // 0: a click on the control named by `target`
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Return") << int(Qt::Key_Return) << QString() << true;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << QString() << false;
        QTest::newRow("click on the logo") << 0 << "piclogo" << true;
        QTest::newRow("click on the window") << 0 << "krInfo" << true;
    }
    void closing()
    {
        QFETCH(int, key);
        QFETCH(QString, target);
        QFETCH(bool, closes);
        krInfo box;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        if (key) {
            QTest::keyClick(&box, Qt::Key(key));
        } else {
            QWidget* widget = target == box.objectName() ? &box : box.findChild<QWidget*>(target);
            QVERIFY(widget);
            QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(4, widget->height() - 4));
        }
        QCOMPARE(box.isVisible(), !closes);
        QCOMPARE(box.result(), int(closes ? QDialog::Accepted : QDialog::Rejected));
    }

    // At start-up a splash without a title bar; from the toolbar a dialog of its own.
    void startupBoxIsASplash()
    {
        for (const int interval : {60000, 0}) {
            Qt::WindowType type = Qt::Widget;
            QTimer closer; // until the box is up
            connect(&closer, &QTimer::timeout, this, [&type] {
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (auto* box = qobject_cast<krInfo*>(w); box && box->isVisible()) {
                        type = box->windowType();
                        box->accept();
                    }
            });
            closer.start(5);
            krInfo::showModal(nullptr, interval);
            QCOMPARE(type, interval > 0 ? Qt::SplashScreen : Qt::Dialog);
        }
    }
};

TAKTORA_TEST_MAIN(TestKrInfo)
#include "tst_krInfo.moc"
