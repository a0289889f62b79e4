// Tests of the string table: its table file (bytes, loading rules, errors),
// the table model rules, headings, row removal, automatic backup, loading
// and saving, and the view that shows it.

#include "AppError.h"
#include "MessageRecorder.h"
#include "TestFiles.h"
#include "AnsiFile.h"
#include "StringTable.h"
#include "TableFile.h"
#include "StringTableView.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <numeric>
#include <random>

Q_DECLARE_METATYPE(StringTable::SecondCaptionPlacement)

namespace {

// Windows-1250 bytes of the few accented letters the tests use, from the
// code chart; kept apart from the program's own encoder on purpose.
QByteArray cp1250(const QString &text)
{
    static const QHash<char16_t, char> map = {
        {u'á', '\xe1'}, {u'é', '\xe9'}, {u'í', '\xed'}, {u'ó', '\xf3'}, {u'ú', '\xfa'},
        {u'ů', '\xf9'}, {u'ý', '\xfd'}, {u'č', '\xe8'}, {u'ď', '\xef'}, {u'ě', '\xec'},
        {u'ň', '\xf2'}, {u'ř', '\xf8'}, {u'š', '\x9a'}, {u'ť', '\x9d'}, {u'ž', '\x9e'},
        {u'Č', '\xc8'}, {u'Ř', '\xd8'}, {u'Š', '\x8a'}, {u'Ž', '\x8e'}, {u'Ú', '\xda'},
    };
    QByteArray out;
    for (QChar c : text) {
        if (c.unicode() < 0x80)
            out.append(char(c.unicode()));
        else if (map.contains(c.unicode()))
            out.append(map.value(c.unicode()));
        else
            qFatal("cp1250(): no byte for U+%04X in the test table", c.unicode());
    }
    return out;
}

// The lines, each followed by CR LF, in Windows-1250.
QByteArray fileOf(const QStringList &lines)
{
    QByteArray out;
    for (const QString &l : lines)
        out += cp1250(l) + "\r\n";
    return out;
}


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

const QStringList kHeadings = {QStringLiteral("Datum"), QStringLiteral("Název"),
                               QStringLiteral("Průběh trasy"), QStringLiteral("Km"),
                               QStringLiteral("Čas"), QStringLiteral("km/h"),
                               QStringLiteral("1-5")};

// The example ride log: a heading row and two rides, the second without
// a course.
const QStringList kExampleLines = {
    QStringLiteral("|"),
    QStringLiteral("3|7"),
    QStringLiteral("18"),
    QString(),
    QString(),
    QStringLiteral("Top"),
    QStringLiteral("Column 0 Width: 62"),
    QStringLiteral("0|0|Datum"),
    QStringLiteral("1|0|Název"),
    QStringLiteral("2|0|Průběh trasy"),
    QStringLiteral("3|0|Km"),
    QStringLiteral("4|0|Čas"),
    QStringLiteral("5|0|km/h"),
    QStringLiteral("6|0|1-5"),
    QStringLiteral("0|1|3.5.2005"),
    QStringLiteral("1|1|Okruh"),
    QStringLiteral("2|1|Lhota - Ves - Lhota"),
    QStringLiteral("3|1|42,5"),
    QStringLiteral("4|1|01:55"),
    QStringLiteral("5|1|22,2"),
    QStringLiteral("6|1|3"),
    QStringLiteral("0|2|7.5.2005"),
    QStringLiteral("1|2|Do práce"),
    QStringLiteral("3|2|12"),
    QStringLiteral("4|2|00:40"),
    QStringLiteral("5|2|18"),
    QStringLiteral("6|2|1"),
    QString(),
};

const QStringList kRide1 = {"3.5.2005", "Okruh", "Lhota - Ves - Lhota", "42,5", "01:55", "22,2", "3"};
const QStringList kRide2 = {"7.5.2005", "Do práce", "", "12", "00:40", "18", "1"};

// A grid as the ride log window sets it up.
std::unique_ptr<StringTable> rideLogGrid()
{
    auto g = std::make_unique<StringTable>();
    g->setAutoBackup(false);
    g->setTableColumnCount(7);
    g->setTableRowCount(2);
    g->setHeadingColumns(0);
    g->setDefaultRowHeight(18);
    g->setColumnWidth(0, 62);
    g->setColumnHeadings(kHeadings);
    return g;
}

std::unique_ptr<StringTable> plainGrid()
{
    auto g = std::make_unique<StringTable>();
    g->setAutoBackup(false);
    return g;
}

// Loads the given lines, written with CR LF, through a file.
void loadLines(StringTable &g, const QTemporaryDir &dir, const QStringList &lines)
{
    const QString path = dir.filePath(QStringLiteral("load.tvl"));
    putFile(path, fileOf(lines));
    TableFile::load(g, path);
}

QStringList allCells(const StringTable &g)
{
    QStringList out;
    for (int r = 0; r < g.tableRowCount(); ++r)
        out += g.rowTexts(r);
    return out;
}
} // namespace

class TestTable : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // Table file
    void exampleSavedByteForByte();
    void exampleLoads();
    void roundTripKeepsEverything();
    void savingEmptyTable();
    void sizeLinesOnlyForNonDefaultSizes();
    void delimiterFromLineOne();
    void countsFromLineTwo();
    void defaultHeightDiscardsRowHeights();
    void captionsAndPlacement_data();
    void captionsAndPlacement();
    void sizeLinesInAnyOrder();
    void delimiterInsideCellText();
    void lineBreakInsideCellText();
    void linesWithoutDelimiterSkipped();
    void loadingKeepsUnmentionedCells();
    void widthEqualToDefaultComesBack();
    void shortFiles_data();
    void shortFiles();
    void oneRowFileLowersFixedRows();
    void lineEndsOfEveryKind_data();
    void lineEndsOfEveryKind();
    void missingOrEmptyFileDoesNothing();
    void leftOutLinesAreReported_data();
    void leftOutLinesAreReported();
    void cellsInAnyOrder();
    void loadErrors_data();
    void loadErrors();
    void loadErrorShownByGuard();
    void absurdCountsRefused_data();
    void absurdCountsRefused();
    void sizesClampedOnLoad();
    void farColumnsLoad();
    void unencodableCellLeavesFileAlone();

    // Table model
    void countsNeverBelowOne();
    void fixedCountsLowered();
    void sizesOutOfRange();
    void rowsAndColsAssignment();
    void modelShowsNonFixedCells();

    // Backup, file name, lifetime
    void autoBackupKeepsPreviousFile();
    void backupReplacesLastExtensionOnly_data();
    void backupReplacesLastExtensionOnly();
    void noBackupWhenOff();
    void destroyedTableWritesNothing();
    void saveWritesFileOrFails();
    void loadAndSaveRoundTrip();

    // Rows, headings, cells
    void removeRow_data();
    void removeRow();
    void removeRowKeepsHeights();
    void removeOnlyRow();
    void removeRowDownToFixedRows();
    void rowOperationsMatchAPlainList_data();
    void rowOperationsMatchAPlainList();
    void applyHCol();
    void applyHRow();
    void setCellIfChanged();
    void loadedHeadingsWinOverFile();

    // View
    void viewHeaderShowsHeadings();
    void viewColumnWidths();
    void viewCurrentRow();
    void viewMouseToCell();
    void viewAccessibility();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestTable::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestTable::cleanup()
{
    m_dir.reset();
}

// ---------------------------------------------------------------- table file

void TestTable::exampleSavedByteForByte()
{
    auto g = rideLogGrid();
    g->setTableRowCount(3);
    g->setRowTexts(1, kRide1);
    g->setRowTexts(2, kRide2);
    const QString path = m_dir->filePath(QStringLiteral("default.tvl"));
    TableFile::save(*g, path);

    const QByteArray expected = fileOf(kExampleLines);
    QCOMPARE(kExampleLines.size(), 28);
    // Spot checks of the encoding, independent of the helper.
    QVERIFY(expected.contains(QByteArray("1|0|N\xe1zev\r\n")));
    QVERIFY(expected.contains(QByteArray("4|0|\xc8" "as\r\n")));
    QVERIFY(expected.endsWith("6|2|1\r\n\r\n"));
    QCOMPARE(fileBytes(path), expected);
}

void TestTable::exampleLoads()
{
    const QString path = m_dir->filePath(QStringLiteral("default.tvl"));
    putFile(path, fileOf(kExampleLines));
    auto g = plainGrid(); // 5 x 5, row height 21, column 0 width 21
    TableFile::load(*g, path);

    QCOMPARE(g->tableRowCount(), 3);
    QCOMPARE(g->tableColumnCount(), 7);
    QCOMPARE(g->defaultRowHeight(), 18);
    QCOMPARE(g->columnWidth(0), 62);
    QCOMPARE(g->columnWidth(1), 64);
    QCOMPARE(g->rowHeight(0), 18);
    QCOMPARE(g->caption(), QString());
    QCOMPARE(g->secondCaption(), QString());
    QCOMPARE(g->secondCaptionPlacement(), StringTable::CaptionAbove);
    QCOMPARE(g->rowTexts(0), kHeadings);
    QCOMPARE(g->rowTexts(1), kRide1);
    QCOMPARE(g->rowTexts(2), kRide2);

    // Written back, the file is the same.
    const QString again = m_dir->filePath(QStringLiteral("again.tvl"));
    g->setHeadingColumns(0);
    TableFile::save(*g, again);
    QCOMPARE(fileBytes(again), fileBytes(path));
}

void TestTable::roundTripKeepsEverything()
{
    auto g = plainGrid();
    g->setTableColumnCount(4);
    g->setTableRowCount(6);
    g->setDefaultRowHeight(25);
    g->setDefaultColumnWidth(70);
    g->setRowHeight(0, 30);
    g->setRowHeight(5, 12);
    g->setColumnWidth(0, 64); // differs from the default 70: stored
    g->setColumnWidth(3, 120);
    g->setCaption(QStringLiteral("Jízdy 2005"));
    g->setSecondCaption(QStringLiteral("Šumava"));
    g->setSecondCaptionPlacement(StringTable::CaptionBelow);
    g->setCell(0, 0, QStringLiteral("Č."));
    g->setCell(3, 2, QStringLiteral("Říp - Ústí"));
    g->setCell(1, 5, QStringLiteral("  mezery  "));
    g->setCell(2, 4, QStringLiteral("x|y|z"));
    const QString path = m_dir->filePath(QStringLiteral("t.tvl"));
    TableFile::save(*g, path);

    QCOMPARE(fileBytes(path),
             fileOf({"|", "6|4", "25", "Jízdy 2005", "Šumava", "Bottom",
                     "Row 0 Height: 30", "Row 5 Height: 12",
                     "Column 0 Width: 64", "Column 3 Width: 120",
                     "0|0|Č.", "3|2|Říp - Ústí", "2|4|x|y|z", "1|5|  mezery  ", ""}));
    auto h = plainGrid();
    TableFile::load(*h, path);
    QCOMPARE(allCells(*h), allCells(*g));
    QCOMPARE(h->rowHeight(0), 30);
    QCOMPARE(h->rowHeight(5), 12);
    QCOMPARE(h->rowHeight(1), 25);
    QCOMPARE(h->columnWidth(0), 64);
    QCOMPARE(h->columnWidth(3), 120);
    QCOMPARE(h->caption(), g->caption());
    QCOMPARE(h->secondCaption(), g->secondCaption());
    QCOMPARE(h->secondCaptionPlacement(), StringTable::CaptionBelow);
}

void TestTable::savingEmptyTable()
{
    auto g = plainGrid(); // 5 x 5, default height 21, column 0 width 21
    const QString path = m_dir->filePath(QStringLiteral("e.tvl"));
    TableFile::save(*g, path);
    QCOMPARE(fileBytes(path), fileOf({"|", "5|5", "21", "", "", "Top", "Column 0 Width: 21", ""}));
}

void TestTable::sizeLinesOnlyForNonDefaultSizes()
{
    auto g = plainGrid();
    g->setColumnWidth(0, 64);  // equal to the default width: no line
    g->setRowHeight(2, 21); // equal to the default height: no line
    g->setRowHeight(4, 40);
    const QString path = m_dir->filePath(QStringLiteral("s.tvl"));
    TableFile::save(*g, path);
    QCOMPARE(fileBytes(path), fileOf({"|", "5|5", "21", "", "", "Top", "Row 4 Height: 40", ""}));
}

void TestTable::delimiterFromLineOne()
{
    auto g = plainGrid();
    loadLines(*g, *m_dir, {";x", "3;4", "18", "", "", "Top", "0;1;a|b;c", "2;2;Ves", ""});
    QCOMPARE(g->cellDelimiter(), QChar(u';'));
    QCOMPARE(g->tableRowCount(), 3);
    QCOMPARE(g->tableColumnCount(), 4);
    QCOMPARE(g->cell(0, 1), QStringLiteral("a|b;c"));
    QCOMPARE(g->cell(2, 2), QStringLiteral("Ves"));

    // Saved again with the delimiter read.
    const QString path = m_dir->filePath(QStringLiteral("semi.tvl"));
    TableFile::save(*g, path);
    QVERIFY(fileBytes(path).startsWith(";\r\n3;4\r\n18\r\n"));
    QVERIFY(fileBytes(path).contains("\r\n0;1;a|b;c\r\n"));
}

void TestTable::countsFromLineTwo()
{
    auto g = plainGrid();
    g->setCell(4, 4, QStringLiteral("gone"));
    loadLines(*g, *m_dir, {"|", "8|3", "21", "", "", "Top", "2|7|last", ""});
    QCOMPARE(g->tableRowCount(), 8);
    QCOMPARE(g->tableColumnCount(), 3);
    QCOMPARE(g->cell(2, 7), QStringLiteral("last"));
    QCOMPARE(g->cell(4, 4), QString()); // that column no longer exists
}

void TestTable::defaultHeightDiscardsRowHeights()
{
    auto g = plainGrid();
    g->setRowHeight(1, 40);
    g->setRowHeight(3, 50);
    loadLines(*g, *m_dir, {"|", "5|5", "17", "", "", "Top", "Row 3 Height: 33", ""});
    QCOMPARE(g->defaultRowHeight(), 17);
    QCOMPARE(g->rowHeight(1), 17);
    QCOMPARE(g->rowHeight(3), 33);

    // The model rule itself.
    g->setDefaultRowHeight(19);
    QCOMPARE(g->rowHeight(3), 19);
}

void TestTable::captionsAndPlacement_data()
{
    QTest::addColumn<QString>("line6");
    QTest::addColumn<StringTable::SecondCaptionPlacement>("placement");
    QTest::newRow("Top") << "Top" << StringTable::CaptionAbove;
    QTest::newRow("Bottom") << "Bottom" << StringTable::CaptionBelow;
    QTest::newRow("top in small letters") << "top" << StringTable::CaptionBelow;
    QTest::newRow("TOP") << "TOP" << StringTable::CaptionBelow;
    QTest::newRow("Top with a blank") << "Top " << StringTable::CaptionBelow;
    QTest::newRow("empty") << "" << StringTable::CaptionBelow;
    QTest::newRow("anything") << "Nahoře" << StringTable::CaptionBelow;
}

void TestTable::captionsAndPlacement()
{
    QFETCH(QString, line6);
    QFETCH(StringTable::SecondCaptionPlacement, placement);
    auto g = plainGrid();
    g->setSecondCaptionPlacement(placement == StringTable::CaptionAbove ? StringTable::CaptionBelow : StringTable::CaptionAbove);
    const QString path = m_dir->filePath(QStringLiteral("c.tvl"));
    QByteArray bytes = fileOf({"|", "5|5", "21", "Moje jízdy", "Léto 2005"});
    bytes += cp1250(line6) + "\r\n\r\n";
    putFile(path, bytes);
    TableFile::load(*g, path);
    QCOMPARE(g->caption(), QStringLiteral("Moje jízdy"));
    QCOMPARE(g->secondCaption(), QStringLiteral("Léto 2005"));
    QCOMPARE(g->secondCaptionPlacement(), placement);
}

void TestTable::sizeLinesInAnyOrder()
{
    auto g = plainGrid();
    loadLines(*g, *m_dir,
              {"|", "4|3", "20", "", "", "Top", "1|1|b", "Column 2 Width: 80", "Row 3 Height: 31",
               "0|0|a", "Column 0 Width: 10", "Row 0 Height: 25", "2|3|c", ""});
    QCOMPARE(g->columnWidth(0), 10);
    QCOMPARE(g->columnWidth(1), 64);
    QCOMPARE(g->columnWidth(2), 80);
    QCOMPARE(g->rowHeight(0), 25);
    QCOMPARE(g->rowHeight(1), 20);
    QCOMPARE(g->rowHeight(3), 31);
    QCOMPARE(g->cell(0, 0), QStringLiteral("a"));
    QCOMPARE(g->cell(1, 1), QStringLiteral("b"));
    QCOMPARE(g->cell(2, 3), QStringLiteral("c"));
}

void TestTable::delimiterInsideCellText()
{
    auto g = plainGrid();
    g->setCell(0, 1, QStringLiteral("a|b"));
    g->setCell(1, 1, QStringLiteral("|"));
    g->setCell(2, 1, QStringLiteral("x||"));
    const QString path = m_dir->filePath(QStringLiteral("d.tvl"));
    TableFile::save(*g, path);
    const QByteArray bytes = fileBytes(path);
    QVERIFY(bytes.contains("\r\n0|1|a|b\r\n1|1||\r\n2|1|x||\r\n"));

    auto h = plainGrid();
    TableFile::load(*h, path);
    QCOMPARE(h->cell(0, 1), QStringLiteral("a|b"));
    QCOMPARE(h->cell(1, 1), QStringLiteral("|"));
    QCOMPARE(h->cell(2, 1), QStringLiteral("x||"));
}

void TestTable::lineBreakInsideCellText()
{
    // A line break cannot be stored: the part after it becomes a line of
    // its own, left out and reported because it holds no delimiter.
    auto g = plainGrid();
    g->setCell(1, 1, QStringLiteral("první\r\ndruhá"));
    g->setCell(2, 2, QStringLiteral("dál"));
    const QString path = m_dir->filePath(QStringLiteral("b.tvl"));
    TableFile::save(*g, path);
    QVERIFY(fileBytes(path).contains(cp1250(QStringLiteral("\r\n1|1|první\r\ndruhá\r\n2|2|dál\r\n"))));

    auto h = plainGrid();
    QVERIFY(appErrorOf([&] { TableFile::load(*h, path); }).contains(QStringLiteral("„druhá“")));
    QCOMPARE(h->cell(1, 1), QStringLiteral("první"));
    QCOMPARE(h->cell(2, 2), QStringLiteral("dál"));
}

void TestTable::linesWithoutDelimiterSkipped()
{
    // Empty and blank lines hold nothing; a text line is reported (above).
    auto g = plainGrid();
    loadLines(*g, *m_dir, {"|", "3|3", "21", "", "", "Top", "", "1|1|ano", "   ", "2|2|také", ""});
    QCOMPARE(g->cell(1, 1), QStringLiteral("ano"));
    QCOMPARE(g->cell(2, 2), QStringLiteral("také"));
    QCOMPARE(allCells(*g).join(QString()), QStringLiteral("anotaké"));
}

void TestTable::loadingKeepsUnmentionedCells()
{
    auto g = plainGrid();
    g->setCell(0, 1, QStringLiteral("stará"));
    g->setCell(1, 1, QStringLiteral("přepsat"));
    g->setCell(4, 4, QStringLiteral("roh"));
    g->setColumnWidth(3, 99);
    loadLines(*g, *m_dir, {"|", "5|5", "21", "", "", "Top", "1|1|nová", ""});
    QCOMPARE(g->cell(0, 1), QStringLiteral("stará"));
    QCOMPARE(g->cell(1, 1), QStringLiteral("nová"));
    QCOMPARE(g->cell(4, 4), QStringLiteral("roh"));
    QCOMPARE(g->columnWidth(3), 64); // no width line: the default width, as saved
}

// A column whose width was set equal to the default has no width line; it
// comes back at that width also into a table that starts with another.
void TestTable::widthEqualToDefaultComesBack()
{
    auto g = plainGrid(); // column 0 starts at 21
    g->setColumnWidth(0, g->defaultColumnWidth());
    g->setColumnWidth(2, 90);
    const QString path = m_dir->filePath(QStringLiteral("w.tvl"));
    TableFile::save(*g, path);
    auto h = plainGrid();
    TableFile::load(*h, path);
    QCOMPARE(h->columnWidth(0), g->defaultColumnWidth());
    QCOMPARE(h->columnWidth(2), 90);
    const QByteArray saved = fileBytes(path);
    TableFile::save(*h, path);
    QCOMPARE(fileBytes(path), saved);
}

void TestTable::shortFiles_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("cols");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("caption1");
    QTest::addColumn<QString>("caption2");
    QTest::addColumn<StringTable::SecondCaptionPlacement>("placement");

    // Before loading: 5 x 5, height 21, captions "A" and "B", CaptionBelow.
    QTest::newRow("delimiter only") << QStringList{";"} << 5 << 5 << 21 << "A" << "B" << StringTable::CaptionBelow;
    QTest::newRow("two lines") << QStringList{"|", "2|3"} << 2 << 3 << 21 << "A" << "B"
                               << StringTable::CaptionBelow;
    QTest::newRow("three lines") << QStringList{"|", "2|3", "30"} << 2 << 3 << 30 << "A" << "B"
                                 << StringTable::CaptionBelow;
    QTest::newRow("four lines") << QStringList{"|", "2|3", "30", "Nový"} << 2 << 3 << 30 << "Nový"
                                << "B" << StringTable::CaptionBelow;
    QTest::newRow("five lines, empty caption") << QStringList{"|", "2|3", "30", "Nový", ""} << 2 << 3
                                               << 30 << "Nový" << "" << StringTable::CaptionBelow;
    QTest::newRow("six lines") << QStringList{"|", "2|3", "30", "Nový", "", "Top"} << 2 << 3 << 30
                               << "Nový" << "" << StringTable::CaptionAbove;
}

void TestTable::shortFiles()
{
    QFETCH(QStringList, lines);
    QFETCH(int, rows);
    QFETCH(int, cols);
    QFETCH(int, height);
    QFETCH(QString, caption1);
    QFETCH(QString, caption2);
    QFETCH(StringTable::SecondCaptionPlacement, placement);
    auto g = plainGrid();
    g->setCaption(QStringLiteral("A"));
    g->setSecondCaption(QStringLiteral("B"));
    g->setSecondCaptionPlacement(StringTable::CaptionBelow);
    g->setCell(1, 1, QStringLiteral("zůstane"));
    // Without the final line break, too (unless the last line is empty).
    const QString path = m_dir->filePath(QStringLiteral("short.tvl"));
    QByteArray bytes = fileOf(lines);
    if (!lines.last().isEmpty())
        bytes.chop(2);
    putFile(path, bytes);
    TableFile::load(*g, path);
    QCOMPARE(g->tableRowCount(), rows);
    QCOMPARE(g->tableColumnCount(), cols);
    QCOMPARE(g->defaultRowHeight(), height);
    QCOMPARE(g->caption(), caption1);
    QCOMPARE(g->secondCaption(), caption2);
    QCOMPARE(g->secondCaptionPlacement(), placement);
    QCOMPARE(g->cell(1, 1), QStringLiteral("zůstane"));
}

void TestTable::oneRowFileLowersFixedRows()
{
    auto g = plainGrid();
    QCOMPARE(g->headingRows(), 1);
    loadLines(*g, *m_dir, {"|", "1|7", "18", "", "", "Top", "0|0|3.5.2005", ""});
    QCOMPARE(g->tableRowCount(), 1);
    QCOMPARE(g->headingRows(), 0);
    QCOMPARE(g->tableColumnCount(), 7);
    // The one row is an ordinary row of the model now.
    QCOMPARE(g->rowCount(), 1);
    QCOMPARE(g->data(g->index(0, 0), Qt::DisplayRole).toString(), QString());
    QCOMPARE(g->cell(0, 0), QStringLiteral("3.5.2005"));
}

void TestTable::lineEndsOfEveryKind_data()
{
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::newRow("LF") << QByteArray("\n");
    QTest::newRow("CR") << QByteArray("\r");
    QTest::newRow("CR LF") << QByteArray("\r\n");
}

void TestTable::lineEndsOfEveryKind()
{
    // Long texts too: the end of a line is looked for block by block.
    const QString course = QString(150, u'Ž') + QStringLiteral(" - Lhota");
    QStringList lines = kExampleLines;
    lines.replace(lines.indexOf(QStringLiteral("2|1|Lhota - Ves - Lhota")), QStringLiteral("2|1|") + course);
    QFETCH(QByteArray, lineEnd);
    QByteArray bytes = fileOf(lines);
    bytes.replace("\r\n", lineEnd);
    const QString path = m_dir->filePath(QStringLiteral("ends.tvl"));
    putFile(path, bytes);
    auto g = plainGrid();
    TableFile::load(*g, path);
    QCOMPARE(g->rowTexts(0), kHeadings);
    QCOMPARE(g->cell(2, 1), course);
    QCOMPARE(g->rowTexts(2), kRide2);
    QCOMPARE(g->columnWidth(0), 62);
}

void TestTable::missingOrEmptyFileDoesNothing()
{
    for (bool exists : {false, true}) {
        auto g = plainGrid();
        g->setCell(1, 1, QStringLiteral("x"));
        g->setCaption(QStringLiteral("c"));
        const QString path = m_dir->filePath(QStringLiteral("none.tvl"));
        if (exists)
            putFile(path, QByteArray());
        QSignalSpy resets(g.get(), &QAbstractItemModel::modelReset);
        TableFile::load(*g, path);
        QCOMPARE(g->tableRowCount(), 5);
        QCOMPARE(g->tableColumnCount(), 5);
        QCOMPARE(g->defaultRowHeight(), 21);
        QCOMPARE(g->cell(1, 1), QStringLiteral("x"));
        QCOMPARE(g->caption(), QStringLiteral("c"));
        QCOMPARE(resets.count(), 0);
    }
}

void TestTable::leftOutLinesAreReported_data()
{
    QTest::addColumn<QStringList>("body"); // lines after line 6 of a 3 x 3 table
    QTest::addColumn<QStringList>("reported"); // pieces the error must name
    QTest::newRow("cells outside the counts")
        << QStringList{"5|1|mimo", "1|9|mimo", "-1|1|mimo", "1|1|uvnitř", "2|2|také"}
        << QStringList{"(celkem 3)", "řádek 7: „5|1|mimo“", "mimo tabulku o 3 řádcích a 3 sloupcích", "řádek 8", "řádek 9"};
    QTest::newRow("a line of no known kind")
        << QStringList{"1|1|uvnitř", "pokračování textu", "", "2|2|také"}
        << QStringList{"(celkem 1)", "řádek 8: „pokračování textu“", "neznámého druhu"};
    QTest::newRow("a cell given twice")
        << QStringList{"0|2|x", "1|1|první", "1|1|uvnitř", "2|2|také"}
        << QStringList{"(celkem 1)", "řádek 8: „první“", "pozdější řádek"};
    QTest::newRow("a cell given again after another row")
        << QStringList{"1|1|první", "2|2|také", "1|1|uvnitř", "1|2|x", "1|2|x"}
        << QStringList{"(celkem 1)", "řádek 9: „první“", "zadává znovu"};
    QTest::newRow("many: three shown")
        << QStringList{"1|1|uvnitř", "2|2|také", "9|0|a", "9|1|b", "9|2|c", "9|3|d", "9|4|e"}
        << QStringList{"(celkem 5)", "řádek 9", "řádek 10", "řádek 11", "…"};
}

void TestTable::leftOutLinesAreReported()
{
    QFETCH(QStringList, body);
    QFETCH(QStringList, reported);
    auto g = plainGrid();
    g->setCell(2, 1, QStringLiteral("z dřívějška"));
    const QString path = m_dir->filePath(QStringLiteral("l.tvl"));
    putFile(path, fileOf(QStringList{"|", "3|3", "21", "", "", "Top"} + body));
    const QString error = appErrorOf([&] { TableFile::load(*g, path); });
    for (const QString &piece : reported)
        QVERIFY2(error.contains(piece), qPrintable(error + " lacks " + piece));
    QVERIFY(!error.contains(QStringLiteral("řádek 6:")));
    // Everything that could be placed is in the table, the rest is not.
    QCOMPARE(g->tableRowCount(), 3);
    QCOMPARE(g->tableColumnCount(), 3);
    QCOMPARE(g->cell(1, 1), QStringLiteral("uvnitř"));
    QCOMPARE(g->cell(2, 2), QStringLiteral("také"));
    QCOMPARE(g->cell(2, 1), QStringLiteral("z dřívějška"));
    QVERIFY(!allCells(*g).contains(QStringLiteral("mimo")));
}

void TestTable::cellsInAnyOrder()
{
    // Rows and columns out of order, a cell emptied by a later line, a
    // cell of the table that the file does not name: the same table as a
    // file in order gives.
    auto g = plainGrid();
    g->setCell(0, 3, QStringLiteral("stará"));
    g->setCell(1, 3, QStringLiteral("stará"));
    loadLines(*g, *m_dir, {"|", "4|3", "21", "", "", "Top", "2|3|c3", "1|1|b1", "0|3|", "0|1|a1",
                           "2|1|c1", "1|2|b2", ""});
    QCOMPARE(allCells(*g), QStringList({"", "", "", "a1", "b1", "c1", "", "b2", "", "", "stará", "c3"}));
}

void TestTable::loadErrors_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("cols");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("caption1");
    QTest::addColumn<QString>("before"); // cell (0,1), set by a line before the failing one

    // Before loading: 5 x 5, height 21, no captions, delimiter "|".
    const QStringList head = {";", "4;6", "30", "Titulek", "Podtitul", "Bottom", "0;1;před"};
    auto withLine = [&](const QString &bad) { return head + QStringList{bad, "1;1;po", ""}; };

    QTest::newRow("row count") << QStringList{";", "x;6", "30", "", "", "Top", "1;1;po"}
                               << "'x' is not a valid integer value" << 5 << 5 << 21 << "" << "";
    QTest::newRow("column count") << QStringList{";", "4;y", "30", "", "", "Top", "1;1;po"}
                                  << "'y' is not a valid integer value" << 4 << 5 << 21 << "" << "";
    QTest::newRow("default height") << QStringList{";", "4;6", "18px", "T", "", "Top", "1;1;po"}
                                    << "'18px' is not a valid integer value" << 4 << 6 << 21 << ""
                                    << "";
    QTest::newRow("row index") << withLine("Row x Height: 30") << "'x' is not a valid integer value"
                               << 4 << 6 << 30 << "Titulek" << "před";
    QTest::newRow("row height") << withLine("Row 1 Height: 3O") << "'3O' is not a valid integer value"
                                << 4 << 6 << 30 << "Titulek" << "před";
    QTest::newRow("column index") << withLine("Column č Width: 50")
                                  << "'č' is not a valid integer value" << 4 << 6 << 30 << "Titulek"
                                  << "před";
    QTest::newRow("column width missing") << withLine("Column 1 Width: ")
                                          << "'' is not a valid integer value" << 4 << 6 << 30
                                          << "Titulek" << "před";
    QTest::newRow("cell column") << withLine("a;1;text") << "'a' is not a valid integer value" << 4
                                 << 6 << 30 << "Titulek" << "před";
    // A long field is quoted in part: the message stays short.
    QTest::newRow("long field") << withLine(QString(100000, u'a') + ";1;text")
                                << "'" + QString(60, u'a') + "…' is not a valid integer value" << 4 << 6 << 30
                                << "Titulek" << "před";
    QTest::newRow("cell row") << withLine("1;b;text") << "'b' is not a valid integer value" << 4 << 6
                              << 30 << "Titulek" << "před";
    QTest::newRow("line beginning with Row") << withLine("Rowena;1;x")
                                             << "'' is not a valid integer value" << 4 << 6 << 30
                                             << "Titulek" << "před";
    QTest::newRow("row index = count") << withLine("Row 4 Height: 30") << "Grid index out of range"
                                       << 4 << 6 << 30 << "Titulek" << "před";
    QTest::newRow("negative row index") << withLine("Row -1 Height: 30") << "Grid index out of range"
                                        << 4 << 6 << 30 << "Titulek" << "před";
    QTest::newRow("column index = count") << withLine("Column 6 Width: 30")
                                          << "Grid index out of range" << 4 << 6 << 30 << "Titulek"
                                          << "před";
}

void TestTable::loadErrors()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, error);
    QFETCH(int, rows);
    QFETCH(int, cols);
    QFETCH(int, height);
    QFETCH(QString, caption1);
    QFETCH(QString, before);

    auto g = plainGrid();
    QAbstractItemModelTester tester(g.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    const QString path = m_dir->filePath(QStringLiteral("bad.tvl"));
    putFile(path, fileOf(lines));
    QCOMPARE(appErrorOf([&] { TableFile::load(*g, path); }), error);
    // Line 1 was applied before anything failed.
    QCOMPARE(g->cellDelimiter(), QChar(u';'));
    QCOMPARE(g->tableRowCount(), rows);
    QCOMPARE(g->tableColumnCount(), cols);
    QCOMPARE(g->defaultRowHeight(), height);
    QCOMPARE(g->caption(), caption1);
    QCOMPARE(g->cell(0, 1), before);
    // Nothing after the failing line.
    QCOMPARE(g->cell(1, 1), QString());
    // The model is consistent again: the table can be shown and changed.
    g->setCell(1, 1, QStringLiteral("ok"));
    QCOMPARE(g->cell(1, 1), QStringLiteral("ok"));
}

void TestTable::loadErrorShownByGuard()
{
    auto g = plainGrid();
    const QString path = m_dir->filePath(QStringLiteral("bad.tvl"));
    putFile(path, fileOf({"|", "3|zz"}));
    MessageRecorder recorder;
    QVERIFY(!runGuarded([&] { TableFile::load(*g, path); }));
    QCOMPARE(recorder.texts(), QStringList{"'zz' is not a valid integer value"});
}

void TestTable::absurdCountsRefused_data()
{
    QTest::addColumn<QString>("line1");
    QTest::addColumn<QString>("line2");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("rows"); // row count afterwards (5 before)

    QTest::newRow("a billion rows") << "|" << "1000000000|7" << "1000000000" << 5;
    QTest::newRow("a billion columns") << "|" << "3|1000000000" << "1000000000" << 3;
    QTest::newRow("largest integer") << "|" << "2147483647|2147483647" << "2147483647" << 5;
    QTest::newRow("negative rows") << "|" << "-3|7" << "záporný počet řádků (-3)" << 5;
    QTest::newRow("negative columns") << "|" << "3|-7" << "záporný počet sloupců (-7)" << 3;
    // Delimiters that would make the saved file unreadable.
    QTest::newRow("digit") << "1" << "" << "Oddělovač „1“" << 5;
    QTest::newRow("minus") << "-" << "3-7" << "Oddělovač „-“" << 5;
    QTest::newRow("plus") << "+" << "3+7" << "Oddělovač „+“" << 5;
    QTest::newRow("blank") << " " << "3 7" << "Oddělovač „ “" << 5;
    QTest::newRow("tab") << "\t" << "3\t7" << "Oddělovač „\t“" << 5;
}

void TestTable::absurdCountsRefused()
{
    QFETCH(QString, line1);
    QFETCH(QString, line2);
    QFETCH(QString, error);
    QFETCH(int, rows);
    auto g = plainGrid();
    const QString path = m_dir->filePath(QStringLiteral("huge.tvl"));
    putFile(path, fileOf({line1, line2, "18", "", "", "Top", "1|1|x", ""}));
    const QString text = appErrorOf([&] { TableFile::load(*g, path); });
    QVERIFY2(text.contains(error), qPrintable(text));
    QCOMPARE(g->tableRowCount(), rows);
    QCOMPARE(g->tableColumnCount(), 5);
    QCOMPARE(g->cellDelimiter(), QChar(u'|'));
    QCOMPARE(g->cell(1, 1), QString());
    // A real ride log of that size is fine.
    putFile(path, fileOf({"|", "100001|7", "18", "", "", "Top", "6|100000|5", ""}));
    TableFile::load(*g, path);
    QCOMPARE(g->tableRowCount(), 100001);
    QCOMPARE(g->cell(6, 100000), QStringLiteral("5"));
}

void TestTable::sizesClampedOnLoad()
{
    // Sizes beyond what a table file may hold load clamped, and the rest
    // of the file with them; saving and loading again gives the same.
    auto g = plainGrid();
    loadLines(*g, *m_dir, {"|", "3|7", "1000000000", "", "", "Top", "Row 1 Height: 123456", "Row 2 Height: -5",
                           "Column 1 Width: 1000000000", "Column 2 Width: -20", "1|2|jízda", ""});
    QCOMPARE(g->defaultRowHeight(), StringTable::kMaxSize);
    QCOMPARE(g->rowHeight(1), StringTable::kMaxSize);
    QCOMPARE(g->rowHeight(2), 0);
    QCOMPARE(g->columnWidth(1), StringTable::kMaxSize);
    QCOMPARE(g->columnWidth(2), 0);
    QCOMPARE(g->cell(1, 2), QStringLiteral("jízda"));
    const QString path = m_dir->filePath(QStringLiteral("again.tvl"));
    TableFile::save(*g, path);
    auto h = plainGrid();
    TableFile::load(*h, path);
    QCOMPARE(TableFile::text(*h), TableFile::text(*g));
    // Sizes set by code are kept within the same range.
    g->setColumnWidth(3, 50000);
    QCOMPARE(g->columnWidth(3), StringTable::kMaxSize);
}

void TestTable::farColumnsLoad()
{
    // The largest table a file may claim, with cells far to the right:
    // only the cells that hold text are kept.
    auto g = plainGrid();
    QStringList lines = {"|", "2000000|10000", "18", "", "", "Top"};
    for (int r = 1; r <= 2000; ++r)
        lines.append(QStringLiteral("9999|%1|x%1").arg(r * 997));
    lines.append(QString());
    loadLines(*g, *m_dir, lines);
    QCOMPARE(g->cell(9999, 997 * 1234), QStringLiteral("x%1").arg(997 * 1234));
    QCOMPARE(g->cell(9998, 997 * 1234), QString());
    QCOMPARE(TableFile::text(*g).count(QStringLiteral("9999|")), 2000);
}

void TestTable::unencodableCellLeavesFileAlone()
{
    auto g = plainGrid();
    g->setAutoBackup(true);
    const QString path = m_dir->filePath(QStringLiteral("default.tvl"));
    const QString bak = m_dir->filePath(QStringLiteral("default.bak"));
    putFile(path, "old\r\n");
    putFile(bak, "older\r\n");
    g->setCell(1, 1, QStringLiteral("Výlet 😀"));
    const QString error = appErrorOf([&] { TableFile::save(*g, path); });
    QVERIFY(error.contains(QStringLiteral("😀")));
    QCOMPARE(fileBytes(path), QByteArray("old\r\n"));
    QCOMPARE(fileBytes(bak), QByteArray("older\r\n"));
}

// ---------------------------------------------------------------- table model

void TestTable::countsNeverBelowOne()
{
    auto g = plainGrid();
    QAbstractItemModelTester tester(g.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    g->setTableRowCount(0);
    QCOMPARE(g->tableRowCount(), 1);
    g->setTableRowCount(4);
    g->setTableRowCount(-3);
    QCOMPARE(g->tableRowCount(), 1);
    g->setTableColumnCount(0);
    QCOMPARE(g->tableColumnCount(), 1);
    g->setTableColumnCount(3);
    g->setTableColumnCount(-1);
    QCOMPARE(g->tableColumnCount(), 1);
}

void TestTable::fixedCountsLowered()
{
    auto g = plainGrid();
    QAbstractItemModelTester tester(g.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    g->setHeadingRows(3);
    g->setHeadingColumns(2);
    g->setTableRowCount(4); // above headingRows: unchanged
    QCOMPARE(g->headingRows(), 3);
    g->setTableRowCount(3); // not above: lowered to count - 1
    QCOMPARE(g->headingRows(), 2);
    g->setTableRowCount(1);
    QCOMPARE(g->headingRows(), 0);
    g->setTableColumnCount(2);
    QCOMPARE(g->headingColumns(), 1);
    g->setTableColumnCount(5);
    QCOMPARE(g->headingColumns(), 1);
}

void TestTable::sizesOutOfRange()
{
    auto g = plainGrid(); // 5 x 5
    const QString error = QStringLiteral("Grid index out of range");
    QCOMPARE(appErrorOf([&] { g->setRowHeight(5, 30); }), error);
    QCOMPARE(appErrorOf([&] { g->setRowHeight(-1, 30); }), error);
    QCOMPARE(appErrorOf([&] { g->setColumnWidth(5, 30); }), error);
    QCOMPARE(appErrorOf([&] { g->setColumnWidth(-1, 30); }), error);
    g->setRowHeight(4, 30);
    g->setColumnWidth(4, 30);
    QCOMPARE(g->rowHeight(4), 30);
    QCOMPARE(g->columnWidth(4), 30);
    // Reading gives the default where no size is set.
    QCOMPARE(g->rowHeight(3), 21);
    QCOMPARE(g->columnWidth(3), 64);
    // A size set is dropped with its row when the table shrinks.
    g->setTableRowCount(4);
    g->setTableRowCount(5);
    QCOMPARE(g->rowHeight(4), 21);
}

void TestTable::rowsAndColsAssignment()
{
    auto g = plainGrid(); // 5 x 5
    g->setRowTexts(1, {"a", "b", "c", "d", "e", "f", "g"});
    QCOMPARE(g->rowTexts(1), (QStringList{"a", "b", "c", "d", "e"}));
    g->setRowTexts(1, {"A", "B"});
    QCOMPARE(g->rowTexts(1), (QStringList{"A", "B", "c", "d", "e"}));
    g->setColumnTexts(2, {"0", "1", "2", "3", "4", "5"});
    QCOMPARE(g->columnTexts(2), (QStringList{"0", "1", "2", "3", "4"}));
    QCOMPARE(g->cell(2, 1), QStringLiteral("1"));
    g->setColumnTexts(2, {"x"});
    QCOMPARE(g->columnTexts(2), (QStringList{"x", "1", "2", "3", "4"}));
    g->clearRow(1);
    QCOMPARE(g->rowTexts(1), QStringList(5, QString()));
    g->clearColumn(2);
    QCOMPARE(g->columnTexts(2), QStringList(5, QString()));
    // Out of the table: reads empty, writes nothing.
    g->setCell(9, 9, QStringLiteral("x"));
    QCOMPARE(g->cell(9, 9), QString());
    QCOMPARE(g->cell(-1, 0), QString());
    QCOMPARE(allCells(*g).join(QString()), QString());
}

void TestTable::modelShowsNonFixedCells()
{
    auto g = rideLogGrid(); // one fixed row, no fixed column
    QAbstractItemModelTester tester(g.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    g->setRowTexts(1, kRide1);
    QCOMPARE(g->rowCount(), 1);
    QCOMPARE(g->columnCount(), 7);
    QCOMPARE(g->data(g->index(0, 3), Qt::DisplayRole).toString(), QStringLiteral("42,5"));
    QCOMPARE(g->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Průběh trasy"));
    g->setTableRowCount(4);
    g->setCell(1, 3, QStringLiteral("nová"));
    QCOMPARE(g->data(g->index(2, 1), Qt::DisplayRole).toString(), QStringLiteral("nová"));
    QVERIFY(g->setData(g->index(2, 0), QStringLiteral("1.1.2006"), Qt::EditRole));
    QCOMPARE(g->cell(0, 3), QStringLiteral("1.1.2006"));
}

// ---------------------------------------------------------------- backup and lifetime

void TestTable::autoBackupKeepsPreviousFile()
{
    auto g = plainGrid();
    g->setAutoBackup(true);
    const QString path = m_dir->filePath(QStringLiteral("default.tvl"));
    const QString bak = m_dir->filePath(QStringLiteral("default.bak"));

    g->setCell(1, 1, QStringLiteral("první"));
    TableFile::save(*g, path);
    QVERIFY(!QFileInfo::exists(bak)); // nothing to keep yet
    const QByteArray first = fileBytes(path);

    g->setCell(1, 1, QStringLiteral("druhá"));
    TableFile::save(*g, path);
    const QByteArray second = fileBytes(path);
    QCOMPARE(fileBytes(bak), first);
    QVERIFY(second.contains(cp1250(QStringLiteral("1|1|druhá"))));

    // Saving twice in a row: the state before the second save is kept.
    g->setCell(1, 1, QStringLiteral("třetí"));
    TableFile::save(*g, path);
    TableFile::save(*g, path);
    QCOMPARE(fileBytes(bak), fileBytes(path));
    QVERIFY(fileBytes(bak).contains(cp1250(QStringLiteral("1|1|třetí"))));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), (QStringList{"default.bak", "default.tvl"}));
}

void TestTable::backupReplacesLastExtensionOnly_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("backup");
    QTest::newRow("ride log") << "default.tvl" << "default.bak";
    QTest::newRow("two extensions") << "jizdy.2005.tvl" << "jizdy.2005.bak";
    QTest::newRow("no extension") << "jizdy" << "jizdy.bak";
    QTest::newRow("already .bak") << "stare.bak.txt" << "stare.bak.bak";
}

void TestTable::backupReplacesLastExtensionOnly()
{
    QFETCH(QString, name);
    QFETCH(QString, backup);
    // A dotted folder name must not count as an extension.
    const QString folder = m_dir->filePath(QStringLiteral("data.d"));
    QVERIFY(QDir().mkdir(folder));
    const QString path = folder + u'/' + name;
    putFile(path, "previous\r\n");
    auto g = plainGrid();
    g->setAutoBackup(true);
    TableFile::save(*g, path);
    QCOMPARE(fileBytes(folder + u'/' + backup), QByteArray("previous\r\n"));
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 2);
}

void TestTable::noBackupWhenOff()
{
    auto g = plainGrid();
    const QString path = m_dir->filePath(QStringLiteral("default.tvl"));
    putFile(path, "previous\r\n");
    TableFile::save(*g, path);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"default.tvl"});
}

void TestTable::destroyedTableWritesNothing()
{
    const QString saved = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
    {
        auto g = std::make_unique<StringTable>();
        g->setCell(1, 1, QStringLiteral("y"));
        g.reset();
    }
    QDir::setCurrent(saved);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

void TestTable::saveWritesFileOrFails()
{
    const QString path = m_dir->filePath(QStringLiteral("auto.tvl"));
    StringTable g;
    QVERIFY(g.autoBackup());
    g.setCell(2, 3, QStringLiteral("uloženo"));
    TableFile::save(g, path);
    QVERIFY(fileBytes(path).contains(cp1250(QStringLiteral("\r\n2|3|uloženo\r\n"))));
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("auto.bak"))));

    const QString missing = m_dir->filePath(QStringLiteral("missing/x.tvl"));
    QCOMPARE(appErrorOf([&] { TableFile::save(g, missing); }), QStringLiteral("Cannot create file %1").arg(missing));
}

void TestTable::loadAndSaveRoundTrip()
{
    const QString path = m_dir->filePath(QStringLiteral("default.tvl"));
    putFile(path, fileOf(kExampleLines));
    auto g = plainGrid();
    TableFile::load(*g, path);
    QCOMPARE(g->rowTexts(1), kRide1);
    g->setCell(1, 1, QStringLiteral("změna"));
    TableFile::load(*g, path);
    QCOMPARE(g->cell(1, 1), QStringLiteral("Okruh"));
    g->setCell(1, 1, QStringLiteral("změna"));
    TableFile::save(*g, path);
    auto h = plainGrid();
    TableFile::load(*h, path);
    QCOMPARE(h->cell(1, 1), QStringLiteral("změna"));
}

// ---------------------------------------------------------------- rows, headings, cells

void TestTable::removeRow_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("remove");
    QTest::addColumn<QStringList>("column0"); // after removal

    QTest::newRow("last row just dropped") << 3 << 2 << QStringList{"r0", "r1"};
    QTest::newRow("row 1 of three") << 3 << 1 << QStringList{"r0", "r2"};
    QTest::newRow("middle of five") << 5 << 2 << QStringList{"r0", "r1", "r3", "r4"};
    QTest::newRow("heading row") << 4 << 0 << QStringList{"r1", "r2", "r3"};
}

void TestTable::removeRow()
{
    QFETCH(int, rows);
    QFETCH(int, remove);
    QFETCH(QStringList, column0);
    auto g = plainGrid();
    QAbstractItemModelTester tester(g.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    g->setTableRowCount(rows);
    for (int r = 0; r < rows; ++r)
        g->setRowTexts(r, {QStringLiteral("r%1").arg(r), QStringLiteral("b%1").arg(r)});
    QSignalSpy moved(g.get(), &StringTable::rowMoved);
    g->deleteRow(remove);
    QCOMPARE(g->tableRowCount(), rows - 1);
    QCOMPARE(g->columnTexts(0), column0);
    QCOMPARE(moved.count(), 1);
    QCOMPARE(moved.at(0).at(0).toInt(), remove);
    QCOMPARE(moved.at(0).at(1).toInt(), rows);
    // Column 1 moved with column 0.
    for (int r = 0; r < g->tableRowCount(); ++r)
        QCOMPARE(g->cell(1, r).mid(1), g->cell(0, r).mid(1));
    // The removed texts are gone, also when the table grows again.
    g->setTableRowCount(rows);
    QCOMPARE(g->rowTexts(rows - 1), QStringList(5, QString()));
}

void TestTable::removeRowKeepsHeights()
{
    auto g = plainGrid();
    g->setTableRowCount(4);
    g->setRowHeight(1, 40);
    g->setRowHeight(2, 50);
    g->setCell(0, 2, QStringLiteral("dva"));
    g->deleteRow(1);
    QCOMPARE(g->cell(0, 1), QStringLiteral("dva"));
    QCOMPARE(g->rowHeight(1), 40);
    QCOMPARE(g->rowHeight(2), 50);
}

void TestTable::removeOnlyRow()
{
    auto g = plainGrid();
    g->setTableRowCount(1);
    QCOMPARE(g->headingRows(), 0);
    g->setRowTexts(0, {"a", "b"});
    QSignalSpy moved(g.get(), &StringTable::rowMoved);
    g->deleteRow(0);
    QCOMPARE(g->tableRowCount(), 1);
    QCOMPARE(g->rowTexts(0), QStringList(5, QString()));
    QCOMPARE(moved.count(), 1);
    QCOMPARE(moved.at(0).at(1).toInt(), 1);
}

void TestTable::removeRowDownToFixedRows()
{
    auto g = plainGrid();
    QAbstractItemModelTester tester(g.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    g->setTableRowCount(2);
    g->setCell(0, 0, QStringLiteral("hlava"));
    g->setCell(0, 1, QStringLiteral("data"));
    QCOMPARE(g->headingRows(), 1);
    g->deleteRow(1);
    QCOMPARE(g->tableRowCount(), 1);
    QCOMPARE(g->headingRows(), 0);
    QCOMPARE(g->cell(0, 0), QStringLiteral("hlava"));
    QCOMPARE(g->rowCount(), 1);
}

void TestTable::rowOperationsMatchAPlainList_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("maxRows"); // rows are kept in blocks: cross their borders
    // > 0: the table starts from a file whose texts are this long, read
    // into the file's own memory (a long file's in a region of its own).
    QTest::addColumn<int>("fileTexts");
    QTest::newRow("few rows") << 7u << 20 << 0;
    QTest::newRow("many rows") << 11u << 90 << 0;
    QTest::newRow("many rows, other steps") << 12345u << 90 << 0;
    QTest::newRow("read from a file") << 99u << 90 << 8;
    QTest::newRow("read from a long file") << 5u << 90 << 12000;
}

// Random steps on the table and on plain lists of column 0's texts and
// the row heights: after every step both hold the same.
void TestTable::rowOperationsMatchAPlainList()
{
    QFETCH(quint32, seed);
    QFETCH(int, maxRows);
    QFETCH(int, fileTexts);
    QRandomGenerator random(seed);
    const auto any = [&](int n) { return int(random.bounded(quint32(n))); };
    auto g = plainGrid();
    g->setTableRowCount(maxRows / 2);
    QStringList texts(g->tableRowCount());
    QList<int> heights(g->tableRowCount(), -1);
    // A file of `n` rows, each with its own text in column 0.
    const auto readFile = [&](int n) {
        QByteArray file = "|\r\n" + QByteArray::number(n) + "|5\r\n21\r\n\r\n\r\nTop\r\n";
        texts.resize(n);
        heights.fill(-1);
        heights.resize(n, -1);
        for (int r = 0; r < n; ++r) {
            texts[r] = QString(fileTexts - 1, QChar(u'a' + r % 26)) + QChar(u'Ž');
            file += "0|" + QByteArray::number(r) + "|" + AnsiFile::encode(texts[r]) + "\r\n";
        }
        g->setDefaultRowHeight(21);
        TableFile::read(*g, file);
    };
    if (fileTexts > 0)
        readFile(maxRows);
    for (int step = 0; step < 3000; ++step) {
        const int count = int(texts.size());
        if (fileTexts > 0 && any(7) == 0) {
            if (any(2) == 0) {
                // Another file over what the table holds: its rows are
                // read anew, the old ones' memory no longer used.
                g->setTableRowCount(1);
                g->setCell(0, 0, QString());
                readFile(1 + any(maxRows));
            } else {
                // The same cells read again over themselves.
                TableFile::read(*g, AnsiFile::encode(TableFile::text(*g)));
            }
        } else switch (any(7)) {
        case 0: {
            const int r = any(count);
            texts[r] = any(3) == 0 ? QString() : QStringLiteral("t%1").arg(step);
            g->setCell(0, r, texts[r]);
            break;
        }
        case 1: {
            const int r = any(count);
            heights[r] = any(60);
            g->setRowHeight(r, heights[r]);
            break;
        }
        case 2: {
            const int from = any(count);
            const int to = any(count + 1);
            g->moveRow(from, to);
            if (from == to)
                break;
            if (to == count) {
                texts.removeAt(from);
                texts.append(QString());
            } else {
                texts.move(from, to);
            }
            break;
        }
        case 3: {
            const int r = any(count);
            g->deleteRow(r);
            if (count > 1) {
                texts.removeAt(r);
                heights.removeLast();
            } else {
                texts[0].clear();
            }
            break;
        }
        case 4: {
            const int n = 1 + any(maxRows);
            g->setTableRowCount(n);
            texts.resize(n);
            heights.resize(n, -1);
            if (n > count)
                std::fill(heights.begin() + count, heights.end(), -1);
            break;
        }
        case 5: {
            const int first = any(count);
            const int n = 1 + any(count - first);
            std::vector<int> sources(static_cast<size_t>(n));
            std::iota(sources.begin(), sources.end(), first);
            std::shuffle(sources.begin(), sources.end(), random);
            g->permuteRows(first, sources);
            const QStringList before = texts;
            for (int k = 0; k < n; ++k)
                texts[first + k] = before[sources[size_t(k)]];
            break;
        }
        default:
            if (any(10) == 0) {
                g->setDefaultRowHeight(21);
                heights.fill(-1);
            }
            break;
        }
        QCOMPARE(g->tableRowCount(), texts.size());
        QCOMPARE(g->columnTexts(0), texts);
        for (int r = 0; r < g->tableRowCount(); ++r)
            QCOMPARE(g->rowHeight(r), heights[r] < 0 ? 21 : heights[r]);
    }
}

void TestTable::applyHCol()
{
    auto g = plainGrid();
    g->setTableColumnCount(7);
    for (int c = 0; c < 7; ++c)
        g->setCell(c, 0, QStringLiteral("old%1").arg(c));
    g->setCell(3, 1, QStringLiteral("data"));
    g->setColumnHeadings({"Datum", "Název"});
    QCOMPARE(g->columnHeadings(), (QStringList{"Datum", "Název"}));
    QCOMPARE(g->rowTexts(0), (QStringList{"Datum", "Název", "", "", "", "", ""}));
    QCOMPARE(g->cell(3, 1), QStringLiteral("data"));

    // The list is the component's own copy; applyColumnHeadings puts it back.
    g->setCell(1, 0, QStringLiteral("jiný"));
    g->applyColumnHeadings();
    QCOMPARE(g->cell(1, 0), QStringLiteral("Název"));
}

void TestTable::applyHRow()
{
    auto g = plainGrid(); // 5 rows
    for (int r = 0; r < 5; ++r)
        g->setCell(0, r, QStringLiteral("old%1").arg(r));
    g->setCell(1, 2, QStringLiteral("data"));
    g->setRowHeadings({"první", "druhý"});
    QCOMPARE(g->columnTexts(0), (QStringList{"old0", "první", "druhý", "", ""}));
    QCOMPARE(g->cell(1, 2), QStringLiteral("data"));

    // More entries than rows: the surplus is not used.
    g->setTableRowCount(3);
    g->setRowHeadings({"a", "b", "c", "d"});
    QCOMPARE(g->columnTexts(0), (QStringList{"old0", "a", "b"}));
}

void TestTable::setCellIfChanged()
{
    auto g = plainGrid(); // one fixed row, one fixed column
    g->setCell(2, 2, QStringLiteral("Okruh"));
    g->setCell(2, 0, QStringLiteral("Název"));
    QSignalSpy cells(g.get(), &QAbstractItemModel::dataChanged);
    QSignalSpy headers(g.get(), &QAbstractItemModel::headerDataChanged);

    g->setCellIfChanged(2, 2, QStringLiteral("Okruh"));
    g->setCellIfChanged(2, 0, QStringLiteral("Název"));
    g->setCellIfChanged(3, 3, QString()); // empty and never set
    QCOMPARE(cells.count(), 0);
    QCOMPARE(headers.count(), 0);

    g->setCellIfChanged(2, 2, QStringLiteral("okruh")); // case matters
    QCOMPARE(g->cell(2, 2), QStringLiteral("okruh"));
    QCOMPARE(cells.count(), 1);
    const QModelIndex changed = cells.at(0).at(0).value<QModelIndex>();
    QCOMPARE(changed.row(), 1);
    QCOMPARE(changed.column(), 1);

    g->setCellIfChanged(2, 0, QStringLiteral("Trasa"));
    QCOMPARE(headers.count(), 1);
    QCOMPARE(headers.at(0).at(0).value<Qt::Orientation>(), Qt::Horizontal);
    QCOMPARE(headers.at(0).at(1).toInt(), 1);
}

void TestTable::loadedHeadingsWinOverFile()
{
    const QString path = m_dir->filePath(QStringLiteral("default.tvl"));
    QStringList lines = kExampleLines;
    lines[8] = QStringLiteral("1|0|Jméno trasy"); // a heading the file has of its own
    putFile(path, fileOf(lines));

    StringTable g;
    g.setColumnHeadings(kHeadings);
    g.setRowHeadings({"x"}); // column 0 of row 1 is overwritten after loading
    TableFile::load(g, path);
    QCOMPARE(g.cell(1, 0), QStringLiteral("Jméno trasy"));
    g.applyHeadings();
    QCOMPARE(g.rowTexts(0), kHeadings);
    QCOMPARE(g.cell(0, 1), QStringLiteral("x"));
    QCOMPARE(g.cell(0, 2), QString());
    QCOMPARE(g.cell(1, 1), QStringLiteral("Okruh"));
}

// ---------------------------------------------------------------- view

namespace {
struct ShownLog
{
    std::unique_ptr<StringTable> grid = rideLogGrid();
    StringTableView view;

    ShownLog()
    {
        grid->setTableRowCount(4);
        grid->setRowTexts(1, kRide1);
        grid->setRowTexts(2, kRide2);
        grid->setRowTexts(3, {"9.5.2005", "Kopec", "", "8", "00:30", "16", "5"});
        grid->setOptions(grid->options() | StringTable::RowSelect);
        view.setGrid(grid.get());
        view.resize(640, 300);
        view.show();
    }
};
} // namespace

void TestTable::viewHeaderShowsHeadings()
{
    ShownLog log;
    QHeaderView *hh = log.view.horizontalHeader();
    QVERIFY(hh->isVisible());
    QVERIFY(!log.view.verticalHeader()->isVisible()); // no fixed column
    QCOMPARE(hh->count(), 7);
    auto *model = log.view.model();
    for (int c = 0; c < 7; ++c)
        QCOMPARE(model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), kHeadings.at(c));
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(model->index(0, 2).data().toString(), QStringLiteral("Lhota - Ves - Lhota"));

    // A heading changed in the grid shows at once.
    QSignalSpy headers(model, &QAbstractItemModel::headerDataChanged);
    log.grid->setCell(3, 0, QStringLiteral("Vzdálenost"));
    QCOMPARE(headers.count(), 1);
    QCOMPARE(model->headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Vzdálenost"));
}

void TestTable::viewColumnWidths()
{
    ShownLog log;
    QHeaderView *hh = log.view.horizontalHeader();
    QCOMPARE(hh->sectionSize(0), 62);
    for (int c = 1; c < 7; ++c)
        QCOMPARE(hh->sectionSize(c), 64);
    QCOMPARE(hh->height(), 18); // the heading row's height

    // Grid to view.
    log.grid->setColumnWidth(3, 90);
    QCOMPARE(hh->sectionSize(3), 90);
    // A user resize goes back into the grid, and so into the file.
    hh->resizeSection(2, 150);
    QCOMPARE(log.grid->columnWidth(2), 150);
    const QString path = m_dir->filePath(QStringLiteral("w.tvl"));
    TableFile::save(*log.grid, path);
    QVERIFY(fileBytes(path).contains("\r\nColumn 0 Width: 62\r\nColumn 2 Width: 150\r\nColumn 3 Width: 90\r\n"));

    // Loading a file sets the view's widths too.
    const QString example = m_dir->filePath(QStringLiteral("default.tvl"));
    putFile(example, fileOf(kExampleLines));
    log.grid->setColumnWidth(2, 64);
    log.grid->setColumnWidth(3, 64);
    log.grid->setColumnWidth(0, 100);
    TableFile::load(*log.grid, example);
    QCOMPARE(hh->sectionSize(0), 62);
    QCOMPARE(hh->sectionSize(2), 64);
    QCOMPARE(log.view.verticalHeader()->sectionSize(0), 18);
}

void TestTable::viewCurrentRow()
{
    ShownLog log;
    QSignalSpy selected(&log.view, &StringTableView::selectCell);
    log.view.setCurrentRow(3);
    QCOMPARE(log.view.currentRow(), 3);
    QCOMPARE(selected.count(), 1);
    QCOMPARE(selected.at(0).at(1).toInt(), 3);
    log.view.setCurrentRow(1);
    QCOMPARE(log.view.currentRow(), 1);
    QCOMPARE(selected.count(), 2);
    QCOMPARE(selected.at(1).at(1).toInt(), 1);
    // The heading row and rows past the end cannot become current.
    log.view.setCurrentRow(0);
    log.view.setCurrentRow(4);
    QCOMPARE(log.view.currentRow(), 1);
    QCOMPARE(selected.count(), 2);
    // Whole-row selection: the row is selected.
    QVERIFY(log.view.selectionModel()->isRowSelected(0, QModelIndex()));
}

void TestTable::viewMouseToCell()
{
    ShownLog log;
    QVERIFY(QTest::qWaitForWindowExposed(&log.view));
    QHeaderView *hh = log.view.horizontalHeader();
    int col = -1, row = -1;

    // On a heading: row 0 of the grid.
    const QPoint onHeading =
        hh->mapTo(&log.view, QPoint(hh->sectionViewportPosition(3) + 5, hh->height() / 2));
    QVERIFY(log.view.cellAt(onHeading, col, row));
    QCOMPARE(col, 3);
    QCOMPARE(row, 0);

    // On a cell: view row 1 is grid row 2.
    const QRect cell = log.view.visualRect(log.grid->index(1, 4));
    const QPoint onCell = log.view.viewport()->mapTo(&log.view, cell.center());
    QVERIFY(log.view.cellAt(onCell, col, row));
    QCOMPARE(col, 4);
    QCOMPARE(row, 2);
    QCOMPARE(log.grid->cell(col, row), QStringLiteral("00:40"));

    // Below the last row: no cell.
    const QRect last = log.view.visualRect(log.grid->index(2, 0));
    const QPoint below = log.view.viewport()->mapTo(&log.view, QPoint(last.center().x(), last.bottom() + 30));
    QVERIFY(!log.view.cellAt(below, col, row));
}

void TestTable::viewAccessibility()
{
    ShownLog log;
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&log.view);
    QVERIFY(iface);
    QAccessibleTableInterface *table = iface->tableInterface();
    QVERIFY(table);
    QCOMPARE(table->rowCount(), 3);
    QCOMPARE(table->columnCount(), 7);
    for (int c = 0; c < 7; ++c) {
        QAccessibleInterface *cellIface = table->cellAt(0, c);
        QVERIFY(cellIface);
        QCOMPARE(cellIface->text(QAccessible::Name), kRide1.at(c));
        QAccessibleTableCellInterface *cell = cellIface->tableCellInterface();
        QVERIFY(cell);
        const QList<QAccessibleInterface *> headers = cell->columnHeaderCells();
        QCOMPARE(headers.size(), 1);
        QCOMPARE(headers.at(0)->text(QAccessible::Name), kHeadings.at(c));
    }
    QCOMPARE(table->cellAt(1, 1)->text(QAccessible::Name), QStringLiteral("Do práce"));
    QCOMPARE(table->columnDescription(4), QStringLiteral("Čas"));
}

QTEST_MAIN(TestTable)
#include "tst_table.moc"
