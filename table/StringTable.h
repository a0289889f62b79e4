#pragma once
#include <QAbstractTableModel>

#include <algorithm>
#include <limits>
#include <QFlags>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "RowStore.h"

// The program's string table: rows and columns of text cells addressed
// column first, with fixed heading rows/columns, row heights and column
// widths, and headings from string lists. TableFile reads and writes it as a
// line-based table file.
//
// It is also the Qt model that a StringTableView shows: the fixed row
// becomes the view's horizontal header, the fixed column its vertical
// header, and the other cells the view's cells.
class StringTable : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum SecondCaptionPlacement { CaptionAbove, CaptionBelow };
    Q_ENUM(SecondCaptionPlacement)
    enum Alignment { LeftAligned, RightAligned, Centred };
    Q_ENUM(Alignment)

    enum GridOption {
        HeadingVerticalLines = 1 << 0,
        HeadingHorizontalLines = 1 << 1,
        VerticalLines = 1 << 2,
        HorizontalLines = 1 << 3,
        RangeSelect = 1 << 4,
        DrawFocusSelected = 1 << 5,
        RowSizing = 1 << 6,
        ColumnSizing = 1 << 7,
        RowMoving = 1 << 8,
        ColumnMoving = 1 << 9,
        Editing = 1 << 10,
        Tabs = 1 << 11,
        RowSelect = 1 << 12,
        AlwaysShowEditor = 1 << 13,
        ThumbTracking = 1 << 14,
    };
    Q_DECLARE_FLAGS(GridOptions, GridOption)

    // (Sender, row, column, alignment in-out): row before column.
    using AlignmentRule = std::function<void(StringTable *, int, int, Alignment &)>;

    // Bounds on what a table file may ask for; beyond them loading fails
    // with a clear error instead of exhausting memory. Only cells that
    // hold text and rows that hold text or a height take memory, so rows
    // and columns are bounded each alone.
    static constexpr int kMaxRowCount = 2'000'000;
    static constexpr int kMaxColCount = 10'000;
    // Sizes in pixels that a row height or column width can take; a table
    // file's sizes are clamped into this range when it is loaded.
    static constexpr int kMaxSize = 10'000;

    // True when a character can separate the fields of a table file: one
    // that a number of the file can hold (a digit, a sign, a blank) or a
    // line end would make the saved file unreadable.
    static bool isUsableDelimiter(QChar c);

    explicit StringTable(QObject *parent = nullptr);
    ~StringTable() override;

    // The rows as they are stored, for a reader or writer of many rows at
    // once (the table file). Rows are changed through rowsInBulk only
    // between beginBulkUpdate and endBulkUpdate, which resets the views.
    const RowStore &rowStore() const { return m_rows; }
    RowStore &rowsInBulk() { return m_rows; }

    // cell. Positions outside the table read as empty and are not stored.
    QString cell(int column, int row) const;
    // The text of a cell without a copy; valid until the table changes.
    QStringView cellView(int column, int row) const;
    void setCell(int column, int row, const QString &text);
    // Assigns only when the text differs (exact comparison).
    void setCellIfChanged(int column, int row, const QString &text);

    int tableRowCount() const { return m_rowCount; }
    int tableColumnCount() const { return m_colCount; }
    // Columns from `column` on hold the program's own texts, not the
    // rider's: they are kept in the table and its file, but pages and files
    // made for the rider (HTML, CSV) and the views leave them out.
    void setOwnColumnsFrom(int column) { m_ownColumnsFrom = column; }
    int ownColumnsFrom() const { return m_ownColumnsFrom; }
    int riderColumnCount() const { return std::min(m_colCount, m_ownColumnsFrom); }
    // A value of 0 or less sets 1; a count not above the fixed count
    // lowers the fixed count to the new count minus 1.
    void setTableRowCount(int count);
    void setTableColumnCount(int count);

    int headingRows() const { return m_fixedRows; }
    int headingColumns() const { return m_fixedCols; }
    void setHeadingRows(int count);
    void setHeadingColumns(int count);

    int defaultRowHeight() const { return m_defaultRowHeight; }
    int defaultColumnWidth() const { return m_defaultColWidth; }
    // Discards all individual row heights.
    void setDefaultRowHeight(int height);
    void setDefaultColumnWidth(int width);

    // Individual sizes; reading gives the default when none is set.
    // Setting with an index not below the count fails with
    // AppError("Grid index out of range").
    int rowHeight(int row) const;
    int columnWidth(int col) const;
    void setRowHeight(int row, int height);
    void setColumnWidth(int col, int width);
    // Every column back to the default width.
    void resetColumnWidths();

    // One row (column) as a list of texts. Assigning copies the first
    // min(list length, tableColumnCount/tableRowCount) entries.
    QStringList rowTexts(int row) const;
    QStringList columnTexts(int col) const;
    void setRowTexts(int row, const QStringList &texts);
    void setColumnTexts(int col, const QStringList &texts);
    void clearRow(int row);
    void clearColumn(int col);
    // Moves the texts of one row to another position, shifting the rows
    // between by one, and raises rowMoved(from, to). `to` may be tableRowCount.
    void moveRow(int from, int to);
    // Rewrites rows first..first+n-1 (n = sources.size()) so that row
    // first+k holds what row sources[k] held; sources is a permutation of
    // that range. Columns: the same for whole columns. Texts are moved,
    // not copied; sizes stay where they are.
    void permuteRows(int first, const std::vector<int> &sources);
    void permuteColumns(int first, const std::vector<int> &sources);

    GridOptions options() const { return m_options; }
    void setOptions(GridOptions options);
    bool defaultDrawing() const { return m_defaultDrawing; }
    void setDefaultDrawing(bool on) { m_defaultDrawing = on; }

    // Published properties.
    // Saving the table file keeps the file it replaces as "<name>.bak".
    bool autoBackup() const { return m_autoBackup; }
    void setAutoBackup(bool on) { m_autoBackup = on; }
    QChar cellDelimiter() const { return m_delimiter; }
    void setCellDelimiter(QChar c) { m_delimiter = c; }
    const QString &caption() const { return m_caption; }
    void setCaption(const QString &text) { m_caption = text; }
    const QString &secondCaption() const { return m_secondCaption; }
    void setSecondCaption(const QString &text) { m_secondCaption = text; }
    SecondCaptionPlacement secondCaptionPlacement() const { return m_secondCaptionPlacement; }
    void setSecondCaptionPlacement(SecondCaptionPlacement p) { m_secondCaptionPlacement = p; }
    const QStringList &columnHeadings() const { return m_columnHeadings; }
    void setColumnHeadings(const QStringList &headings);
    const QStringList &rowHeadings() const { return m_rowHeadings; }
    void setRowHeadings(const QStringList &headings);
    Alignment alignment() const { return m_alignment; }
    void setAlignment(Alignment a);
    AlignmentRule alignmentRule;
    bool grid3D() const { return m_grid3D; }
    void setGrid3D(bool on);

    // The alignment a cell is drawn with: alignment, then alignmentRule.
    Alignment cellAlignment(int column, int row);

    void applyColumnHeadings();
    void applyRowHeadings();
    // Both, at the end of setting up the table (after loading its file):
    // the headings win over what the file gave.
    void applyHeadings();
    // Removes a row; later rows move up by one.
    void deleteRow(int row);

    // Takes over everything another table holds that a table file stores
    // (cells, counts, fixed counts, sizes, delimiter, captions); the other
    // table gets this one's.
    void takeContents(StringTable &other);

    // Many changes as one: no per-cell notifications in between, the views
    // are reset once at the end. Nests.
    void beginBulkUpdate();
    void endBulkUpdate();

    // Model interface for the views.
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    // Grid position of a view index, and back.
    int gridRow(int viewRow) const
    {
        return m_filtered ? m_shown[size_t(viewRow)] : viewRow + m_fixedRows;
    }
    int gridCol(int viewCol) const { return viewCol + m_fixedCols; }
    // The view row of a grid row; -1 for a heading row or a row the views
    // do not show.
    int viewRow(int gridRow) const;

    // A filter for the views: they show only these data rows, in the
    // table's order. The table itself keeps every row; sorting, moving and
    // deleting rows keep the same rows shown, at their new places. Rows
    // added later are not shown until the filter is set again.
    void setShownRows(std::vector<int> rows);
    // The views show every row again.
    void showAllRows();
    // One more row shown (a ride brought back while a filter is on).
    void showRowToo(int row);
    bool rowsFiltered() const { return m_filtered; }
    // True while the views are told of rows shown or hidden by the filter
    // (a reset, rows inserted): no cell, row or size of the table changes.
    bool changingShownRows() const { return m_changingShown; }
    // The shown data rows, ascending; only meaningful while filtered.
    const std::vector<int> &shownRows() const { return m_shown; }

signals:
    void rowMoved(int from, int to);
    void rowHeightChanged(int row);
    void colWidthChanged(int col);
    // Default sizes changed or many individual sizes at once.
    void sizesChanged();
    // alignment, grid3D or the options changed: repaint everything.
    void appearanceChanged();

private:
    void notifyCell(int column, int row);
    void resizeRows(int count);
    void resizeCols(int count);
    // Renumbers the shown rows after rows moved: newPlace(old) gives each
    // shown row's new place, or -1 when it is gone.
    template<typename F>
    void renumberShown(F newPlace);

    RowStore m_rows;                           // only cells within tableColumnCount; row heights
    std::vector<int> m_colWidths;              // -1: default
    int m_rowCount = 0;
    int m_colCount = 0;
    int m_ownColumnsFrom = std::numeric_limits<int>::max();
    int m_fixedRows = 1;
    int m_fixedCols = 1;
    int m_defaultRowHeight = 24;
    int m_defaultColWidth = 64;
    GridOptions m_options;
    bool m_defaultDrawing = true;

    bool m_autoBackup = true;
    QChar m_delimiter = u'|';
    QString m_caption;
    QString m_secondCaption;
    SecondCaptionPlacement m_secondCaptionPlacement = CaptionAbove;
    QStringList m_columnHeadings;
    QStringList m_rowHeadings;
    Alignment m_alignment = LeftAligned;
    bool m_grid3D = false;

    int m_bulk = 0;
    bool m_filtered = false;
    bool m_changingShown = false;
    std::vector<int> m_shown; // ascending grid rows, while filtered
};

Q_DECLARE_OPERATORS_FOR_FLAGS(StringTable::GridOptions)
