#include "core/workspace_builder.h"

#include "core/helper_threads.h"

#include <cstring>
#include <new>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "core/image_error.h"
#include "core/progress.h"

namespace cw {

WorkspaceBuilder::WorkspaceBuilder(uint32_t* pixels, int32_t width, int32_t height, bool forceGray,
                                   RowSink sink)
    : pixels_(pixels), width_(width), height_(height), split_(height / 2), forceGray_(forceGray),
      sink_(std::move(sink)) {
    const size_t n = size_t(width) * size_t(height);
    if (n > kMaxPixels) throw std::bad_alloc();
    // The picture itself is already held; the rest must fit before we start.
    ensureMemoryFor(uint64_t(n) * (kWorkspaceBytesPerPixel - 4 + kHistoryBytesPerPixel));
    ws_ = std::make_unique<Workspace>();
    ws_->width = width;
    ws_->height = height;
    ws_->freePixelCount = int32_t(n);
    ws_->source = Bitmap(width, height);
    ws_->colour = Bitmap(width, height);
    // Holds each pixel's gray level until the buckets are placed, then zeros.
    ws_->codes = std::make_unique_for_overwrite<int8_t[]>(n);
    adviseHugePages(ws_->codes.get(), n);
    if (n >= levelIndexFrom()) {
        ws_->bucketIndex = std::make_unique_for_overwrite<uint32_t[]>(n);
        adviseHugePages(ws_->bucketIndex.get(), n * sizeof(uint32_t));
    }
    try {
        if (helperThreadsAllowed()) worker_ = std::thread([this] { workerLoop(); });
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

namespace {

// Gray level of each pixel, (R + G + B) / 3, with the division done as
// (sum * 0xAAAB) >> 17, exact for every sum up to 765.
void grayLevels(const uint32_t* px, size_t n, uint8_t* gray) {
    size_t i = 0;
#ifdef __SSE2__
    const __m128i low = _mm_set1_epi32(0xff);
    const __m128i third = _mm_set1_epi16(short(0xAAAB));
    for (; i + 16 <= n; i += 16) {
        __m128i sum[4];
        for (int k = 0; k < 4; ++k) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(px + i + 4 * k));
            sum[k] = _mm_add_epi32(_mm_add_epi32(_mm_and_si128(v, low), _mm_and_si128(_mm_srli_epi32(v, 8), low)),
                                   _mm_and_si128(_mm_srli_epi32(v, 16), low));
        }
        const __m128i a = _mm_srli_epi16(_mm_mulhi_epu16(_mm_packs_epi32(sum[0], sum[1]), third), 1);
        const __m128i b = _mm_srli_epi16(_mm_mulhi_epu16(_mm_packs_epi32(sum[2], sum[3]), third), 1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(gray + i), _mm_packus_epi16(a, b));
    }
#endif
    for (; i < n; ++i) gray[i] = uint8_t(grayOf(px[i]));
}

// The two copies are not read again during the load, so on x86 they are
// streamed past the cache, which leaves it to the decoder on the other core.
void copyTwice(const uint32_t* from, size_t n, uint32_t* a, uint32_t* b) {
    size_t i = 0;
#ifdef __SSE2__
    // All three buffers come from the same allocator with the same alignment,
    // so one scalar lead-in aligns every store.
    if ((uintptr_t(a) | uintptr_t(b)) % 4 == 0 && (uintptr_t(a) - uintptr_t(b)) % 16 == 0) {
        for (; i < n && uintptr_t(a + i) % 16 != 0; ++i) a[i] = b[i] = from[i];
        for (; i + 4 <= n; i += 4) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
            _mm_stream_si128(reinterpret_cast<__m128i*>(a + i), v);
            _mm_stream_si128(reinterpret_cast<__m128i*>(b + i), v);
        }
        // Streamed stores are weakly ordered: make them visible before the
        // block is reported done.
        _mm_sfence();
    }
#endif
    for (; i < n; ++i) a[i] = b[i] = from[i];
}

// Four tables, so that runs of one level (common in smooth pictures) do not
// make every increment wait for the one before.
void countLevels(const uint8_t* gray, size_t n, std::array<uint32_t, 256>& counts) {
    uint32_t part[4][256] = {};
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        ++part[0][gray[i]];
        ++part[1][gray[i + 1]];
        ++part[2][gray[i + 2]];
        ++part[3][gray[i + 3]];
    }
    for (; i < n; ++i) ++part[0][gray[i]];
    for (int g = 0; g < 256; ++g) counts[g] += part[0][g] + part[1][g] + part[2][g] + part[3][g];
}

} // namespace

void WorkspaceBuilder::processBlock(int32_t y0, int32_t count, int thread) {
    if (sink_) sink_(y0, count);
    const size_t start = size_t(y0) * size_t(width_), n = size_t(count) * size_t(width_);
    uint32_t* px = pixels_ + start;
    uint8_t* gray = reinterpret_cast<uint8_t*>(ws_->codes.get()) + start;
    grayLevels(px, n, gray);
    // A gray pixel's level is its own value, so the levels stay as computed.
    if (forceGray_)
        for (size_t i = 0; i < n; ++i) px[i] = rgb(gray[i], gray[i], gray[i]);
    copyTwice(px, n, ws_->source.data() + start, ws_->colour.data() + start);
    countLevels(gray, n, counts_[thread][y0 >= split_ ? 1 : 0]);
}

void WorkspaceBuilder::scatterHalf(int half) {
    const int32_t split = split_;
    const size_t w = size_t(width_);
    const size_t start = half == 0 ? 0 : size_t(split) * w;
    const size_t end = half == 0 ? size_t(split) * w : size_t(height_) * w;
    uint8_t* gray = reinterpret_cast<uint8_t*>(ws_->codes.get());
    uint32_t* index = ws_->bucketIndex.get();
    std::array<uint32_t, 256> next = next_[half];
    if (index)
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
        if (helperThreadsAllowed()) second = std::thread([this] { scatterHalf(1); });
        else scatterHalf(1);
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
