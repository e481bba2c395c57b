#include "core/helper_threads.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace cw {

namespace {
std::atomic<bool> allowed{true};
std::atomic<int> foreground{0}, awaited{0};
std::mutex foregroundLock;
std::condition_variable foregroundDone;
thread_local int heldHere = 0;  // the ForegroundWork of this thread

void leaveForeground() {
    {
        const std::lock_guard hold(foregroundLock);
        foreground.fetch_sub(1);
    }
    foregroundDone.notify_all();
}
} // namespace

ForegroundWork::ForegroundWork() {
    foreground.fetch_add(1);
    ++heldHere;
}

ForegroundWork::~ForegroundWork() {
    --heldHere;
    leaveForeground();
}

ForegroundWaits::ForegroundWaits() : stepped_(heldHere > 0) {
    if (stepped_) leaveForeground();
}

ForegroundWaits::~ForegroundWaits() {
    if (stepped_) foreground.fetch_add(1);
}

BackgroundAwaited::BackgroundAwaited() {
    {
        const std::lock_guard hold(foregroundLock);
        awaited.fetch_add(1);
    }
    foregroundDone.notify_all();
}

BackgroundAwaited::~BackgroundAwaited() { awaited.fetch_sub(1); }

bool backgroundGivesWay() { return foreground.load() > 0 && awaited.load() == 0; }

void giveWayToForeground() {
    if (foreground.load(std::memory_order_relaxed) == 0) return;
    std::unique_lock hold(foregroundLock);
    foregroundDone.wait_for(hold, std::chrono::seconds(1), [] { return !backgroundGivesWay(); });
}

bool helperThreadsAllowed() { return allowed.load(std::memory_order_relaxed); }
void allowHelperThreads(bool a) { allowed.store(a, std::memory_order_relaxed); }

} // namespace cw
