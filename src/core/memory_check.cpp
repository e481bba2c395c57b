#include "core/image_error.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace cw {

static unsigned long long availableBytes() {
    std::FILE* f = std::fopen("/proc/meminfo", "r");
    if (!f) return ~0ull;
    char line[256];
    unsigned long long kb = ~0ull;
    while (std::fgets(line, sizeof line, f)) {
        if (std::sscanf(line, "MemAvailable: %llu kB", &kb) == 1) break;
    }
    std::fclose(f);
    return kb == ~0ull ? kb : kb * 1024;
}

static unsigned long long ceiling = ~0ull;

void setMemoryCeiling(unsigned long long bytes) { ceiling = bytes; }

void ensureMemoryFor(unsigned long long bytes) {
    if (bytes > ceiling || bytes > availableBytes()) throw std::bad_alloc();
}

} // namespace cw
