#include "TableFile.h"
#include "AnsiFile.h"
#include "AtomicWrite.h"
#include "AppError.h"
#include "StringTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

namespace {
// "Row <row> Height: <height>", "Column <col> Width: <width>".
void appendSizeLine(QString &out, QLatin1String keyword, int index, QLatin1String label, int size)
{
    out += keyword;
    out += u' ';
    out += QString::number(index);
    out += u' ';
    out += label;
    out += QString::number(size);
    out += QLatin1String("\r\n");
}
} // namespace

QString TableFile::text(const StringTable &table)
{
    const RowStore &rowStore = table.rowStore();
    const int rowCount = table.tableRowCount();
    const int cols = table.tableColumnCount();
    const int defaultHeight = table.defaultRowHeight();
    const int defaultWidth = table.defaultColumnWidth();
    const QChar d = table.cellDelimiter();
    const QLatin1String crlf("\r\n");

    qsizetype estimate = 64 + table.caption().size() + table.secondCaption().size();
    rowStore.forEachRow([&](int, const RowTexts &row) {
        for (int k = 0, n = row.count(); k < n; ++k)
            estimate += row.cell(k).text.size() + 16;
    });
    QString out;
    out.reserve(estimate);

    out += d;
    out += crlf;
    out += QString::number(rowCount);
    out += d;
    out += QString::number(cols);
    out += crlf;
    out += QString::number(defaultHeight);
    out += crlf;
    out += table.caption();
    out += crlf;
    out += table.secondCaption();
    out += crlf;
    out += table.secondCaptionPlacement() == StringTable::CaptionAbove ? QLatin1String("Top") : QLatin1String("Bottom");
    out += crlf;
    rowStore.forEachHeight([&](int i, int h) {
        if (h != defaultHeight)
            appendSizeLine(out, QLatin1String("Row"), i, QLatin1String("Height: "), h);
    });
    for (int i = 0; i < cols; ++i) {
        const int w = table.columnWidth(i);
        if (w != defaultWidth)
            appendSizeLine(out, QLatin1String("Column"), i, QLatin1String("Width: "), w);
    }
    rowStore.forEachRow([&](int r, const RowTexts &row) {
        for (int k = 0, n = row.count(); k < n; ++k) {
            const RowTexts::Cell c = row.cell(k);
            out += QString::number(c.col);
            out += d;
            out += QString::number(r);
            out += d;
            out += c.text;
            out += crlf;
        }
    });
    out += crlf;
    return out;
}

void TableFile::save(const StringTable &table, const QString &path)
{
    // The text is complete and encodable before anything on disk changes.
    const QByteArray bytes = AnsiFile::encode(text(table));
    if (table.autoBackup() && QFileInfo::exists(path)) {
        const QFileInfo info(path);
        // Only the last extension is replaced: "default.tvl" -> "default.bak".
        const QString base = info.completeBaseName();
        const QString bak = info.dir().filePath(base + QStringLiteral(".bak"));
        QFile::remove(bak);
        QFile::rename(path, bak);
    }
    AtomicWrite::replaceFile(path, bytes);
}

namespace {
// The beginning of a piece of the file, decoded: enough to quote it.
QString beginningOf(std::string_view text)
{
    return AnsiFile::decode(QByteArrayView(text.data(), qsizetype(std::min<size_t>(text.size(), 61))));
}

QString quoted(std::string_view text)
{
    return excerpt(beginningOf(text));
}

// A number of the file, read as the runtime reads an integer; anything
// else fails with its conversion error.
int toInt(std::string_view text)
{
    // Most numbers of a table file are a few plain digits.
    if (!text.empty() && text.size() <= 9) {
        int v = 0;
        size_t i = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
            v = v * 10 + (text[i] - '0');
        if (i == text.size())
            return v;
    }
    const auto fail = [text] { return invalidIntegerError(beginningOf(text)); };
    // Leading blanks, a sign, then decimal digits, or hex after "$"/"0x".
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size())
        throw fail();
    qint64 v = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            throw fail();
        v = v * base + digit;
        if (v > qint64(1) << 32)
            throw fail();
    }
    if (negative)
        v = -v;
    if (base == 16 && v > 0x7fffffff && v <= 0xffffffffLL)
        v = qint32(quint32(v));
    if (v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<qint32>::max())
        throw fail();
    return int(v);
}

// A cell line read but not yet in the table: where its text lies in the
// file's bytes.
struct PendingCell
{
    int row;
    int col;
    quint32 offset;
    quint32 length;
};

// The number of the line that holds the byte at `offset`.
qsizetype lineAt(std::string_view bytes, size_t offset)
{
    qsizetype line = 1;
    for (size_t i = 0; i < offset; ++i) {
        const char c = bytes[i];
        if (c == '\n' || (c == '\r' && !(i + 1 < bytes.size() && bytes[i + 1] == '\n')))
            ++line;
    }
    return line;
}

// What loading had to leave out: the count and the first few lines.
class LeftOut
{
public:
    // One more line left out; line() and text() are asked for only while
    // lines are still quoted.
    template <typename Line, typename Text>
    void add(const Line &line, const Text &text, const QString &why)
    {
        if (++m_count <= kShown)
            m_lines.append(QStringLiteral("řádek %1: „%2“ – %3").arg(line()).arg(text(), why));
    }
    bool isEmpty() const { return m_count == 0; }
    QString message() const
    {
        QString m = QStringLiteral("Některé řádky souboru tabulky nebylo možné načíst (celkem %1):\n").arg(m_count);
        m += m_lines.join(u'\n');
        if (m_count > kShown)
            m += QStringLiteral("\n…");
        return m;
    }

private:
    static constexpr int kShown = 3;
    qint64 m_count = 0;
    QStringList m_lines;
};

// Puts the cells of a table file into their rows, each row built with its
// old cells and the new ones, a later line for the same cell winning over
// an earlier one. A file written by the program lists the cells of each
// row together and the rows in order: a row is built as soon as the next
// one begins, so only one row's cells wait. Once a line comes back to a
// row that is built or passed, the rest of the cells is gathered and put
// in at the end.
class CellLoader
{
public:
    CellLoader(RowStore &rows, std::string_view bytes, LeftOut &leftOut)
        : m_rows(rows), m_bytes(bytes), m_leftOut(leftOut)
    {
    }

    void add(int row, int col, size_t offset, size_t length)
    {
        if (!m_gathering) {
            if (!m_waiting.empty() && m_waiting.back().row != row) {
                if (row > m_waiting.back().row)
                    buildWaitingRow();
                else
                    m_gathering = true;
            }
            if (m_waiting.empty() && row <= m_lastBuilt)
                m_gathering = true;
        }
        m_waiting.push_back(PendingCell{row, col, quint32(offset), quint32(length)});
    }

    // Puts in what still waits.
    void finish()
    {
        build(m_waiting, m_gathering);
        if (m_slab)
            m_rows.trimSlabs();
    }

private:
    std::string_view textOf(const PendingCell &c) const { return m_bytes.substr(c.offset, c.length); }

    // The memory for the rows this file fills: a cell line with n bytes of
    // text takes at least n + 4 bytes of the file and n + 4 characters of
    // its row, and a row 2 more, so twice the file's bytes in characters
    // is room for them all.
    RowSlab &slab()
    {
        if (!m_slab)
            m_slab = &m_rows.newSlab(2 * m_bytes.size());
        return *m_slab;
    }

    void buildWaitingRow()
    {
        const int row = m_waiting.front().row;
        if (!m_rows.texts(row).isEmpty())
            m_before.emplace_back(row, m_rows.texts(row));
        m_built.push_back(row);
        m_lastBuilt = row;
        build(m_waiting, false);
    }

    // True when the row was built from this file and its cell `col` did
    // not hold the same text before: the file itself gave that text.
    bool givenByFile(int row, int col, QStringView text) const
    {
        if (!std::binary_search(m_built.begin(), m_built.end(), row))
            return false;
        const auto before = std::lower_bound(m_before.begin(), m_before.end(), row,
                                             [](const auto &b, int r) { return b.first < r; });
        return before == m_before.end() || before->first != row || before->second.text(col) != text;
    }

    void build(std::vector<PendingCell> &cells, bool checkBuilt)
    {
        const auto byPosition = [](const PendingCell &a, const PendingCell &b) {
            return a.row != b.row ? a.row < b.row : a.col < b.col;
        };
        if (!std::is_sorted(cells.begin(), cells.end(), byPosition))
            std::stable_sort(cells.begin(), cells.end(), byPosition);

        for (size_t i = 0; i < cells.size();) {
            const int row = cells[i].row;
            size_t end = i;
            while (end < cells.size() && cells[end].row == row)
                ++end;
            m_fresh.clear();
            for (size_t j = i; j < end; ++j) {
                const PendingCell &c = cells[j];
                if (j + 1 < end && cells[j + 1].col == c.col) {
                    if (textOf(cells[j + 1]) != textOf(c))
                        m_leftOut.add([&] { return lineAt(m_bytes, c.offset); }, [&] { return quoted(textOf(c)); },
                                      QStringLiteral("tutéž buňku zadává i pozdější řádek"));
                    continue;
                }
                m_fresh.push_back(RowTexts::EncodedCell{c.col, textOf(c)});
            }
            // A row whose lines give only empty texts stays without storage.
            if (m_rows.texts(row).isEmpty()) {
                if (std::any_of(m_fresh.begin(), m_fresh.end(), [](const auto &f) { return !f.text.empty(); }))
                    m_rows.textsForWrite(row).assign(m_fresh.data(), qsizetype(m_fresh.size()), slab());
            } else {
                merge(m_rows.textsForWrite(row), row, checkBuilt, cells, i);
            }
            i = end;
        }
        cells.clear();
    }

    // Old cells that the file does not name stay beside the new ones.
    void merge(RowTexts &target, int row, bool checkBuilt, const std::vector<PendingCell> &cells, size_t first)
    {
        qsizetype length = 0;
        for (const auto &f : m_fresh)
            length += qsizetype(f.text.size());
        m_decoded.resize(length);
        m_merged.clear();
        const int oldCount = target.count();
        int k = 0;
        qsizetype start = 0;
        for (const auto &f : m_fresh) {
            while (k < oldCount && target.cell(k).col < f.col)
                m_merged.push_back(target.cell(k++));
            const qsizetype n = qsizetype(f.text.size());
            AnsiFile::decodeInto(reinterpret_cast<char16_t *>(m_decoded.data()) + start,
                                 QByteArrayView(f.text.data(), n));
            const QStringView text = QStringView(m_decoded).sliced(start, n);
            if (k < oldCount && target.cell(k).col == f.col) {
                const QStringView old = target.cell(k).text;
                // A line that comes back to a cell an earlier line gave.
                if (checkBuilt && old != text && givenByFile(row, f.col, old)) {
                    const auto line = std::find_if(cells.begin() + qsizetype(first), cells.end(),
                                                   [&](const PendingCell &c) { return c.col == f.col; });
                    m_leftOut.add([&] { return lineAt(m_bytes, line->offset); },
                                  [&] { return excerpt(old); },
                                  QStringLiteral("dřívější text buňky, kterou tento řádek zadává znovu"));
                }
                ++k;
            }
            m_merged.push_back(RowTexts::Cell{f.col, text});
            start += n;
        }
        while (k < oldCount)
            m_merged.push_back(target.cell(k++));
        target.assign(m_merged.data(), qsizetype(m_merged.size()));
    }

    RowStore &m_rows;
    std::string_view m_bytes;
    LeftOut &m_leftOut;
    std::vector<PendingCell> m_waiting; // the current row's cells, or all once gathering
    bool m_gathering = false;
    int m_lastBuilt = -1;
    std::vector<int> m_built;                        // rows built while streaming, ascending
    std::vector<std::pair<int, RowTexts>> m_before;  // their cells before loading, where they had any
    std::vector<RowTexts::EncodedCell> m_fresh;      // a row's cells from the file
    QString m_decoded;                               // their texts, when old cells stay beside them
    std::vector<RowTexts::Cell> m_merged;
    RowSlab *m_slab = nullptr;
};

// Where the line that goes on at `from` ends: the first CR or LF, or the
// end of the bytes. Searched a window at a time, so that a file without
// one of the two line-end bytes is not searched to its end for every line.
size_t lineEnd(std::string_view bytes, size_t from)
{
    constexpr size_t kWindow = 64;
    for (size_t at = from; at < bytes.size(); at += kWindow) {
        const char *p = bytes.data() + at;
        const size_t n = std::min(bytes.size() - at, kWindow);
        const void *lf = std::memchr(p, '\n', n);
        const size_t upTo = lf ? size_t(static_cast<const char *>(lf) - p) : n;
        if (const void *cr = std::memchr(p, '\r', upTo))
            return at + size_t(static_cast<const char *>(cr) - p);
        if (lf)
            return at + upTo;
    }
    return bytes.size();
}

bool isBlankLine(std::string_view line)
{
    for (const char c : line)
        if (!AnsiFile::decodeByte(uchar(c)).isSpace())
            return false;
    return true;
}
} // namespace

void TableFile::load(StringTable &table, const QString &path)
{
    if (!QFileInfo::exists(path))
        return;
    const QByteArray bytes = AnsiFile::readBytes(path);
    if (bytes.isEmpty())
        return;
    read(table, bytes);
}

// Reads one table file into a table. The first six lines are told apart
// by their number, the rest by how they begin; each kind of line has its
// own function.
class TableFile::Reader
{
public:
    Reader(StringTable &table, std::string_view bytes)
        : m_table(table),
          m_bytes(bytes),
          m_delim(AnsiFile::encodeChar(table.cellDelimiter())),
          m_delimByte(char(m_delim)),
          m_cells(table.rowsInBulk(), bytes, m_leftOut)
    {
    }

    void readAll()
    {
        try {
            readLines();
        } catch (...) {
            // What was read before the failure stays in the table.
            m_cells.finish();
            throw;
        }
        m_cells.finish();
        if (!m_leftOut.isEmpty())
            throw AppError(m_leftOut.message());
    }

private:
    void readLines()
    {
        const std::string_view bytes = m_bytes;
        const size_t size = bytes.size();
        size_t pos = 0;
        while (pos < size) {
            // Next line: up to CR LF, LF or CR; the first two delimiters
            // are found on the way.
            const int delim = m_delim;
            const char delimByte = m_delimByte;
            size_t end = pos;
            size_t d1 = std::string_view::npos;
            size_t d2 = std::string_view::npos;
            for (; end < size; ++end) {
                const char c = bytes[end];
                if (c == '\r' || c == '\n')
                    break;
                if (c == delimByte && delim >= 0) {
                    if (d1 == std::string_view::npos) {
                        d1 = end - pos;
                    } else {
                        d2 = end - pos;
                        // The rest is a cell's text: look for the line end
                        // only, a block of bytes at a time.
                        end = lineEnd(bytes, end + 1);
                        break;
                    }
                }
            }
            const std::string_view line = bytes.substr(pos, end - pos);
            pos = end;
            if (pos < size)
                pos += bytes[pos] == '\r' && pos + 1 < size && bytes[pos + 1] == '\n' ? 2 : 1;
            ++m_lineNo;
            readLine(line, d1, d2);
        }
    }

    // d1, d2: where the line's first two delimiters stand, npos where none.
    // This and readCell run for every line of a file of many thousand
    // lines: they are kept inside readLines' loop, where a call per line
    // would cost measurable time.
    [[gnu::always_inline]] void readLine(std::string_view line, size_t d1, size_t d2)
    {
        switch (m_lineNo) {
        case 1: readDelimiter(line); break;
        case 2: readCounts(line, d1); break;
        case 3: readDefaultHeight(line); break;
        case 4: readCaption(line, &StringTable::setCaption); break;
        case 5: readCaption(line, &StringTable::setSecondCaption); break;
        case 6: readCaption2Placement(line); break;
        default:
            // Cell lines begin with a digit: the keywords are tried
            // only for lines that could hold them.
            if (!line.empty() && line[0] == 'R' && line.starts_with("Row"))
                readSize(line, "Row", "Height: ", &StringTable::setRowHeight);
            else if (!line.empty() && line[0] == 'C' && line.starts_with("Column"))
                readSize(line, "Column", "Width: ", &StringTable::setColumnWidth);
            else if (d1 == std::string_view::npos)
                readLineOfNoKind(line);
            else
                readCell(line, d1, d2);
            break;
        }
    }

    void readDelimiter(std::string_view line)
    {
        // An empty first line keeps the current delimiter.
        if (line.empty())
            return;
        const QChar c = AnsiFile::decodeByte(uchar(line[0]));
        if (!StringTable::isUsableDelimiter(c))
            throw AppError(QStringLiteral("Oddělovač „%1“ na prvním řádku souboru tabulky nelze "
                                          "použít: soubor je poškozený.")
                               .arg(c));
        m_table.setCellDelimiter(c);
        m_delim = uchar(line[0]);
        m_delimByte = line[0];
    }

    void readCounts(std::string_view line, size_t d1)
    {
        // Counts beyond the bounds are refused before the table
        // changes; the row count is set before the column count is read.
        const auto checked = [](int n, const QString &what, int max) {
            if (n < 0)
                throw AppError(QStringLiteral("Soubor tabulky udává záporný počet %1 (%2).").arg(what).arg(n));
            if (n > max)
                throw AppError(QStringLiteral("Soubor tabulky udává %1 %2; tabulka jich může mít nejvýše %3.")
                                   .arg(n)
                                   .arg(what)
                                   .arg(max));
            return n;
        };
        m_table.setTableRowCount(checked(toInt(line.substr(0, d1)), QStringLiteral("řádků"), StringTable::kMaxRowCount));
        const std::string_view cols = d1 == std::string_view::npos ? std::string_view() : line.substr(d1 + 1);
        m_table.setTableColumnCount(checked(toInt(cols), QStringLiteral("sloupců"), StringTable::kMaxColCount));
    }

    void readDefaultHeight(std::string_view line)
    {
        // The file's sizes replace the table's: rows without a height
        // line get the default height, and columns without a width
        // line the default width, as the saved table had them. (A
        // column that kept its own width here would lose a width the
        // rider set equal to the default.)
        m_table.setDefaultRowHeight(toInt(line));
        m_table.resetColumnWidths();
    }

    void readCaption(std::string_view line, void (StringTable::*set)(const QString &))
    {
        (m_table.*set)(AnsiFile::decode(QByteArrayView(line.data(), qsizetype(line.size()))));
    }

    void readCaption2Placement(std::string_view line)
    {
        m_table.setSecondCaptionPlacement(line == "Top" ? StringTable::CaptionAbove : StringTable::CaptionBelow);
    }

    // "Row <row> Height: <height>" and "Column <col> Width: <width>": the
    // keyword, a blank, the index, a blank, the size's label, the size.
    void readSize(std::string_view line, std::string_view keyword, std::string_view label,
                  void (StringTable::*set)(int, int))
    {
        const size_t first = keyword.size() + 1;
        const size_t p = line.find(label);
        const std::string_view idx =
            p != std::string_view::npos && p > first + 1 ? line.substr(first, p - first - 1) : std::string_view();
        const int index = toInt(idx);
        const int size = toInt(p == std::string_view::npos ? std::string_view() : line.substr(p + label.size()));
        (m_table.*set)(index, size);
    }

    // A line without a delimiter that is not blank.
    void readLineOfNoKind(std::string_view line)
    {
        if (!isBlankLine(line))
            m_leftOut.add([this] { return m_lineNo; }, [line] { return quoted(line); },
                          QStringLiteral("řádek neznámého druhu"));
    }

    // "<col>|<row>|<text>": the text waits in the file's bytes until its
    // row is built.
    [[gnu::always_inline]] void readCell(std::string_view line, size_t d1, size_t d2)
    {
        const int col = toInt(line.substr(0, d1));
        const int row = toInt(line.substr(d1 + 1, d2 == std::string_view::npos ? d2 : d2 - d1 - 1));
        if (col < 0 || col >= m_table.tableColumnCount() || row < 0 || row >= m_table.tableRowCount()) {
            m_leftOut.add([this] { return m_lineNo; }, [line] { return quoted(line); },
                          QStringLiteral("buňka leží mimo tabulku o %1 řádcích a %2 sloupcích")
                              .arg(m_table.tableRowCount())
                              .arg(m_table.tableColumnCount()));
            return;
        }
        const size_t text = d2 == std::string_view::npos ? line.size() : d2 + 1;
        m_cells.add(row, col, size_t(line.data() + text - m_bytes.data()), line.size() - text);
    }

    StringTable &m_table;
    // The file is read as bytes: digits, delimiters and keywords are the
    // same bytes in the code page, and only texts are decoded.
    std::string_view m_bytes;
    int m_delim; // -1: no byte can be the delimiter
    char m_delimByte;
    qsizetype m_lineNo = 0;
    LeftOut m_leftOut;
    CellLoader m_cells;
};

QString TableFile::headerProblem(QByteArrayView beginning, int minColumns)
{
    if (beginning.isEmpty())
        return QStringLiteral("soubor je prázdný");
    const std::string_view bytes(beginning.data(), size_t(beginning.size()));
    std::string_view lines[6];
    size_t pos = 0;
    for (std::string_view &line : lines) {
        const size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            return QStringLiteral("soubor nezačíná jako soubor tabulky");
        line = bytes.substr(pos, end - pos);
        pos = end + (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n' ? 2 : 1);
    }
    const QChar delimiter = lines[0].size() == 1 ? AnsiFile::decodeByte(uchar(lines[0][0])) : QChar();
    if (!delimiter.isPrint() || !StringTable::isUsableDelimiter(delimiter))
        return QStringLiteral("první řádek souboru není oddělovač tabulky");
    const size_t d = lines[1].find(lines[0][0]);
    int rows = 0, cols = 0;
    try {
        if (d == std::string_view::npos)
            throw AppError(QString());
        rows = toInt(lines[1].substr(0, d));
        cols = toInt(lines[1].substr(d + 1));
        toInt(lines[2]);
    } catch (const AppError &) {
        return QStringLiteral("záhlaví souboru neudává počty řádků a sloupců a výšku řádků");
    }
    if (rows < 1 || rows > StringTable::kMaxRowCount || cols < minColumns || cols > StringTable::kMaxColCount)
        return QStringLiteral("záhlaví souboru udává %1 řádků a %2 sloupců").arg(rows).arg(cols);
    return QString();
}

void TableFile::read(StringTable &table, QByteArrayView file)
{
    // A file this large could not be held anyway; offsets below fit 32 bits.
    if (quint64(file.size()) > std::numeric_limits<quint32>::max())
        throw AppError(QStringLiteral("Soubor tabulky je příliš velký."));
    struct BulkGuard
    {
        StringTable &g;
        ~BulkGuard() { g.endBulkUpdate(); }
    };
    table.beginBulkUpdate();
    BulkGuard guard{table};
    Reader(table, std::string_view(file.data(), size_t(file.size()))).readAll();
}
