#include "codecs/bmp_writer.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <exception>
#include <memory>
#include <new>

#include "core/helper_threads.h"

namespace cw {
namespace {

constexpr size_t kHeaderBytes = 14 + 40;
constexpr size_t kChunkBytes = size_t(1) << 20;
constexpr uint32_t kPixelsPerMetre = 2835;

void put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    put16(p, v);
    put16(p + 2, v >> 16);
}

void packRow(const uint32_t* src, size_t width, size_t rowBytes, uint8_t* dst) {
    size_t x = 0;
    if constexpr (std::endian::native == std::endian::little) {
        // Four pixels in three words.
        for (; x + 4 <= width; x += 4, dst += 12) {
            const uint32_t c0 = src[x], c1 = src[x + 1], c2 = src[x + 2], c3 = src[x + 3];
            const uint32_t words[3] = {(c0 & 0xffffffu) | c1 << 24, (c1 >> 8 & 0xffffu) | c2 << 16,
                                       (c2 >> 16 & 0xffu) | c3 << 8};
            std::memcpy(dst, words, 12);
        }
    }
    for (; x < width; ++x, dst += 3) {
        const uint32_t c = src[x];
        dst[0] = uint8_t(c);
        dst[1] = uint8_t(c >> 8);
        dst[2] = uint8_t(c >> 16);
    }
    for (size_t k = width * 3; k < rowBytes; ++k) *dst++ = 0;
}

} // namespace

BmpFileWriter::BmpFileWriter(const std::string& path, int32_t width, int32_t height)
    : path_(path), width_(width), height_(height) {
    if (width <= 0 || height <= 0) throw SaveError("there is no picture to save to " + path);
    rowBytes_ = (uint64_t(width) * 3 + 3) & ~uint64_t(3);
    const uint64_t imageBytes = rowBytes_ * uint64_t(height);
    if (kHeaderBytes + imageBytes > 0xffffffffu)
        throw SaveError("the picture is too large for a bitmap file: " + path);
    file_.emplace(path);

    uint8_t h[kHeaderBytes];
    h[0] = 'B';
    h[1] = 'M';
    put32(h + 2, uint32_t(kHeaderBytes + imageBytes));
    put32(h + 6, 0);
    put32(h + 10, kHeaderBytes);
    put32(h + 14, 40);
    put32(h + 18, uint32_t(width));
    put32(h + 22, uint32_t(height));
    put16(h + 26, 1);
    put16(h + 28, 24);
    put32(h + 30, 0);
    put32(h + 34, uint32_t(imageBytes));
    put32(h + 38, kPixelsPerMetre);
    put32(h + 42, kPixelsPerMetre);
    put32(h + 46, 0);
    put32(h + 50, 0);
    file_->write(h, kHeaderBytes, 0);
}

void BmpFileWriter::writeRows(int32_t y0, int32_t count, const uint32_t* rows) {
    if (y0 < 0 || count <= 0 || y0 + count > height_) throw SaveError("rows outside the picture: " + path_);
    // Rows y0 .. y0+count-1 are one stretch of the bottom-up file, last row
    // first, in chunks; two threads pack and write every other chunk.
    const size_t rowsPerChunk = std::max<size_t>(1, kChunkBytes / rowBytes_);
    const size_t chunks = (size_t(count) + rowsPerChunk - 1) / rowsPerChunk;
    std::exception_ptr failed[2];
    std::atomic<bool> stop{false};  // one share failed: the other stops too
    inTwoShares(chunks >= 4, [&](uint32_t share, uint32_t shares) {
        try {
            std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[std::min<size_t>(rowsPerChunk, size_t(count)) * rowBytes_]);
            if (!buffer) throw SaveError("not enough memory to save " + path_);
            for (size_t c = share; c < chunks && !stop.load(std::memory_order_relaxed); c += shares) {
                const int32_t y = y0 + count - int32_t(c * rowsPerChunk);  // the chunk's rows end here
                const int32_t n = int32_t(std::min<size_t>(rowsPerChunk, size_t(y - y0)));
                uint8_t* dst = buffer.get();
                for (int32_t k = 1; k <= n; ++k, dst += rowBytes_)
                    packRow(rows + size_t(y - k - y0) * size_t(width_), size_t(width_), rowBytes_, dst);
                const uint64_t offset = kHeaderBytes + uint64_t(height_ - y) * rowBytes_;
                file_->write(buffer.get(), size_t(n) * rowBytes_, offset);
                if (writeOutEarly_) file_->writeOutSoon(size_t(n) * rowBytes_, offset);
            }
        } catch (...) {
            failed[share] = std::current_exception();
            stop = true;
        }
    });
    for (const std::exception_ptr& f : failed)
        if (f) std::rethrow_exception(f);
}

void BmpFileWriter::commit(bool durable) { file_->commit(durable); }

void writeBmp24(const Bitmap& picture, const std::string& path) {
    if (picture.empty()) throw SaveError("there is no picture to save to " + path);
    BmpFileWriter writer(path, picture.width(), picture.height());
    writer.writeOutAsWritten();
    writer.writeRows(0, picture.height(), picture.data());
    writer.commit(true);
}

} // namespace cw
