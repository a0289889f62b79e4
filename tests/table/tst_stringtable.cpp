// Tests of the string table: the model rules, counts and sizes, rows,
// headings and cells.

#include "TableTestData.h"

class TestStringTable : public QObject
{
    Q_OBJECT

private slots:
    void countsNeverBelowOne();
    void fixedCountsLowered();
    void sizesOutOfRange();
    void rowsAndColsAssignment();
    void modelShowsNonFixedCells();
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
};

// ---------------------------------------------------------------- table model

void TestStringTable::countsNeverBelowOne()
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

void TestStringTable::fixedCountsLowered()
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

void TestStringTable::sizesOutOfRange()
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

void TestStringTable::rowsAndColsAssignment()
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

void TestStringTable::modelShowsNonFixedCells()
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

// ---------------------------------------------------------------- rows, headings, cells

void TestStringTable::removeRow_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("remove");
    QTest::addColumn<QStringList>("column0"); // after removal

    QTest::newRow("last row just dropped") << 3 << 2 << QStringList{"r0", "r1"};
    QTest::newRow("row 1 of three") << 3 << 1 << QStringList{"r0", "r2"};
    QTest::newRow("middle of five") << 5 << 2 << QStringList{"r0", "r1", "r3", "r4"};
    QTest::newRow("heading row") << 4 << 0 << QStringList{"r1", "r2", "r3"};
}

void TestStringTable::removeRow()
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

void TestStringTable::removeRowKeepsHeights()
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

void TestStringTable::removeOnlyRow()
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

void TestStringTable::removeRowDownToFixedRows()
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

void TestStringTable::rowOperationsMatchAPlainList_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("maxRows"); // rows are kept in blocks: cross their borders
    // > 0: the table starts from a file whose texts are this long, read
    // into the file's own memory (a long file's in a region of its own).
    QTest::addColumn<int>("fileTexts");
    // The views show only some rows (a filter), which follow every step.
    QTest::addColumn<bool>("filtered");
    QTest::newRow("few rows") << 7u << 20 << 0 << false;
    QTest::newRow("many rows") << 11u << 90 << 0 << false;
    QTest::newRow("many rows, other steps") << 12345u << 90 << 0 << false;
    QTest::newRow("read from a file") << 99u << 90 << 8 << false;
    QTest::newRow("read from a long file") << 5u << 90 << 12000 << false;
    QTest::newRow("few rows, filtered") << 3u << 20 << 0 << true;
    QTest::newRow("many rows, filtered") << 17u << 90 << 0 << true;
}

// Random steps on the table and on plain lists of column 0's texts and
// the row heights: after every step both hold the same.
void TestStringTable::rowOperationsMatchAPlainList()
{
    QFETCH(quint32, seed);
    QFETCH(int, maxRows);
    QFETCH(int, fileTexts);
    QFETCH(bool, filtered);
    QRandomGenerator random(seed);
    const auto any = [&](int n) { return int(random.bounded(quint32(n))); };
    auto g = plainGrid();
    g->setTableRowCount(maxRows / 2);
    QStringList texts(g->tableRowCount());
    QList<int> heights(g->tableRowCount(), -1);
    QList<bool> shown(texts.size(), false);
    // A file of `n` rows, each with its own text in column 0.
    const auto readFile = [&](int n) {
        QByteArray file = "|\r\n" + QByteArray::number(n) + "|5\r\n21\r\n\r\n\r\nTop\r\n";
        texts.resize(n);
        shown.fill(false);
        shown.resize(n, false);
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
    const auto showSome = [&] {
        std::vector<int> rows;
        for (int r = 0; r < shown.size(); ++r)
            if ((shown[r] = any(3) == 0))
                rows.push_back(r);
        g->setShownRows(rows);
    };
    if (filtered)
        showSome();
    for (int step = 0; step < 3000; ++step) {
        const int count = int(texts.size());
        if (filtered && any(50) == 0) {
            showSome();
            continue;
        }
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
                shown.move(from, count - 1);
            } else {
                texts.move(from, to);
                shown.move(from, to);
            }
            break;
        }
        case 3: {
            const int r = any(count);
            g->deleteRow(r);
            if (count > 1) {
                texts.removeAt(r);
                shown.removeAt(r);
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
            shown.resize(n, false);
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
            const QList<bool> shownBefore = shown;
            for (int k = 0; k < n; ++k) {
                texts[first + k] = before[sources[size_t(k)]];
                shown[first + k] = shownBefore[sources[size_t(k)]];
            }
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
        if (!filtered)
            continue;
        QStringList shownTexts, viewTexts;
        for (int r = g->headingRows(); r < texts.size(); ++r)
            if (shown[r])
                shownTexts << texts[r];
        for (int v = 0; v < g->rowCount(); ++v)
            viewTexts << g->headerData(v, Qt::Vertical, Qt::DisplayRole).toString();
        QCOMPARE(viewTexts, shownTexts);
    }
}

void TestStringTable::applyHCol()
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

void TestStringTable::applyHRow()
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

void TestStringTable::setCellIfChanged()
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

QTEST_MAIN(TestStringTable)
#include "tst_stringtable.moc"
