// SPDX-License-Identifier: GPL-3.0-or-later
#include "FieldNumber.h"
#include "krTaktoraTools.h"
#include "MessageBox.h"
#include "NumberReader.h"
#include "sysDataOK.h"
#include "sysInput.h"
#include "sysList.h"
#include "TestMain.h"
#include "ValidationRule.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace {

// A fixed present moment: 15 June 2024, half past two in the afternoon.
const QDateTime kNow(QDate(2024, 6, 15), QTime(14, 30));
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

class TestInput : public QObject
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

    void lists()
    {
        QCOMPARE(sysListNumEntries("", ","), 1);
        QCOMPARE(sysListEntry(2, " a ;b", ";"), QStringLiteral("b"));
        QCOMPARE(sysListEntry(1, " a X3", "x"), QStringLiteral(" a "));
        QCOMPARE(sysListEntry(3, "a;b", ";"), QString());
        QCOMPARE(sysListLookUp("a1", "A10;A1;a1", ";"), 2);
    }

    void validate_data()
    {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("message"); // empty: the value passes
        const auto row = [](const char* name, const QString& tag, const QString& text, const QString& message,
                            const char* locale = "de_DE") {
            QTest::newRow(name) << tag << text << QString::fromLatin1(locale) << message;
        };
        const auto range = [](const QString& name, const QString& lower, const QString& upper) {
            return name + " ist nicht im gültigen Bereich (" + lower + " bis " + upper + ") .";
        };

        const QString cv = "Die CV-Adresse,Mandatory,MIN=1,MAX=1023,NUM";
        row("mandatory blank", cv, "   ", "Die CV-Adresse muß eingegeben werden.");
        row("not numeric", cv, "abc", "Die CV-Adresse muß numerisch sein.");
        row("above range", cv, "2000", range("Die CV-Adresse", "1", "1023"));
        row("upper bound", cv, "1023", "");
        row("empty optional counts as 0", "Die Lok-Nummer,NUM,MIN=1,MAX=10239", "",
            range("Die Lok-Nummer", "1", "10239"));
        row("only lower bound", "Wert,NUM,MIN=5", "3", range("Wert", "5", "1E+99"));
        row("bound in the locale's form", "Wert,NUM,MIN=0.5", "0", range("Wert", "0,5", "1E+99"));

        const QString analog = "MANDATORY,VALID=A0;A1;A2;A3;A4;A5;A6;A7;A8;A9;A10;A11;A12;A13;A14;A15";
        row("valid ignores case", analog, " a3 ", "");
        row("valid refuses", analog, "A16",
            "MANDATORY ist nicht zulässig (erlaubt: A0, A1, A2, A3, A4, A5, A6, A7, A8, A9, "
            "A10, A11, A12, A13, A14, A15).");

        const QString date = "Das Datum,DATE";
        row("no such day", date, "30.02.2024", "Das Datum muß ein gültiges Datum sein.");
        row("American order", date, "12/31/2023", "", "en_US");
        row("default beside own bound", "Das Datum,DATE,MAX=31.12.2000", "31.12.0099",
            range("Das Datum", "01.01.0100", "31.12.2000"));

        // Birthday: from the present moment 129 years back (so that day's midnight is too early) to today.
        const QString bornSince = "Der Geburtstag,BIRTHDAY,MIN=1.1.1900";
        const QString bornUntil = "Der Geburtstag,BIRTHDAY,MAX=31.12.2030";
        row("born today", bornSince, "15.06.2024", "");
        row("born tomorrow", bornSince, "16.06.2024", range("Der Geburtstag", "01.01.1900", "15.06.2024"));
        row("born 129 years ago", bornUntil, "15.06.1895",
            range("Der Geburtstag", "15.06.1895", "31.12.2030"));
    }
    void validate()
    {
        QFETCH(QString, tag);
        QFETCH(QString, text);
        QFETCH(QString, locale);
        QFETCH(QString, message);
        const ValidationResult result =
            validateField(ValidationRule::parse(tag), text, QLocale(locale), kNow);
        QCOMPARE(result.message, message);
        QCOMPARE(result.ok, message.isEmpty());
    }

    // The check and the number sent agree on every text: none exactly when the check refuses.
    void checkAndSendAgree_data()
    {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<qint64>("sent"); // -1: refused
        const QString decoder = "Die Decoder-ID,NUM,MIN=1,MAX=511";
        const auto row = [](const char* name, const QString& tag, const QString& text, qint64 sent,
                            const char* locale = "en_US") {
            QTest::newRow(name) << tag << text << QString::fromLatin1(locale) << sent;
        };
        row("half rounds away from zero", decoder, "2.5", 3);
        row("bound compared before rounding", decoder, "0.6", -1);
        row("above the bound until rounded", decoder, "511.2", -1);
        row("German grouping", decoder, "1.000", 1, "de_DE");
        row("not numeric", decoder, "12a", -1);
        row("blank counts as 0 where 0 passes", "Der CV-Wert,NUM,MIN=0,MAX=255", " ", 0);
        row("mandatory blank", "Der CV-Wert,Mandatory,MIN=0,MAX=255,NUM", "", -1);
        row("a list is no number", "Pin,VALID=A0;A1", "A0", -1);
    }
    void checkAndSendAgree()
    {
        QFETCH(QString, tag);
        QFETCH(QString, text);
        QFETCH(QString, locale);
        QFETCH(qint64, sent);
        const auto number = checkedNumber(text, tag, QLocale(locale));
        QCOMPARE(number.value_or(-1), sent);
        const ValidationRule rule = ValidationRule::parse(tag);
        if (rule.numeric)
            QCOMPARE(validateField(rule, text, QLocale(locale), kNow).ok, number.has_value());
    }
};

TAKTORA_TEST_MAIN(TestInput)
#include "tst_input.moc"
