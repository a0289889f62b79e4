#pragma once
#include <QAbstractTableModel>
#include <QByteArrayView>
#include <QFlags>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "RowStore.h"

// The program's string table: rows and columns of text cells addressed
// column first, with fixed heading rows/columns, row heights and column
// widths, headings from string lists, and its own line-based table file.
//
// It is also the Qt model that a TPubStrGridView shows: the fixed row
// becomes the view's horizontal header, the fixed column its vertical
// header, and the other cells the view's cells.
class TPubStrGrid : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum TCaption2Placement { cpTop, cpBottom };
    Q_ENUM(TCaption2Placement)
    enum TAlignment { taLeftJustify, taRightJustify, taCenter };
    Q_ENUM(TAlignment)

    enum GridOption {
        goFixedVertLine = 1 << 0,
        goFixedHorzLine = 1 << 1,
        goVertLine = 1 << 2,
        goHorzLine = 1 << 3,
        goRangeSelect = 1 << 4,
        goDrawFocusSelected = 1 << 5,
        goRowSizing = 1 << 6,
        goColSizing = 1 << 7,
        goRowMoving = 1 << 8,
        goColMoving = 1 << 9,
        goEditing = 1 << 10,
        goTabs = 1 << 11,
        goRowSelect = 1 << 12,
        goAlwaysShowEditor = 1 << 13,
        goThumbTracking = 1 << 14,
    };
    Q_DECLARE_FLAGS(GridOptions, GridOption)

    // (Sender, ARow, ACol, alignment in-out): row before column.
    using TGridAlignEvent = std::function<void(TPubStrGrid *, int, int, TAlignment &)>;

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

    explicit TPubStrGrid(QObject *parent = nullptr);
    ~TPubStrGrid() override;

    // Cells. Positions outside the table read as empty and are not stored.
    QString Cells(int ACol, int ARow) const;
    // The text of a cell without a copy; valid until the table changes.
    QStringView cellView(int ACol, int ARow) const;
    void setCells(int ACol, int ARow, const QString &text);
    // Assigns only when the text differs (exact comparison).
    void SetCellIfChanged(int ACol, int ARow, const QString &text);

    int RowCount() const { return m_rowCount; }
    int ColCount() const { return m_colCount; }
    // A value of 0 or less sets 1; a count not above the fixed count
    // lowers the fixed count to the new count minus 1.
    void setRowCount(int count);
    void setColCount(int count);

    int FixedRows() const { return m_fixedRows; }
    int FixedCols() const { return m_fixedCols; }
    void setFixedRows(int count);
    void setFixedCols(int count);

    int DefaultRowHeight() const { return m_defaultRowHeight; }
    int DefaultColWidth() const { return m_defaultColWidth; }
    // Discards all individual row heights.
    void setDefaultRowHeight(int height);
    void setDefaultColWidth(int width);

    // Individual sizes; reading gives the default when none is set.
    // Setting with an index not below the count fails with
    // AppError("Grid index out of range").
    int RowHeights(int row) const;
    int ColWidths(int col) const;
    void setRowHeights(int row, int height);
    void setColWidths(int col, int width);

    // One row (column) as a list of texts. Assigning copies the first
    // min(list length, ColCount/RowCount) entries.
    QStringList Rows(int row) const;
    QStringList Cols(int col) const;
    void setRows(int row, const QStringList &texts);
    void setCols(int col, const QStringList &texts);
    void clearRow(int row);
    void clearCol(int col);
    // Moves the texts of one row to another position, shifting the rows
    // between by one, and raises rowMoved(from, to). `to` may be RowCount.
    void MoveRow(int from, int to);
    // Rewrites rows first..first+n-1 (n = sources.size()) so that row
    // first+k holds what row sources[k] held; sources is a permutation of
    // that range. Columns: the same for whole columns. Texts are moved,
    // not copied; sizes stay where they are.
    void permuteRows(int first, const std::vector<int> &sources);
    void permuteCols(int first, const std::vector<int> &sources);

    GridOptions Options() const { return m_options; }
    void setOptions(GridOptions options);
    bool DefaultDrawing() const { return m_defaultDrawing; }
    void setDefaultDrawing(bool on) { m_defaultDrawing = on; }

    // Published properties.
    bool AutoBackup() const { return m_autoBackup; }
    void setAutoBackup(bool on) { m_autoBackup = on; }
    QChar CellDelimiter() const { return m_delimiter; }
    void setCellDelimiter(QChar c) { m_delimiter = c; }
    const QString &FileName() const { return m_fileName; }
    // Loads the file at once.
    void setFileName(const QString &path);
    const QString &Caption1() const { return m_caption1; }
    void setCaption1(const QString &text) { m_caption1 = text; }
    const QString &Caption2() const { return m_caption2; }
    void setCaption2(const QString &text) { m_caption2 = text; }
    TCaption2Placement Caption2Placement() const { return m_caption2Placement; }
    void setCaption2Placement(TCaption2Placement p) { m_caption2Placement = p; }
    bool AutoSave() const { return m_autoSave; }
    void setAutoSave(bool on) { m_autoSave = on; }
    const QStringList &HCol() const { return m_hCol; }
    void setHCol(const QStringList &headings);
    const QStringList &HRow() const { return m_hRow; }
    void setHRow(const QStringList &headings);
    TAlignment Alignment() const { return m_alignment; }
    void setAlignment(TAlignment a);
    TGridAlignEvent OnGetAlignment;
    bool Grid3D() const { return m_grid3D; }
    void setGrid3D(bool on);
    bool UseTdWrap() const { return m_useTdWrap; }
    void setUseTdWrap(bool on) { m_useTdWrap = on; }
    int zkraceni() const { return m_zkraceni; }
    void setZkraceni(int length) { m_zkraceni = length; }

    // The alignment a cell is drawn with: Alignment, then OnGetAlignment.
    TAlignment cellAlignment(int ACol, int ARow);

    void ApplyHCol();
    void ApplyHRow();

    // Table file. Errors are AppError with the runtime's texts.
    void SaveToFile(const QString &path);
    // Loads what the file holds. Lines that cannot be placed (a cell
    // outside the counts of line 2, a line of no known kind, a second line
    // for the same cell) do not stop the loading: everything else is
    // loaded, then an AppError names them, so that the caller can keep the
    // original file before the table is saved over it.
    void LoadFromFile(const QString &path);
    void Load();
    void Save();
    // End of setting up the component: Load, then ApplyHCol, ApplyHRow.
    void Loaded();
    // Removes a row; later rows move up by one.
    void RemoveRow(int ARow);

    // The table as the lines of an HTML table, appended to Lines: row 0 as
    // the heading row (column widths + 5 as the widths), Caption1 above it
    // when set, every other row as a body row. Body texts wrap when
    // UseTdWrap is set; otherwise they do not, and texts longer than
    // zkraceni characters are cut to that length and end with "...". Texts
    // are escaped, so that a cell never turns into markup. (HtmlTable.h
    // writes the same lines into other sinks.)
    void WriteHtmlTable(QStringList &Lines) const;

    // The table file's text, as SaveToFile writes it (CR LF line ends).
    QString tableFileText() const;
    // Takes over everything another table holds that a table file stores
    // (cells, counts, fixed counts, sizes, delimiter, captions); the other
    // table gets this one's.
    void takeContents(TPubStrGrid &other);

    // Reads a table file's bytes into the table, as LoadFromFile does.
    void loadTableFileBytes(QByteArrayView file);

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
    int gridRow(int viewRow) const { return viewRow + m_fixedRows; }
    int gridCol(int viewCol) const { return viewCol + m_fixedCols; }

signals:
    void rowMoved(int from, int to);
    void rowHeightChanged(int row);
    void colWidthChanged(int col);
    // Default sizes changed or many individual sizes at once.
    void sizesChanged();
    // Alignment, Grid3D or the options changed: repaint everything.
    void appearanceChanged();

private:
    // The table file's reader and writer reach the rows and column widths.
    friend class TableFile;

    void notifyCell(int ACol, int ARow);
    void resizeRows(int count);
    void resizeCols(int count);

    RowStore m_rows;                           // only cells within ColCount; row heights
    std::vector<int> m_colWidths;              // -1: default
    int m_rowCount = 0;
    int m_colCount = 0;
    int m_fixedRows = 1;
    int m_fixedCols = 1;
    int m_defaultRowHeight = 24;
    int m_defaultColWidth = 64;
    GridOptions m_options;
    bool m_defaultDrawing = true;

    bool m_autoBackup = true;
    QChar m_delimiter = u'|';
    QString m_fileName;
    QString m_caption1;
    QString m_caption2;
    TCaption2Placement m_caption2Placement = cpTop;
    bool m_autoSave = true;
    QStringList m_hCol;
    QStringList m_hRow;
    TAlignment m_alignment = taLeftJustify;
    bool m_grid3D = false;
    bool m_useTdWrap = false;
    int m_zkraceni = 100;

    int m_bulk = 0;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TPubStrGrid::GridOptions)
