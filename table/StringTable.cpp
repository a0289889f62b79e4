#include "StringTable.h"
#include "AppError.h"

#include <QScopedValueRollback>

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
    return std::clamp(size, 0, StringTable::kMaxSize);
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

StringTable::StringTable(QObject *parent)
    : QAbstractTableModel(parent)
{
    // The plain string grid's defaults...
    resizeCols(5);
    resizeRows(5);
    m_fixedCols = 1;
    m_fixedRows = 1;
    m_defaultColWidth = 64;
    m_options = HeadingVerticalLines | HeadingHorizontalLines | VerticalLines | HorizontalLines | RangeSelect;
    // ...then the component's own.
    m_secondCaptionPlacement = CaptionAbove;
    m_autoBackup = true;
    m_options |= RowMoving | ColumnMoving | Editing | Tabs;
    m_options |= RowSizing | ColumnSizing;
    m_defaultRowHeight = 21;
    m_delimiter = u'|';
    m_colWidths[0] = 21;
    m_alignment = LeftAligned;
    m_grid3D = false;
}

StringTable::~StringTable() = default;

// ---------------------------------------------------------------- cells

QStringView StringTable::cellView(int column, int row) const
{
    if (row < 0 || row >= m_rowCount || column < 0)
        return QStringView();
    return m_rows.texts(row).text(column);
}

QString StringTable::cell(int column, int row) const
{
    return cellView(column, row).toString();
}

void StringTable::setCell(int column, int row, const QString &text)
{
    if (row < 0 || row >= m_rowCount || column < 0 || column >= m_colCount)
        return;
    if (text.isEmpty() && m_rows.texts(row).text(column).isEmpty())
        return;
    m_rows.textsForWrite(row).set(column, text);
    notifyCell(column, row);
}

void StringTable::setCellIfChanged(int column, int row, const QString &text)
{
    if (cellView(column, row) != text)
        setCell(column, row, text);
}

void StringTable::notifyCell(int column, int row)
{
    if (m_bulk)
        return;
    if (row < m_fixedRows) {
        if (row == m_fixedRows - 1 && column >= m_fixedCols)
            emit headerDataChanged(Qt::Horizontal, column - m_fixedCols, column - m_fixedCols);
        return;
    }
    const int v = viewRow(row);
    if (v < 0)
        return;
    if (column < m_fixedCols) {
        if (column == m_fixedCols - 1)
            emit headerDataChanged(Qt::Vertical, v, v);
        return;
    }
    const QModelIndex i = index(v, column - m_fixedCols);
    emit dataChanged(i, i, {Qt::DisplayRole});
}

// ---------------------------------------------------------------- counts

void StringTable::resizeRows(int count)
{
    m_rows.resize(count);
    m_rowCount = count;
}

void StringTable::resizeCols(int count)
{
    if (count < m_colCount) {
        m_rows.forEachRow([count](int, RowTexts &row) { row.truncate(count); });
    }
    m_colWidths.resize(size_t(count), -1);
    m_colCount = count;
}

void StringTable::setTableRowCount(int count)
{
    if (count <= 0)
        count = 1;
    if (count == m_rowCount)
        return;
    const int newFixed = count <= m_fixedRows ? count - 1 : m_fixedRows;
    if (m_filtered) {
        // Rows added are not shown; rows cut off leave the shown ones.
        const bool cutsShown = !m_shown.empty() && m_shown.back() >= count;
        const bool reset = !m_bulk && (cutsShown || newFixed != m_fixedRows);
        if (reset)
            beginResetModel();
        renumberShown([count](int r) { return r < count ? r : -1; });
        m_fixedRows = newFixed;
        resizeRows(count);
        if (reset)
            endResetModel();
        return;
    }
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

void StringTable::setTableColumnCount(int count)
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

void StringTable::setHeadingRows(int count)
{
    count = std::clamp(count, 0, m_rowCount - 1);
    if (count == m_fixedRows)
        return;
    if (!m_bulk)
        beginResetModel();
    m_fixedRows = count;
    m_filtered = false;
    m_shown.clear();
    if (!m_bulk)
        endResetModel();
}

void StringTable::setHeadingColumns(int count)
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

void StringTable::setDefaultRowHeight(int height)
{
    m_defaultRowHeight = clampSize(height);
    m_rows.clearHeights();
    if (!m_bulk)
        emit sizesChanged();
}

void StringTable::setDefaultColumnWidth(int width)
{
    m_defaultColWidth = clampSize(width);
    if (!m_bulk)
        emit sizesChanged();
}

int StringTable::rowHeight(int row) const
{
    const int h = row < 0 || row >= m_rowCount ? -1 : m_rows.height(row);
    return h < 0 ? m_defaultRowHeight : h;
}

int StringTable::columnWidth(int col) const
{
    if (col < 0 || col >= m_colCount || m_colWidths[size_t(col)] < 0)
        return m_defaultColWidth;
    return m_colWidths[size_t(col)];
}

void StringTable::setRowHeight(int row, int height)
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

void StringTable::setColumnWidth(int col, int width)
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

void StringTable::resetColumnWidths()
{
    std::fill(m_colWidths.begin(), m_colWidths.end(), -1);
    if (!m_bulk)
        emit sizesChanged();
}

// ---------------------------------------------------------------- rows and columns

QStringList StringTable::rowTexts(int row) const
{
    QStringList out;
    out.reserve(m_colCount);
    for (int c = 0; c < m_colCount; ++c)
        out.append(cellView(c, row).toString());
    return out;
}

QStringList StringTable::columnTexts(int col) const
{
    QStringList out;
    out.reserve(m_rowCount);
    for (int r = 0; r < m_rowCount; ++r)
        out.append(cellView(col, r).toString());
    return out;
}

void StringTable::setRowTexts(int row, const QStringList &texts)
{
    if (row < 0 || row >= m_rowCount)
        return;
    beginBulkUpdate();
    const int n = std::min<int>(int(texts.size()), m_colCount);
    for (int c = 0; c < n; ++c)
        setCell(c, row, texts.at(c));
    endBulkUpdate();
}

void StringTable::setColumnTexts(int col, const QStringList &texts)
{
    if (col < 0 || col >= m_colCount)
        return;
    beginBulkUpdate();
    const int n = std::min<int>(int(texts.size()), m_rowCount);
    for (int r = 0; r < n; ++r)
        setCell(col, r, texts.at(r));
    endBulkUpdate();
}

void StringTable::clearRow(int row)
{
    if (row < 0 || row >= m_rowCount)
        return;
    m_rows.put(row, RowTexts());
    if (!m_bulk) {
        const int v = viewRow(row);
        if (v >= 0) {
            emit dataChanged(index(v, 0), index(v, std::max(0, columnCount() - 1)));
            if (m_fixedCols > 0)
                emit headerDataChanged(Qt::Vertical, v, v);
        } else if (row < m_fixedRows) {
            emit headerDataChanged(Qt::Horizontal, 0, std::max(0, columnCount() - 1));
        }
    }
}

void StringTable::clearColumn(int col)
{
    if (col < 0 || col >= m_colCount)
        return;
    beginBulkUpdate();
    for (int r = 0; r < m_rowCount; ++r)
        setCell(col, r, QString());
    endBulkUpdate();
}

void StringTable::moveRow(int from, int to)
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
    // The row at `from` now stands at `to` (the last row for one past it).
    const int at = std::min(to, m_rowCount - 1);
    renumberShown([from, at](int r) {
        if (r == from)
            return at;
        if (from < r && r <= at)
            return r - 1;
        if (at <= r && r < from)
            return r + 1;
        return r;
    });
    emit rowMoved(from, to);
}

void StringTable::permuteRows(int first, const std::vector<int> &sources)
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
    if (m_filtered) {
        std::vector<int> place(static_cast<size_t>(n));
        for (int k = 0; k < n; ++k)
            place[size_t(sources[size_t(k)] - first)] = first + k;
        renumberShown([&](int r) { return r >= first && r < first + n ? place[size_t(r - first)] : r; });
    }
    endBulkUpdate();
}

void StringTable::permuteColumns(int first, const std::vector<int> &sources)
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

void StringTable::deleteRow(int row)
{
    if (row < 0 || row >= m_rowCount)
        return;
    // The rows after row move up; the removed texts end up in the row
    // that is then cut off. Individual row heights stay where they are.
    const int count = m_rowCount;
    const int fixed = m_fixedRows;
    if (m_filtered && !m_bulk && row >= fixed && count - 1 > fixed) {
        // The rows after it move up; only a shown row leaves the views.
        const int v = viewRow(row);
        if (v >= 0)
            beginRemoveRows(QModelIndex(), v, v);
        m_rows.moveTexts(row, count - 1);
        renumberShown([row](int r) { return r == row ? -1 : r > row ? r - 1 : r; });
        resizeRows(count - 1);
        if (v >= 0)
            endRemoveRows();
        if (m_rows.anyHeightFrom(row))
            emit sizesChanged();
        emit rowMoved(row, count);
        return;
    }
    const bool simple = !m_filtered && !m_bulk && row >= fixed && count - 1 > fixed && count > 1;
    if (simple) {
        const int v = row - fixed;
        beginRemoveRows(QModelIndex(), v, v);
        m_rows.moveTexts(row, count - 1);
        resizeRows(count - 1);
        endRemoveRows();
        // rowTexts below moved up: their heights did not.
        if (m_rows.anyHeightFrom(row))
            emit sizesChanged();
        emit rowMoved(row, count);
        return;
    }
    beginBulkUpdate();
    moveRow(row, count);
    setTableRowCount(count - 1);
    endBulkUpdate();
}

// ---------------------------------------------------------------- appearance

void StringTable::setOptions(GridOptions options)
{
    if (options == m_options)
        return;
    m_options = options;
    emit appearanceChanged();
}

void StringTable::setAlignment(Alignment a)
{
    if (a == m_alignment)
        return;
    m_alignment = a;
    emit appearanceChanged();
}

void StringTable::setGrid3D(bool on)
{
    if (on == m_grid3D)
        return;
    m_grid3D = on;
    emit appearanceChanged();
}

StringTable::Alignment StringTable::cellAlignment(int column, int row)
{
    Alignment a = m_alignment;
    if (alignmentRule)
        alignmentRule(this, row, column, a);
    return a;
}

// ---------------------------------------------------------------- headings

void StringTable::setColumnHeadings(const QStringList &headings)
{
    m_columnHeadings = headings;
    applyColumnHeadings();
    emit appearanceChanged();
}

void StringTable::setRowHeadings(const QStringList &headings)
{
    m_rowHeadings = headings;
    applyRowHeadings();
    emit appearanceChanged();
}

void StringTable::applyColumnHeadings()
{
    for (int i = 0; i < m_colCount; ++i)
        setCellIfChanged(i, 0, i < m_columnHeadings.size() ? m_columnHeadings.at(i) : QString());
}

void StringTable::applyRowHeadings()
{
    for (int i = 0; i <= m_rowCount - 2; ++i)
        setCellIfChanged(0, i + 1, i < m_rowHeadings.size() ? m_rowHeadings.at(i) : QString());
}

void StringTable::applyHeadings()
{
    applyColumnHeadings();
    applyRowHeadings();
}

// ---------------------------------------------------------------- file

bool StringTable::isUsableDelimiter(QChar c)
{
    return !(c.isDigit() || c == u'+' || c == u'-' || c.isSpace());
}

void StringTable::takeContents(StringTable &other)
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
    std::swap(m_caption, other.m_caption);
    std::swap(m_secondCaption, other.m_secondCaption);
    std::swap(m_secondCaptionPlacement, other.m_secondCaptionPlacement);
    // Other rows: whatever either table showed no longer applies.
    m_filtered = other.m_filtered = false;
    m_shown.clear();
    other.m_shown.clear();
    other.endBulkUpdate();
    endBulkUpdate();
}

void StringTable::beginBulkUpdate()
{
    if (m_bulk++ == 0)
        beginResetModel();
}

void StringTable::endBulkUpdate()
{
    if (--m_bulk == 0) {
        endResetModel();
        // Rows shown or hidden keep their sizes: the views' reset places them.
        if (!m_changingShown)
            emit sizesChanged();
    }
}

// ---------------------------------------------------------------- filter

int StringTable::viewRow(int gridRow) const
{
    if (gridRow < m_fixedRows || gridRow >= m_rowCount)
        return -1;
    if (!m_filtered)
        return gridRow - m_fixedRows;
    const auto it = std::lower_bound(m_shown.begin(), m_shown.end(), gridRow);
    return it != m_shown.end() && *it == gridRow ? int(it - m_shown.begin()) : -1;
}

template<typename F>
void StringTable::renumberShown(F newPlace)
{
    if (!m_filtered)
        return;
    std::vector<int> moved;
    moved.reserve(m_shown.size());
    for (int r : m_shown) {
        const int to = newPlace(r);
        if (to >= 0)
            moved.push_back(to);
    }
    std::sort(moved.begin(), moved.end());
    m_shown = std::move(moved);
}

void StringTable::setShownRows(std::vector<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::erase_if(rows, [this](int r) { return r < m_fixedRows || r >= m_rowCount; });
    const QScopedValueRollback changing(m_changingShown, true);
    beginBulkUpdate();
    m_filtered = true;
    m_shown = std::move(rows);
    endBulkUpdate();
}

void StringTable::showAllRows()
{
    if (!m_filtered)
        return;
    const QScopedValueRollback changing(m_changingShown, true);
    beginBulkUpdate();
    m_filtered = false;
    m_shown.clear();
    endBulkUpdate();
}

void StringTable::showRowToo(int row)
{
    if (!m_filtered || row < m_fixedRows || row >= m_rowCount || viewRow(row) >= 0)
        return;
    const auto it = std::lower_bound(m_shown.begin(), m_shown.end(), row);
    const int v = int(it - m_shown.begin());
    if (m_bulk) {
        m_shown.insert(it, row);
        return;
    }
    const QScopedValueRollback changing(m_changingShown, true);
    beginInsertRows(QModelIndex(), v, v);
    m_shown.insert(it, row);
    endInsertRows();
}

// ---------------------------------------------------------------- model

int StringTable::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return m_filtered ? int(m_shown.size()) : m_rowCount - m_fixedRows;
}

int StringTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_colCount - m_fixedCols;
}

QVariant StringTable::data(const QModelIndex &index, int role) const
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
        auto *self = const_cast<StringTable *>(this);
        switch (self->cellAlignment(c, r)) {
        case RightAligned: return int(Qt::AlignRight | Qt::AlignVCenter);
        case Centred: return int(Qt::AlignHCenter | Qt::AlignVCenter);
        case LeftAligned: break;
        }
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
    default:
        return {};
    }
}

QVariant StringTable::headerData(int section, Qt::Orientation orientation, int role) const
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

Qt::ItemFlags StringTable::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (m_options.testFlag(Editing))
        f |= Qt::ItemIsEditable;
    return f;
}

bool StringTable::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !m_options.testFlag(Editing))
        return false;
    setCell(gridCol(index.column()), gridRow(index.row()), value.toString());
    return true;
}
