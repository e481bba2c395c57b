#include "core/progress.h"

#include <time.h>

namespace cw {

namespace {
int64_t coarseNowNs() {
    timespec ts;
    // The coarse clock is read from the vDSO without a system call: a few ns.
    clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}
} // namespace

void Progress::begin(const std::string& phase, BeginOptions options) {
    modalResult_ = kModalNone;
    progress_ = 0;
    polls_ = 0;
    untilSlow_ = batch_ = 0;
    lastPumpNs_ = 0;
    phase_ = phase;
    gaugeVisible_ = !options.hideGauge;
    gaugeTextVisible_ = !options.hideGaugeText;
    abortVisible_ = !options.hideAbort;
    phaseVisible_ = !options.hidePhase;
    visible_ = true;
    drawControls();
    showMeter();
    drawPhase();
    drawGauge();
}

void Progress::setPhase(const std::string& phase) {
    phase_ = phase;
    drawPhase();
}

void Progress::report(int percent) {
    if (percent < 0) percent = 0;
    if (percent > 100) percent = 100;
    if (percent == progress_) return;
    progress_ = percent;
    drawGauge();
}

void Progress::reportMonotonic(int percent) {
    if (percent > progress_) report(percent);
}

void Progress::pollSlow() {
    polls_ += uint64_t(batch_ - untilSlow_);
    batch_ = untilSlow_ = everyPoll_ ? 1 : kPollsPerClockRead;
    const int64_t now = coarseNowNs();
    if (lastPumpNs_ == 0 || now - lastPumpNs_ >= kPumpIntervalNs) {
        lastPumpNs_ = now;
        processEvents();
    }
    if (everyPoll_) polled(polls_);
}

void Progress::end() {
    visible_ = false;
    gaugeVisible_ = gaugeTextVisible_ = abortVisible_ = phaseVisible_ = true;
    hideMeter();
    drawControls();
}

void Progress::lock() {
    locked_ = true;
    lockWindows(true);
}

void Progress::unlock() {
    locked_ = false;
    lockWindows(false);
}

void Progress::setAbortVisible(bool on) {
    abortVisible_ = on;
    drawControls();
}

void Progress::setGaugeVisible(bool on) {
    gaugeVisible_ = on;
    drawControls();
}

void Progress::setPhaseVisible(bool on) {
    phaseVisible_ = on;
    drawControls();
}

} // namespace cw
