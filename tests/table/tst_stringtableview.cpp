// Tests of the view that shows a string table: headers, widths, the
// current row, the mouse and accessibility.

#include "TableTestData.h"

class TestStringTableView : public QObject
{
    Q_OBJECT

private slots:
    void viewHeaderShowsHeadings();
    void viewColumnWidths();
    void viewCurrentRow();
    void viewMouseToCell();
    void viewAccessibility();
};

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

void TestStringTableView::viewHeaderShowsHeadings()
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

void TestStringTableView::viewColumnWidths()
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
    const QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("w.tvl"));
    TableFile::save(*log.grid, path);
    QVERIFY(fileBytes(path).contains("\r\nColumn 0 Width: 62\r\nColumn 2 Width: 150\r\nColumn 3 Width: 90\r\n"));

    // Loading a file sets the view's widths too.
    const QString example = dir.filePath(QStringLiteral("default.tvl"));
    putFile(example, fileOf(kExampleLines));
    log.grid->setColumnWidth(2, 64);
    log.grid->setColumnWidth(3, 64);
    log.grid->setColumnWidth(0, 100);
    TableFile::load(*log.grid, example);
    QCOMPARE(hh->sectionSize(0), 62);
    QCOMPARE(hh->sectionSize(2), 64);
    QCOMPARE(log.view.verticalHeader()->sectionSize(0), 18);

    // Every column back to the default width, in the view at once.
    log.grid->resetColumnWidths();
    QCOMPARE(hh->sectionSize(0), 64);
}

void TestStringTableView::viewCurrentRow()
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

void TestStringTableView::viewMouseToCell()
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

void TestStringTableView::viewAccessibility()
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

QTEST_MAIN(TestStringTableView)
#include "tst_stringtableview.moc"
