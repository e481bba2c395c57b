#include "core/helper_threads.h"

#include <atomic>

namespace cw {

namespace {
std::atomic<bool> allowed{true};
}

bool helperThreadsAllowed() { return allowed.load(std::memory_order_relaxed); }
void allowHelperThreads(bool a) { allowed.store(a, std::memory_order_relaxed); }

} // namespace cw
