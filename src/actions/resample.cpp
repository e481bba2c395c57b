#include "actions/resample.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

#include "actions/image_window.h"
#include "actions/session.h"
#include "codecs/bmp_reader.h"
#include "codecs/bmp_writer.h"
#include "core/image_error.h"
#include "actions/picture_files.h"
#include "actions/scratch.h"
#include "tools/interaction.h"
#include "core/outline.h"
#include "core/progress.h"

namespace cw {

void resetTargetSize(const Rect& r, bool cropping, int32_t scale, int32_t& width, int32_t& height) {
    const int32_t w = r.x2 - r.x1 + 1, h = r.y2 - r.y1 + 1;
    if (cropping || (scale >= -1 && scale < 1)) {
        width = w;
        height = h;
    } else if (scale >= 1) {
        // Held to the int32 range; a size that large is refused for memory.
        width = int32_t(std::min<int64_t>(int64_t(scale) * w, INT32_MAX));
        height = int32_t(std::min<int64_t>(int64_t(scale) * h, INT32_MAX));
    } else {
        width = w / -scale;
        height = h / -scale;
    }
    // A reduction never leaves nothing.
    width = std::max(1, width);
    height = std::max(1, height);
}

Bitmap resampleNearest(const Bitmap& source, int32_t width, int32_t height) {
    Bitmap target(width, height);
    std::unique_ptr<int32_t[]> column(new int32_t[size_t(width)]);
    for (int32_t x = 0; x < width; ++x) column[x] = int32_t(int64_t(x) * source.width() / width);
    for (int32_t y = 0; y < height; ++y) {
        const uint32_t* src = source.row(int32_t(int64_t(y) * source.height() / height));
        uint32_t* dst = target.row(y);
        for (int32_t x = 0; x < width; ++x) dst[x] = src[column[x]];
    }
    return target;
}

namespace {

Bitmap cropOf(const Bitmap& from, const Rect& r, int32_t width, int32_t height) {
    Bitmap target(width, height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const int32_t sx = r.x1 + x, sy = r.y1 + y;
            target.at(x, y) = (sx < from.width() && sy < from.height()) ? from.at(sx, sy) : rgb(0, 0, 0);
        }
    return target;
}

// The new picture goes through a private file and is read back, as a
// picture loaded from disk would be.
std::optional<Bitmap> handOver(const Session& s, const Bitmap& picture) {
    if (!ensureScratchFolder(s.scratchFolder)) return std::nullopt;
    std::string name = scratchPath(s.scratchFolder, "currimg-XXXXXX.bmp");
    const int fd = ::mkstemps(name.data(), 4);
    if (fd < 0) return std::nullopt;
    ::close(fd);
    std::optional<Bitmap> back;
    try {
        writeBmp24(picture, name);
        back = readBmp(name);
    } catch (const std::exception&) {
        back.reset();
    }
    ::unlink(name.c_str());
    return back;
}

} // namespace

bool resetClick(Session& s) {
    if (!s.ws) return false;
    Workspace& ws = *s.ws;
    const bool cropping = ws.selectionActive;
    if (!cropping) ws.selectionRect = {0, 0, ws.width - 1, ws.height - 1};
    restoreRect(ws.display, ws.colour, ws.selectionRect);
    ws.resetCaption = kZeroSetCaption;
    s.host.resetCaptionChanged();
    s.zoom.exists = false;
    s.host.zoomViewChanged();

    s.progress.begin(kPhaseInitialising, {.hideGauge = true});
    std::optional<Bitmap> picture;
    try {
        int32_t w, h;
        resetTargetSize(ws.selectionRect, cropping, s.scale.value, w, h);
        // The target, its copy read back and the workspace built on it: refuse
        // before allocating what memory cannot hold.
        const uint64_t pixels = uint64_t(w) * uint64_t(h);
        if (pixels > kMaxPixels) throw std::bad_alloc();
        ensureMemoryFor(pixels * (8 + kWorkspaceBytesPerPixel));
        const Bitmap target = cropping ? cropOf(ws.display, ws.selectionRect, w, h) : resampleNearest(ws.display, w, h);
        ws.selectionRect = Rect{};
        picture = handOver(s, target);
    } catch (const std::bad_alloc&) {
        picture.reset();
    }
    if (!picture) {
        // Nothing has changed yet: the picture stays as it was.
        s.progress.setGaugeVisible(true);
        s.progress.end();
        s.messages.error(kSetupOutOfMemory);
        return false;
    }
    const bool built = f2Show(s, std::move(picture));
    s.progress.setGaugeVisible(true);
    if (s.progress.visible()) s.progress.end();
    if (s.ws) s.ws->selectionActive = false;
    return built;
}

} // namespace cw
