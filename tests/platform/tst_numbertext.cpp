// Tests of NumberText: number texts read and written in the user's
// conventions, and RoundTo2.

#include "LocaleService.h"
#include "NumberText.h"

#include "DoubleBits.h"
#include "TestLocale.h"

#include <QRandomGenerator>
#include <QtTest>

#include <bit>
#include <clocale>
#include <cstdlib>

Q_DECLARE_METATYPE(std::optional<double>)

class TestNumberText : public QObject
{
    Q_OBJECT

private slots:
    void parseNumber_data();
    void parseNumber();
    void parseNumberUsesLocale();
    void parseNumberRoundsCorrectly();
    void formatNumber_data();
    void formatNumber();
    void formatNumberUsesLocale();
    void numbersIgnoreTheProcessLocale();
    void roundTo2_data();
    void roundTo2();
};

void TestNumberText::parseNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<double>("value");

    const QChar cz(u','), en(u'.');
    QTest::newRow("integer") << "42" << cz << true << 42.0;
    QTest::newRow("czech decimal") << "42,5" << cz << true << 42.5;
    QTest::newRow("english decimal") << "42.5" << en << true << 42.5;
    QTest::newRow("plus sign") << "+3" << cz << true << 3.0;
    QTest::newRow("minus sign") << "-0,25" << cz << true << -0.25;
    QTest::newRow("blanks around") << "  12,5  " << cz << true << 12.5;
    QTest::newRow("exponent") << "1,5E3" << cz << true << 1500.0;
    QTest::newRow("small e, signed exponent") << "25e-2" << cz << true << 0.25;
    QTest::newRow("exponent plus") << "2E+2" << cz << true << 200.0;
    QTest::newRow("leading separator") << ",5" << cz << true << 0.5;
    QTest::newRow("trailing separator") << "5," << cz << true << 5.0;
    QTest::newRow("zero") << "0" << cz << true << 0.0;

    QTest::newRow("empty") << "" << cz << false << 0.0;
    QTest::newRow("blanks only") << "   " << cz << false << 0.0;
    QTest::newRow("point in czech") << "1.5" << cz << false << 0.0;
    QTest::newRow("comma in english") << "1,5" << en << false << 0.0;
    QTest::newRow("letters") << "abc" << cz << false << 0.0;
    QTest::newRow("unit after number") << "12 km" << cz << false << 0.0;
    QTest::newRow("two separators") << "1,2,3" << cz << false << 0.0;
    QTest::newRow("sign alone") << "-" << cz << false << 0.0;
    QTest::newRow("blank after sign") << "- 5" << cz << false << 0.0;
    QTest::newRow("separator alone") << "," << cz << false << 0.0;
    QTest::newRow("exponent without digits") << "1E" << cz << false << 0.0;
    QTest::newRow("exponent alone") << "E5" << cz << false << 0.0;
    QTest::newRow("blank inside") << "1 000" << cz << false << 0.0;
    QTest::newRow("time text") << "01:30" << cz << false << 0.0;
    QTest::newRow("overflow") << "1E999" << cz << false << 0.0;
}

void TestNumberText::parseNumber()
{
    QFETCH(QString, text);
    QFETCH(QChar, separator);
    QFETCH(bool, isNumber);
    QFETCH(double, value);
    const auto r = NumberText::parse(text, separator);
    QCOMPARE(r.has_value(), isNumber);
    if (isNumber)
        QCOMPARE(bits(*r), bits(value));
}

void TestNumberText::parseNumberUsesLocale()
{
    {
        TestLocale czech;
        QCOMPARE(LocaleService::instance().decimalSeparator(), QChar(u','));
        QCOMPARE(NumberText::parse(u"42,5"), std::optional<double>(42.5));
        QVERIFY(!NumberText::parse(u"42.5"));
    }
    {
        TestLocale english(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(LocaleService::instance().decimalSeparator(), QChar(u'.'));
        QCOMPARE(NumberText::parse(u"42.5"), std::optional<double>(42.5));
        QVERIFY(!NumberText::parse(u"42,5"));
    }
}

void TestNumberText::parseNumberRoundsCorrectly()
{
    // Decimal texts of up to 17 digits give the double nearest to their
    // value, the same as the C library's conversion of the same digits.
    QRandomGenerator rng(42);
    for (int n = 0; n < 20000; ++n) {
        const int digits = 1 + int(rng.bounded(17));
        QString d;
        for (int k = 0; k < digits; ++k)
            d += QChar(u'0' + int(rng.bounded(10)));
        const int point = int(rng.bounded(digits + 1));
        const QString czech = d.left(point) + u',' + d.mid(point);
        const QByteArray c = (d.left(point) + u'.' + d.mid(point)).toLatin1();
        const auto v = NumberText::parse(czech, u',');
        QVERIFY2(v && *v == std::strtod(c.constData(), nullptr), qPrintable(czech));
        const auto x = NumberText::parseExtended(czech, u',');
        QVERIFY2(x && *x == std::strtold(c.constData(), nullptr), qPrintable(czech));
    }
}

void TestNumberText::formatNumber_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("integer") << 30.0 << "30";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("half") << 12.5 << "12,5";
    QTest::newRow("third: 15 digits") << 1.0 / 3.0 << "0,333333333333333";
    QTest::newRow("two thirds: last digit rounded") << 2.0 / 3.0 << "0,666666666666667";
    QTest::newRow("0.1 + 0.2") << 0.1 + 0.2 << "0,3";
    QTest::newRow("smallest fixed") << 0.0001 << "0,0001";
    QTest::newRow("below 0.0001") << 0.00005 << "5E-5";
    QTest::newRow("scientific with fraction") << 0.000015 << "1,5E-5";
    QTest::newRow("15 integer digits") << 123456789012345.0 << "123456789012345";
    QTest::newRow("16 integer digits") << 1e15 << "1E15";
    QTest::newRow("rounds up to 16 digits") << 999999999999999.9 << "1E15";
    QTest::newRow("big scientific") << 1.25e20 << "1,25E20";
    QTest::newRow("negative") << -12.5 << "-12,5";
    QTest::newRow("negative small") << -0.00005 << "-5E-5";
    QTest::newRow("negative integer") << -30.0 << "-30";
    QTest::newRow("digits after zeros") << 0.000123456789012345 << "0,000123456789012345";
    QTest::newRow("trailing zeros dropped") << 37.50 << "37,5";
    QTest::newRow("hundreds") << 1200.0 << "1200";
    QTest::newRow("two decimals") << 22.22 << "22,22";
    QTest::newRow("rounded double noise") << 1.1 * 1.1 << "1,21";
}

void TestNumberText::formatNumber()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(NumberText::format(value, u','), text);
    // Every text written reads back as a number.
    QVERIFY(NumberText::parse(text, u',').has_value());
}

void TestNumberText::formatNumberUsesLocale()
{
    {
        TestLocale czech;
        QCOMPARE(NumberText::format(12.5), QStringLiteral("12,5"));
    }
    {
        TestLocale english(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(NumberText::format(12.5), QStringLiteral("12.5"));
        QCOMPARE(NumberText::format(0.000015), QStringLiteral("1.5E-5"));
    }
}

// The C library's own number conversions follow the process locale, which
// the application sets from the user's environment: with a Czech one they
// would want "42,5" where the program hands them "42.5".
void TestNumberText::numbersIgnoreTheProcessLocale()
{
    const QByteArray saved = setlocale(LC_ALL, nullptr);
    if (!setlocale(LC_ALL, "cs_CZ.UTF-8"))
        QSKIP("no cs_CZ.UTF-8 locale on this machine");
    const auto restore = qScopeGuard([&] { setlocale(LC_ALL, saved.constData()); });
    QCOMPARE(NumberText::parse(u"42,5", u','), std::optional<double>(42.5));
    QCOMPARE(NumberText::parse(u"42.5", u'.'), std::optional<double>(42.5));
    QCOMPARE(NumberText::parseExtended(u"-1,25E2", u','), std::optional<long double>(-125.0L));
    QCOMPARE(NumberText::format(12.5, u','), QStringLiteral("12,5"));
    QCOMPARE(NumberText::format(1234.5678, u'.'), QStringLiteral("1234.5678"));
    QCOMPARE(NumberText::format(0.00005, u','), QStringLiteral("5E-5"));
}

void TestNumberText::roundTo2_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("expected");

    // d below is the double nearest 0.01, which is 0.01 + 2.08e-19, so
    // x / d is a little smaller than x / 0.01. The quotient is then held
    // with a 64-bit mantissa (extended precision), rounded half to even,
    // multiplied by d in extended precision and stored to a double. The
    // expected values were worked out with exact rational arithmetic
    // under those rounding steps.

    QTest::newRow("whole hundredths") << 37.5 << 37.5;
    QTest::newRow("no rounding needed") << 22.22 << 22.22; // 2222*d rounds back to 22.22
    QTest::newRow("zero") << 0.0 << 0.0;
    QTest::newRow("ordinary down") << 12.344 << 12.34;
    QTest::newRow("ordinary up") << 12.346 << 12.35;
    // 0.125 is exact; 0.125 / d = 12.4999999999999997 (2.6e-16 below the
    // tie, far more than the extended unit 8.7e-19): down to 12.
    QTest::newRow("0.125") << 0.125 << 0.12;
    QTest::newRow("-0.125") << -0.125 << -0.12;
    // The double 0.135 is 0.135 + 8.9e-18: quotient 13.5 + 6.1e-16, up.
    QTest::newRow("0.135") << 0.135 << 0.14;
    QTest::newRow("-0.135") << -0.135 << -0.14;
    // The double 2.675 is 2.67499999999999982: quotient 267.5 - 2.3e-14.
    QTest::newRow("2.675") << 2.675 << 2.67;
    QTest::newRow("-2.675") << -2.675 << -2.67;
    // The double 1.005 is 1.00499999999999989: quotient 100.5 - 1.3e-14.
    QTest::newRow("1.005") << 1.005 << 1.0;
    QTest::newRow("-1.005") << -1.005 << -1.0;
    // The double 0.005 is exactly d / 2: the quotient is exactly 0.5 and
    // the tie goes to the even 0 (rounding half away would give 0.01).
    QTest::newRow("exact tie to even zero") << 0.005 << 0.0;
    QTest::newRow("negative exact tie") << -0.005 << 0.0;
    // Quotient 1.5 - 8.7e-17: in extended precision below the tie, so 1.
    // A quotient formed in double precision would round to exactly 1.5
    // and then to the even 2, giving 0.02.
    QTest::newRow("0.015 extended, not double") << 0.015 << 0.01;
    // Quotient 2.5 + 8.7e-17: up to 3 (a double quotient 2.5 goes to 2).
    QTest::newRow("0.025 extended, not double") << 0.025 << 0.03;
    // The exact quotient is 2726.5 + 8.7e-17, which would round up; with a
    // 64-bit mantissa (unit 2.3e-16 there) it becomes exactly 2726.5 and
    // the tie goes to the even 2726.
    QTest::newRow("27.265 tie made by extended precision") << 27.265 << 27.26;
    // Exact quotient 5465.5 - 8.7e-17 becomes exactly 5465.5 and goes to
    // the even 5466. 5466 * d = 54.66000000000000114 in extended precision,
    // which is nearer the double above 54.66 (0x1.b547ae147ae15p+5) than the
    // double nearest 54.66: the result is one unit above the literal.
    QTest::newRow("54.655 tie to even, product above 54.66")
        << 54.655 << std::bit_cast<double>(quint64(0x404B547AE147AE15));
    QTest::newRow("12.345") << 12.345 << 12.35;  // quotient 1234.5 + 3.8e-14
    QTest::newRow("8.325") << 8.325 << 8.32;     // quotient 832.5 - 8.8e-14
    // 12345679 * d = 123456.79 + 2.6e-12 in extended precision; the double
    // nearest 123456.79 lies 6.4e-12 below it, the next one 8.2e-12 above
    // 123456.79: the stored result is that next one.
    QTest::newRow("large value, product above the literal")
        << 123456.789 << std::bit_cast<double>(quint64(0x40FE240CA3D70A3E));
}

void TestNumberText::roundTo2()
{
    QFETCH(double, x);
    QFETCH(double, expected);
    QCOMPARE(bits(RoundTo2(x) + 0.0), bits(expected + 0.0));
}

QTEST_GUILESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
