#include "core/remark.h"

#include <algorithm>
#include <cstring>

#include "core/helper_threads.h"
#include "core/picture_tiles.h"
#include "core/workspace.h"

namespace cw {

namespace {

constexpr int32_t kMarkerReach = 4;  // the square spans x-4 .. x+4
const uint32_t kMarkerRed = fromBGR(0x0000FF);
const uint32_t kMarkerYellow = fromBGR(0x00FFFF);

void plot(Bitmap& b, int32_t x, int32_t y, uint32_t colour) {
    if (uint32_t(x) < uint32_t(b.width()) && uint32_t(y) < uint32_t(b.height())) b.at(x, y) = colour;
}

// Puts the colour on the display where the two differ, and adds the tiles
// where it did to `changed`. Most of a display usually shows the colour
// already (all but the markers and outlines): what the next step must look
// at is then a few tiles, not the whole picture.
void showColourWhereItDiffers(Workspace& ws, std::vector<Rect>& changed) {
    const int32_t w = ws.width, h = ws.height;
    const int32_t columns = (w + kTileSide - 1) / kTileSide, bands = (h + kTileSide - 1) / kTileSide;
    std::vector<uint8_t> differs(size_t(columns) * size_t(bands), 0);
    inTwoShares(bands >= 8, [&](uint32_t share, uint32_t shares) {
        for (int32_t band = int32_t(share); band < bands; band += int32_t(shares)) {
            uint8_t* flags = differs.data() + size_t(band) * size_t(columns);
            for (int32_t y = band * kTileSide; y < std::min(h, (band + 1) * kTileSide); ++y) {
                uint32_t* to = ws.display.row(y);
                const uint32_t* from = ws.colour.row(y);
                for (int32_t c = 0, x = 0; c < columns; ++c, x += kTileSide) {
                    const size_t bytes = size_t(std::min(kTileSide, w - x)) * sizeof(uint32_t);
                    if (std::memcmp(to + x, from + x, bytes) == 0) continue;
                    std::memcpy(to + x, from + x, bytes);
                    flags[c] = 1;
                }
            }
        }
    });
    for (int32_t band = 0; band < bands; ++band) {
        const uint8_t* flags = differs.data() + size_t(band) * size_t(columns);
        for (int32_t c = 0; c < columns;) {
            if (!flags[c]) {
                ++c;
                continue;
            }
            const int32_t first = c;
            while (c < columns && flags[c]) ++c;
            changed.push_back({first * kTileSide, band * kTileSide, std::min(w, c * kTileSide),
                               std::min(h, (band + 1) * kTileSide)});
        }
    }
}

} // namespace

void drawAnchorMarker(Bitmap& picture, int32_t x, int32_t y) {
    for (int32_t k = -kMarkerReach; k <= kMarkerReach; ++k) {
        plot(picture, x + k, y - kMarkerReach, kMarkerRed);
        plot(picture, x + k, y + kMarkerReach, kMarkerRed);
        plot(picture, x - kMarkerReach, y + k, kMarkerRed);
        plot(picture, x + kMarkerReach, y + k, kMarkerRed);
        plot(picture, x, y + k, kMarkerRed);
        plot(picture, x + k, y, kMarkerRed);
    }
    plot(picture, x, y, kMarkerYellow);
}

Rect reMark(Workspace& ws, ReMarkMode mode, std::vector<Rect>* changed) {
    if (changed) showColourWhereItDiffers(ws, *changed);
    else ws.display.copyFrom(ws.colour);
    if (mode != ReMarkMode::Remove) {
        for (const Anchor& a : ws.anchors) {
            if (a.status != 0) continue;
            drawAnchorMarker(ws.display, a.x, a.y);
            if (changed) changed->push_back({a.x - kMarkerReach, a.y - kMarkerReach, a.x + kMarkerReach + 1, a.y + kMarkerReach + 1});
        }
    }
    return Rect{0, 0, ws.width, ws.height};
}

} // namespace cw
