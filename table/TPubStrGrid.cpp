#include "TPubStrGrid.h"
#include "AnsiFile.h"
#include "AppError.h"
#include "Messages.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <limits>

namespace {
const QString kEmptyText;

AppError gridIndexError()
{
    return AppError(QStringLiteral("Grid index out of range"));
}

AppError tooManyCellsError(int rows, int cols)
{
    return AppError(QStringLiteral("Soubor tabulky udává %1 řádků a %2 sloupců; tabulka může mít "
                                   "nejvýše %3 buněk.")
                        .arg(rows)
                        .arg(cols)
                        .arg(TPubStrGrid::kMaxCellCount));
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

const QString &TPubStrGrid::cellRef(int ACol, int ARow) const
{
    if (ARow < 0 || ARow >= m_rowCount || ACol < 0)
        return kEmptyText;
    const auto &row = m_cells[size_t(ARow)];
    return size_t(ACol) < row.size() ? row[size_t(ACol)] : kEmptyText;
}

QString TPubStrGrid::Cells(int ACol, int ARow) const
{
    return cellRef(ACol, ARow);
}

void TPubStrGrid::setCells(int ACol, int ARow, const QString &text)
{
    if (ARow < 0 || ARow >= m_rowCount || ACol < 0 || ACol >= m_colCount)
        return;
    auto &row = m_cells[size_t(ARow)];
    if (size_t(ACol) >= row.size()) {
        if (text.isEmpty())
            return;
        row.resize(size_t(ACol) + 1);
    }
    row[size_t(ACol)] = text;
    notifyCell(ACol, ARow);
}

void TPubStrGrid::SetCellIfChanged(int ACol, int ARow, const QString &text)
{
    if (cellRef(ACol, ARow) != text)
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
    m_cells.resize(size_t(count));
    m_rowHeights.resize(size_t(count), -1);
    m_rowCount = count;
}

void TPubStrGrid::resizeCols(int count)
{
    if (count < m_colCount) {
        for (auto &row : m_cells)
            if (row.size() > size_t(count))
                row.resize(size_t(count));
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
    m_defaultRowHeight = height;
    std::fill(m_rowHeights.begin(), m_rowHeights.end(), -1);
    emit sizesChanged();
}

void TPubStrGrid::setDefaultColWidth(int width)
{
    m_defaultColWidth = width;
    emit sizesChanged();
}

int TPubStrGrid::RowHeights(int row) const
{
    if (row < 0 || row >= m_rowCount || m_rowHeights[size_t(row)] < 0)
        return m_defaultRowHeight;
    return m_rowHeights[size_t(row)];
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
    if (m_rowHeights[size_t(row)] == height)
        return;
    m_rowHeights[size_t(row)] = height;
    if (!m_bulk)
        emit rowHeightChanged(row);
}

void TPubStrGrid::setColWidths(int col, int width)
{
    if (col < 0 || col >= m_colCount)
        throw gridIndexError();
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
        out.append(cellRef(c, row));
    return out;
}

QStringList TPubStrGrid::Cols(int col) const
{
    QStringList out;
    out.reserve(m_rowCount);
    for (int r = 0; r < m_rowCount; ++r)
        out.append(cellRef(col, r));
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
    m_cells[size_t(row)].clear();
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
        std::rotate(m_cells.begin() + from, m_cells.begin() + from + 1, m_cells.end());
        m_cells.back().clear();
        endBulkUpdate();
    } else {
        beginBulkUpdate();
        if (from < to)
            std::rotate(m_cells.begin() + from, m_cells.begin() + from + 1, m_cells.begin() + to + 1);
        else
            std::rotate(m_cells.begin() + to, m_cells.begin() + from, m_cells.begin() + from + 1);
        endBulkUpdate();
    }
    emit rowMoved(from, to);
}

void TPubStrGrid::permuteRows(int first, const std::vector<int> &sources)
{
    const int n = int(sources.size());
    if (first < 0 || first + n > m_rowCount)
        return;
    // Only a true permutation may move texts: a repeated source would
    // leave an emptied row behind.
    std::vector<bool> seen(static_cast<size_t>(n), false);
    for (int src : sources) {
        if (src < first || src >= first + n || seen[size_t(src - first)])
            return;
        seen[size_t(src - first)] = true;
    }
    std::vector<std::vector<QString>> moved(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) {
        const int src = sources[size_t(k)];
        moved[size_t(k)] = std::move(m_cells[size_t(src)]);
    }
    beginBulkUpdate();
    for (int k = 0; k < n; ++k)
        m_cells[size_t(first + k)] = std::move(moved[size_t(k)]);
    endBulkUpdate();
}

void TPubStrGrid::permuteCols(int first, const std::vector<int> &sources)
{
    const int n = int(sources.size());
    if (first < 0 || first + n > m_colCount)
        return;
    for (int src : sources)
        if (src < first || src >= first + n)
            return;
    beginBulkUpdate();
    std::vector<QString> moved(static_cast<size_t>(n));
    for (auto &row : m_cells) {
        if (row.size() <= size_t(first))
            continue;
        for (int k = 0; k < n; ++k) {
            const size_t src = size_t(sources[size_t(k)]);
            moved[size_t(k)] = src < row.size() ? row[src] : QString();
        }
        if (row.size() < size_t(first + n))
            row.resize(size_t(first + n));
        for (int k = 0; k < n; ++k)
            row[size_t(first + k)] = std::move(moved[size_t(k)]);
    }
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
        m_cells.erase(m_cells.begin() + ARow);
        m_cells.emplace_back();
        resizeRows(count - 1);
        endRemoveRows();
        // Rows below moved up: their heights did not.
        if (std::any_of(m_rowHeights.begin() + ARow, m_rowHeights.end(), [](int h) { return h >= 0; }))
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
    const int rows = m_rowCount;
    const int cols = m_colCount;
    const int defaultHeight = m_defaultRowHeight;
    const int defaultWidth = m_defaultColWidth;
    const QChar d = m_delimiter;
    const QLatin1String crlf("\r\n");

    qsizetype estimate = 64 + m_caption1.size() + m_caption2.size();
    for (const auto &row : m_cells)
        for (const QString &t : row)
            if (!t.isEmpty())
                estimate += t.size() + 16;
    QString out;
    out.reserve(estimate);

    out += d;
    out += crlf;
    out += QString::number(rows);
    out += d;
    out += QString::number(cols);
    out += crlf;
    out += QString::number(defaultHeight);
    out += crlf;
    out += m_caption1;
    out += crlf;
    out += m_caption2;
    out += crlf;
    out += m_caption2Placement == cpTop ? QLatin1String("Top") : QLatin1String("Bottom");
    out += crlf;
    for (int i = 0; i < rows; ++i) {
        const int h = RowHeights(i);
        if (h != defaultHeight) {
            out += QLatin1String("Row ");
            out += QString::number(i);
            out += QLatin1String(" Height: ");
            out += QString::number(h);
            out += crlf;
        }
    }
    for (int i = 0; i < cols; ++i) {
        const int w = ColWidths(i);
        if (w != defaultWidth) {
            out += QLatin1String("Column ");
            out += QString::number(i);
            out += QLatin1String(" Width: ");
            out += QString::number(w);
            out += crlf;
        }
    }
    for (int r = 0; r < rows; ++r) {
        const auto &row = m_cells[size_t(r)];
        const int n = std::min<int>(int(row.size()), cols);
        for (int c = 0; c < n; ++c) {
            const QString &t = row[size_t(c)];
            if (t.isEmpty())
                continue;
            out += QString::number(c);
            out += d;
            out += QString::number(r);
            out += d;
            out += t;
            out += crlf;
        }
    }
    out += crlf;
    return out;
}

void TPubStrGrid::SaveToFile(const QString &path)
{
    // The text is complete and encodable before anything on disk changes.
    const QByteArray bytes = AnsiFile::encode(tableFileText());
    if (m_autoBackup && QFileInfo::exists(path)) {
        const QFileInfo info(path);
        // Only the last extension is replaced: "default.tvl" -> "default.bak".
        const QString base = info.completeBaseName();
        const QString bak = info.dir().filePath(base + QStringLiteral(".bak"));
        QFile::remove(bak);
        QFile::rename(path, bak);
    }
    AnsiFile::writeBytes(path, bytes);
}

int TPubStrGrid::toInt(QStringView text)
{
    // Leading blanks, a sign, then decimal digits, or hex after "$"/"0x".
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    int base = 10;
    if (i < text.size() && text[i] == u'$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size())
        throw invalidIntegerError(text);
    qint64 v = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            throw invalidIntegerError(text);
        v = v * base + digit;
        if (v > qint64(1) << 32)
            throw invalidIntegerError(text);
    }
    if (negative)
        v = -v;
    if (base == 16 && v > 0x7fffffff && v <= 0xffffffffLL)
        v = qint32(quint32(v));
    if (v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<qint32>::max())
        throw invalidIntegerError(text);
    return int(v);
}

void TPubStrGrid::LoadFromFile(const QString &path)
{
    if (!QFileInfo::exists(path))
        return;
    const QByteArray bytes = AnsiFile::readBytes(path);
    if (bytes.isEmpty())
        return;
    loadTableFileText(AnsiFile::decode(bytes));
}

void TPubStrGrid::loadTableFileText(const QString &text)
{
    struct BulkGuard
    {
        TPubStrGrid *g;
        ~BulkGuard() { g->endBulkUpdate(); }
    };
    beginBulkUpdate();
    BulkGuard guard{this};

    const QChar *data = text.constData();
    const qsizetype size = text.size();
    qsizetype pos = 0;
    int lineNo = 0;
    QChar delim = m_delimiter;
    QString scratch;

    while (pos < size) {
        // Next line: up to CR LF, LF or CR.
        qsizetype end = pos;
        while (end < size && data[end] != u'\r' && data[end] != u'\n')
            ++end;
        const QStringView line(data + pos, end - pos);
        pos = end;
        if (pos < size) {
            if (data[pos] == u'\r' && pos + 1 < size && data[pos + 1] == u'\n')
                pos += 2;
            else
                ++pos;
        }
        ++lineNo;

        switch (lineNo) {
        case 1:
            // An empty first line keeps the current delimiter.
            if (!line.isEmpty())
                delim = line[0];
            m_delimiter = delim;
            break;
        case 2: {
            const qsizetype d = line.indexOf(delim);
            const QStringView rowsText = d < 0 ? line : line.left(d);
            const QStringView colsText = d < 0 ? QStringView() : line.mid(d + 1);
            const int rows = toInt(rowsText);
            if (rows > kMaxRowCount)
                throw AppError(QStringLiteral("Soubor tabulky udává %1 řádků; tabulka jich může mít "
                                              "nejvýše %2.")
                                   .arg(rows)
                                   .arg(kMaxRowCount));
            // Each row holds up to ColCount texts: a file claiming too many
            // cells in all is refused before the table changes. A column
            // count that is no number fails below, after RowCount is set.
            bool colsKnown = true;
            int claimedCols = 0;
            try {
                claimedCols = toInt(colsText);
            } catch (const AppError &) {
                colsKnown = false;
            }
            if (colsKnown && qint64(std::max(rows, 1)) * claimedCols > kMaxCellCount)
                throw tooManyCellsError(rows, claimedCols);
            setRowCount(rows);
            const int cols = toInt(colsText);
            if (cols > kMaxColCount)
                throw AppError(QStringLiteral("Soubor tabulky udává %1 sloupců; tabulka jich může mít "
                                              "nejvýše %2.")
                                   .arg(cols)
                                   .arg(kMaxColCount));
            setColCount(cols);
            break;
        }
        case 3: {
            const int h = toInt(line);
            if (h > kMaxSize)
                throw AppError(QStringLiteral("Soubor tabulky udává výšku řádků %1 bodů; nejvýše "
                                              "lze %2.")
                                   .arg(h)
                                   .arg(kMaxSize));
            setDefaultRowHeight(h);
            break;
        }
        case 4:
            m_caption1 = line.toString();
            break;
        case 5:
            m_caption2 = line.toString();
            break;
        case 6:
            m_caption2Placement = line == QLatin1String("Top") ? cpTop : cpBottom;
            break;
        default:
            if (line.startsWith(QLatin1String("Row"))) {
                const qsizetype p = line.indexOf(QLatin1String("Height: "));
                const QStringView idx = p > 5 ? line.mid(4, p - 5) : QStringView();
                const int row = toInt(idx);
                const int h = toInt(p < 0 ? QStringView() : line.mid(p + 8));
                if (h > kMaxSize)
                    throw AppError(QStringLiteral("Soubor tabulky udává výšku řádku %1 bodů; nejvýše "
                                                  "lze %2.")
                                       .arg(h)
                                       .arg(kMaxSize));
                setRowHeights(row, h);
            } else if (line.startsWith(QLatin1String("Column"))) {
                const qsizetype p = line.indexOf(QLatin1String("Width: "));
                const QStringView idx = p > 8 ? line.mid(7, p - 8) : QStringView();
                const int col = toInt(idx);
                const int w = toInt(p < 0 ? QStringView() : line.mid(p + 7));
                if (w > kMaxSize)
                    throw AppError(QStringLiteral("Soubor tabulky udává šířku sloupce %1 bodů; nejvýše "
                                                  "lze %2.")
                                       .arg(w)
                                       .arg(kMaxSize));
                setColWidths(col, w);
            } else {
                const qsizetype d1 = line.indexOf(delim);
                if (d1 < 0)
                    break;
                const qsizetype d2 = line.indexOf(delim, d1 + 1);
                const int col = toInt(line.left(d1));
                const QStringView rowText = d2 < 0 ? line.mid(d1 + 1) : line.mid(d1 + 1, d2 - d1 - 1);
                const int row = toInt(rowText);
                const QStringView cell = d2 < 0 ? QStringView() : line.mid(d2 + 1);
                if (cellRef(col, row) != cell) {
                    scratch = cell.toString();
                    setCells(col, row, scratch);
                }
            }
            break;
        }
    }
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
        return cellRef(c, r);
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
        return cellRef(gridCol(section), m_fixedRows - 1);
    }
    if (m_fixedCols == 0)
        return role == Qt::DisplayRole ? QVariant(QString::number(section + 1)) : QVariant();
    return cellRef(m_fixedCols - 1, gridRow(section));
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
