#include "core/bitmap.h"

#include <sys/mman.h>
#include <unistd.h>

namespace cw {

void prefault(void* data, size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    if (bytes < (size_t(1) << 20)) return;
    adviseHugePages(data, bytes);
    const uintptr_t page = uintptr_t(::sysconf(_SC_PAGESIZE));
    const uintptr_t begin = (uintptr_t(data) + page - 1) & ~(page - 1);
    const uintptr_t end = (uintptr_t(data) + bytes) & ~(page - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#else
    (void)data;
    (void)bytes;
#endif
}

void adviseHugePages(void* data, size_t bytes) {
#ifdef MADV_HUGEPAGE
    constexpr size_t kHuge = size_t(2) << 20;
    if (bytes < 2 * kHuge) return;
    // Only whole huge pages inside the buffer: advising its ragged ends would
    // change the pages of whatever the allocator keeps beside it.
    const uintptr_t begin = (uintptr_t(data) + kHuge - 1) & ~uintptr_t(kHuge - 1);
    const uintptr_t end = (uintptr_t(data) + bytes) & ~uintptr_t(kHuge - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

} // namespace cw
