#pragma once
// Auto finish-up: recolours what the user coloured with the current effects,
// and fills the uncoloured rest from the nearest coloured pixels around it.
#include "core/colour_mag.h"
#include "core/rect.h"

namespace cw {

class Progress;

inline constexpr const char* kPhaseFinishup = "Auto Finish-up in process....";

enum class FinishupMode {
    Recolour,  // every coloured pixel gets its colour again from its own code
    Fill,      // every uncoloured pixel takes the code most of its eight rays meet first
    FillEdgeAware,  // every uncoloured pixel takes the code of the region it is joined to
                    // across the weakest edges (core/edge_aware_fill.h)
};

// Finishup(mode) over ctx.ws. Fill: only the colouring from before the pass
// votes, the lowest code wins a tie, a pixel with no vote stays uncoloured.
// ColourMag runs in row-major order. An abort stops at the next row; the
// codes the pass wrote are made ordinary (positive) whatever happened. Runs
// its own progress frame, locked, and ends with the display showing the
// working picture. Returns the part of the display redrawn, exclusive bounds:
// the whole picture. FillEdgeAware finds its regions before it writes
// anything: an abort then leaves the picture as it was; later, its rows are
// coloured and an abort stops them as Fill's do.
Rect finishup(const ColourMagContext& ctx, FinishupMode mode, Progress& progress);

} // namespace cw
