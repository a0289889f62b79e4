#include "AnsiFile.h"
#include "CsvFile.h"
#include "HtmlPage.h"
#include "HtmlSettings.h"
#include "HtmlTable.h"
#include "HtmlText.h"
#include "StringTable.h"
#include "TestFiles.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPalette>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QStringList kHeadings = {u"Datum"_qs, u"Název"_qs, u"Průběh trasy"_qs, u"Km"_qs,
                               u"Čas"_qs, u"km/h"_qs, u"1-5"_qs};
const QString kCourse = u"Lhota - Ves - Hora - Brod - Les - Lhota"_qs; // 39 characters

// The heading row and the given rides; column 0 is 62 pixels wide.
void fillLog(StringTable &g, const QList<QStringList> &rides)
{
    g.setTableColumnCount(7);
    g.setTableRowCount(1 + int(rides.size()));
    g.setColumnWidth(0, 62);
    g.setRowTexts(0, kHeadings);
    for (int r = 0; r < rides.size(); ++r)
        g.setRowTexts(r + 1, rides[r]);
}

// Windows-1250 bytes with CR LF after every line, as the lines they hold
// (decoded by the toolkit's own codec, not the program's).
QStringList linesOf(const QByteArray &bytes)
{
    QStringDecoder dec("windows-1250");
    QStringList lines = QString(dec.decode(bytes)).split(u"\r\n"_qs);
    if (dec.hasError() || lines.takeLast() != QString())
        qFatal("linesOf(): the bytes do not decode or do not end with CR LF");
    return lines;
}

QStringList tableLines(const StringTable &g, bool wrap, int cut)
{
    QByteArray bytes;
    HtmlText::Cp1250Sink sink(bytes);
    HtmlTable::write(g, {.wrapCells = wrap, .cutLength = cut}, sink);
    return linesOf(bytes);
}

QStringList pageLines(const HtmlSettings &settings, const StringTable &g)
{
    return linesOf(HtmlPage::bytes(settings, g));
}
} // namespace

class TestHtmlExport : public QObject
{
    Q_OBJECT
private slots:
    void exampleTable_data();
    void exampleTable();
    void bodyCells_data();
    void bodyCells();
    void captionAndHeadings();
    void factoryPage();
    void pageFollowsSettings();
    void pageBytesEscapeTexts_data();
    void pageBytesEscapeTexts();
    void fontNames_data();
    void fontNames();
    void colorToHtml_data();
    void colorToHtml();
    void settingsFile();
    void unwritablePreviewIsReported();
    void csvReadsBackInAnotherParser();
    void bikeColumn();
};

void TestHtmlExport::exampleTable_data()
{
    QTest::addColumn<bool>("wrap");
    QTest::addColumn<QString>("open");
    QTest::addColumn<QString>("course");
    QTest::newRow("cut") << false << u"<td nowrap>"_qs << u"Lhota - Ves - Hora - Brod - Les - Lh..."_qs;
    QTest::newRow("wrap") << true << u"<td>"_qs << kCourse;
}

void TestHtmlExport::exampleTable()
{
    QFETCH(bool, wrap);
    QFETCH(QString, open);
    QFETCH(QString, course);
    StringTable g;
    fillLog(g, {{u"3.5.2005"_qs, u"Okruh"_qs, kCourse, u"42,5"_qs, u"01:55"_qs, u"22,2"_qs, u"3"_qs}});
    QStringList expected = {u"<table cellspacing = 0 cellpadding=3>"_qs, u"<tr>"_qs,
                            u"<th nowrap width=67>Datum</th>"_qs};
    for (int c = 1; c < 7; ++c)
        expected << u"<th nowrap width=69>%1</th>"_qs.arg(kHeadings[c]);
    expected << u"</tr>"_qs << u"<tr>"_qs;
    for (const QString &t : {u"3.5.2005"_qs, u"Okruh"_qs, course, u"42,5"_qs, u"01:55"_qs, u"22,2"_qs, u"3"_qs})
        expected << open + t + u"</td>"_qs;
    expected << u"</tr>"_qs << u"</table>"_qs;
    QCOMPARE(tableLines(g, wrap, 36), expected);
}

void TestHtmlExport::bodyCells_data()
{
    QTest::addColumn<bool>("wrap");
    QTest::addColumn<int>("cut");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("line");
    QTest::newRow("exact length stays whole") << false << 5 << u"abcde"_qs << u"<td nowrap>abcde</td>"_qs;
    QTest::newRow("one more is cut") << false << 5 << u"abcdef"_qs << u"<td nowrap>abcde...</td>"_qs;
    QTest::newRow("cut 0") << false << 0 << u"a"_qs << u"<td nowrap>...</td>"_qs;
    QTest::newRow("negative cut") << false << -3 << u"ab"_qs << u"<td nowrap>...</td>"_qs;
    QTest::newRow("empty, cut") << false << 0 << QString() << u"<td nowrap><br></td>"_qs;
    QTest::newRow("empty, wrap") << true << 0 << QString() << u"<td><br></td>"_qs;
    QTest::newRow("wrap never cuts") << true << 2 << u"abcdef"_qs << u"<td>abcdef</td>"_qs;
    QTest::newRow("markup escaped") << true << 9 << u"Brno <-> Praha & <b>"_qs
                                    << u"<td>Brno &lt;-&gt; Praha &amp; &lt;b&gt;</td>"_qs;
    QTest::newRow("cut before escaping") << false << 3 << u"a&b<c"_qs << u"<td nowrap>a&amp;b...</td>"_qs;
    QTest::newRow("outside the code page") << true << 9 << u"Ж😀"_qs << u"<td>&#1046;&#128512;</td>"_qs;
    QTest::newRow("cut between characters") << false << 2 << u"a😀b"_qs << u"<td nowrap>a...</td>"_qs;
}

void TestHtmlExport::bodyCells()
{
    QFETCH(bool, wrap);
    QFETCH(int, cut);
    QFETCH(QString, text);
    QFETCH(QString, line);
    StringTable g;
    g.setTableColumnCount(1);
    g.setTableRowCount(2);
    g.setCell(0, 1, text);
    const QStringList lines = tableLines(g, wrap, cut);
    QCOMPARE(lines.size(), 8);
    QCOMPARE(lines[5], line);
}

void TestHtmlExport::captionAndHeadings()
{
    StringTable g;
    fillLog(g, {});
    g.setCell(2, 0, QString());
    g.setCaption(u"Jízdy 2005 <&>"_qs);
    QByteArray bytes("p\xf8" "ed\r\n");
    HtmlText::Cp1250Sink sink(bytes);
    HtmlTable::write(g, {.wrapCells = false}, sink);
    const QStringList lines = linesOf(bytes);
    QCOMPARE(lines.size(), 1 + 1 + 1 + 1 + 7 + 1 + 1);
    QCOMPARE(lines[0], u"před"_qs);
    QCOMPARE(lines[2], u"<tr><th nowrap colspan=6>Jízdy 2005 &lt;&amp;&gt;</th></tr>"_qs);
    QCOMPARE(lines[6], u"<th nowrap width=69><br></th>"_qs);
    QCOMPARE(lines.mid(11), (QStringList{u"</tr>"_qs, u"</table>"_qs}));
}

void TestHtmlExport::factoryPage()
{
    StringTable g;
    fillLog(g, {{u"3.5.2005"_qs, u"Okruh"_qs, kCourse, u"42,5"_qs, u"01:55"_qs, u"22,2"_qs, u"3"_qs}});
    const QStringList head = {
        u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">"_qs,
        u"<HTML><head><TITLE>Trasovník HTML výstup</TITLE>"_qs,
        u" <META NAME=\"TITLE\" CONTENT=\"Trasovník HTML výstup\">"_qs,
        u" <META NAME=\"DESCRIPTION\" CONTENT=\"Trasovník - https://trasovnik.example.org\">"_qs,
        u" <META NAME=\"Author\" CONTENT=\"Halvorn Software\">"_qs,
        u" <META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1250\">"_qs,
        u" <META HTTP-EQUIV=\"CONTENT-LANGUAGE\" CONTENT=\"CS\">"_qs,
        u"<STYLE>"_qs,
        u" body {"_qs,
        u"        font-family: 'Arial';"_qs,
        u"        font-size: 10pt;"_qs,
        u"        background: #FFFFFF;"_qs,
        u"        color: #000000;"_qs,
        u"}"_qs,
        u" table {"_qs,
        u"        font-family: 'Arial';"_qs,
        u"        font-size: 8pt;"_qs,
        u"        background: #FEFEF1;"_qs,
        u"        color: #000000;"_qs,
        u"        border-right:1px solid #000000;"_qs,
        u"        border-bottom:1px solid #000000;"_qs,
        u"}"_qs,
        u" TD,TH  {"_qs,
        u"        text-align: left;"_qs,
        u"        border-left:1px solid #000000;"_qs,
        u"        border-top:1px solid #000000;"_qs,
        u"}"_qs,
        u"</STYLE>"_qs,
        u"</head>"_qs,
        u"<body>"_qs,
        u"<center>Trasovník HTML výstup<br><br>"_qs,
    };
    QStringList expected = head;
    expected += tableLines(g, false, 36);
    expected << u"</center></body></html>"_qs;

    QCOMPARE(pageLines(HtmlSettings(), g), expected);

    QTemporaryDir dir;
    QString shown;
    BuildHtmlPage(HtmlSettings(), g, ProgramFolder::Location::inFolder(dir.path()), [&](const QString &p) { shown = p; });
    QCOMPARE(shown, dir.filePath(u"temp.html"_qs));
    QStringDecoder dec("windows-1250");
    const QByteArray onDisk = fileBytes(shown);
    QCOMPARE(QString(dec.decode(onDisk)), expected.join(u"\r\n"_qs) + u"\r\n"_qs);
    QVERIFY(!dec.hasError());
    // "í" and "ý" as single Windows-1250 bytes.
    QVERIFY(onDisk.startsWith("<!DOCTYPE") && onDisk.contains("Trasovn\xedk HTML v\xfdstup</TITLE>\r\n"));
}

void TestHtmlExport::pageFollowsSettings()
{
    StringTable g;
    fillLog(g, {{u"x"_qs, u"y"_qs, kCourse}});
    HtmlSettings s;
    s.title = u"A & <B>"_qs;
    s.titleFontName = u"DejaVu Sans"_qs;
    s.tableFontSize = -3;
    s.borderSize = 0;
    s.borderColour = 0x0000FF;
    s.cutLongTexts = false;
    s.cutLength = 2;
    const QStringList lines = pageLines(s, g);
    QCOMPARE(lines[1], u"<HTML><head><TITLE>A &amp; &lt;B&gt;</TITLE>"_qs);
    QCOMPARE(lines[2], u" <META NAME=\"TITLE\" CONTENT=\"Trasovník HTML výstup\">"_qs);
    QCOMPARE(lines[9], u"        font-family: 'DejaVu Sans';"_qs);
    QCOMPARE(lines[16], u"        font-size: -3pt;"_qs);
    for (int i : {19, 20, 24, 25})
        QVERIFY2(lines[i].endsWith(u":0px solid #FF0000;"), qPrintable(lines[i]));
    QCOMPARE(lines[30], u"<center>A &amp; &lt;B&gt;<br><br>"_qs);
    QVERIFY(lines.contains(u"<td>"_qs + kCourse + u"</td>"_qs));

    s.title.clear();
    QCOMPARE(pageLines(s, g)[30], u"<center><br><br>"_qs);
}

// The page's own bytes (not only its lines) turn every text put into it
// into character data: the title, the caption, the headings and the cells,
// cut or whole.
void TestHtmlExport::pageBytesEscapeTexts_data()
{
    QTest::addColumn<bool>("cutLongTexts");
    QTest::addColumn<QByteArray>("cell");
    QTest::newRow("cells cut") << true << QByteArray("<td nowrap>a&lt;b&gt;&amp;c &#1046;&#128512;...</td>");
    QTest::newRow("cells whole") << false << QByteArray("<td>a&lt;b&gt;&amp;c &#1046;&#128512;x</td>");
}

void TestHtmlExport::pageBytesEscapeTexts()
{
    QFETCH(bool, cutLongTexts);
    QFETCH(QByteArray, cell);
    const QString text = u"a<b>&c Ж😀"_qs;
    const QByteArray escaped = "a&lt;b&gt;&amp;c &#1046;&#128512;";
    StringTable g;
    fillLog(g, {{text + u'x'}});
    g.setCell(1, 0, text);
    g.setCaption(text);
    HtmlSettings s;
    s.title = text;
    s.cutLongTexts = cutLongTexts;
    s.cutLength = int(text.size());
    const QByteArray page = HtmlPage::bytes(s, g);
    for (const QByteArray &where : {"<TITLE>" + escaped + "</TITLE>\r\n", "<center>" + escaped + "<br><br>\r\n",
                                    "colspan=6>" + escaped + "</th></tr>\r\n", ">" + escaped + "</th>\r\n",
                                    cell + "\r\n"})
        QVERIFY2(page.contains(where), where.constData());
    QVERIFY(!page.contains("<b>") && !page.contains("&c"));
    QCOMPARE(linesOf(page).last(), u"</center></body></html>"_qs);

    // The sink's array holds exactly what was written while the sink is
    // still alive: a page returned from under it is whole, copy elided or
    // not.
    QByteArray out("x");
    HtmlText::Cp1250Sink sink(out);
    sink.text(text);
    sink.endLine();
    QCOMPARE(out, "x" + escaped + "\r\n");
}

// Font names, from store.ini or given to the builder, keep only what a CSS
// family name holds and are quoted in the style sheet.
void TestHtmlExport::fontNames_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << QByteArray("DejaVu Sans") << u"DejaVu Sans"_qs;
    QTest::newRow("Czech letters, digits, - and _") << QByteArray("\x8elu\x9dou\xe8k\xfd k\xf9\xf2-2_b")
                                                    << u"Žluťoučký kůň-2_b"_qs;
    QTest::newRow("end of the style sheet") << QByteArray("X</STYLE><script>alert(1)</script>")
                                            << u"XSTYLEscriptalert1script"_qs;
    QTest::newRow("end of the quote and rule") << QByteArray("A'; } body {color:red") << u"A  body colorred"_qs;
    QTest::newRow("nothing left") << QByteArray("\"<>\"") << QString();
}

void TestHtmlExport::fontNames()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, name);
    QTemporaryDir dir;
    const QString ini = dir.filePath(u"store.ini"_qs);
    putFile(ini, "[HtmlSet]\r\nFontTableName=" + stored + "\r\n");
    QStringList cleaned;
    const HtmlSettings read = HtmlSettingsFile::load(ini, &cleaned);
    QCOMPARE(read.tableFontName, name);
    QCOMPARE(cleaned, name == AnsiFile::decode(stored) ? QStringList() : QStringList{AnsiFile::decode(stored)});
    StringTable g;
    const QString line = u"        font-family: '"_qs + name + u"';"_qs;
    QCOMPARE(pageLines(read, g)[15], line);
    // The builder quotes only what a family name holds, whatever it is given.
    HtmlSettings given;
    given.tableFontName = AnsiFile::decode(stored);
    QCOMPARE(pageLines(given, g)[15], line);
}

void TestHtmlExport::colorToHtml_data()
{
    QTest::addColumn<qint32>("color");
    QTest::addColumn<QString>("html");
    QTest::newRow("red") << qint32(255) << u"#FF0000"_qs;
    QTest::newRow("blue") << qint32(0xFF0000) << u"#0000FF"_qs;
    QTest::newRow("pale yellow") << qint32(15859454) << u"#FEFEF1"_qs;
    QTest::newRow("bits 24-30") << qint32(0x7F123456) << u"#563412"_qs;
    QTest::newRow("button face") << qint32(0x8000000F) << u"#102030"_qs;
    QTest::newRow("window text, high bits") << qint32(0x81FFFF08) << u"#A0B0C0"_qs;
    QTest::newRow("no such system colour") << qint32(0x800000FF) << u"#000000"_qs;
}

void TestHtmlExport::colorToHtml()
{
    QFETCH(qint32, color);
    QFETCH(QString, html);
    QPalette p = QGuiApplication::palette();
    p.setColor(QPalette::Button, QColor(0x10, 0x20, 0x30));
    p.setColor(QPalette::Text, QColor(0xA0, 0xB0, 0xC0));
    QGuiApplication::setPalette(p);
    QCOMPARE(ColorToHtml(color), html);
}

void TestHtmlExport::settingsFile()
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(u"store.ini"_qs);
    putFile(ini, "[TForm1]\r\nVisible=1\r\n");
    QCOMPARE(HtmlSettingsFile::load(ini), HtmlSettings());

    HtmlSettingsFile::save(ini, HtmlSettings());
    QCOMPARE(fileBytes(ini), QByteArray("[TForm1]\r\nVisible=1\r\n[HtmlSet]\r\n"
                                        "FontTableName=Arial\r\nFontTableSize=8\r\nFontTableColor=0\r\n"
                                        "FontTitleName=Arial\r\nFontTitleSize=10\r\nFontTitleColor=0\r\n"
                                        "BorderSize=1\r\nBorderColor=0\r\nTableColor=15859454\r\n"
                                        "BodyColor=16777215\r\nTitle=Trasovn\xedk HTML v\xfdstup\r\n"
                                        "usewrap=1\r\nzkraceni=36\r\n"));

    HtmlSettings s;
    s.tableFontName = u"Liberation Serif"_qs;
    s.titleFontColour = qint32(0x80000008);
    s.borderSize = 25;
    s.title = u"Jízdy"_qs;
    s.cutLongTexts = false;
    s.cutLength = -4;
    HtmlSettingsFile::save(ini, s);
    QCOMPARE(HtmlSettingsFile::load(ini), s);
    QVERIFY(fileBytes(ini).contains("FontTitleColor=-2147483640\r\n"));

    // Words that are not whole numbers take the factory value; any other
    // number than 0 means no wrapping.
    putFile(ini, "[htmlset]\r\nBorderSize=abc\r\nusewrap=2\r\nzkraceni=0x10\r\nTitle=\r\n");
    const HtmlSettings read = HtmlSettingsFile::load(ini);
    QCOMPARE(read.borderSize, 1);
    QCOMPARE(read.cutLongTexts, true);
    QCOMPARE(read.cutLength, 16);
    QCOMPARE(read.title, QString());

    HtmlSettingsFile::erase(ini);
    QCOMPARE(fileBytes(ini), QByteArray());
}

void TestHtmlExport::unwritablePreviewIsReported()
{
    QTemporaryDir dir;
    StringTable g;
    fillLog(g, {});
    // The "folder" is a file: temp.html cannot be created in it.
    const QString notAFolder = dir.filePath(u"file"_qs);
    putFile(notAFolder, "x");
    QString shown;
    const BuiltPage built = BuildHtmlPage(HtmlSettings(), g, ProgramFolder::Location::inFolder(notAFolder), [&](const QString &p) { shown = p; });
    QCOMPARE(built.failure, u"Cannot create file "_qs + notAFolder + u"/temp.html"_qs);
    QCOMPARE(built.bytes, HtmlPage::bytes(HtmlSettings(), g));
    QCOMPARE(shown, QString());
    QCOMPARE(fileBytes(notAFolder), QByteArray("x"));
}

// The CSV of a log with awkward texts, read by Python's csv module (the
// parser spreadsheets' import follows), gives back every cell.
void TestHtmlExport::csvReadsBackInAnotherParser()
{
    StringTable g;
    fillLog(g, {{u"3.5.2005"_qs, u"Brno; Tišnov"_qs, u"Řekl \"jeď\"; pak \"\""_qs, u"25,5"_qs, u"01:05"_qs, u"23,54"_qs,
                 u"2"_qs},
                {u"4.5.2005"_qs, u" Žďár nad Sázavou "_qs, u"dva\r\nřádky"_qs, u""_qs, u"  :  "_qs, u"="_qs, u"\""_qs},
                {u""_qs, u"jen\nLF"_qs, u"jen\rCR"_qs, u"-1"_qs, u""_qs, u"'x'"_qs, u";"_qs}});
    const QByteArray csv = CsvFile::bytes(g);
    QVERIFY(csv.startsWith("\xEF\xBB\xBF" "Datum;N\xC3\xA1zev;Pr\xC5\xAF" "b\xC4\x9Bh trasy;Km;\xC4\x8C" "as;km/h;1-5\r\n"));
    // Fields without ";", quotes or line breaks stay bare.
    QVERIFY(csv.contains("\r\n3.5.2005;\"Brno; Ti\xC5\xA1nov\";"));
    QVERIFY(csv.contains(";25,5;01:05;23,54;2\r\n"));
    QVERIFY(csv.endsWith(";\"jen\rCR\";-1;;'x';\";\"\r\n"));

    QTemporaryDir dir;
    const QString path = dir.filePath(u"jizdy.csv"_qs);
    CsvFile::write(path, g);
    QCOMPARE(fileBytes(path), csv);
    QProcess python;
    python.start(u"python3"_qs,
                 {u"-c"_qs, u"import csv, json, sys\n"
                            "with open(sys.argv[1], encoding='utf-8-sig', newline='') as f:\n"
                            "    rows = list(csv.reader(f, delimiter=';', lineterminator='\\r\\n', strict=True))\n"
                            "sys.stdout.write(json.dumps(rows))\n"_qs,
                  path});
    QVERIFY2(python.waitForFinished(30000) && python.exitCode() == 0, python.readAllStandardError().constData());
    const QJsonArray rows = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    QCOMPARE(rows.size(), g.tableRowCount());
    for (int r = 0; r < g.tableRowCount(); ++r) {
        QStringList read;
        for (const auto &v : rows[r].toArray())
            read << v.toString();
        QCOMPARE(read, g.rowTexts(r));
    }
}

// A log with the bikes' column: the page and the CSV show it as the eighth.
void TestHtmlExport::bikeColumn()
{
    StringTable g;
    fillLog(g, {{u"3.5.2005"_qs, u"Okruh"_qs, QString(), u"25,5"_qs, u"01:05"_qs, u"23,54"_qs, u"2"_qs}});
    g.setTableColumnCount(8);
    g.setCell(7, 0, u"Kolo"_qs);
    g.setCell(7, 1, u"Babiččino <staré>"_qs);
    const QStringList lines = tableLines(g, false, 100);
    QVERIFY2(lines.contains(u"<th nowrap width=69>Kolo</th>"_qs), qPrintable(lines.join(u'\n')));
    QVERIFY2(lines.contains(u"<td nowrap>Babiččino &lt;staré&gt;</td>"_qs), qPrintable(lines.join(u'\n')));
    const QByteArray csv = CsvFile::bytes(g);
    QVERIFY(csv.contains(";1-5;Kolo\r\n"));
    QVERIFY(csv.endsWith(";2;Babi\xC4\x8D\xC4\x8Dino <star\xC3\xA9>\r\n"));
}

QTEST_MAIN(TestHtmlExport)
#include "tst_htmlexport.moc"
