#include "HeapMeter.h"

#include <atomic>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TRASOVNIK_HEAP_HOOKS 1
#endif
#endif
#if !defined(TRASOVNIK_HEAP_HOOKS) && defined(__SANITIZE_ADDRESS__)
#define TRASOVNIK_HEAP_HOOKS 1
#endif

#ifdef TRASOVNIK_HEAP_HOOKS
#if __has_include(<sanitizer/allocator_interface.h>)
#include <sanitizer/allocator_interface.h>
#else
// g++ ships the sanitizer's runtime without this header; the runtime has
// the functions all the same.
#include <cstddef>
extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void *, size_t),
                                              void (*free_hook)(const volatile void *));
size_t __sanitizer_get_allocated_size(const volatile void *p);
}
#endif

namespace {
std::atomic<qint64> live{0};
std::atomic<qint64> peak{0};

void onMalloc(const volatile void *, size_t size)
{
    const qint64 now = live.fetch_add(qint64(size), std::memory_order_relaxed) + qint64(size);
    qint64 high = peak.load(std::memory_order_relaxed);
    while (now > high && !peak.compare_exchange_weak(high, now, std::memory_order_relaxed)) {
    }
}

// Called before the block is released, so its size can still be asked.
void onFree(const volatile void *p)
{
    if (p)
        live.fetch_sub(qint64(__sanitizer_get_allocated_size(const_cast<const void *>(p))),
                       std::memory_order_relaxed);
}

const bool hooked = __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree) != 0;
} // namespace

HeapMeter::HeapMeter()
    : m_start(live.load())
{
    peak.store(m_start);
}

qint64 HeapMeter::used() const
{
    return peak.load() - m_start;
}

const char *HeapMeter::kind()
{
    return hooked ? "peak" : "none";
}

#else
#include <malloc.h>

namespace {
qint64 allocatedNow()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}
} // namespace

HeapMeter::HeapMeter()
    : m_start(allocatedNow())
{
}

qint64 HeapMeter::used() const
{
    return allocatedNow() - m_start;
}

const char *HeapMeter::kind()
{
    return "retained";
}
#endif
