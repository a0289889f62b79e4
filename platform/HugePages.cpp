#include "HugePages.h"

#include <sys/mman.h>

#include <cstdint>

namespace HugePages {

void advise(void *data, size_t size)
{
    const auto start = reinterpret_cast<uintptr_t>(data);
    const uintptr_t begin = (start + kBytes - 1) & ~uintptr_t(kBytes - 1);
    const uintptr_t end = (start + size) & ~uintptr_t(kBytes - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
}

} // namespace HugePages
