// Tests of the table file: its bytes, the loading rules and errors,
// the automatic backup, loading and saving, and headings set after loading.

#include "TableTestData.h"

class TestTableFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

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
    void autoBackupKeepsPreviousFile();
    void backupReplacesLastExtensionOnly_data();
    void backupReplacesLastExtensionOnly();
    void noBackupWhenOff();
    void destroyedTableWritesNothing();
    void saveWritesFileOrFails();
    void loadAndSaveRoundTrip();
    void loadedHeadingsWinOverFile();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestTableFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestTableFile::cleanup()
{
    m_dir.reset();
}

// ---------------------------------------------------------------- table file

void TestTableFile::exampleSavedByteForByte()
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

void TestTableFile::exampleLoads()
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

void TestTableFile::roundTripKeepsEverything()
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

void TestTableFile::savingEmptyTable()
{
    auto g = plainGrid(); // 5 x 5, default height 21, column 0 width 21
    const QString path = m_dir->filePath(QStringLiteral("e.tvl"));
    TableFile::save(*g, path);
    QCOMPARE(fileBytes(path), fileOf({"|", "5|5", "21", "", "", "Top", "Column 0 Width: 21", ""}));
}

void TestTableFile::sizeLinesOnlyForNonDefaultSizes()
{
    auto g = plainGrid();
    g->setColumnWidth(0, 64);  // equal to the default width: no line
    g->setRowHeight(2, 21); // equal to the default height: no line
    g->setRowHeight(4, 40);
    const QString path = m_dir->filePath(QStringLiteral("s.tvl"));
    TableFile::save(*g, path);
    QCOMPARE(fileBytes(path), fileOf({"|", "5|5", "21", "", "", "Top", "Row 4 Height: 40", ""}));
}

void TestTableFile::delimiterFromLineOne()
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

void TestTableFile::countsFromLineTwo()
{
    auto g = plainGrid();
    g->setCell(4, 4, QStringLiteral("gone"));
    loadLines(*g, *m_dir, {"|", "8|3", "21", "", "", "Top", "2|7|last", ""});
    QCOMPARE(g->tableRowCount(), 8);
    QCOMPARE(g->tableColumnCount(), 3);
    QCOMPARE(g->cell(2, 7), QStringLiteral("last"));
    QCOMPARE(g->cell(4, 4), QString()); // that column no longer exists
}

void TestTableFile::defaultHeightDiscardsRowHeights()
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

void TestTableFile::captionsAndPlacement_data()
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

void TestTableFile::captionsAndPlacement()
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

void TestTableFile::sizeLinesInAnyOrder()
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

void TestTableFile::delimiterInsideCellText()
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

void TestTableFile::lineBreakInsideCellText()
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

void TestTableFile::linesWithoutDelimiterSkipped()
{
    // Empty and blank lines hold nothing; a text line is reported (above).
    auto g = plainGrid();
    loadLines(*g, *m_dir, {"|", "3|3", "21", "", "", "Top", "", "1|1|ano", "   ", "2|2|také", ""});
    QCOMPARE(g->cell(1, 1), QStringLiteral("ano"));
    QCOMPARE(g->cell(2, 2), QStringLiteral("také"));
    QCOMPARE(allCells(*g).join(QString()), QStringLiteral("anotaké"));
}

void TestTableFile::loadingKeepsUnmentionedCells()
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
void TestTableFile::widthEqualToDefaultComesBack()
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

void TestTableFile::shortFiles_data()
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

void TestTableFile::shortFiles()
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

void TestTableFile::oneRowFileLowersFixedRows()
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

void TestTableFile::lineEndsOfEveryKind_data()
{
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::newRow("LF") << QByteArray("\n");
    QTest::newRow("CR") << QByteArray("\r");
    QTest::newRow("CR LF") << QByteArray("\r\n");
}

void TestTableFile::lineEndsOfEveryKind()
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

void TestTableFile::missingOrEmptyFileDoesNothing()
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

void TestTableFile::leftOutLinesAreReported_data()
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

void TestTableFile::leftOutLinesAreReported()
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

void TestTableFile::cellsInAnyOrder()
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

void TestTableFile::loadErrors_data()
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

void TestTableFile::loadErrors()
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

void TestTableFile::loadErrorShownByGuard()
{
    auto g = plainGrid();
    const QString path = m_dir->filePath(QStringLiteral("bad.tvl"));
    putFile(path, fileOf({"|", "3|zz"}));
    MessageRecorder recorder;
    QVERIFY(!runGuarded([&] { TableFile::load(*g, path); }));
    QCOMPARE(recorder.texts(), QStringList{"'zz' is not a valid integer value"});
}

void TestTableFile::absurdCountsRefused_data()
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

void TestTableFile::absurdCountsRefused()
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

void TestTableFile::sizesClampedOnLoad()
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

void TestTableFile::farColumnsLoad()
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

void TestTableFile::unencodableCellLeavesFileAlone()
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

// ---------------------------------------------------------------- backup and lifetime

void TestTableFile::autoBackupKeepsPreviousFile()
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

void TestTableFile::backupReplacesLastExtensionOnly_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("backup");
    QTest::newRow("ride log") << "default.tvl" << "default.bak";
    QTest::newRow("two extensions") << "jizdy.2005.tvl" << "jizdy.2005.bak";
    QTest::newRow("no extension") << "jizdy" << "jizdy.bak";
    QTest::newRow("already .bak") << "stare.bak.txt" << "stare.bak.bak";
}

void TestTableFile::backupReplacesLastExtensionOnly()
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

void TestTableFile::noBackupWhenOff()
{
    auto g = plainGrid();
    const QString path = m_dir->filePath(QStringLiteral("default.tvl"));
    putFile(path, "previous\r\n");
    TableFile::save(*g, path);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"default.tvl"});
}

void TestTableFile::destroyedTableWritesNothing()
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

void TestTableFile::saveWritesFileOrFails()
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

void TestTableFile::loadAndSaveRoundTrip()
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

void TestTableFile::loadedHeadingsWinOverFile()
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

QTEST_MAIN(TestTableFile)
#include "tst_tablefile.moc"
