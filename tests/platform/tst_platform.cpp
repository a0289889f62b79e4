// Tests of the platform layer: ANSI text files, number and time texts,
// RoundTo2, the locale service, the program folder and the error guard.

#include "AnsiFile.h"
#include "AtomicWrite.h"
#include "AppError.h"
#include "LocaleService.h"
#include "Messages.h"
#include "NumberText.h"
#include "ProgramFolder.h"
#include "TimeText.h"

#include "MessageRecorder.h"
#include "TestFiles.h"
#include "TestLocale.h"

#include <QDir>
#include <QRandomGenerator>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <bit>
#include <clocale>
#include <csignal>
#include <cstdint>
#include <new>
#include <sys/resource.h>
#include <unistd.h>

Q_DECLARE_METATYPE(std::optional<double>)

namespace {
QByteArray hex(const char *h)
{
    return QByteArray::fromHex(h);
}


// Bit-exact view of a double, so that a result one unit in the last place
// off is a failure and the message shows both values in full.
QString bits(double v)
{
    return QStringLiteral("%1 (%2)")
        .arg(QString::number(v, 'g', 17))
        .arg(QString::number(std::bit_cast<quint64>(v), 16));
}

// Runs the action and returns the AppError text it threw, or a marker.
template<typename F>
QString appErrorOf(F &&action)
{
    try {
        action();
    } catch (const AppError &e) {
        return e.text();
    }
    return QStringLiteral("<no AppError>");
}

// Lowers the largest file this process may write, so that a write fails
// even for root, for whom access bits are no obstacle.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit l = m_saved;
        l.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &l) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};
} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    // AnsiFile
    void encodeDecode_data();
    void encodeDecode();
    void everyByteRoundTrips();
    void undefinedBytesRoundTrip_data();
    void undefinedBytesRoundTrip();
    void unencodableRefused_data();
    void unencodableRefused();
    void splitLines_data();
    void splitLines();
    void writeLinesUsesCrLf();
    void writeBytesReplacesWhole();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();
    void writeIntoMissingFolder();
    void writeIntoReadOnlyFolder();
    void readMissingFile();

    // Number texts and RoundTo2
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

    // Time texts
    void parseTime_data();
    void parseTime();
    void placeIntoMask_data();
    void placeIntoMask();
    void zeroFilled();
    void timeTextToHours_data();
    void timeTextToHours();

    // Locale service
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

    // Program folder and the error guard
    void programFolderWritable();
    void programFolderFallsBack_data();
    void programFolderFallsBack();
    void dataFilesCopiedOnce();
    void runGuardedShowsFailure_data();
    void runGuardedShowsFailure();
    void runGuardedSuccess();
};

// The C library's own number conversions follow the process locale, which
// the application sets from the user's environment: with a Czech one they
// would want "42,5" where the program hands them "42.5".
void TestPlatform::numbersIgnoreTheProcessLocale()
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

void TestPlatform::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

// ---------------------------------------------------------------- AnsiFile

void TestPlatform::encodeDecode_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    // Byte values from the Windows-1250 code chart.
    QTest::newRow("ascii") << QStringLiteral("Km 42|x") << QByteArray("Km 42|x");
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("small letters")
        << QStringLiteral("áčďéěíňóřšťúůýž")
        << hex("e1e8efe9eced f2f3f89a9dfaf9fd9e");
    QTest::newRow("capital letters")
        << QStringLiteral("ÁČĎÉĚÍŇÓŘŠŤÚŮÝŽ")
        << hex("c1c8cfc9cccdd2d3d88a8ddad9dd8e");
    QTest::newRow("euro sign is 0x80") << QStringLiteral("5 €") << hex("352080");
    QTest::newRow("punctuation")
        << QStringLiteral("„Průběh“ – § 3 °C")
        << hex("84 50 72 f9 62 ec 68 93 20 96 20 a7 20 33 20 b0 43");
    QTest::newRow("heading") << QStringLiteral("Průběh trasy")
                             << hex("5072f962ec68 20 7472617379");
}

void TestPlatform::encodeDecode()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(AnsiFile::encode(text), bytes);
    QCOMPARE(AnsiFile::decode(bytes), text);
    QVERIFY(AnsiFile::isEncodable(text));
    QCOMPARE(AnsiFile::unencodableCharacters(text), QString());
}

void TestPlatform::everyByteRoundTrips()
{
    // Any file the program reads can be written back unchanged.
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = AnsiFile::decode(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(AnsiFile::encode(text), all);
}

void TestPlatform::undefinedBytesRoundTrip_data()
{
    QTest::addColumn<int>("byte");
    // The five bytes Windows-1250 leaves undefined.
    for (int b : {0x81, 0x83, 0x88, 0x90, 0x98})
        QTest::newRow(qPrintable(QStringLiteral("0x%1").arg(b, 2, 16))) << b;
}

void TestPlatform::undefinedBytesRoundTrip()
{
    QFETCH(int, byte);
    const QByteArray one(1, char(byte));
    const QString text = AnsiFile::decode(one);
    QCOMPARE(text.size(), 1);
    // Not lost as a replacement character, and each its own character.
    QVERIFY(text.at(0) != QChar(QChar::ReplacementCharacter));
    QVERIFY(text.at(0).unicode() >= 0x80);
    QCOMPARE(AnsiFile::encode(text), one);
    QCOMPARE(AnsiFile::encode(QStringLiteral("a") + text + QStringLiteral("b")),
             QByteArray("a") + one + QByteArray("b"));
}

void TestPlatform::unencodableRefused_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("offending");

    QTest::newRow("emoji") << QStringLiteral("Výlet 😀") << QStringLiteral("😀");
    QTest::newRow("cyrillic") << QStringLiteral("Жабка") << QStringLiteral("Жабк");
    QTest::newRow("n tilde") << QStringLiteral("España") << QStringLiteral("ñ");
    QTest::newRow("chinese twice, listed once") << QStringLiteral("中a中") << QStringLiteral("中");
    QTest::newRow("two kinds") << QStringLiteral("α ž β") << QStringLiteral("αβ");
}

void TestPlatform::unencodableRefused()
{
    QFETCH(QString, text);
    QFETCH(QString, offending);
    QVERIFY(!AnsiFile::isEncodable(text));
    QCOMPARE(AnsiFile::unencodableCharacters(text), offending);
    const QString error = appErrorOf([&] { AnsiFile::encode(text); });
    QVERIFY2(error != QStringLiteral("<no AppError>"), qPrintable(text));
    QVERIFY2(error.contains(offending), qPrintable(error));
}

void TestPlatform::splitLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("empty") << QString() << QStringList();
    QTest::newRow("crlf") << QStringLiteral("a\r\nb\r\n") << QStringList{"a", "b"};
    QTest::newRow("lf") << QStringLiteral("a\nb\n") << QStringList{"a", "b"};
    QTest::newRow("cr") << QStringLiteral("a\rb\r") << QStringList{"a", "b"};
    QTest::newRow("no final break") << QStringLiteral("a\r\nb") << QStringList{"a", "b"};
    QTest::newRow("mixed") << QStringLiteral("a\r\nb\nc\rd") << QStringList{"a", "b", "c", "d"};
    QTest::newRow("empty lines kept") << QStringLiteral("\r\n\r\nx\r\n\r\n")
                                      << QStringList{"", "", "x", ""};
    QTest::newRow("cr then crlf is two breaks") << QStringLiteral("a\r\r\nb")
                                                << QStringList{"a", "", "b"};
    QTest::newRow("lf cr is two breaks") << QStringLiteral("a\n\rb") << QStringList{"a", "", "b"};
    QTest::newRow("lone break") << QStringLiteral("\r\n") << QStringList{""};
}

void TestPlatform::splitLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(AnsiFile::splitLines(text), lines);
}

void TestPlatform::writeLinesUsesCrLf()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("trasy.txt"));
    AnsiFile::writeLines(path, {QStringLiteral("Lhota"), QString(), QStringLiteral("Čáslav")});
    QCOMPARE(fileBytes(path), QByteArray("Lhota\r\n\r\n") + hex("c8e1736c6176") + "\r\n");
    QCOMPARE(AnsiFile::readLines(path),
             (QStringList{QStringLiteral("Lhota"), QString(), QStringLiteral("Čáslav")}));

    AnsiFile::writeLines(path, {});
    QCOMPARE(fileBytes(path), QByteArray());

    // An unencodable line fails before the file is touched.
    AnsiFile::writeLines(path, {QStringLiteral("stará")});
    const QString error = appErrorOf([&] { AnsiFile::writeLines(path, {QStringLiteral("😀")}); });
    QVERIFY(error.contains(QStringLiteral("😀")));
    QCOMPARE(fileBytes(path), QByteArray("star") + hex("e1") + "\r\n");
}

void TestPlatform::writeBytesReplacesWhole()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("default.tvl"));
    putFile(path, QByteArray(1000, 'x'));
    AtomicWrite::replaceFile(path, "short");
    QCOMPARE(fileBytes(path), QByteArray("short"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"default.tvl"});
}

void TestPlatform::failedWriteKeepsOldFile_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("large") << 100000;
    // Small enough to stay in a write buffer until the end.
    QTest::newRow("small") << 100;
}

void TestPlatform::failedWriteKeepsOldFile()
{
    QFETCH(int, size);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("default.tvl"));
    const QByteArray old("old contents\r\n");
    putFile(path, old);

    QString error;
    {
        FileSizeLimit limit(64);
        if (!limit.ok())
            QSKIP("cannot lower the file size limit");
        error = appErrorOf([&] { AtomicWrite::replaceFile(path, QByteArray(size, 'n')); });
    }
    QCOMPARE(error, QStringLiteral("Unable to write to %1").arg(path));
    QCOMPARE(fileBytes(path), old);
    // No half-written temporary file is left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"default.tvl"});
}

void TestPlatform::writeIntoMissingFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("missing/default.tvl"));
    QCOMPARE(appErrorOf([&] { AtomicWrite::replaceFile(path, "x"); }),
             QStringLiteral("Cannot create file %1").arg(path));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("missing"))));
}

void TestPlatform::writeIntoReadOnlyFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString sub = dir.filePath(QStringLiteral("ro"));
    QVERIFY(QDir().mkdir(sub));
    const QString path = sub + QStringLiteral("/default.tvl");
    const QByteArray old("old\r\n");
    putFile(path, old);
    QVERIFY(QFile::setPermissions(sub, QFile::ReadOwner | QFile::ExeOwner));
    const bool stillWritable = ::access(qPrintable(sub), W_OK) == 0;
    QString error;
    if (!stillWritable)
        error = appErrorOf([&] { AtomicWrite::replaceFile(path, "new contents"); });
    QFile::setPermissions(sub, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (stillWritable)
        QSKIP("the access bits do not stop this user (root); failedWriteKeepsOldFile covers it");
    QCOMPARE(error, QStringLiteral("Cannot create file %1").arg(path));
    QCOMPARE(fileBytes(path), old);
}

void TestPlatform::readMissingFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("none.tvl"));
    QCOMPARE(appErrorOf([&] { AnsiFile::readBytes(path); }),
             QStringLiteral("Cannot open file %1").arg(path));
}

// ---------------------------------------------------------------- number texts

void TestPlatform::parseNumber_data()
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

void TestPlatform::parseNumber()
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

void TestPlatform::parseNumberRoundsCorrectly()
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

void TestPlatform::parseNumberUsesLocale()
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

void TestPlatform::formatNumber_data()
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

void TestPlatform::formatNumber()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(NumberText::format(value, u','), text);
    // Every text written reads back as a number.
    QVERIFY(NumberText::parse(text, u',').has_value());
}

void TestPlatform::formatNumberUsesLocale()
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

void TestPlatform::roundTo2_data()
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

void TestPlatform::roundTo2()
{
    QFETCH(double, x);
    QFETCH(double, expected);
    QCOMPARE(bits(RoundTo2(x) + 0.0), bits(expected + 0.0));
}

// ---------------------------------------------------------------- time texts

void TestPlatform::parseTime_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("hours");
    QTest::addColumn<int>("minutes");

    QTest::newRow("zero padded") << "01:55" << true << 1 << 55;
    QTest::newRow("blank padded") << " 1:30" << true << 1 << 30;
    QTest::newRow("last minute") << "23:59" << true << 23 << 59;
    QTest::newRow("single digits") << "0:0" << true << 0 << 0;
    QTest::newRow("minutes blank padded") << "12: 5" << true << 12 << 5;
    QTest::newRow("blanks after") << "1 :30 " << true << 1 << 30;
    QTest::newRow("with seconds") << "1:30:15" << true << 1 << 30;
    QTest::newRow("midnight") << "00:00" << true << 0 << 0;

    QTest::newRow("24 hours") << "24:00" << false << 0 << 0;
    QTest::newRow("60 minutes") << "12:60" << false << 0 << 0;
    QTest::newRow("minutes missing") << " 1:  " << false << 0 << 0;
    QTest::newRow("hours missing") << "  :30" << false << 0 << 0;
    QTest::newRow("empty mask") << "  :  " << false << 0 << 0;
    QTest::newRow("empty") << "" << false << 0 << 0;
    QTest::newRow("letters") << "ab:cd" << false << 0 << 0;
    QTest::newRow("no colon") << "130" << false << 0 << 0;
    QTest::newRow("negative") << "-1:30" << false << 0 << 0;
    QTest::newRow("60 seconds") << "1:30:60" << false << 0 << 0;
    QTest::newRow("empty seconds") << "1:30:" << false << 0 << 0;
    QTest::newRow("blank inside number") << "1 2:30" << false << 0 << 0;
    QTest::newRow("decimal hours") << "1,5:00" << false << 0 << 0;
}

void TestPlatform::parseTime()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, hours);
    QFETCH(int, minutes);
    const auto c = TimeText::parse(text);
    QCOMPARE(c.has_value(), valid);
    QCOMPARE(TimeText::isValid(text), valid);
    if (valid) {
        QCOMPARE(c->hours, hours);
        QCOMPARE(c->minutes, minutes);
    }
}

void TestPlatform::placeIntoMask_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("hourPlaces");
    QTest::addColumn<QString>("masked");

    QTest::newRow("pads hours") << "1:30" << 2 << " 1:30";
    QTest::newRow("pads both") << "1:5" << 2 << " 1: 5";
    QTest::newRow("keeps last two hour places") << "123:5" << 2 << "23: 5";
    QTest::newRow("keeps last two minute places") << "1:605" << 2 << " 1:05";
    QTest::newRow("sixty minutes") << "0:60" << 2 << " 0:60";
    QTest::newRow("already full") << "01:55" << 2 << "01:55";
    QTest::newRow("four hour places") << "12:5" << 4 << "  12: 5";
    QTest::newRow("four, long hours") << "123456:7" << 4 << "3456: 7";
    QTest::newRow("four, zero") << "0:0" << 4 << "   0: 0";
    QTest::newRow("no colon fills hours") << "7" << 2 << " 7:  ";
    QTest::newRow("empty") << "" << 2 << "  :  ";
}

void TestPlatform::placeIntoMask()
{
    QFETCH(QString, text);
    QFETCH(int, hourPlaces);
    QFETCH(QString, masked);
    QCOMPARE(TimeText::placeIntoMask(text, hourPlaces), masked);
}

void TestPlatform::zeroFilled()
{
    QCOMPARE(TimeText::zeroFilled(QStringLiteral(" 1: 5")), QStringLiteral("01:05"));
    QCOMPARE(TimeText::zeroFilled(QStringLiteral("  12: 5")), QStringLiteral("0012:05"));
    QCOMPARE(TimeText::zeroFilled(TimeText::kEmpty), QStringLiteral("00:00"));
}

void TestPlatform::timeTextToHours_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("hours");

    QTest::newRow("hour and a half") << "01:30" << 1.5;
    QTest::newRow("blank padded") << " 0:45" << 0.75;
    QTest::newRow("twenty minutes") << "02:20" << 2.0 + 20.0 / 60.0;
    QTest::newRow("seconds ignored") << "1:30:59" << 1.5;
    QTest::newRow("empty mask") << "  :  " << 0.0;
    QTest::newRow("invalid") << "24:00" << 0.0;
    QTest::newRow("junk") << "ab:cd" << 0.0;
}

void TestPlatform::timeTextToHours()
{
    QFETCH(QString, text);
    QFETCH(double, hours);
    QCOMPARE(bits(TimeTextToHours(text)), bits(hours));
}

// ---------------------------------------------------------------- locale service

void TestPlatform::czechConventions()
{
    TestLocale czech;
    const auto &ls = LocaleService::instance();
    QCOMPARE(ls.shortDateFormat(), QStringLiteral("d.M.yyyy"));
    QCOMPARE(ls.decimalSeparator(), QChar(u','));
    QCOMPARE(ls.formatDate(QDate(2005, 5, 3)), QStringLiteral("3.5.2005"));
    QCOMPARE(ls.formatDate(QDate(2005, 12, 31)), QStringLiteral("31.12.2005"));
}

void TestPlatform::cLocaleGetsCzechConventions()
{
    TestLocale c(QLocale::c());
    const auto &ls = LocaleService::instance();
    QCOMPARE(ls.shortDateFormat(), QStringLiteral("d.M.yyyy"));
    QCOMPARE(ls.decimalSeparator(), QChar(u','));
    QCOMPARE(ls.parseDate(u"3.5.2005"), std::optional<QDate>(QDate(2005, 5, 3)));
    QVERIFY(ls.compareText(QStringLiteral("chata"), QStringLiteral("hrad")) > 0);
}

void TestPlatform::englishDateOrder()
{
    TestLocale english(QLocale(QLocale::English, QLocale::UnitedStates));
    const auto &ls = LocaleService::instance();
    QCOMPARE(ls.shortDateFormat(), QStringLiteral("M/d/yyyy"));
    QCOMPARE(ls.formatDate(QDate(2005, 5, 3)), QStringLiteral("5/3/2005"));
    QCOMPARE(ls.parseDate(u"5/3/2005"), std::optional<QDate>(QDate(2005, 5, 3)));
    QCOMPARE(ls.parseDate(u"12/31/2005"), std::optional<QDate>(QDate(2005, 12, 31)));
    QVERIFY(!ls.parseDate(u"31/12/2005"));
}

void TestPlatform::parseCzechDate_data()
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

void TestPlatform::parseCzechDate()
{
    QFETCH(QString, text);
    QFETCH(QDate, date);
    TestLocale czech;
    const auto r = LocaleService::instance().parseDate(text);
    QCOMPARE(r.has_value(), date.isValid());
    if (date.isValid())
        QCOMPARE(*r, date);
}

void TestPlatform::parseDateInLocale_data()
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

void TestPlatform::parseDateInLocale()
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

void TestPlatform::parseDateTime_data()
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

void TestPlatform::parseDateTime()
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

void TestPlatform::twoDigitYearFollowsToday()
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

void TestPlatform::widenYear_data()
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

void TestPlatform::widenYear()
{
    QFETCH(int, year);
    QFETCH(int, currentYear);
    QFETCH(int, widened);
    QCOMPARE(LocaleService::widenYear(year, currentYear), widened);
}

void TestPlatform::czechCollation_data()
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

void TestPlatform::czechCollation()
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

// ---------------------------------------------------------------- program folder

void TestPlatform::programFolderWritable()
{
    QTemporaryDir dir, user;
    QVERIFY(dir.isValid() && user.isValid());
    putFile(dir.filePath(QStringLiteral("default.tvl")), "x");
    const auto where = ProgramFolder::locate(dir.path(), user.path());
    QCOMPARE(where.folder, QDir::cleanPath(dir.path()) + u'/');
    QVERIFY(!where.moved);
    // The probe leaves nothing behind, and nothing is copied.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"default.tvl"});
    QCOMPARE(QDir(user.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    // A trailing separator is not doubled.
    QCOMPARE(ProgramFolder::locate(dir.path() + u'/', user.path()).folder, where.folder);
    // The per-user folder is trasovnik under the user's data folder.
    QCOMPARE(ProgramFolder::userDataFolder(),
             QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/trasovnik/");
}

void TestPlatform::programFolderFallsBack_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing folder") << "missing";
    QTest::newRow("a file, not a folder") << "file";
    QTest::newRow("read-only folder") << "readonly";
    // Installed for everybody: never the data folder, even for root.
    QTest::newRow("installed in /usr/bin") << "installed";
    QTest::newRow("a link to /usr/bin") << "link";
}

void TestPlatform::programFolderFallsBack()
{
    QFETCH(QString, kind);
    QTemporaryDir dir, user;
    QVERIFY(dir.isValid() && user.isValid());
    QString executableFolder = dir.filePath(QStringLiteral("sub"));
    if (kind == QLatin1String("file")) {
        putFile(executableFolder, "x");
    } else if (kind == QLatin1String("readonly")) {
        QVERIFY(QDir().mkdir(executableFolder));
        putFile(executableFolder + "/default.tvl", "jízdy");
        QVERIFY(QFile::setPermissions(executableFolder, QFile::ReadOwner | QFile::ExeOwner));
        if (::access(qPrintable(executableFolder), W_OK) == 0)
            QSKIP("the access bits do not stop this user (root); the program test covers it");
    } else if (kind == QLatin1String("installed")) {
        executableFolder = QStringLiteral("/usr/bin");
    } else if (kind == QLatin1String("link")) {
        QVERIFY(QFile::link(QStringLiteral("/usr/bin"), executableFolder));
    }
    const QString userFolder = user.filePath(QStringLiteral("trasovnik"));
    const auto where = ProgramFolder::locate(executableFolder, userFolder);
    if (kind == QLatin1String("readonly"))
        QFile::setPermissions(executableFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(where.folder, userFolder + u'/');
    QVERIFY(where.moved);
    QCOMPARE(where.installed, kind == QLatin1String("installed") || kind == QLatin1String("link"));
    QVERIFY(QFileInfo(where.folder).isDir());
    QCOMPARE(where.copied, kind == QLatin1String("readonly") ? QStringList{"default.tvl"} : QStringList());
    // Only the start that made the per-user folder is its first.
    QVERIFY(where.created);
    QVERIFY(!ProgramFolder::locate(executableFolder, userFolder).created);
}

void TestPlatform::dataFilesCopiedOnce()
{
    // The files beside the program are copied into the per-user folder,
    // but a file already there is the rider's newer one and stays.
    QTemporaryDir dir, user;
    QVERIFY(dir.isValid() && user.isValid());
    putFile(dir.filePath(QStringLiteral("default.tvl")), "jízdy");
    putFile(dir.filePath(QStringLiteral("trasy.ini")), "[stará]");
    putFile(dir.filePath(QStringLiteral("temp.html")), "<html>");
    QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("default.tvl")), QFile::ReadOwner | QFile::ReadOther));
    putFile(user.filePath(QStringLiteral("trasy.ini")), "[nová]");
    const auto where = ProgramFolder::moveToUserFolder(dir.path(), user.path());
    QCOMPARE(where.copied, QStringList{"default.tvl"});
    QVERIFY(where.notCopied.isEmpty());
    QCOMPARE(fileBytes(user.filePath(QStringLiteral("default.tvl"))), QByteArray("jízdy"));
    QCOMPARE(fileBytes(user.filePath(QStringLiteral("trasy.ini"))), QByteArray("[nová]"));
    QVERIFY(!QFile::exists(user.filePath(QStringLiteral("temp.html"))));
    // The copy can be saved over, even though the original was read-only.
    QVERIFY(QFileInfo(user.filePath(QStringLiteral("default.tvl"))).permission(QFile::WriteOwner));
    // A second start copies nothing.
    QVERIFY(ProgramFolder::moveToUserFolder(dir.path(), user.path()).copied.isEmpty());
}

// ---------------------------------------------------------------- error guard

void TestPlatform::runGuardedShowsFailure_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::newRow("AppError") << 0 << "Cannot open file /x/default.tvl";
    QTest::newRow("AppError with Czech text") << 0 << "Soubor tabulky udává příliš mnoho řádků";
    QTest::newRow("integer conversion") << 1 << "'x' is not a valid integer value";
    QTest::newRow("other exception") << 2 << "something broke";
    QTest::newRow("out of memory") << 3 << "Out of memory";
}

void TestPlatform::runGuardedShowsFailure()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    MessageRecorder recorder;
    bool after = false;
    const bool ok = runGuarded([&] {
        switch (kind) {
        case 0: throw AppError(text);
        case 1: throw invalidIntegerError(u"x");
        case 2: throw std::runtime_error(text.toStdString());
        default: throw std::bad_alloc();
        }
        after = true;
    });
    QVERIFY(!ok);
    QVERIFY(!after);
    QCOMPARE(recorder.shown.size(), 1);
    QCOMPARE(recorder.shown.at(0).first, Messages::Kind::Failure);
    QCOMPARE(recorder.shown.at(0).second, text);
}

void TestPlatform::runGuardedSuccess()
{
    MessageRecorder recorder;
    int runs = 0;
    QVERIFY(runGuarded([&] { ++runs; }));
    QCOMPARE(runs, 1);
    QVERIFY(recorder.shown.isEmpty());
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
