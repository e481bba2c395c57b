#include "platform/sane_pages.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <thread>
#include <vector>

#include "core/image_error.h"
#include "platform/sane_frames.h"

namespace cw {

namespace {

constexpr SANE_Int kReadChunk = 1 << 20;
constexpr size_t kDiscardChunk = 64 * 1024;
// A device that keeps answering "no data yet" is given about a minute.
constexpr int kMaxIdleReads = 60000;
constexpr auto kIdlePause = std::chrono::milliseconds(1);

Transfer failed(int& status, SANE_Status st) {
    status = st;
    return Transfer::Failed;
}

bool layoutOf(const SANE_Parameters& p, FrameLayout& f) {
    switch (p.format) {
    case SANE_FRAME_GRAY: f.format = FrameFormat::Gray; break;
    case SANE_FRAME_RGB: f.format = FrameFormat::Rgb; break;
    case SANE_FRAME_RED: f.format = FrameFormat::Red; break;
    case SANE_FRAME_GREEN: f.format = FrameFormat::Green; break;
    case SANE_FRAME_BLUE: f.format = FrameFormat::Blue; break;
    default: return false;  // compressed, infrared and text frames are not pictures we read
    }
    f.depth = p.depth;
    f.width = p.pixels_per_line;
    f.bytesPerLine = p.bytes_per_line;
    return frameLayoutValid(f);
}

// Whether frame number `frames` (from 0), announced as `p`, can belong to
// the picture so far (`bands` received, `width` wide): SANE_STATUS_GOOD,
// or the status to fail with. Sets `f` to the frame's layout.
SANE_Status checkFrame(const SANE_Parameters& p, int frames, unsigned bands, int32_t width, FrameLayout& f) {
    if (!layoutOf(p, f) || p.lines == 0 || p.lines < -1) return SANE_STATUS_INVAL;
    if (frames == 0 && !isBand(f.format) && !p.last_frame) return SANE_STATUS_UNSUPPORTED;
    if (frames > 0 && (!isBand(f.format) || (bands & bandBit(f.format)) || f.width != width))
        return SANE_STATUS_INVAL;
    if (p.lines > 0 && uint64_t(f.width) * uint64_t(p.lines) > kMaxPixels) return SANE_STATUS_NO_MEM;
    return SANE_STATUS_GOOD;
}

// Reads one frame until its end. With a known height the buffer is
// made once; an unknown height (hand scanners) grows it up to the
// largest picture we take. Data past the announced size is read and
// dropped, up to a frame's worth: more means the device does not stop.
Transfer readFrame(const OpenDevice& device, const FrameLayout& f, SANE_Int lines, std::vector<uint8_t>& buf,
                   int32_t& rows, int& status) {
    const uint64_t bpl = uint64_t(f.bytesPerLine);
    const uint64_t maxBytes = lines > 0 ? bpl * uint64_t(lines) : bpl * (kMaxPixels / uint64_t(f.width));
    uint64_t filled = 0, excess = 0;
    int idle = 0;
    std::vector<uint8_t> discard;
    try {
        if (lines > 0) {
            ensureMemoryFor(maxBytes + uint64_t(f.width) * uint64_t(lines) * 4);
            buf.resize(size_t(maxBytes));
        }
        for (;;) {
            uint8_t* dst;
            SANE_Int ask;
            const bool keep = filled < buf.size();
            if (keep) {
                dst = buf.data() + filled;
                ask = SANE_Int(std::min<uint64_t>(buf.size() - filled, uint64_t(kReadChunk)));
            } else if (lines < 0) {
                if (buf.size() >= maxBytes) return failed(status, SANE_STATUS_NO_MEM);
                const uint64_t grown = std::min(maxBytes, std::max<uint64_t>(bpl * 64, uint64_t(buf.size()) * 2));
                ensureMemoryFor(grown - buf.size());
                buf.resize(size_t(grown));
                continue;
            } else {
                discard.resize(kDiscardChunk);
                dst = discard.data();
                ask = SANE_Int(discard.size());
            }
            SANE_Int len = 0;
            const SANE_Status st = device.api->read(device.handle, dst, ask, &len);
            if (st == SANE_STATUS_EOF) break;
            if (st == SANE_STATUS_CANCELLED) return Transfer::Cancelled;
            if (st != SANE_STATUS_GOOD) return failed(status, st);
            if (len < 0 || len > ask) return failed(status, SANE_STATUS_IO_ERROR);
            if (len == 0) {
                if (++idle > kMaxIdleReads) return failed(status, SANE_STATUS_IO_ERROR);
                std::this_thread::sleep_for(kIdlePause);
                continue;
            }
            idle = 0;
            if (keep) {
                filled += uint64_t(len);
            } else if ((excess += uint64_t(len)) > std::max(maxBytes, bpl)) {
                return failed(status, SANE_STATUS_IO_ERROR);
            }
        }
    } catch (const std::bad_alloc&) {
        return failed(status, SANE_STATUS_NO_MEM);
    }
    rows = int32_t(filled / bpl);
    if (rows < 1) return failed(status, SANE_STATUS_IO_ERROR);
    return Transfer::Page;
}

// Puts `rows` rows of a frame into the picture: the first frame makes it
// (its height is the picture's), a later band fills its channel in as far
// as both reach. False when the picture does not fit in memory.
bool placeFrame(const FrameLayout& f, const std::vector<uint8_t>& raw, int32_t rows, bool firstFrame, Bitmap& out,
                int32_t& height) {
    try {
        if (firstFrame) {
            ensureMemoryFor(uint64_t(f.width) * uint64_t(rows) * 4);
            out = Bitmap(f.width, rows);
            if (isBand(f.format)) std::fill_n(out.data(), out.pixelCount(), 0xff000000u);
            height = rows;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    height = std::min(height, rows);
    convertFrame(f, raw.data(), height, out);
    return true;
}

} // namespace

Transfer transferPage(const OpenDevice& device, ScanState& state, bool& started, Bitmap& out, int& status) {
    unsigned bands = 0;
    int frames = 0;
    int32_t height = 0;
    for (;;) {
        SANE_Status st = device.api->start(device.handle);
        if (st == SANE_STATUS_NO_DOCS && frames == 0) {
            status = st;
            return Transfer::NoDocs;
        }
        if (st == SANE_STATUS_CANCELLED) return Transfer::Cancelled;
        if (st != SANE_STATUS_GOOD) return failed(status, st);
        started = true;
        state = ScanState::TransferReady;

        SANE_Parameters p{};
        if ((st = device.api->get_parameters(device.handle, &p)) != SANE_STATUS_GOOD) return failed(status, st);
        FrameLayout f;
        if ((st = checkFrame(p, frames, bands, out.width(), f)) != SANE_STATUS_GOOD) return failed(status, st);

        state = ScanState::Transferring;
        std::vector<uint8_t> raw;
        int32_t rows = 0;
        const Transfer t = readFrame(device, f, p.lines, raw, rows, status);
        if (t != Transfer::Page) return t;
        if (!placeFrame(f, raw, rows, frames == 0, out, height)) return failed(status, SANE_STATUS_NO_MEM);
        bands |= bandBit(f.format);
        ++frames;
        state = ScanState::TransferReady;
        if (p.last_frame) break;
        if (frames == 3) return failed(status, SANE_STATUS_INVAL);  // a fourth band cannot belong to this picture
    }
    if (bands != 0 && bands != 7) return failed(status, SANE_STATUS_INVAL);
    if (height < out.height()) {
        Bitmap cropped(out.width(), height);
        std::memcpy(cropped.data(), out.data(), cropped.pixelCount() * sizeof(uint32_t));
        out = std::move(cropped);
    }
    return Transfer::Page;
}

} // namespace cw
