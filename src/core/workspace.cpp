#include "core/workspace.h"

#include <algorithm>

#include "core/progress.h"
#include "core/workspace_builder.h"

namespace cw {

namespace {
size_t indexFrom = kOnePassPixels + 1;
} // namespace

size_t levelIndexFrom() { return indexFrom; }
void setLevelIndexFrom(size_t pixels) { indexFrom = pixels; }

std::unique_ptr<Workspace> buildWorkspace(Bitmap picture, bool forceGray, Progress& progress) {
    WorkspaceBuilder builder(picture.data(), picture.width(), picture.height(), forceGray);
    const int32_t h = picture.height();
    // Rows are handed over in slices so that the gauge moves with the work.
    const int32_t slice = std::max<int32_t>(1, h / 100);
    for (int32_t y = 0; y < h; y += slice) {
        progress.report(int(int64_t(y) * 100 / h));
        builder.rowsArrived(std::min(h, y + slice));
    }
    return builder.finish(std::move(picture), progress);
}

void recountUncoloured(Workspace& ws, Progress& progress) {
    int32_t free = 0;
    for (int32_t y = 0; y < ws.height; ++y) {
        progress.report(int(int64_t(y) * 100 / ws.height));
        const uint32_t* __restrict src = ws.source.row(y);
        const uint32_t* __restrict col = ws.colour.row(y);
        int8_t* __restrict code = ws.codes.get() + size_t(y) * size_t(ws.width);
        // Every code written back, so that it is done many at a time.
        const int32_t w = ws.width;
        int32_t rowFree = 0;
        for (int32_t x = 0; x < w; ++x) {
            const bool same = src[x] == col[x];
            code[x] = same ? kCodeUncoloured : code[x];
            rowFree += same;
        }
        free += rowFree;
    }
    ws.freePixelCount = free;
    progress.report(0);
}

} // namespace cw
