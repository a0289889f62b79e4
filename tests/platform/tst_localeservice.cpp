// Tests of LocaleService: the user's date and number conventions, dates
// read in them, and Czech collation.

#include "LocaleService.h"

#include "TestLocale.h"

#include <QDate>
#include <QtTest>

class TestLocaleService : public QObject
{
    Q_OBJECT

private slots:
    void czechConventions();
    void cLocaleGetsCzechConventions();
    void englishDateOrder();
    void parseCzechDate_data();
    void parseCzechDate();
    void parseDateInLocale_data();
    void parseDateInLocale();
    void parseDateTime_data();
    void parseDateTime();
    void twoDigitYearFollowsToday();
    void widenYear_data();
    void widenYear();
    void czechCollation_data();
    void czechCollation();
};

void TestLocaleService::czechConventions()
{
    TestLocale czech;
    const auto &ls = LocaleService::instance();
    QCOMPARE(ls.shortDateFormat(), QStringLiteral("d.M.yyyy"));
    QCOMPARE(ls.decimalSeparator(), QChar(u','));
    QCOMPARE(ls.formatDate(QDate(2005, 5, 3)), QStringLiteral("3.5.2005"));
    QCOMPARE(ls.formatDate(QDate(2005, 12, 31)), QStringLiteral("31.12.2005"));
}

void TestLocaleService::cLocaleGetsCzechConventions()
{
    TestLocale c(QLocale::c());
    const auto &ls = LocaleService::instance();
    QCOMPARE(ls.shortDateFormat(), QStringLiteral("d.M.yyyy"));
    QCOMPARE(ls.decimalSeparator(), QChar(u','));
    QCOMPARE(ls.parseDate(u"3.5.2005"), std::optional<QDate>(QDate(2005, 5, 3)));
    QVERIFY(ls.compareText(QStringLiteral("chata"), QStringLiteral("hrad")) > 0);
}

void TestLocaleService::englishDateOrder()
{
    TestLocale english(QLocale(QLocale::English, QLocale::UnitedStates));
    const auto &ls = LocaleService::instance();
    QCOMPARE(ls.shortDateFormat(), QStringLiteral("M/d/yyyy"));
    QCOMPARE(ls.formatDate(QDate(2005, 5, 3)), QStringLiteral("5/3/2005"));
    QCOMPARE(ls.parseDate(u"5/3/2005"), std::optional<QDate>(QDate(2005, 5, 3)));
    QCOMPARE(ls.parseDate(u"12/31/2005"), std::optional<QDate>(QDate(2005, 12, 31)));
    QVERIFY(!ls.parseDate(u"31/12/2005"));
}

void TestLocaleService::parseCzechDate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date"); // invalid: not a date

    QTest::newRow("short") << "3.5.2005" << QDate(2005, 5, 3);
    QTest::newRow("zero padded") << "03.05.2005" << QDate(2005, 5, 3);
    QTest::newRow("end of year") << "31.12.2005" << QDate(2005, 12, 31);
    QTest::newRow("blanks around") << " 3. 5. 2005 " << QDate(2005, 5, 3);
    QTest::newRow("trailing dot") << "3.5.2005." << QDate(2005, 5, 3);
    QTest::newRow("two-digit year 05") << "3.5.05" << QDate(2005, 5, 3);
    QTest::newRow("leap day") << "29.2.2004" << QDate(2004, 2, 29);
    QTest::newRow("day and month: this year")
        << "3.5" << QDate(QDate::currentDate().year(), 5, 3);

    QTest::newRow("31 February") << "31.2.2005" << QDate();
    QTest::newRow("29 February, no leap year") << "29.2.2005" << QDate();
    QTest::newRow("month 13") << "1.13.2005" << QDate();
    QTest::newRow("day 0") << "0.5.2005" << QDate();
    QTest::newRow("ISO order") << "2005-05-03" << QDate();
    QTest::newRow("empty") << "" << QDate();
    QTest::newRow("blanks") << "   " << QDate();
    QTest::newRow("letters") << "tři.5.2005" << QDate();
    QTest::newRow("one number") << "3" << QDate();
    QTest::newRow("four numbers") << "3.5.2005.1" << QDate();
    QTest::newRow("month name") << "3. května 2005" << QDate();
    QTest::newRow("day and month, trailing dot")
        << "3.5." << QDate(QDate::currentDate().year(), 5, 3);
    QTest::newRow("slashes") << "5/3/2005" << QDate();
    QTest::newRow("dashes") << "5-3-2005" << QDate();
    QTest::newRow("mixed separators") << "3.5/2005" << QDate();
    QTest::newRow("day and month, slash") << "3/5" << QDate();
    QTest::newRow("double dot") << "3..5.2005" << QDate();
    QTest::newRow("two trailing dots") << "3.5.2005.." << QDate();
    QTest::newRow("trailing junk") << "3.5.2005 x" << QDate();
}

void TestLocaleService::parseCzechDate()
{
    QFETCH(QString, text);
    QFETCH(QDate, date);
    TestLocale czech;
    const auto r = LocaleService::instance().parseDate(text);
    QCOMPARE(r.has_value(), date.isValid());
    if (date.isValid())
        QCOMPARE(*r, date);
}

void TestLocaleService::parseDateInLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date"); // invalid: not a date
    const int year = QDate::currentDate().year();

    // M/d/yy
    QTest::newRow("en_US") << "en_US" << "5/3/2005" << QDate(2005, 5, 3);
    QTest::newRow("en_US two-digit year") << "en_US" << "5/3/05" << QDate(2005, 5, 3);
    QTest::newRow("en_US month and day") << "en_US" << "5/3" << QDate(year, 5, 3);
    QTest::newRow("en_US Czech date") << "en_US" << "3.5.2005" << QDate();
    QTest::newRow("en_US mixed") << "en_US" << "5/3.2005" << QDate();
    // dd.MM.yy
    QTest::newRow("de_DE") << "de_DE" << "03.05.2005" << QDate(2005, 5, 3);
    QTest::newRow("de_DE slashes") << "de_DE" << "3/5/2005" << QDate();
    // yyyy-MM-dd
    QTest::newRow("sv_SE") << "sv_SE" << "2005-05-03" << QDate(2005, 5, 3);
    QTest::newRow("sv_SE two-digit year") << "sv_SE" << "05-05-03" << QDate(2005, 5, 3);
    QTest::newRow("sv_SE month and day") << "sv_SE" << "05-03" << QDate(year, 5, 3);
    QTest::newRow("sv_SE dots") << "sv_SE" << "2005.05.03" << QDate();
    // yyyy. MM. dd.
    QTest::newRow("hu_HU") << "hu_HU" << "2005. 05. 03." << QDate(2005, 5, 3);
    QTest::newRow("hu_HU no blanks") << "hu_HU" << "2005.5.3" << QDate(2005, 5, 3);
    QTest::newRow("hu_HU month and day") << "hu_HU" << "05. 03." << QDate(year, 5, 3);
    QTest::newRow("hu_HU dashes") << "hu_HU" << "2005-05-03" << QDate();
    QTest::newRow("hu_HU trailing junk") << "hu_HU" << "2005. 05. 03. x" << QDate();
    // d.MM.yy 'г'.
    QTest::newRow("bg_BG quoted trailing text") << "bg_BG" << "3.05.2005 г." << QDate(2005, 5, 3);
    QTest::newRow("bg_BG other trailing text") << "bg_BG" << "3.05.2005 x." << QDate();
}

void TestLocaleService::parseDateInLocale()
{
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(QDate, date);
    TestLocale pinned{QLocale(locale)};
    const auto r = LocaleService::instance().parseDate(text);
    QCOMPARE(r.has_value(), date.isValid());
    if (date.isValid())
        QCOMPARE(*r, date);
}

void TestLocaleService::parseDateTime_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value"); // NaN: not a date

    // 3 May 2005 is day 38475 after 30 December 1899.
    const double nan = qQNaN();
    QTest::newRow("Czech date") << "cs_CZ" << "3.5.2005" << 38475.0;
    QTest::newRow("Czech date and time") << "cs_CZ" << "3.5.2005 12:30" << 38475.0 + 12.5 / 24;
    QTest::newRow("Czech, slashes and time") << "cs_CZ" << "5/3/2005 12:30" << nan;
    QTest::newRow("en_US date and time") << "en_US" << "5/3/2005 12:30" << 38475.0 + 12.5 / 24;
    QTest::newRow("en_US, dots and time") << "en_US" << "3.5.2005 12:30" << nan;
}

void TestLocaleService::parseDateTime()
{
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(double, value);
    TestLocale pinned{QLocale(locale)};
    const auto r = LocaleService::instance().parseDateTime(text);
    QCOMPARE(r.has_value(), !qIsNaN(value));
    if (r)
        QCOMPARE(*r, value);
}

void TestLocaleService::twoDigitYearFollowsToday()
{
    // The hundred years that start fifty years before this year hold
    // exactly one year ending in 80.
    TestLocale czech;
    const int first = QDate::currentDate().year() - 50;
    int expected = first;
    while (expected % 100 != 80)
        ++expected;
    QVERIFY(expected < first + 100);
    QCOMPARE(LocaleService::instance().parseDate(u"3.5.80"),
             std::optional<QDate>(QDate(expected, 5, 3)));
}

void TestLocaleService::widenYear_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("currentYear");
    QTest::addColumn<int>("widened");

    // The window of 2025 is 1975..2074.
    QTest::newRow("05 in 2025") << 5 << 2025 << 2005;
    QTest::newRow("80 in 2025") << 80 << 2025 << 1980;
    QTest::newRow("first year of the window") << 75 << 2025 << 1975;
    QTest::newRow("last year of the window") << 74 << 2025 << 2074;
    QTest::newRow("00 in 2025") << 0 << 2025 << 2000;
    QTest::newRow("99 in 2025") << 99 << 2025 << 1999;
    // The window of 2031 is 1981..2080.
    QTest::newRow("80 in 2031") << 80 << 2031 << 2080;
    QTest::newRow("81 in 2031") << 81 << 2031 << 1981;
    // The window of 2050 is 2000..2099.
    QTest::newRow("99 in 2050") << 99 << 2050 << 2099;
    QTest::newRow("00 in 2050") << 0 << 2050 << 2000;
}

void TestLocaleService::widenYear()
{
    QFETCH(int, year);
    QFETCH(int, currentYear);
    QFETCH(int, widened);
    QCOMPARE(LocaleService::widenYear(year, currentYear), widened);
}

void TestLocaleService::czechCollation_data()
{
    QTest::addColumn<QString>("lower");
    QTest::addColumn<QString>("higher");

    QTest::newRow("ch after h") << "hrad" << "chata";
    QTest::newRow("ch before i") << "chata" << "ivan";
    QTest::newRow("č after c") << "cukr" << "čaj";
    QTest::newRow("č before d") << "čaj" << "dům";
    QTest::newRow("ř after r") << "rybník" << "řeka";
    QTest::newRow("š after s") << "sova" << "šátek";
    QTest::newRow("ž after z") << "zub" << "žába";
    QTest::newRow("case ignored, č still after c") << "Cukr" << "čaj";
    QTest::newRow("capital Ch after h") << "hrad" << "Chata";
}

void TestLocaleService::czechCollation()
{
    QFETCH(QString, lower);
    QFETCH(QString, higher);
    TestLocale czech;
    const auto &ls = LocaleService::instance();
    QVERIFY2(ls.compareText(lower, higher) < 0, qPrintable(lower + " < " + higher));
    QVERIFY2(ls.compareText(higher, lower) > 0, qPrintable(higher + " > " + lower));
    QCOMPARE(ls.compareText(higher.toUpper(), higher.toLower()), 0);
    QCOMPARE(ls.compareText(lower.toUpper(), lower), 0);
}

QTEST_GUILESS_MAIN(TestLocaleService)
#include "tst_localeservice.moc"
