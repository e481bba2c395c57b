#pragma once
// The progress and abort protocol every long operation drives. The meter window
// (ProgressWindow) and the batch runner derive from it and supply the drawing hooks.
#include <cstdint>
#include <string>

namespace cw {

inline constexpr const char* kPhaseWorking = "Working....";
inline constexpr int kModalNone = 0;
inline constexpr int kModalAbort = 2;

struct BeginOptions {
    bool hideGauge = false;
    bool hideGaugeText = false;
    bool hideAbort = false;
    bool hidePhase = false;
};

class Progress {
public:
    virtual ~Progress() = default;

    void begin(const std::string& phase, BeginOptions options = {});
    void setPhase(const std::string& phase);
    // Clamps to 0..100 and redraws only when the value changes.
    void report(int percent);
    // Applies the value only when it is greater than the one shown.
    void reportMonotonic(int percent);
    // Inline and nearly free between clock reads: fills poll once per pixel,
    // so the common case is one decrement and two tests.
    bool poll() {
        if (--untilSlow_ <= 0) pollSlow();
        return modalResult_ == kModalAbort;
    }
    // For polls far apart, such as one per gray level of a fill: reads the
    // clock every time, since a few dozen of them can span the whole work.
    bool pollWithClock() {
        polls_ += uint64_t(batch_ - untilSlow_);
        batch_ = untilSlow_ = 1;
        return poll();
    }
    // Stands for n polls of work that was done without them (which it may
    // be only while no Abort awaits a poll): the last is made now.
    void pollsMade(uint64_t n) {
        if (n == 0) return;
        polls_ += uint64_t(batch_ - untilSlow_) + n - 1;
        batch_ = untilSlow_ = 1;
        poll();
    }
    void end();
    void lock();
    void unlock();

    // Abort (Button1, Enter, Esc): the only thing that requests an abort.
    void abortPressed() { modalResult_ = kModalAbort; }

    int modalResult() const { return modalResult_; }
    int progress() const { return progress_; }
    const std::string& phase() const { return phase_; }
    bool visible() const { return visible_; }
    bool gaugeVisible() const { return gaugeVisible_; }
    bool gaugeTextVisible() const { return gaugeTextVisible_; }
    bool abortVisible() const { return abortVisible_; }
    bool phaseVisible() const { return phaseVisible_; }
    bool locked() const { return locked_; }
    int workCount = 0;

    void setAbortVisible(bool on);
    void setGaugeVisible(bool on);
    void setPhaseVisible(bool on);
    // Events are processed at most this often. The clock is read once every
    // kPollsPerClockRead polls, which even at a few microseconds a poll keeps
    // the window live and Abort answered well within a tenth of a second.
    static constexpr int64_t kPumpIntervalNs = 15'000'000;
    static constexpr int32_t kPollsPerClockRead = 64;

protected:
    virtual void showMeter() {}
    virtual void hideMeter() {}
    virtual void drawGauge() {}
    virtual void drawPhase() {}
    virtual void drawControls() {}  // visibility of gauge, its text, Abort, phase text
    virtual void processEvents() {}
    virtual void lockWindows(bool /*locked*/) {}
    // Called on every poll with its number since begin (1 = the first), before
    // the result is read, once hookEveryPoll() was called; lets scripts press
    // Abort at an exact poll.
    virtual void polled(uint64_t /*number*/) {}
    // Between operations only: the next one starts its count with a slow poll.
    void hookEveryPoll(bool on = true) { everyPoll_ = on; }

public:
    // Whether Abort is set to be pressed at an exact poll (a script's): work
    // that could skip its polls must then make every one of them.
    virtual bool abortAwaitsPoll() const { return false; }

private:
    int modalResult_ = kModalNone;
    int progress_ = 0;
    std::string phase_ = kPhaseWorking;
    bool visible_ = false;
    bool gaugeVisible_ = true, gaugeTextVisible_ = true, abortVisible_ = true, phaseVisible_ = true;
    bool locked_ = false;
    void pollSlow();

    // Polls counted up to the last slow poll; the batch since is batch_ -
    // untilSlow_ more.
    uint64_t polls_ = 0;
    int32_t untilSlow_ = 0, batch_ = 0;
    bool everyPoll_ = false;
    int64_t lastPumpNs_ = 0;
};

// Keeps the windows locked while it lives: a long operation holds one from
// its start, so every way out of it, an exception included, unlocks them.
class WindowLock {
public:
    explicit WindowLock(Progress& progress) : progress_(&progress) { progress.lock(); }
    ~WindowLock() { release(); }
    WindowLock(const WindowLock&) = delete;
    WindowLock& operator=(const WindowLock&) = delete;
    // Unlocks now, for an operation that must unlock before it ends.
    void release() {
        if (progress_) progress_->unlock();
        progress_ = nullptr;
    }

private:
    Progress* progress_;
};

// Reports nothing; for work that runs without a meter.
class NullProgress final : public Progress {};

} // namespace cw
