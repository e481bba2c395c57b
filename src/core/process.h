#pragma once
// Anchor processing: the anchors in size order and the coloured picture back
// on the display without markers, optionally followed by a fresh mark-up.
#include <optional>

#include "core/markup.h"
#include "core/rect.h"

namespace cw {

class Progress;
struct Workspace;

inline constexpr const char* kPhaseProcessing = "processing marked image....";

struct ProcessParams {
    bool recount = false;                 // recount the uncoloured pixels first (Re-mark)
    std::optional<MarkUpParams> markUp;   // a full-resolution mark-up to end with (Auto Mark-up)
};

// Process: sorts the anchors by Size (stable), puts the coloured picture back
// on the display without markers, then runs the mark-up when one is given,
// inside the same locked frame. Returns the part of the display redrawn,
// exclusive bounds: the whole picture.
Rect process(Workspace& ws, const ProcessParams& params, Progress& progress);

} // namespace cw
