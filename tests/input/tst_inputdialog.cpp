#include "krTaktoraTools.h"
#include "MessageBox.h"
#include "sysDataOK.h"
#include "sysInput.h"
#include "TestMain.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>

namespace {

QLineEdit* taggedEdit(const QString& tag, const QString& text)
{
    auto* edit = new QLineEdit(text);
    edit->setProperty("Tag", tag);
    return edit;
}

QStringList shownTexts()
{
    QStringList texts;
    for (const MessageBox::Shown& box : MessageBox::takeShown())
        texts << box.text;
    return texts;
}

// Runs `act` on the input dialog once its modal loop runs. A dialog still open afterwards is
// rejected, so a dialog that does not close fails the test instead of hanging it.
void whenDialogOpen(const std::function<void(sysInput&)>& act)
{
    QTimer::singleShot(0, [act] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<sysInput*>(widget);
            if (!dialog || !dialog->isVisible())
                continue;
            QPointer<sysInput> guard(dialog);
            if (!QTest::qWaitForWindowActive(dialog))
                qWarning("the input dialog did not become active");
            act(*dialog);
            if (guard && guard->isVisible())
                guard->done(QDialog::Rejected);
            return;
        }
    });
}

const QString kLoco = QStringLiteral("Die Lok-Nummer,NUM,MIN=1,MAX=10239");

} // namespace

class TestInputDialog : public QObject
{
    Q_OBJECT

private slots:
    void init() { MessageBox::takeShown(); }

    void reportsFirstFailureInCreationOrder()
    {
        // A frame's fields come before a field placed after the frame.
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* frame = new QGroupBox(QStringLiteral("Rahmen"));
        auto* frameLayout = new QVBoxLayout(frame);
        layout->addWidget(frame);
        frameLayout->addWidget(new QLineEdit(QStringLiteral("kein Tag")));
        auto* inner = taggedEdit("Die CV-Adresse,Mandatory,MIN=1,MAX=1023,NUM", "");
        frameLayout->addWidget(inner);
        auto* outer = taggedEdit("Der CV-Wert,Mandatory,MIN=0,MAX=255,NUM", "300");
        layout->addWidget(outer);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        outer->setFocus();

        QVERIFY(!sysDataOK(&window));
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().text, QStringLiteral("Die CV-Adresse muß eingegeben werden."));
        QCOMPARE(shown.first().icon, QMessageBox::Warning);
        QCOMPARE(shown.first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(shown.first().title, ProgramTitle());
        QCOMPARE(window.focusWidget(), inner);

        inner->setText("1023");
        QVERIFY(!sysDataOK(&window));
        QCOMPARE(shownTexts(), QStringList{"Der CV-Wert ist nicht im gültigen Bereich (0 bis 255) ."});
        QCOMPARE(window.focusWidget(), outer);

        outer->setText("255");
        QVERIFY(sysDataOK(&window));
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void readsComboAndSpinBoxValues()
    {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* decoder = new QComboBox;
        decoder->setEditable(true);
        decoder->setEditText("600");
        decoder->setProperty("Tag", "Die Decoder-ID,NUM,MIN=1,MAX=511");
        layout->addWidget(decoder);
        auto* pin = new QComboBox;
        pin->addItems({"A0", "A16"});
        pin->setCurrentIndex(1);
        pin->setProperty("Tag", "Pin,VALID=A0;A1");
        layout->addWidget(pin);
        // The suffix is not part of the value.
        auto* count = new QSpinBox;
        count->setSuffix(" Stk");
        count->setValue(7);
        count->setProperty("Tag", "Anzahl,NUM,MAX=5");
        layout->addWidget(count);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QVERIFY(!sysDataOK(&window));
        QCOMPARE(shownTexts(), QStringList{"Die Decoder-ID ist nicht im gültigen Bereich (1 bis 511) ."});
        decoder->setEditText("511");
        QVERIFY(!sysDataOK(&window));
        QCOMPARE(shownTexts(), QStringList{"Pin ist nicht zulässig (erlaubt: A0, A1)."});
        pin->setCurrentIndex(0);
        QVERIFY(!sysDataOK(&window));
        QCOMPARE(shownTexts(), QStringList{"Anzahl ist nicht im gültigen Bereich (-1E+99 bis 5) ."});
        count->setValue(5);
        QVERIFY(sysDataOK(&window));
    }

    void hiddenAndDisabledFieldsAreCheckedButNotFocused()
    {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* hidden = taggedEdit("Versteckt,Mandatory", "");
        layout->addWidget(hidden);
        auto* disabled = taggedEdit("Gesperrt,Mandatory", "");
        disabled->setEnabled(false);
        layout->addWidget(disabled);
        auto* other = new QLineEdit;
        layout->addWidget(other);
        window.show();
        hidden->hide();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        other->setFocus();

        QVERIFY(!sysDataOK(&window));
        QCOMPARE(shownTexts(), QStringList{"Versteckt muß eingegeben werden."});
        QCOMPARE(window.focusWidget(), other);
        hidden->setText("x");
        QVERIFY(!sysDataOK(&window));
        QCOMPARE(shownTexts(), QStringList{"Gesperrt muß eingegeben werden."});
        QCOMPARE(window.focusWidget(), other);
    }

    void childWindowsAreNotPartOfTheWindow()
    {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(taggedEdit("Feld,NUM", "12"));
        QDialog child(&window);
        auto* childField = taggedEdit("Fremd,Mandatory", "");
        childField->setParent(&child);
        QVERIFY(sysDataOK(&window));
        QVERIFY(!sysDataOK(&child));
        QCOMPARE(shownTexts(), QStringList{"Fremd muß eingegeben werden."});
    }

    void dialogControls()
    {
        sysInput dialog;
        QCOMPARE(dialog.objectName(), QStringLiteral("sysInput"));
        auto* label = dialog.findChild<QLabel*>("Label_Info");
        auto* edit = dialog.findChild<QLineEdit*>("Text_UInput");
        auto* ok = dialog.findChild<QPushButton*>("btnOK");
        auto* cancel = dialog.findChild<QPushButton*>("btnCancel");
        QVERIFY(label && edit && ok && cancel);
        QCOMPARE(label->text(), QStringLiteral("Benutzerinformation"));
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QCOMPARE(cancel->text(), QStringLiteral("Abbruch"));
        QVERIFY(ok->isDefault());

        dialog.setup("", "Welche Lok-Nummer soll angelegt werden ?", "", kLoco, 5);
        QCOMPARE(dialog.windowTitle(), ProgramTitle());
        QCOMPARE(label->text(), QStringLiteral("Welche Lok-Nummer soll angelegt werden ?"));
        QCOMPARE(edit->property("Tag").toString(), kLoco);
        QTest::keyClicks(edit, "1234567");
        QCOMPARE(edit->text(), QStringLiteral("12345"));
    }

    void typedValueIsReturnedOnOk()
    {
        QString selectedAtOpen;
        whenDialogOpen([&](sysInput& dialog) {
            selectedAtOpen = dialog.textInput()->selectedText();
            // The selected default text is replaced by what is typed.
            QTest::keyClicks(dialog.textInput(), "42");
            QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
        });
        const QString result = ShowInputDialog("Lok-Nummer", "Welche Lok-Nummer?", "77", kLoco, 5);
        QCOMPARE(selectedAtOpen, QStringLiteral("77"));
        QCOMPARE(result, QStringLiteral("42"));
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void invalidValueKeepsTheDialogOpen()
    {
        bool openAfterOk = false;
        bool focusInField = false;
        QStringList messages;
        whenDialogOpen([&](sysInput& dialog) {
            dialog.okButton()->setFocus();
            QTest::keyClicks(dialog.textInput(), "0");
            QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
            openAfterOk = dialog.isVisible();
            focusInField = dialog.focusWidget() == dialog.textInput();
            messages = shownTexts();
            dialog.textInput()->setText("12");
            QTest::keyClick(dialog.textInput(), Qt::Key_Return); // Enter means OK
        });
        const QString result = ShowInputDialog("Lok-Nummer", "Welche Lok-Nummer?", "", kLoco, 5);
        QVERIFY(openAfterOk);
        QVERIFY(focusInField);
        QCOMPARE(messages, QStringList{"Die Lok-Nummer ist nicht im gültigen Bereich (1 bis 10239) ."});
        QCOMPARE(result, QStringLiteral("12"));
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
        bool closed = false;
        whenDialogOpen([&](sysInput& dialog) {
            QTest::keyClicks(dialog.textInput(), "123");
            if (way == 0)
                QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
            else if (way == 1)
                QTest::keyClick(&dialog, Qt::Key_Escape);
            else
                dialog.close();
            closed = !dialog.isVisible();
        });
        QCOMPARE(ShowInputDialog("", "Eingabe", "9", kLoco, 5), QString());
        QVERIFY(closed);
    }

    void contentSelectedWhenFocusArrives()
    {
        sysInput dialog;
        dialog.setup("Lok-Nummer", "Welche Lok-Nummer?", "12345", kLoco, 5);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QLineEdit* edit = dialog.textInput();

        dialog.cancelButton()->setFocus();
        edit->deselect();
        QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(edit->width() - 4, edit->height() / 2));
        QTRY_COMPARE(edit->selectedText(), QStringLiteral("12345"));

        dialog.cancelButton()->setFocus();
        edit->deselect();
        edit->setFocus(Qt::OtherFocusReason);
        QCOMPARE(edit->selectedText(), QStringLiteral("12345"));
    }
};

TAKTORA_TEST_MAIN(TestInputDialog)
#include "tst_inputdialog.moc"
