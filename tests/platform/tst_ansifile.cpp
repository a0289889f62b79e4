// Tests of AnsiFile: Windows-1250 text and its lines, read and written
// whole.

#include "AnsiFile.h"

#include "AppErrorOf.h"
#include "TestFiles.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
QByteArray hex(const char *h)
{
    return QByteArray::fromHex(h);
}
} // namespace

class TestAnsiFile : public QObject
{
    Q_OBJECT

private slots:
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
    void readMissingFile();
};

void TestAnsiFile::encodeDecode_data()
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

void TestAnsiFile::encodeDecode()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(AnsiFile::encode(text), bytes);
    QCOMPARE(AnsiFile::decode(bytes), text);
    QVERIFY(AnsiFile::isEncodable(text));
    QCOMPARE(AnsiFile::unencodableCharacters(text), QString());
}

void TestAnsiFile::everyByteRoundTrips()
{
    // Any file the program reads can be written back unchanged.
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = AnsiFile::decode(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(AnsiFile::encode(text), all);
}

void TestAnsiFile::undefinedBytesRoundTrip_data()
{
    QTest::addColumn<int>("byte");
    // The five bytes Windows-1250 leaves undefined.
    for (int b : {0x81, 0x83, 0x88, 0x90, 0x98})
        QTest::newRow(qPrintable(QStringLiteral("0x%1").arg(b, 2, 16))) << b;
}

void TestAnsiFile::undefinedBytesRoundTrip()
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

void TestAnsiFile::unencodableRefused_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("offending");

    QTest::newRow("emoji") << QStringLiteral("Výlet 😀") << QStringLiteral("😀");
    QTest::newRow("cyrillic") << QStringLiteral("Жабка") << QStringLiteral("Жабк");
    QTest::newRow("n tilde") << QStringLiteral("España") << QStringLiteral("ñ");
    QTest::newRow("chinese twice, listed once") << QStringLiteral("中a中") << QStringLiteral("中");
    QTest::newRow("two kinds") << QStringLiteral("α ž β") << QStringLiteral("αβ");
}

void TestAnsiFile::unencodableRefused()
{
    QFETCH(QString, text);
    QFETCH(QString, offending);
    QVERIFY(!AnsiFile::isEncodable(text));
    QCOMPARE(AnsiFile::unencodableCharacters(text), offending);
    const QString error = appErrorOf([&] { AnsiFile::encode(text); });
    QVERIFY2(error != QStringLiteral("<no AppError>"), qPrintable(text));
    QVERIFY2(error.contains(offending), qPrintable(error));
}

void TestAnsiFile::splitLines_data()
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

void TestAnsiFile::splitLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(AnsiFile::splitLines(text), lines);
}

void TestAnsiFile::writeLinesUsesCrLf()
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

void TestAnsiFile::readMissingFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("none.tvl"));
    QCOMPARE(appErrorOf([&] { AnsiFile::readBytes(path); }),
             QStringLiteral("Cannot open file %1").arg(path));
}

QTEST_GUILESS_MAIN(TestAnsiFile)
#include "tst_ansifile.moc"
