#include "RowStore.h"

#include <algorithm>

RowStore::Block::Block()
{
    std::fill(std::begin(heights), std::end(heights), -1);
}

const RowTexts &RowStore::empty()
{
    static const RowTexts none;
    return none;
}

RowStore::Block &RowStore::block(int row)
{
    std::unique_ptr<Block> &b = m_blocks[size_t(row / kBlockRows)];
    if (!b)
        b = std::make_unique<Block>();
    return *b;
}

RowSlab &RowStore::newSlab(size_t capacity)
{
    // Slabs that no row lies in any more go first.
    bool anyText = false;
    forEachRow([&anyText](int, const RowTexts &) { anyText = true; });
    if (!anyText)
        m_slabs.clear();
    m_slabs.push_back(std::make_unique<RowSlab>(capacity));
    return *m_slabs.back();
}

void RowStore::trimSlabs()
{
    for (auto &slab : m_slabs)
        slab->trim();
}

void RowStore::resize(int count)
{
    m_blocks.resize(size_t((count + kBlockRows - 1) / kBlockRows));
    // On shrinking, the rest of the last block is cleared, so that rows
    // that come back later are empty.
    if (count < m_size && count % kBlockRows != 0) {
        if (Block *last = m_blocks.back().get()) {
            for (int k = count % kBlockRows; k < kBlockRows; ++k) {
                last->texts[k].clear();
                last->heights[k] = -1;
            }
        }
    }
    m_size = count;
    if (count == 0)
        m_slabs.clear();
}

void RowStore::setHeight(int row, int height)
{
    if (height < 0 && !m_blocks[size_t(row / kBlockRows)])
        return;
    block(row).heights[row % kBlockRows] = height;
}

void RowStore::clearHeights()
{
    for (auto &b : m_blocks)
        if (b)
            std::fill(std::begin(b->heights), std::end(b->heights), -1);
}

bool RowStore::anyHeightFrom(int row) const
{
    for (int r = row; r < m_size; ++r) {
        const Block *b = m_blocks[size_t(r / kBlockRows)].get();
        if (!b) {
            r = (r / kBlockRows + 1) * kBlockRows - 1;
            continue;
        }
        if (b->heights[r % kBlockRows] >= 0)
            return true;
    }
    return false;
}

RowTexts RowStore::take(int row)
{
    Block *b = m_blocks[size_t(row / kBlockRows)].get();
    return b ? std::move(b->texts[row % kBlockRows]) : RowTexts();
}

void RowStore::put(int row, RowTexts &&texts)
{
    if (texts.isEmpty() && !m_blocks[size_t(row / kBlockRows)])
        return;
    block(row).texts[row % kBlockRows] = std::move(texts);
}

void RowStore::moveTexts(int from, int to)
{
    RowTexts moving = take(from);
    if (from < to) {
        for (int r = from; r < to; ++r)
            put(r, take(r + 1));
    } else {
        for (int r = from; r > to; --r)
            put(r, take(r - 1));
    }
    put(to, std::move(moving));
}
