#include "krTaktoraTools.h"
#include "MessageBox.h"
#include "sysDataOK.h"
#include "sysInput.h"
#include "TestMain.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace {

const QString kLoco = QStringLiteral("Die Lok-Nummer,NUM,MIN=1,MAX=10239");

QLineEdit* taggedEdit(QWidget* parent, const QString& tag, const QString& text = QString())
{
    auto* edit = new QLineEdit(text, parent);
    edit->setProperty("Tag", tag);
    return edit;
}

// The one message sysDataOK showed, empty when the window passed; anything but one warning box
// titled with the program title on failure and none on success is an error of its own.
QString failure(QWidget* window)
{
    const bool ok = sysDataOK(window);
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    if (ok && shown.isEmpty())
        return QString();
    if (!ok && shown.size() == 1 && shown[0].icon == QMessageBox::Warning && shown[0].title == ProgramTitle())
        return shown[0].text;
    return QStringLiteral("<%1 boxes, result %2>").arg(shown.size()).arg(ok);
}

// Runs `act` once the input dialog's modal loop runs. A dialog still open afterwards is made to
// return "<left open>", so that a dialog that does not close fails the test instead of hanging it.
void whenDialogOpen(const std::function<void(sysInput&)>& act)
{
    QTimer::singleShot(0, [act] {
        QPointer<sysInput> dialog = qobject_cast<sysInput*>(QApplication::activeModalWidget());
        if (dialog && QTest::qWaitForWindowActive(dialog))
            act(*dialog);
        if (dialog && dialog->isVisible()) {
            dialog->textInput()->setText(QStringLiteral("<left open>"));
            dialog->accept();
        }
    });
}

} // namespace

class TestInputDialog : public QObject
{
    Q_OBJECT

private slots:
    void init() { MessageBox::takeShown(); }

    void firstFailingFieldInCreationOrder()
    {
        QWidget window;
        // A frame's fields come before a field placed after the frame.
        auto* frame = new QGroupBox(&window);
        new QLineEdit(frame); // no Tag: skipped
        auto* inner = taggedEdit(frame, "Die CV-Adresse,Mandatory,MIN=1,MAX=1023,NUM");
        auto* outer = taggedEdit(&window, "Der CV-Wert,Mandatory,MIN=0,MAX=255,NUM", "300");
        // Hidden fields are checked, but cannot take the focus.
        auto* hidden = taggedEdit(&window, "Versteckt,Mandatory");
        // Child windows are not part of the window.
        QDialog child(&window);
        taggedEdit(&child, "Fremd,Mandatory");
        window.show();
        hidden->hide();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        outer->setFocus();

        QCOMPARE(failure(&window), "Die CV-Adresse muß eingegeben werden.");
        QCOMPARE(window.focusWidget(), inner);
        inner->setText("1023");
        QCOMPARE(failure(&window), "Der CV-Wert ist nicht im gültigen Bereich (0 bis 255) .");
        QCOMPARE(window.focusWidget(), outer);
        outer->setText("255");
        QCOMPARE(failure(&window), "Versteckt muß eingegeben werden.");
        QCOMPARE(window.focusWidget(), outer);
        hidden->setText("x");
        QCOMPARE(failure(&window), QString());
    }

    void dialogSetupAndSelectOnFocus()
    {
        sysInput dialog;
        QLineEdit* edit = dialog.textInput();
        QCOMPARE(dialog.okButton()->text() + dialog.cancelButton()->text(), QStringLiteral("OKAbbruch"));
        dialog.setup("", "Welche Lok-Nummer soll angelegt werden ?", "12345", kLoco, 5);
        QCOMPARE(dialog.windowTitle(), ProgramTitle());
        QCOMPARE(dialog.labelInfo()->text(), QStringLiteral("Welche Lok-Nummer soll angelegt werden ?"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(edit->maxLength(), 5);

        // A click that brings the focus selects everything too, not just places the cursor.
        dialog.cancelButton()->setFocus();
        edit->deselect();
        QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(edit->width() - 4, edit->height() / 2));
        QTRY_COMPARE(edit->selectedText(), QStringLiteral("12345"));
    }

    void okChecksTheValueAndReturnsIt()
    {
        whenDialogOpen([](sysInput& dialog) {
            // The default text is selected: typing replaces it.
            QTest::keyClicks(dialog.textInput(), "0");
            dialog.okButton()->setFocus();
            QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
            // Refused: the dialog stays open, the focus back in the field and the value selected.
            QTest::keyClicks(dialog.textInput(), "42");
            QTest::keyClick(dialog.textInput(), Qt::Key_Return); // Enter means OK
        });
        QCOMPARE(ShowInputDialog("Lok-Nummer", "Welche Lok-Nummer?", "77", kLoco, 5), QStringLiteral("42"));
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text,
                 QStringLiteral("Die Lok-Nummer ist nicht im gültigen Bereich (1 bis 10239) ."));
    }

    void cancelReturnsEmpty_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("Abbruch") << 0;
        QTest::newRow("Escape") << 1;
        QTest::newRow("close box") << 2;
    }
    void cancelReturnsEmpty()
    {
        QFETCH(int, way);
        whenDialogOpen([way](sysInput& dialog) {
            QTest::keyClicks(dialog.textInput(), "123");
            if (way == 0)
                QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
            else if (way == 1)
                QTest::keyClick(&dialog, Qt::Key_Escape);
            else
                dialog.close();
        });
        QCOMPARE(ShowInputDialog("", "Eingabe", "9", kLoco, 5), QString());
    }
};

TAKTORA_TEST_MAIN(TestInputDialog)
#include "tst_inputdialog.moc"
