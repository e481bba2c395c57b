#pragma once
// Mark-up: divides the picture into 8-connected regions of similar gray level
// and places an anchor on each region that is large enough and far enough from
// the anchors already placed. Also the anchor sort.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/anchor.h"
#include "core/palette_networks.h"
#include "core/rect.h"
#include "core/workspace.h"

namespace cw {

class Progress;

inline constexpr const char* kPhasePreProcessing = "pre-processing....";
inline constexpr const char* kPhaseMarking = "marking Key Anchors-points....";
inline constexpr const char* kPhasePostProcessing = "post-processing....";

// Floors of the minimum object size D and the minimum anchor separation S.
inline constexpr int32_t kMinObjectSizeFloor = 10;
inline constexpr int32_t kMinSeparationFloor = 15;

struct MarkUpParams {
    int32_t grayStep = 16;    // levels are taken in steps of this (256 div Complexity)
    int32_t tolerance = 52;   // a neighbour joins when its level differs by less
    int32_t minObjectSize = kMinObjectSizeFloor;  // D, taken as given
    int32_t minSeparation = kMinSeparationFloor;  // S, taken as given; the grid variant has no spacing test
    bool discardColouring = false;  // the colouring goes, and the pixels are recounted, before the scan
};

// MarkUp: rebuilds ws.anchors from the full-resolution picture, inside the
// selection when one is pending (else the selection becomes the whole
// picture), and shows the anchors on the display. Runs its own progress frame,
// locked; an abort, or a queue that cannot grow, keeps what was found. Returns
// the part of the display it redrew, exclusive bounds: the whole picture.
Rect markUp(Workspace& ws, const MarkUpParams& params, Progress& progress, std::vector<Rect>* displayChanged = nullptr);

// xSort: ascending Size; records of equal Size keep their order.
void xSort(AnchorList& list);

} // namespace cw
