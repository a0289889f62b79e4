#pragma once
#include <QString>
#include <QStringView>

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

class RowSlab;

// The texts of one table row. Only the cells that hold text are stored,
// in ascending column order, in a single allocation: the number of cells,
// then each cell's column and the end of its text, then the texts back to
// back. A row without text costs one pointer, and memory follows what the
// row holds, not how far to the right its cells lie.
class RowTexts
{
public:
    struct Cell
    {
        int col;
        QStringView text;
    };
    // A cell whose text is still in the bytes of a file (Windows-1250).
    struct EncodedCell
    {
        int col;
        std::string_view text;
    };

    RowTexts() = default;
    RowTexts(RowTexts &&) noexcept = default;
    RowTexts &operator=(RowTexts &&) noexcept = default;
    RowTexts(const RowTexts &other) { *this = other; }
    RowTexts &operator=(const RowTexts &other);

    bool isEmpty() const { return !m_block; }
    // Number of cells that hold text.
    int count() const { return m_block ? int(number(0)) : 0; }
    // The k-th cell that holds text (0 <= k < count()).
    Cell cell(int k) const;
    // The text of a column; empty when the column holds none.
    QStringView text(int col) const;

    // Sets one column; an empty text removes the cell.
    void set(int col, QStringView text);
    // Replaces the whole row by the cells given in ascending column order
    // (each column at most once; cells with empty text are left out). The
    // texts may point into this row: the old block lives until the new one
    // is complete.
    void assign(const Cell *cells, qsizetype n);
    // The same from a file's bytes, decoded straight into the row.
    void assign(const EncodedCell *cells, qsizetype n);
    // The same, the row kept in the slab's memory when it has room. The
    // row does not own that memory: the slab must outlive the row, which
    // is why only the rows of one store share its slabs.
    void assign(const EncodedCell *cells, qsizetype n, RowSlab &slab);
    // Drops the cells at columns >= colCount.
    void truncate(int colCount);
    void clear() { m_block.reset(); }

    // The cells as a list, for building a changed row.
    std::vector<Cell> cells() const;

private:
    // Numbers are kept as two 16-bit units, so the whole block is one
    // array of char16_t.
    quint32 number(qsizetype i) const
    {
        return quint32(m_block[size_t(2 * i)]) | quint32(m_block[size_t(2 * i + 1)]) << 16;
    }
    const char16_t *texts() const { return m_block.get() + 2 * (1 + 2 * qsizetype(count())); }
    qsizetype textStart(int k) const { return k == 0 ? 0 : qsizetype(number(2 * k)); }
    int find(int col) const; // index of the cell, or -1
    // Builds the row from n cells: colOf(k), lengthOf(k) and
    // write(k, out) give each cell's column, length and characters.
    template <typename Source>
    void build(const Source &source, qsizetype n, RowSlab *slab = nullptr);

    // The block, and in its lowest bit whether it lies in a slab (a block
    // of char16_t never starts at an odd address).
    class Block
    {
    public:
        Block() = default;
        Block(char16_t *p, bool inSlab) : m_bits(reinterpret_cast<uintptr_t>(p) | uintptr_t(inSlab)) {}
        Block(Block &&other) noexcept : m_bits(std::exchange(other.m_bits, 0)) {}
        Block &operator=(Block &&other) noexcept
        {
            if (this != &other) {
                release();
                m_bits = std::exchange(other.m_bits, 0);
            }
            return *this;
        }
        ~Block() { release(); }
        char16_t *get() const { return reinterpret_cast<char16_t *>(m_bits & ~uintptr_t(1)); }
        char16_t operator[](size_t i) const { return get()[i]; }
        explicit operator bool() const { return m_bits != 0; }
        bool operator!() const { return m_bits == 0; }
        void reset()
        {
            release();
            m_bits = 0;
        }

    private:
        void release()
        {
            if (m_bits && !(m_bits & 1))
                delete[] get();
        }
        uintptr_t m_bits = 0;
    };
    Block m_block;
};
