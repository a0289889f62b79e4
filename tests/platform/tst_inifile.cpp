// Tests of the INI file layer: lookups, the exact bytes a write or an
// erase leaves behind, integer texts and the writes it refuses.

#include "AnsiFile.h"
#include "AppError.h"
#include "IniFile.h"

#include "TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

namespace {
template<qsizetype N> // keeps NUL bytes
QByteArray raw(const char (&s)[N]) { return QByteArray(s, N - 1); }

// What another program does to a file between two reads, each leaving
// the size and the modification time as they were.
const char *const kChanges[] = {"rewritten in place", "replaced by a rename", "removed"};

void setTimes(const QString &path, const struct stat &st)
{
    const timespec times[2] = {st.st_atim, st.st_mtim};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}
} // namespace

class TestIniFile : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    // A path of its own for every case, holding `what`: file bytes,
    // "<missing>", "<folder>" or "<under file>" (the parent is a file).
    QString prepare(const QByteArray &what)
    {
        const QString path = m_dir.filePath(
            QStringLiteral("%1-%2").arg(QTest::currentTestFunction(), QTest::currentDataTag()));
        if (what == "<folder>")
            QDir().mkdir(path);
        else if (what == "<under file>")
            putFile(path, "x");
        else if (what != "<missing>")
            putFile(path, what);
        return what == "<under file>" ? path + u"/set.ini"_qs : path;
    }

private slots:
    void initTestCase()
    {
        for (const char *change : kChanges)
            putFile(m_dir.filePath(QString::fromLatin1(change)), "[a]\r\nk=1\r\n");
        // Past the file system's clock tick.
        QTest::qSleep(3100);
    }

    void reading_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("value"); // of key "k"
        QTest::addColumn<bool>("hasKeys");
        const QString big(5000, u'ž');
        QTest::newRow("czech letters fold") << AnsiFile::encode(u"[Říčany]\r\nk=Dvůr\r\n") << u" říčany "_qs << u"Dvůr"_qs << true;
        QTest::newRow("first section, first key") << raw("[a]\r\nk=1\r\nk=2\r\n[A]\r\nk=3") << u"A"_qs << u"1"_qs << true;
        QTest::newRow("trimmed, quotes kept") << raw("[a]\r\n k =  \"x y\" \t\r\n") << u"a"_qs << u"\"x y\""_qs << true;
        QTest::newRow("LF and CR ends, text after ]") << raw("[a] x\nb=1\rk=2") << u"a"_qs << u"2"_qs << true;
        QTest::newRow("[ without ] is no header") << raw("[a]\r\n[b\r\nk=1\r\n") << u"b"_qs << u"-"_qs << false;
        QTest::newRow("comments, keys before headers") << raw("k=0\r\n[a]\r\n;k=1\r\nk\r\n=2\r\n") << u"a"_qs << u"-"_qs << false;
        QTest::newRow("value read whole") << "[a]\r\nk= " + AnsiFile::encode(big) + "  \r\n" << u"a"_qs << big << true;
        QTest::newRow("missing file") << QByteArray("<missing>") << u"a"_qs << u"-"_qs << false;
        QTest::newRow("folder") << QByteArray("<folder>") << u"a"_qs << u"-"_qs << false;
    }
    void reading()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, section);
        const QString path = prepare(file);
        QTEST(IniFile::readString(path, section, u"K", u"-"_qs), "value");
        QTEST(IniFile::hasKeys(path, section), "hasKeys");
    }

    void sectionList()
    {
        const QString path = prepare(AnsiFile::encode(u"k=1\r\n[b]\r\n[ A ] x\r\n[B]\r\n[a\r\n[Ř]\r\n[ř]\r\n[]"));
        QCOMPARE(IniFile::sections(path), QStringList({u"b"_qs, u"A"_qs, u"Ř"_qs}));
    }

    // Every case-insensitive pair of Windows-1250 characters is one name,
    // as Qt's own comparison of texts has it, whose first spelling stays.
    void sectionListFoldsAsTextsCompare()
    {
        QByteArray file;
        for (int b = 0x21; b < 0x100; ++b)
            if (b != '[' && b != ']' && b != ';' && b != 0xa0)
                file += "[" + QByteArray(1, char(b)) + "]\r\n[" + QByteArray(1, char(b)) + "x]\r\n";
        QStringList expected;
        for (const QString &name : AnsiFile::decode(file).remove(u'[').split(u"]\r\n"_qs, Qt::SkipEmptyParts))
            if (!expected.contains(name, Qt::CaseInsensitive))
                expected.append(name);
        QCOMPARE(IniFile::sections(prepare(file)), expected);
    }

    // The parsed file may be kept between calls, but a change by another
    // program is always seen, even one that keeps the size and the
    // modification time. The files are older than the file system's clock
    // tick (see initTestCase), as a file that was kept would be.
    void changeBetweenReadsIsSeen_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow(kChanges[0]) << u"2"_qs;
        QTest::newRow(kChanges[1]) << u"2"_qs;
        QTest::newRow(kChanges[2]) << u"-"_qs;
    }
    void changeBetweenReadsIsSeen()
    {
        const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        QCOMPARE(IniFile::readString(path, u"a", u"k", u"-"_qs), u"1"_qs);
        struct stat before = {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &before), 0);
        const QByteArray changed("[a]\r\nk=2\r\n");
        if (QTest::currentDataTag() == QLatin1String(kChanges[0])) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QCOMPARE(f.write(changed), changed.size());
            f.close();
            setTimes(path, before);
        } else if (QTest::currentDataTag() == QLatin1String(kChanges[1])) {
            putFile(path + u".new"_qs, changed);
            setTimes(path + u".new"_qs, before);
            QCOMPARE(std::rename(QFile::encodeName(path + u".new"_qs).constData(), QFile::encodeName(path).constData()), 0);
        } else {
            QVERIFY(QFile::remove(path));
        }
        QTEST(IniFile::readString(path, u"a", u"k", u"-"_qs), "value");
        QCOMPARE(IniFile::sections(path).isEmpty(), QTest::currentDataTag() == QLatin1String(kChanges[2]));
    }

    void parseInteger_data()
    {
        QTest::addColumn<int>("value");
        const QList<std::pair<const char *, int>> cases = {
            {"12", 12}, {"+5", 5}, {"-3", -3}, {" 7 ", 7}, {"0x1F", 31}, {"0X7fffffff", INT_MAX},
            {"-2147483648", INT_MIN}, {"2147483648", -99}, {"0x80000000", -99}, {"0X", -99}, {"0x", -99},
            {"0x-1", -99}, {"12abc", -99}, {"abc", -99}, {"", -99}, {"-", -99}, {"1 2", -99}};
        for (const auto &[text, value] : cases)
            QTest::newRow(text) << value;
    }
    void parseInteger()
    {
        QTEST(IniFile::parseInteger(QString::fromLatin1(QTest::currentDataTag()), -99), "value");
    }

    // Rows without entries erase the section "b".
    void changes_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<IniFile::Entries>("entries");
        QTest::addColumn<QByteArray>("after");
        using E = IniFile::Entries;
        QTest::newRow("replace in place") << raw("; top\r\n[A]\n  Key = old ;x\r\nodd\x98\0\r[B]\r\nKey=b") << u"a"_qs
            << E{{u"KEY"_qs, u"new"_qs}} << raw("; top\r\n[A]\n  Key =new\r\nodd\x98\0\r[B]\r\nKey=b");
        QTest::newRow("first of two sections") << raw("[a]\r\nk=1\r\n[A]\r\nk=2\r\n") << u"A"_qs
            << E{{u"k"_qs, u"9"_qs}} << raw("[a]\r\nk=9\r\n[A]\r\nk=2\r\n");
        QTest::newRow("new key before blank lines") << raw("[a]\r\nx=1\r\n\r\n [b]\r\n") << u"a"_qs
            << E{{u"y"_qs, u"2"_qs}} << raw("[a]\r\nx=1\r\ny=2\r\n\r\n [b]\r\n");
        QTest::newRow("new key at unended end") << raw("[a]\nx=1") << u"a"_qs << E{{u"y"_qs, u"2"_qs}}
            << raw("[a]\nx=1\r\ny=2\r\n");
        QTest::newRow("new section, cp1250") << raw("[a]\r\nx=1") << u" Nová "_qs << E{{u" k "_qs, u"Třebíč"_qs}}
            << raw("[a]\r\nx=1\r\n[Nov\xe1]\r\nk=T\xf8" "eb\xed\xe8\r\n");
        QTest::newRow("missing file, several entries") << QByteArray("<missing>") << u"a"_qs
            << E{{u"x"_qs, u"1\r\n2"_qs}, {u"y"_qs, u"3"_qs}, {u"Y"_qs, u" 4"_qs}} << raw("[a]\r\nx=1  2\r\ny= 4\r\n");
        QTest::newRow("erase middle") << raw("[a]\r\nk=1\r\n\r\n[B]\n;c\nk=2\r\n[c]\rk=3") << u"b"_qs << E{}
            << raw("[a]\r\nk=1\r\n\r\n[c]\rk=3");
        QTest::newRow("erase last and duplicate") << raw("x\n[b]\r\nk=1\r\n[a]\r\n[ B ]\r\nk=2") << u"b"_qs << E{}
            << raw("x\n[a]\r\n");
        QTest::newRow("erase in missing file") << QByteArray("<missing>") << u"b"_qs << E{} << QByteArray("<missing>");
    }
    void changes()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(IniFile::Entries, entries);
        const QString path = prepare(before);
        if (entries.isEmpty())
            IniFile::eraseSection(path, section);
        else
            IniFile::writeStrings(path, section, entries);
        QTEST(fileBytes(path), "after");
    }

    void refused_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("error"); // "@" stands for the path
        QTest::newRow("folder at the path") << QByteArray("<folder>") << u"a"_qs << u"k"_qs << u"Unable to write to @"_qs;
        QTest::newRow("parent is a file") << QByteArray("<under file>") << u"a"_qs << u"k"_qs << u"Unable to write to @"_qs;
        int n = 0;
        for (const QString &s : {u"a]"_qs, u"[a"_qs, u" "_qs, u"a\nb"_qs})
            QTest::addRow("section %d", ++n) << raw("[a]\r\n") << s << u"k"_qs << u"Invalid section name"_qs;
        for (const QString &k : {u"a=b"_qs, u" ;k"_qs, u"[k"_qs, u" "_qs, u"k\r"_qs})
            QTest::addRow("key %d", ++n) << raw("[a]\r\n") << u"a"_qs << k << u"Invalid key name"_qs;
    }
    void refused()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, error);
        const QString path = prepare(before);
        const auto snapshot = [&] { return QFileInfo(path).isDir() ? QByteArray("<folder>") : fileBytes(path); };
        const QByteArray was = snapshot();
        const auto failure = [](auto action) -> QString {
            try { action(); } catch (const AppError &e) { return e.text(); }
            return u"<no error>"_qs;
        };
        error.replace(u'@', path);
        QCOMPARE(failure([&] { IniFile::writeString(path, section, key, u"v"_qs); }), error);
        if (QFileInfo(path).isDir())
            QCOMPARE(failure([&] { IniFile::eraseSection(path, section); }), error);
        QCOMPARE(snapshot(), was);
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
