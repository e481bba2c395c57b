#include "engine/bitmap.h"

#include <sys/mman.h>
#include <unistd.h>

namespace cw {

void prefault(void* data, size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    if (bytes < (size_t(4) << 20)) return;
    const uintptr_t page = uintptr_t(::sysconf(_SC_PAGESIZE));
    const uintptr_t begin = (uintptr_t(data) + page - 1) & ~(page - 1);
    const uintptr_t end = (uintptr_t(data) + bytes) & ~(page - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#else
    (void)data;
    (void)bytes;
#endif
}

} // namespace cw
