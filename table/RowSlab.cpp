#include "RowSlab.h"
#include "HugePages.h"

#include <sys/mman.h>

#include <cstdint>
#include <new>

namespace {
// Regions from this size on are mapped on their own and take huge pages.
constexpr size_t kMappedBytes = size_t(4) << 20;
constexpr size_t kHugePage = HugePages::kBytes;

size_t roundUp(size_t n, size_t to)
{
    return (n + to - 1) / to * to;
}
} // namespace

RowSlab::RowSlab(size_t capacity)
{
    const size_t bytes = capacity * sizeof(char16_t);
    if (bytes >= kMappedBytes) {
        // Mapped with a huge page's room to spare, so that its start can
        // lie on a huge page's boundary.
        const size_t mapped = roundUp(bytes, kHugePage) + kHugePage;
        void *p = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (p != MAP_FAILED) {
            const auto begin = reinterpret_cast<uintptr_t>(p);
            const uintptr_t aligned = roundUp(begin, kHugePage);
            if (aligned > begin)
                ::munmap(p, aligned - begin);
            m_mappedBytes = mapped - (aligned - begin);
            m_data = reinterpret_cast<char16_t *>(aligned);
            m_capacity = m_mappedBytes / sizeof(char16_t);
            HugePages::advise(m_data, m_mappedBytes);
            return;
        }
    }
    m_data = new (std::nothrow) char16_t[capacity];
    m_capacity = m_data ? capacity : 0;
}

RowSlab::~RowSlab()
{
    if (m_mappedBytes)
        ::munmap(m_data, m_mappedBytes);
    else
        delete[] m_data;
}

char16_t *RowSlab::take(size_t n)
{
    if (n > m_capacity - m_used)
        return nullptr;
    char16_t *p = m_data + m_used;
    m_used += n;
    return p;
}

void RowSlab::trim()
{
    if (m_mappedBytes && m_used == 0) {
        ::munmap(m_data, m_mappedBytes);
        m_data = nullptr;
        m_mappedBytes = 0;
    } else if (m_mappedBytes) {
        // Kept to the end of the last huge page in use.
        const size_t kept = roundUp(m_used * sizeof(char16_t), kHugePage);
        if (kept < m_mappedBytes) {
            ::munmap(reinterpret_cast<char *>(m_data) + kept, m_mappedBytes - kept);
            m_mappedBytes = kept;
        }
    }
    m_capacity = m_used;
}
