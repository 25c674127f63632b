#include "core/error.h"
#include "core/localeformats.h"

#include <QTest>

using namespace vellaro;

class TestLocaleFormats : public QObject
{
    Q_OBJECT

private slots:
    void texts_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::newRow("bg_BG") << "bg_BG"
                               << "9.12.26 г."
                               << "9:05:07";
        QTest::newRow("en_US") << "en_US"
                               << "12/9/26"
                               << "9:05:07 AM";
        QTest::newRow("de_DE") << "de_DE"
                               << "09.12.26"
                               << "09:05:07";
        QTest::newRow("ko_KR") << "ko_KR"
                               << "26. 12. 9."
                               << "오전 9:05:07";
    }

    void texts()
    {
        QFETCH(QString, locale);
        QFETCH(QString, date);
        QFETCH(QString, time);
        const LocaleFormats f = LocaleFormats::fromLocale(QLocale(locale));
        QCOMPARE(f.dateText(QDate(2026, 12, 9)), date);
        QCOMPARE(f.timeText(QTime(9, 5, 7)), time);
    }

    void afternoonAndMidnight_twelveHourClock()
    {
        const LocaleFormats us = LocaleFormats::fromLocale(QLocale("en_US"));
        QCOMPARE(us.timeText(QTime(0, 0, 1)), QString("12:00:01 AM"));
        QCOMPARE(us.timeText(QTime(12, 30, 0)), QString("12:30:00 PM"));
        QCOMPARE(us.timeText(QTime(23, 59, 59)), QString("11:59:59 PM"));
        QCOMPARE(us.parseTimeText("12:00:01 AM"), QTime(0, 0, 1));
        QCOMPARE(us.parseTimeText("11:59:59 PM"), QTime(23, 59, 59));
    }

    void parseDate_isInverseOfFormatting_data()
    {
        QTest::addColumn<QString>("locale");
        for (const char *name : {"bg_BG", "en_US", "de_DE", "ko_KR", "fr_FR", "ja_JP", "ru_RU"})
            QTest::newRow(name) << QString(name);
    }

    void parseDate_isInverseOfFormatting()
    {
        QFETCH(QString, locale);
        const LocaleFormats f = LocaleFormats::fromLocale(QLocale(locale));
        for (const QDate d :
             {QDate(2026, 12, 9), QDate(2027, 1, 31), QDate(2030, 2, 28), QDate(1999, 7, 4)}) {
            QCOMPARE(f.parseDateText(f.dateText(d), 2026), d);
        }
        for (const QTime t : {QTime(0, 0, 0), QTime(9, 5, 7), QTime(13, 0, 59), QTime(23, 59, 59)})
            QCOMPARE(f.parseTimeText(f.timeText(t)), t);
    }

    void twoDigitYears_fallInTheHundredYearsFromFiftyBack_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("digits");
        QTest::addColumn<int>("expanded");
        QTest::newRow("26") << 26 << 2 << 2026;
        QTest::newRow("76") << 76 << 2 << 1976;
        QTest::newRow("75") << 75 << 2 << 2075;
        QTest::newRow("0") << 0 << 1 << 2000;
        QTest::newRow("fourDigits") << 1926 << 4 << 1926;
    }

    void twoDigitYears_fallInTheHundredYearsFromFiftyBack()
    {
        QFETCH(int, year);
        QFETCH(int, digits);
        QFETCH(int, expanded);
        QCOMPARE(expandTwoDigitYear(year, digits, 2026), expanded);
    }

    void withoutLastThreeCharacters_dropsThemOrEverything()
    {
        QCOMPARE(withoutLastThreeCharacters("9.12.26 г."), QString("9.12.26"));
        QCOMPARE(withoutLastThreeCharacters("abc"), QString());
        QCOMPARE(withoutLastThreeCharacters(""), QString());
    }

    void parseDate_olderFormWithoutLiteral_stillParses()
    {
        const LocaleFormats bg = LocaleFormats::fromLocale(QLocale("bg_BG"));
        // Three characters of other literal text in place of " г.".
        QCOMPARE(bg.parseDateText("9.12.26 xx", 2026), QDate(2026, 12, 9));
    }

    void parseDate_invalid_reportsTheParsedText()
    {
        const LocaleFormats bg = LocaleFormats::fromLocale(QLocale("bg_BG"));
        try {
            bg.parseDateText("31.02.26 г.", 2026);
            QFAIL("an impossible date was accepted");
        } catch (const Error &e) {
            QCOMPARE(e.message(), QString("'31.02.26' is not a valid date"));
        }
        QVERIFY_THROWS_EXCEPTION(Error, bg.parseDateText("someday", 2026));
        try {
            bg.parseTimeText("25:00:00");
            QFAIL("an impossible time was accepted");
        } catch (const Error &e) {
            QCOMPARE(e.message(), QString("'25:00:00' is not a valid time"));
        }
        QVERIFY_THROWS_EXCEPTION(Error, bg.parseTimeText("9:05:07 extra"));
        QCOMPARE(bg.parseTimeText("9:05"), QTime(9, 5, 0));
    }
};

QTEST_GUILESS_MAIN(TestLocaleFormats)
#include "tst_localeformats.moc"
