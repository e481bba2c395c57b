#pragma once
// Some long operations hand part of their work to a second thread. Where the
// cores are already busy with other pictures (a series running one picture
// per core), that second thread only takes turns with them: it is turned off.
#include <system_error>
#include <thread>

namespace cw {

bool helperThreadsAllowed();
void allowHelperThreads(bool allowed);

// Work the user waits for that only reads the picture (a save) holds one of
// these while it runs; work in the background that nobody waits for yet (the
// history's recorder) gives way to it at its pauses, so that the cores are
// the user's work's first.
class ForegroundWork {
public:
    ForegroundWork();
    ~ForegroundWork();
    ForegroundWork(const ForegroundWork&) = delete;
    ForegroundWork& operator=(const ForegroundWork&) = delete;
};
// Foreground work of this thread waiting on something other than the cores
// (the disk) lets background work run meanwhile.
class ForegroundWaits {
public:
    ForegroundWaits();
    ~ForegroundWaits();
    ForegroundWaits(const ForegroundWaits&) = delete;
    ForegroundWaits& operator=(const ForegroundWaits&) = delete;

private:
    bool stepped_;
};
// Someone waits for the background work (it has to be finished first): it
// no longer gives way.
class BackgroundAwaited {
public:
    BackgroundAwaited();
    ~BackgroundAwaited();
    BackgroundAwaited(const BackgroundAwaited&) = delete;
    BackgroundAwaited& operator=(const BackgroundAwaited&) = delete;
};
// Whether background work gives way now: foreground work runs, and nobody
// waits for the background.
bool backgroundGivesWay();
// A pause of background work: waits while it gives way, a second at most (a
// pause, never a stop).
void giveWayToForeground();

// Shares work between this thread and a second one where `wanted` and
// allowed (and a thread can be had): work(share, shares) does every
// shares-th part from the share-th, as work(0, 2) here and work(1, 2) there,
// or work(0, 1) here alone.
template <class Work>
void inTwoShares(bool wanted, const Work& work) {
    std::thread second;
    if (wanted && helperThreadsAllowed()) {
        try {
            second = std::thread([&work] { work(1, 2); });
        } catch (const std::system_error&) {
        }
    }
    if (!second.joinable()) return work(0, 1);
    work(0, 2);
    second.join();
}

} // namespace cw
