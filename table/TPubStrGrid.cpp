#include "TPubStrGrid.h"
#include "AppError.h"
#include "Messages.h"
#include "TableFile.h"

#include <algorithm>

namespace {
AppError gridIndexError()
{
    return AppError(QStringLiteral("Grid index out of range"));
}

// Sizes are kept within what a table file can bring back: a size that
// loading would have to refuse is never stored.
int clampSize(int size)
{
    return std::clamp(size, 0, TPubStrGrid::kMaxSize);
}

// Only a true permutation of first..first+n-1 may move texts: a repeated
// source would leave an emptied row or column behind.
bool isPermutation(int first, const std::vector<int> &sources)
{
    const int n = int(sources.size());
    std::vector<bool> seen(static_cast<size_t>(n), false);
    for (int src : sources) {
        if (src < first || src >= first + n || seen[size_t(src - first)])
            return false;
        seen[size_t(src - first)] = true;
    }
    return true;
}
} // namespace

TPubStrGrid::TPubStrGrid(QObject *parent)
    : QAbstractTableModel(parent)
{
    // The plain string grid's defaults...
    resizeCols(5);
    resizeRows(5);
    m_fixedCols = 1;
    m_fixedRows = 1;
    m_defaultColWidth = 64;
    m_options = goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect;
    // ...then the component's own.
    m_caption2Placement = cpTop;
    m_autoSave = true;
    m_autoBackup = true;
    m_options |= goRowMoving | goColMoving | goEditing | goTabs;
    m_options |= goRowSizing | goColSizing;
    m_defaultRowHeight = 21;
    m_delimiter = u'|';
    m_colWidths[0] = 21;
    m_alignment = taLeftJustify;
    m_grid3D = false;
    m_useTdWrap = false;
    m_zkraceni = 100;
}

TPubStrGrid::~TPubStrGrid()
{
    if (m_autoSave)
        runGuarded([this] { Save(); });
}

// ---------------------------------------------------------------- cells

QStringView TPubStrGrid::cellView(int ACol, int ARow) const
{
    if (ARow < 0 || ARow >= m_rowCount || ACol < 0)
        return QStringView();
    return m_rows.texts(ARow).text(ACol);
}

QString TPubStrGrid::Cells(int ACol, int ARow) const
{
    return cellView(ACol, ARow).toString();
}

void TPubStrGrid::setCells(int ACol, int ARow, const QString &text)
{
    if (ARow < 0 || ARow >= m_rowCount || ACol < 0 || ACol >= m_colCount)
        return;
    if (text.isEmpty() && m_rows.texts(ARow).text(ACol).isEmpty())
        return;
    m_rows.textsForWrite(ARow).set(ACol, text);
    notifyCell(ACol, ARow);
}

void TPubStrGrid::SetCellIfChanged(int ACol, int ARow, const QString &text)
{
    if (cellView(ACol, ARow) != text)
        setCells(ACol, ARow, text);
}

void TPubStrGrid::notifyCell(int ACol, int ARow)
{
    if (m_bulk)
        return;
    if (ARow < m_fixedRows) {
        if (ARow == m_fixedRows - 1 && ACol >= m_fixedCols)
            emit headerDataChanged(Qt::Horizontal, ACol - m_fixedCols, ACol - m_fixedCols);
        return;
    }
    if (ACol < m_fixedCols) {
        if (ACol == m_fixedCols - 1)
            emit headerDataChanged(Qt::Vertical, ARow - m_fixedRows, ARow - m_fixedRows);
        return;
    }
    const QModelIndex i = index(ARow - m_fixedRows, ACol - m_fixedCols);
    emit dataChanged(i, i, {Qt::DisplayRole});
}

// ---------------------------------------------------------------- counts

void TPubStrGrid::resizeRows(int count)
{
    m_rows.resize(count);
    m_rowCount = count;
}

void TPubStrGrid::resizeCols(int count)
{
    if (count < m_colCount) {
        m_rows.forEachRow([count](int, RowTexts &row) { row.truncate(count); });
    }
    m_colWidths.resize(size_t(count), -1);
    m_colCount = count;
}

void TPubStrGrid::setRowCount(int count)
{
    if (count <= 0)
        count = 1;
    if (count == m_rowCount)
        return;
    const int newFixed = count <= m_fixedRows ? count - 1 : m_fixedRows;
    if (m_bulk || newFixed != m_fixedRows) {
        if (!m_bulk)
            beginResetModel();
        m_fixedRows = newFixed;
        resizeRows(count);
        if (!m_bulk)
            endResetModel();
        return;
    }
    const int oldView = m_rowCount - m_fixedRows;
    const int newView = count - m_fixedRows;
    if (newView > oldView) {
        beginInsertRows(QModelIndex(), oldView, newView - 1);
        resizeRows(count);
        endInsertRows();
    } else {
        beginRemoveRows(QModelIndex(), newView, oldView - 1);
        resizeRows(count);
        endRemoveRows();
    }
}

void TPubStrGrid::setColCount(int count)
{
    if (count <= 0)
        count = 1;
    if (count == m_colCount)
        return;
    const int newFixed = count <= m_fixedCols ? count - 1 : m_fixedCols;
    if (m_bulk || newFixed != m_fixedCols) {
        if (!m_bulk)
            beginResetModel();
        m_fixedCols = newFixed;
        resizeCols(count);
        if (!m_bulk)
            endResetModel();
        return;
    }
    const int oldView = m_colCount - m_fixedCols;
    const int newView = count - m_fixedCols;
    if (newView > oldView) {
        beginInsertColumns(QModelIndex(), oldView, newView - 1);
        resizeCols(count);
        endInsertColumns();
    } else {
        beginRemoveColumns(QModelIndex(), newView, oldView - 1);
        resizeCols(count);
        endRemoveColumns();
    }
}

void TPubStrGrid::setFixedRows(int count)
{
    count = std::clamp(count, 0, m_rowCount - 1);
    if (count == m_fixedRows)
        return;
    if (!m_bulk)
        beginResetModel();
    m_fixedRows = count;
    if (!m_bulk)
        endResetModel();
}

void TPubStrGrid::setFixedCols(int count)
{
    count = std::clamp(count, 0, m_colCount - 1);
    if (count == m_fixedCols)
        return;
    if (!m_bulk)
        beginResetModel();
    m_fixedCols = count;
    if (!m_bulk)
        endResetModel();
}

// ---------------------------------------------------------------- sizes

void TPubStrGrid::setDefaultRowHeight(int height)
{
    m_defaultRowHeight = clampSize(height);
    m_rows.clearHeights();
    if (!m_bulk)
        emit sizesChanged();
}

void TPubStrGrid::setDefaultColWidth(int width)
{
    m_defaultColWidth = clampSize(width);
    if (!m_bulk)
        emit sizesChanged();
}

int TPubStrGrid::RowHeights(int row) const
{
    const int h = row < 0 || row >= m_rowCount ? -1 : m_rows.height(row);
    return h < 0 ? m_defaultRowHeight : h;
}

int TPubStrGrid::ColWidths(int col) const
{
    if (col < 0 || col >= m_colCount || m_colWidths[size_t(col)] < 0)
        return m_defaultColWidth;
    return m_colWidths[size_t(col)];
}

void TPubStrGrid::setRowHeights(int row, int height)
{
    if (row < 0 || row >= m_rowCount)
        throw gridIndexError();
    height = clampSize(height);
    if (m_rows.height(row) == height)
        return;
    m_rows.setHeight(row, height);
    if (!m_bulk)
        emit rowHeightChanged(row);
}

void TPubStrGrid::setColWidths(int col, int width)
{
    if (col < 0 || col >= m_colCount)
        throw gridIndexError();
    width = clampSize(width);
    if (m_colWidths[size_t(col)] == width)
        return;
    m_colWidths[size_t(col)] = width;
    if (!m_bulk)
        emit colWidthChanged(col);
}

// ---------------------------------------------------------------- rows and columns

QStringList TPubStrGrid::Rows(int row) const
{
    QStringList out;
    out.reserve(m_colCount);
    for (int c = 0; c < m_colCount; ++c)
        out.append(cellView(c, row).toString());
    return out;
}

QStringList TPubStrGrid::Cols(int col) const
{
    QStringList out;
    out.reserve(m_rowCount);
    for (int r = 0; r < m_rowCount; ++r)
        out.append(cellView(col, r).toString());
    return out;
}

void TPubStrGrid::setRows(int row, const QStringList &texts)
{
    if (row < 0 || row >= m_rowCount)
        return;
    beginBulkUpdate();
    const int n = std::min<int>(int(texts.size()), m_colCount);
    for (int c = 0; c < n; ++c)
        setCells(c, row, texts.at(c));
    endBulkUpdate();
}

void TPubStrGrid::setCols(int col, const QStringList &texts)
{
    if (col < 0 || col >= m_colCount)
        return;
    beginBulkUpdate();
    const int n = std::min<int>(int(texts.size()), m_rowCount);
    for (int r = 0; r < n; ++r)
        setCells(col, r, texts.at(r));
    endBulkUpdate();
}

void TPubStrGrid::clearRow(int row)
{
    if (row < 0 || row >= m_rowCount)
        return;
    m_rows.put(row, RowTexts());
    if (!m_bulk) {
        if (row >= m_fixedRows) {
            const int v = row - m_fixedRows;
            emit dataChanged(index(v, 0), index(v, std::max(0, columnCount() - 1)));
            if (m_fixedCols > 0)
                emit headerDataChanged(Qt::Vertical, v, v);
        } else {
            emit headerDataChanged(Qt::Horizontal, 0, std::max(0, columnCount() - 1));
        }
    }
}

void TPubStrGrid::clearCol(int col)
{
    if (col < 0 || col >= m_colCount)
        return;
    beginBulkUpdate();
    for (int r = 0; r < m_rowCount; ++r)
        setCells(col, r, QString());
    endBulkUpdate();
}

void TPubStrGrid::MoveRow(int from, int to)
{
    if (from < 0 || from >= m_rowCount || to < 0 || to > m_rowCount || from == to)
        return;
    if (to == m_rowCount) {
        // One past the last row: the texts go to a position that exists
        // only for this step, and the rows after `from` move up.
        beginBulkUpdate();
        m_rows.moveTexts(from, m_rowCount - 1);
        m_rows.put(m_rowCount - 1, RowTexts());
        endBulkUpdate();
    } else {
        beginBulkUpdate();
        m_rows.moveTexts(from, to);
        endBulkUpdate();
    }
    emit rowMoved(from, to);
}

void TPubStrGrid::permuteRows(int first, const std::vector<int> &sources)
{
    const int n = int(sources.size());
    if (first < 0 || first + n > m_rowCount)
        return;
    if (!isPermutation(first, sources))
        return;
    std::vector<RowTexts> moved(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) {
        const int src = sources[size_t(k)];
        moved[size_t(k)] = m_rows.take(src);
    }
    beginBulkUpdate();
    for (int k = 0; k < n; ++k)
        m_rows.put(first + k, std::move(moved[size_t(k)]));
    endBulkUpdate();
}

void TPubStrGrid::permuteCols(int first, const std::vector<int> &sources)
{
    const int n = int(sources.size());
    if (first < 0 || first + n > m_colCount)
        return;
    if (!isPermutation(first, sources))
        return;
    // Each row's cells are renumbered: a cell of column sources[k] goes to
    // column first + k, columns outside the range stay.
    std::vector<int> target(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k)
        target[size_t(sources[size_t(k)] - first)] = first + k;
    beginBulkUpdate();
    std::vector<RowTexts::Cell> cells;
    m_rows.forEachRow([&](int, RowTexts &row) {
        cells = row.cells();
        bool moved = false;
        for (auto &c : cells) {
            if (c.col >= first && c.col < first + n) {
                moved = moved || target[size_t(c.col - first)] != c.col;
                c.col = target[size_t(c.col - first)];
            }
        }
        if (!moved)
            return;
        std::sort(cells.begin(), cells.end(), [](const RowTexts::Cell &a, const RowTexts::Cell &b) {
            return a.col < b.col;
        });
        row.assign(cells.data(), qsizetype(cells.size()));
    });
    endBulkUpdate();
}

void TPubStrGrid::RemoveRow(int ARow)
{
    if (ARow < 0 || ARow >= m_rowCount)
        return;
    // The rows after ARow move up; the removed texts end up in the row
    // that is then cut off. Individual row heights stay where they are.
    const int count = m_rowCount;
    const int fixed = m_fixedRows;
    const bool simple = !m_bulk && ARow >= fixed && count - 1 > fixed && count > 1;
    if (simple) {
        const int v = ARow - fixed;
        beginRemoveRows(QModelIndex(), v, v);
        m_rows.moveTexts(ARow, count - 1);
        resizeRows(count - 1);
        endRemoveRows();
        // Rows below moved up: their heights did not.
        if (m_rows.anyHeightFrom(ARow))
            emit sizesChanged();
        emit rowMoved(ARow, count);
        return;
    }
    beginBulkUpdate();
    MoveRow(ARow, count);
    setRowCount(count - 1);
    endBulkUpdate();
}

// ---------------------------------------------------------------- appearance

void TPubStrGrid::setOptions(GridOptions options)
{
    if (options == m_options)
        return;
    m_options = options;
    emit appearanceChanged();
}

void TPubStrGrid::setAlignment(TAlignment a)
{
    if (a == m_alignment)
        return;
    m_alignment = a;
    emit appearanceChanged();
}

void TPubStrGrid::setGrid3D(bool on)
{
    if (on == m_grid3D)
        return;
    m_grid3D = on;
    emit appearanceChanged();
}

TPubStrGrid::TAlignment TPubStrGrid::cellAlignment(int ACol, int ARow)
{
    TAlignment a = m_alignment;
    if (OnGetAlignment)
        OnGetAlignment(this, ARow, ACol, a);
    return a;
}

// ---------------------------------------------------------------- headings

void TPubStrGrid::setHCol(const QStringList &headings)
{
    m_hCol = headings;
    ApplyHCol();
    emit appearanceChanged();
}

void TPubStrGrid::setHRow(const QStringList &headings)
{
    m_hRow = headings;
    ApplyHRow();
    emit appearanceChanged();
}

void TPubStrGrid::ApplyHCol()
{
    for (int i = 0; i < m_colCount; ++i)
        SetCellIfChanged(i, 0, i < m_hCol.size() ? m_hCol.at(i) : QString());
}

void TPubStrGrid::ApplyHRow()
{
    for (int i = 0; i <= m_rowCount - 2; ++i)
        SetCellIfChanged(0, i + 1, i < m_hRow.size() ? m_hRow.at(i) : QString());
}

// ---------------------------------------------------------------- file

void TPubStrGrid::setFileName(const QString &path)
{
    m_fileName = path;
    Load();
}

void TPubStrGrid::Load()
{
    if (!m_fileName.isEmpty())
        LoadFromFile(m_fileName);
}

void TPubStrGrid::Save()
{
    if (!m_fileName.isEmpty())
        SaveToFile(m_fileName);
}

void TPubStrGrid::Loaded()
{
    Load();
    ApplyHCol();
    ApplyHRow();
}

QString TPubStrGrid::tableFileText() const
{
    return TableFile::text(*this);
}

void TPubStrGrid::SaveToFile(const QString &path)
{
    TableFile::save(*this, path);
}

void TPubStrGrid::LoadFromFile(const QString &path)
{
    TableFile::load(*this, path);
}

void TPubStrGrid::loadTableFileBytes(QByteArrayView file)
{
    TableFile::read(*this, file);
}

bool TPubStrGrid::isUsableDelimiter(QChar c)
{
    return !(c.isDigit() || c == u'+' || c == u'-' || c.isSpace());
}

void TPubStrGrid::takeContents(TPubStrGrid &other)
{
    beginBulkUpdate();
    other.beginBulkUpdate();
    std::swap(m_rows, other.m_rows);
    std::swap(m_colWidths, other.m_colWidths);
    std::swap(m_rowCount, other.m_rowCount);
    std::swap(m_colCount, other.m_colCount);
    std::swap(m_fixedRows, other.m_fixedRows);
    std::swap(m_fixedCols, other.m_fixedCols);
    std::swap(m_defaultRowHeight, other.m_defaultRowHeight);
    std::swap(m_defaultColWidth, other.m_defaultColWidth);
    std::swap(m_delimiter, other.m_delimiter);
    std::swap(m_caption1, other.m_caption1);
    std::swap(m_caption2, other.m_caption2);
    std::swap(m_caption2Placement, other.m_caption2Placement);
    other.endBulkUpdate();
    endBulkUpdate();
}

void TPubStrGrid::beginBulkUpdate()
{
    if (m_bulk++ == 0)
        beginResetModel();
}

void TPubStrGrid::endBulkUpdate()
{
    if (--m_bulk == 0) {
        endResetModel();
        emit sizesChanged();
    }
}

// ---------------------------------------------------------------- model

int TPubStrGrid::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rowCount - m_fixedRows;
}

int TPubStrGrid::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_colCount - m_fixedCols;
}

QVariant TPubStrGrid::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const int c = gridCol(index.column());
    const int r = gridRow(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::AccessibleTextRole:
        return cellView(c, r).toString();
    case Qt::TextAlignmentRole: {
        auto *self = const_cast<TPubStrGrid *>(this);
        switch (self->cellAlignment(c, r)) {
        case taRightJustify: return int(Qt::AlignRight | Qt::AlignVCenter);
        case taCenter: return int(Qt::AlignHCenter | Qt::AlignVCenter);
        case taLeftJustify: break;
        }
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
    default:
        return {};
    }
}

QVariant TPubStrGrid::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole && role != Qt::ToolTipRole)
        return {};
    if (orientation == Qt::Horizontal) {
        if (m_fixedRows == 0)
            return role == Qt::DisplayRole ? QVariant(QString::number(section + 1)) : QVariant();
        return cellView(gridCol(section), m_fixedRows - 1).toString();
    }
    if (m_fixedCols == 0)
        return role == Qt::DisplayRole ? QVariant(QString::number(section + 1)) : QVariant();
    return cellView(m_fixedCols - 1, gridRow(section)).toString();
}

Qt::ItemFlags TPubStrGrid::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (m_options.testFlag(goEditing))
        f |= Qt::ItemIsEditable;
    return f;
}

bool TPubStrGrid::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !m_options.testFlag(goEditing))
        return false;
    setCells(gridCol(index.column()), gridRow(index.row()), value.toString());
    return true;
}
