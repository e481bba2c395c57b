#pragma once
// Auto finish-up: recolours what the user coloured with the current effects,
// and fills the uncoloured rest from the nearest coloured pixels around it.
namespace cw {

struct Session;

inline constexpr const char* kPhaseFinishup = "Auto Finish-up in process....";

enum class FinishupMode {
    Recolour,  // every coloured pixel gets its colour again from its own code
    Fill,      // every uncoloured pixel takes the code most of its eight rays meet first
};

// Finishup(mode). Fill: only the colouring from before the pass votes, the
// lowest code wins a tie, a pixel with no vote stays uncoloured. ColourMag
// runs in row-major order. An abort stops at the next row; the codes the pass
// wrote are made ordinary (positive) whatever happened.
void finishup(Session& s, FinishupMode mode);

// The AutoFinish button (ExplorerButton13Click): unchecks Layered; with a
// picture open, recolours, then fills unless Un-mask Only is checked, and
// shows Layered and sets the paint mode back to Interactive.
void autoFinishClick(Session& s);

} // namespace cw
