#include "RowTexts.h"
#include "AnsiFile.h"
#include "RowSlab.h"

#include <algorithm>
#include <cstring>

RowTexts &RowTexts::operator=(const RowTexts &other)
{
    if (this != &other) {
        const std::vector<Cell> c = other.cells();
        assign(c.data(), qsizetype(c.size()));
    }
    return *this;
}

RowTexts::Cell RowTexts::cell(int k) const
{
    const qsizetype start = textStart(k);
    const qsizetype end = qsizetype(number(2 + 2 * qsizetype(k)));
    return Cell{int(number(1 + 2 * qsizetype(k))), QStringView(texts() + start, end - start)};
}

int RowTexts::find(int col) const
{
    int lo = 0;
    int hi = count() - 1;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        const int c = int(number(1 + 2 * qsizetype(mid)));
        if (c == col)
            return mid;
        if (c < col)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return -1;
}

QStringView RowTexts::text(int col) const
{
    const int k = find(col);
    return k < 0 ? QStringView() : cell(k).text;
}

std::vector<RowTexts::Cell> RowTexts::cells() const
{
    std::vector<Cell> out;
    const int n = count();
    out.reserve(size_t(n));
    for (int k = 0; k < n; ++k)
        out.push_back(cell(k));
    return out;
}

template <typename Source>
void RowTexts::build(const Source &source, qsizetype n, RowSlab *slab)
{
    qsizetype kept = 0;
    qsizetype length = 0;
    for (qsizetype k = 0; k < n; ++k) {
        if (const qsizetype l = source.lengthOf(k)) {
            ++kept;
            length += l;
        }
    }
    if (kept == 0) {
        m_block.reset();
        return;
    }
    const qsizetype header = 2 * (1 + 2 * kept);
    char16_t *inSlab = slab ? slab->take(size_t(header + length)) : nullptr;
    Block block(inSlab ? inSlab : new char16_t[size_t(header + length)], inSlab != nullptr);
    char16_t *const data = block.get();
    auto put = [data](qsizetype i, quint32 v) {
        data[size_t(2 * i)] = char16_t(v & 0xffff);
        data[size_t(2 * i + 1)] = char16_t(v >> 16);
    };
    put(0, quint32(kept));
    qsizetype k2 = 0;
    qsizetype end = 0;
    char16_t *text = data + header;
    for (qsizetype k = 0; k < n; ++k) {
        const qsizetype l = source.lengthOf(k);
        if (l == 0)
            continue;
        source.write(k, text + end);
        end += l;
        put(1 + 2 * k2, quint32(source.colOf(k)));
        put(2 + 2 * k2, quint32(end));
        ++k2;
    }
    m_block = std::move(block);
}

void RowTexts::assign(const Cell *cells, qsizetype n)
{
    struct Source
    {
        const Cell *cells;
        int colOf(qsizetype k) const { return cells[k].col; }
        qsizetype lengthOf(qsizetype k) const { return cells[k].text.size(); }
        void write(qsizetype k, char16_t *out) const
        {
            std::memcpy(out, cells[k].text.utf16(), size_t(cells[k].text.size()) * sizeof(char16_t));
        }
    };
    build(Source{cells}, n);
}

namespace {
struct EncodedSource
{
    const RowTexts::EncodedCell *cells;
    int colOf(qsizetype k) const { return cells[k].col; }
    qsizetype lengthOf(qsizetype k) const { return qsizetype(cells[k].text.size()); }
    void write(qsizetype k, char16_t *out) const
    {
        AnsiFile::decodeInto(out, QByteArrayView(cells[k].text.data(), qsizetype(cells[k].text.size())));
    }
};
} // namespace

void RowTexts::assign(const EncodedCell *cells, qsizetype n)
{
    build(EncodedSource{cells}, n);
}

void RowTexts::assign(const EncodedCell *cells, qsizetype n, RowSlab &slab)
{
    build(EncodedSource{cells}, n, &slab);
}

void RowTexts::set(int col, QStringView text)
{
    std::vector<Cell> c = cells();
    const auto it = std::lower_bound(c.begin(), c.end(), col, [](const Cell &a, int v) { return a.col < v; });
    if (it != c.end() && it->col == col) {
        if (text.isEmpty())
            c.erase(it);
        else
            it->text = text;
    } else {
        if (text.isEmpty())
            return;
        c.insert(it, Cell{col, text});
    }
    assign(c.data(), qsizetype(c.size()));
}

void RowTexts::truncate(int colCount)
{
    const int n = count();
    int keep = n;
    while (keep > 0 && cell(keep - 1).col >= colCount)
        --keep;
    if (keep == n)
        return;
    const std::vector<Cell> c = cells();
    assign(c.data(), keep);
}
