#include "sysList.h"
#include "TestMain.h"
#include "ValidationRule.h"

namespace {
// A fixed present moment: 15 June 2024, half past two in the afternoon.
const QDateTime kNow(QDate(2024, 6, 15), QTime(14, 30));
const QString kHighestText(255, QChar(0xFF));
} // namespace

class TestInputValidation : public QObject
{
    Q_OBJECT

private slots:
    void listEntries_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("empty list has one empty entry") << ""
                                                        << "," << QStringList{""};
        QTest::newRow("empty entries count") << "a,,b,"
                                             << "," << QStringList{"a", "", "b", ""};
        QTest::newRow("no trimming") << " a ; b"
                                     << ";" << QStringList{" a ", " b"};
        QTest::newRow("separator by case") << "1x2X3"
                                           << "x" << QStringList{"1", "2", "3"};
    }
    void listEntries()
    {
        QFETCH(QString, list);
        QFETCH(QString, separator);
        QFETCH(QStringList, entries);
        QCOMPARE(sysListNumEntries(list, separator), entries.size());
        for (int i = 0; i < entries.size(); ++i)
            QCOMPARE(sysListEntry(i + 1, list, separator), entries.at(i));
        QCOMPARE(sysListEntry(int(entries.size()) + 1, list, separator), QString());
        QCOMPARE(sysListEntry(0, list, separator), QString());
    }

    void listLookUp_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("position");
        QTest::newRow("case ignored") << "a3"
                                      << "A1;A3;a3" << 2;
        QTest::newRow("whole entries only") << "A1"
                                            << "A10;A11;A1" << 3;
        QTest::newRow("missing") << "A16"
                                 << "A0;A15" << 0;
        QTest::newRow("empty entry") << ""
                                     << "x;;y" << 2;
    }
    void listLookUp()
    {
        QFETCH(QString, search);
        QFETCH(QString, list);
        QFETCH(int, position);
        QCOMPARE(sysListLookUp(search, list, ";"), position);
    }

    void parse()
    {
        const auto cv = ValidationRule::parse("Die CV-Adresse,Mandatory,MIN=1,MAX=1023,NUM");
        QCOMPARE(cv.name, QStringLiteral("Die CV-Adresse"));
        QVERIFY(cv.mandatory && cv.numeric && !cv.isDate() && !cv.hasValidList);
        QCOMPARE(cv.minText, QStringLiteral("1"));
        QCOMPARE(cv.maxText, QStringLiteral("1023"));

        const auto flags = ValidationRule::parse("x,num,MANDATORY,dAtE,Birthday");
        QVERIFY(flags.numeric && flags.mandatory && flags.date && flags.birthday);

        // Entry 1 is always the name, however it is spelled; unknown entries change nothing.
        const auto pin = ValidationRule::parse("MANDATORY,INTEGER,NUM,MIN=2,MAX=53");
        QCOMPARE(pin.name, QStringLiteral("MANDATORY"));
        QVERIFY(!pin.mandatory && pin.numeric && pin.hasMin && pin.hasMax);

        // Flags match whole entries, the value keywords as prefixes; the last bound wins, the
        // first list.
        const auto mixed = ValidationRule::parse("x,Numeric,Minimum=3,min=1,MIN=5,max=,valid=a;b,VALID=c");
        QVERIFY(!mixed.numeric);
        QCOMPARE(mixed.minText, QStringLiteral("5"));
        QVERIFY(mixed.hasMax);
        QCOMPARE(mixed.maxText, QString());
        QCOMPARE(mixed.validValues(), (QStringList{"a", "b"}));

        const auto bare = ValidationRule::parse("Nur ein Name");
        QVERIFY(!bare.hasBounds() && !bare.hasValidList && !bare.mandatory);
    }

    void validate_data()
    {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("message"); // empty: the value passes
        // German unless a locale is given.
        const auto row = [](const char* name, const QString& tag, const QString& text, const QString& message,
                            const QString& locale = "de_DE") {
            QTest::newRow(name) << tag << text << locale << message;
        };

        const QString cv = "Die CV-Adresse,Mandatory,MIN=1,MAX=1023,NUM";
        const QString cvRange = "Die CV-Adresse ist nicht im gültigen Bereich (1 bis 1023) .";
        row("mandatory blank", cv, "   ", "Die CV-Adresse muß eingegeben werden.");
        row("not numeric", cv, "abc", "Die CV-Adresse muß numerisch sein.");
        row("point is no German decimal", cv, "1.5", "Die CV-Adresse muß numerisch sein.");
        row("above range", cv, "2000", cvRange);
        row("below range", cv, "0", cvRange);
        row("upper bound", cv, "1023", "");

        // The comparison value is the leading number with a point as decimal separator, whatever
        // the locale accepted: German "10.239" is numeric as 10239 but compares as 10.239.
        row("German grouping compares with point", "n,NUM,MAX=20", "10.239", "");
        row("German decimal compares as integer", "n,NUM,MIN=1,MAX=1", "1,5", "");
        row("exponent", "n,NUM,MAX=999", "1e3", "n ist nicht im gültigen Bereich (-1E+99 bis 999) .",
            "en_US");

        row("empty optional counts as 0", "Die Lok-Nummer,NUM,MIN=1,MAX=10239", "",
            "Die Lok-Nummer ist nicht im gültigen Bereich (1 bis 10239) .");
        row("only lower bound", "Wert,NUM,MIN=5", "3", "Wert ist nicht im gültigen Bereich (5 bis 1E+99) .");
        row("decimal bound in locale", "Wert,NUM,MIN=0.5", "0",
            "Wert ist nicht im gültigen Bereich (0,5 bis 1E+99) .");
        row("keyword case, INTEGER ignored", "Pin,mandatory,INTEGER,num,Min=2,mAx=53", "54",
            "Pin ist nicht im gültigen Bereich (2 bis 53) .");

        const QString analog = "MANDATORY,VALID=A0;A1;A2;A3;A4;A5;A6;A7;A8;A9;A10;A11;A12;A13;A14;A15";
        const QString refused =
            "MANDATORY ist nicht zulässig (erlaubt: A0, A1, A2, A3, A4, A5, A6, A7, A8, A9, "
            "A10, A11, A12, A13, A14, A15).";
        row("valid ignores case", analog, " a3 ", "");
        row("valid refuses", analog, "A16", refused);
        row("valid refuses empty", analog, "", refused);
        row("valid or in range", "T,VALID=x;y,MIN=b,MAX=d", "C", "");
        row("valid and out of range", "T,VALID=x;y,MIN=b,MAX=d", "e",
            "T ist nicht im gültigen Bereich (b bis d) .");
        row("text lower bound only", "T,MIN=b", "A",
            "T ist nicht im gültigen Bereich (b bis " + kHighestText + ") .");

        const QString date = "Das Datum,DATE";
        row("date empty optional", date, "", "");
        row("German date", date, "1.2.24", "");
        row("ISO date", date, "2023-12-31", "");
        row("no such day", date, "30.02.2024", "Das Datum muß ein gültiges Datum sein.");
        row("American order", date, "12/31/2023", "", "en_US");
        row("German order in US", date, "31/12/2023", "Das Datum muß ein gültiges Datum sein.", "en_US");
        // Default bounds matter only beside a bound of the field's own.
        row("date out of default bounds", date, "31.12.0099", "");
        row("default beside own bound", "Das Datum,DATE,MAX=31.12.2000", "31.12.0099",
            "Das Datum ist nicht im gültigen Bereich (01.01.0100 bis 31.12.2000) .");
        row("date bounds, two-digit year", "D,DATE,MIN=1.1.2000,MAX=31.12.2029", "15.6.30",
            "D ist nicht im gültigen Bereich (01.01.2000 bis 31.12.2029) .");

        // Birthday defaults: from the present moment 129 years ago to today.
        const QString bornBefore = "Der Geburtstag,BIRTHDAY,MIN=1.1.1900";
        const QString bornAfter = "Der Geburtstag,BIRTHDAY,MAX=31.12.2030";
        row("born today", bornBefore, "15.06.2024", "");
        row("born tomorrow", bornBefore, "16.06.2024",
            "Der Geburtstag ist nicht im gültigen Bereich (01.01.1900 bis 15.06.2024) .");
        row("born 129 years less a day", bornAfter, "16.06.1895", "");
        // 129 years back from the present moment is the afternoon of that day: its midnight is earlier.
        row("born 129 years ago today", bornAfter, "15.06.1895",
            "Der Geburtstag ist nicht im gültigen Bereich (15.06.1895 bis 31.12.2030) .");
        row("date defaults win over birthday", "B,BIRTHDAY,DATE,MAX=1.1.2000", "1.1.1800", "");
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

    void leadingNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("no digits") << "abc" << 0.0;
        QTest::newRow("trailing text") << "12abc" << 12.0;
        QTest::newRow("blanks inside") << " 1 2\t3 " << 123.0;
        QTest::newRow("comma stops") << "1,5" << 1.0;
        QTest::newRow("fraction and exponent") << "-3.5e2x" << -350.0;
        QTest::newRow("bare fraction") << ".25" << 0.25;
        QTest::newRow("exponent needs digits") << "7e+" << 7.0;
        QTest::newRow("D exponent") << "2D3" << 2000.0;
    }
    void leadingNumber()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(::leadingNumber(text), value);
    }

    void generalNumberText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("upper default") << 1e99 << "1E+99";
        QTest::newRow("lower default") << -1e99 << "-1E+99";
        QTest::newRow("no grouping") << 1234567.0 << "1234567";
        QTest::newRow("15 digits") << 999999999999999.0 << "999999999999999";
        QTest::newRow("large") << 1e15 << "1E+15";
        QTest::newRow("small") << 0.00001 << "1E-05";
    }
    void generalNumberText()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(::generalNumberText(value, QLocale("de_DE")), text);
    }
};

TAKTORA_TEST_MAIN(TestInputValidation)
#include "tst_inputvalidation.moc"
