#pragma once
#include <cstddef>

// Memory for the rows of a table file while it is read: one region, given
// out from its start, given back whole with the table that holds the rows.
// A long ride log is read as the program starts, and in a region a fresh
// page costs more than the bytes written to it; a large region therefore
// takes huge pages where the system offers them, and what stays unused at
// its end is given back once the file is read.
class RowSlab
{
public:
    explicit RowSlab(size_t capacity); // in characters
    ~RowSlab();
    RowSlab(const RowSlab &) = delete;
    RowSlab &operator=(const RowSlab &) = delete;

    // Room for `n` characters at an even address, or nullptr when the
    // region is full.
    char16_t *take(size_t n);
    // Gives back the part that was never taken; nothing can be taken then.
    void trim();

private:
    char16_t *m_data = nullptr;
    size_t m_capacity = 0;
    size_t m_used = 0;
    size_t m_mappedBytes = 0; // 0 when the region comes from the heap
};
