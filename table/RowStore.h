#pragma once
#include "RowSlab.h"
#include "RowTexts.h"

#include <memory>
#include <type_traits>
#include <vector>

// The rows of a table: each row's texts and its own height. Rows are kept
// in blocks of kBlockRows that are made only when one of their rows gets
// a text or a height, so that a table of many empty rows (which a table
// file of a few bytes can ask for) costs a pointer per block, and memory
// follows what the table holds rather than how many rows it counts.
class RowStore
{
public:
    static constexpr int kBlockRows = 16;

    RowStore() = default;
    RowStore(RowStore &&) noexcept = default;
    RowStore &operator=(RowStore &&) noexcept = default;

    int size() const { return m_size; }
    // Rows at `count` and beyond lose their texts and heights.
    void resize(int count);

    // The texts of a row; a row of a block not made reads as empty.
    const RowTexts &texts(int row) const
    {
        const Block *b = m_blocks[size_t(row / kBlockRows)].get();
        return b ? b->texts[row % kBlockRows] : empty();
    }
    RowTexts &textsForWrite(int row) { return block(row).texts[row % kBlockRows]; }

    // A row's own height, -1 when it has none.
    int height(int row) const
    {
        const Block *b = m_blocks[size_t(row / kBlockRows)].get();
        return b ? b->heights[row % kBlockRows] : -1;
    }
    void setHeight(int row, int height);
    void clearHeights();
    // True when a row at `row` or after has its own height.
    bool anyHeightFrom(int row) const;

    // Memory for the rows of a file being read into this store (see
    // RowSlab); kept until the store has no row or a later file finds no
    // text in it. Rows built in it must stay in this store.
    RowSlab &newSlab(size_t capacity);
    // Gives back what the slabs did not use, once the file is read.
    void trimSlabs();

    // Moves a row's texts out, leaving it empty; puts texts into a row.
    // Texts taken out go back into this store.
    RowTexts take(int row);
    void put(int row, RowTexts &&texts);
    // The texts of `from` go to `to`; the rows between shift by one
    // towards `from`. Heights stay where they are.
    void moveTexts(int from, int to);

    // Calls f(row, texts) for each row that holds text, rows ascending.
    template <typename F>
    void forEachRow(F f) { eachRow(*this, f); }
    template <typename F>
    void forEachRow(F f) const { eachRow(*this, f); }

    // Calls f(row, height) for each row that has its own height, rows
    // ascending.
    template <typename F>
    void forEachHeight(F f) const
    {
        for (size_t b = 0; b < m_blocks.size(); ++b)
            if (const Block *block = m_blocks[b].get())
                for (int k = 0; k < kBlockRows; ++k)
                    if (block->heights[k] >= 0)
                        f(int(b) * kBlockRows + k, block->heights[k]);
    }

private:
    struct Block
    {
        Block();
        RowTexts texts[kBlockRows];
        int heights[kBlockRows];
    };
    static const RowTexts &empty();
    template <typename Self, typename F>
    static void eachRow(Self &self, F f)
    {
        for (size_t b = 0; b < self.m_blocks.size(); ++b)
            if (std::conditional_t<std::is_const_v<Self>, const Block, Block> *block = self.m_blocks[b].get())
                for (int k = 0; k < kBlockRows; ++k)
                    if (!block->texts[k].isEmpty())
                        f(int(b) * kBlockRows + k, block->texts[k]);
    }
    Block &block(int row);

    // Declared before the blocks: the rows go before the memory they lie in.
    std::vector<std::unique_ptr<RowSlab>> m_slabs;
    std::vector<std::unique_ptr<Block>> m_blocks;
    int m_size = 0;
};
