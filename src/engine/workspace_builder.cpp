#include "engine/workspace_builder.h"

#include <cstring>
#include <new>

#include "files/image_error.h"
#include "progress/progress.h"

namespace cw {

WorkspaceBuilder::WorkspaceBuilder(uint32_t* pixels, int32_t width, int32_t height, bool forceGray,
                                   RowSink sink)
    : pixels_(pixels), width_(width), height_(height), split_(height / 2), forceGray_(forceGray),
      sink_(std::move(sink)) {
    const size_t n = size_t(width) * size_t(height);
    if (n > kMaxPixels) throw std::bad_alloc();
    // The picture itself is already held; the rest must fit before we start.
    ensureMemoryFor(uint64_t(n) * (kWorkspaceBytesPerPixel - 4));
    ws_ = std::make_unique<Workspace>();
    ws_->width = width;
    ws_->height = height;
    ws_->freePixelCount = int32_t(n);
    ws_->source = Bitmap(width, height);
    ws_->colour = Bitmap(width, height);
    ws_->undo = Bitmap(width, height);
    // Holds each pixel's gray level until the buckets are placed, then zeros.
    ws_->codes = std::make_unique_for_overwrite<int8_t[]>(n);
    ws_->bucketIndex = std::make_unique_for_overwrite<uint32_t[]>(n);
    adviseHugePages(ws_->codes.get(), n);
    adviseHugePages(ws_->bucketIndex.get(), n * sizeof(uint32_t));
    try {
        worker_ = std::thread([this] { workerLoop(); });
    } catch (const std::system_error&) {
        // No second thread: finish() does all the work itself.
    }
}

WorkspaceBuilder::~WorkspaceBuilder() { abandon(); }

void WorkspaceBuilder::abandon() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
}

void WorkspaceBuilder::rowsArrived(int32_t rows) {
    {
        std::lock_guard lock(mutex_);
        arrived_ = rows;
    }
    wake_.notify_one();
}

void WorkspaceBuilder::workerLoop() {
    while (claimAndProcess(true)) {}
}

// Claims the next block of arrived rows and processes it. With `wait`, sleeps
// until one arrives; returns false when there is nothing more to do.
bool WorkspaceBuilder::claimAndProcess(bool wait) {
    int32_t y0, count;
    const int thread = wait ? 1 : 0;
    {
        std::unique_lock lock(mutex_);
        if (wait) wake_.wait(lock, [&] { return stop_ || claimed_ < arrived_ || claimed_ == height_; });
        if (stop_ || claimed_ >= arrived_) return false;
        y0 = claimed_;
        count = std::min(kBlockRows, arrived_ - claimed_);
        // Rows arrive in slices of any size; a block must still stay on one
        // side of the split, whose halves are counted and placed apart.
        if (y0 < split_) count = std::min(count, split_ - y0);
        claimed_ += count;
    }
    processBlock(y0, count, thread);
    {
        std::lock_guard lock(mutex_);
        done_ += count;
    }
    allDone_.notify_all();
    return true;
}

void WorkspaceBuilder::processBlock(int32_t y0, int32_t count, int thread) {
    if (sink_) sink_(y0, count);
    const size_t w = size_t(width_);
    const size_t start = size_t(y0) * w, end = start + size_t(count) * w;
    uint32_t* px = pixels_;
    uint32_t* src = ws_->source.data();
    uint32_t* col = ws_->colour.data();
    uint32_t* und = ws_->undo.data();
    uint8_t* gray = reinterpret_cast<uint8_t*>(ws_->codes.get());
    const int half = y0 >= split_ ? 1 : 0;
    auto& counts = counts_[thread][half];
    for (size_t i = start; i < end; ++i) {
        uint32_t c = px[i];
        const uint32_t g = grayOf(c);
        if (forceGray_) {
            c = rgb(g, g, g);
            px[i] = c;
        }
        src[i] = col[i] = und[i] = c;
        gray[i] = uint8_t(g);
        ++counts[g];
    }
}

void WorkspaceBuilder::scatterHalf(int half) {
    const int32_t split = split_;
    const size_t w = size_t(width_);
    const size_t start = half == 0 ? 0 : size_t(split) * w;
    const size_t end = half == 0 ? size_t(split) * w : size_t(height_) * w;
    uint8_t* gray = reinterpret_cast<uint8_t*>(ws_->codes.get());
    uint32_t* index = ws_->bucketIndex.get();
    std::array<uint32_t, 256> next = next_[half];
    for (size_t i = start; i < end; ++i) index[next[gray[i]]++] = uint32_t(i);
    std::memset(gray + start, 0, end - start);  // every pixel starts uncoloured
}

void WorkspaceBuilder::completeRows() {
    rowsArrived(height_);
    // Help with what is left, then wait for the worker's last block.
    while (claimAndProcess(false)) {}
    {
        std::unique_lock lock(mutex_);
        allDone_.wait(lock, [&] { return done_ == height_; });
        stop_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
}

std::unique_ptr<Workspace> WorkspaceBuilder::finish(Bitmap picture, Progress& progress) {
    completeRows();
    Workspace& ws = *ws_;
    uint32_t sum = 0;
    for (int g = 0; g < 256; ++g) {
        ws.bucketStart[g] = sum;
        next_[0][g] = sum;
        next_[1][g] = sum + counts_[0][0][g] + counts_[1][0][g];
        sum += counts_[0][0][g] + counts_[1][0][g] + counts_[0][1][g] + counts_[1][1][g];
    }
    ws.bucketStart[256] = sum;
    std::thread second;
    try {
        second = std::thread([this] { scatterHalf(1); });
    } catch (const std::system_error&) {
        scatterHalf(1);
    }
    scatterHalf(0);
    if (second.joinable()) second.join();
    for (int g = 0; g < 256; ++g) progress.report(g * 100 / 255);

    ws.display = std::move(picture);
    return std::move(ws_);
}

} // namespace cw
