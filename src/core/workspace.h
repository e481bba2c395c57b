#pragma once
// The buffers the colouring engine keeps for the one open picture.
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "core/anchor.h"
#include "core/bitmap.h"
#include "core/rect.h"

namespace cw {

class Progress;

// The pixel code of a pixel no palette has coloured.
inline constexpr int8_t kCodeUncoloured = 0;

struct Workspace {
    int32_t width = 0, height = 0;
    Bitmap display;   // what the window shows: ColourBitmap plus markers and outlines
    Bitmap source;    // the picture as loaded (after Force Gray); never painted
    Bitmap colour;    // the working coloured picture
    std::unique_ptr<int8_t[]> codes;  // PixelCodes, row-major

    // GrayBuckets: every pixel index, ordered by gray level (R+G+B)/3 and
    // row-major within a level; level g holds bucketIndex[bucketStart[g] ..
    // bucketStart[g+1]). The index is kept only for pictures of
    // levelIndexFrom() pixels on (null below); the counts always.
    std::unique_ptr<uint32_t[]> bucketIndex;
    std::array<uint32_t, 257> bucketStart{};

    AnchorList anchors;

    int32_t freePixelCount = 0;
    int32_t curPixelIndex = 0;
    bool selectionActive = false;
    Rect selectionRect;
    bool imageModified = false;
    // Held while the display is written off the interface thread (a large
    // connected fill paints on a second thread); the window's painting takes it.
    std::mutex displayLock;

    size_t pixelCount() const { return size_t(width) * size_t(height); }
    const uint32_t* bucketBegin(int level) const { return bucketIndex.get() + bucketStart[level]; }
    const uint32_t* bucketEnd(int level) const { return bucketIndex.get() + bucketStart[level + 1]; }
};

// Pictures from this many pixels on keep the index of their pixels by gray
// level, which lets an image-wide fill visit its band's levels alone; on
// smaller ones a pass over the rows paints the band soon enough for an
// Abort to be answered, and the index's 4 bytes a pixel are saved. A
// setting for the tests, which build small pictures both ways.
size_t levelIndexFrom();
void setLevelIndexFrom(size_t pixels);
// Up to this many pixels, one pass over the picture ends well within the
// tenth of a second in which an Abort must be answered.
inline constexpr size_t kOnePassPixels = size_t(32) << 20;

// Bytes per pixel the workspace holds at most: three bitmaps, the codes, the buckets;
// and the undo history's copy of the colours, the codes and the display as
// its last step left them.
inline constexpr unsigned kWorkspaceBytesPerPixel = 3 * 4 + 1 + 4;
inline constexpr unsigned kHistoryBytesPerPixel = 4 + 1 + 4;

// Builds the workspace of a freshly read picture, which becomes the displayed
// picture. With forceGray each pixel is first set to its gray level. Reports
// rows, then gray levels. Throws std::bad_alloc when memory runs out.
std::unique_ptr<Workspace> buildWorkspace(Bitmap picture, bool forceGray, Progress& progress);

// Recounts the uncoloured pixels (colour equal to source) and clears their codes.
void recountUncoloured(Workspace& ws, Progress& progress);

} // namespace cw
