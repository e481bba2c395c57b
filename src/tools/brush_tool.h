#pragma once
// The Smart Paint-brush: a window around the pointer that paints at the
// press and at every move, and shows what it painted as it leaves.
#include "tools/tool.h"

namespace cw {

// Paints ToolRect with the brush and the picked colour of the document's
// gesture and its tool and palette settings (brushPaint): the part the last
// move uncovered, Mask'ed or Interactive. A round brush keeps to the disc of
// BrushRadius around BrushCentre. It writes the working picture only; the
// gesture shows it when it restores the window at the next move or release.
void paintBrushWindow(Document& s, bool masked);

class BrushTool final : public Tool {
public:
    BrushTool();
    void press(Gesture& g, int32_t x, int32_t y) const override;
    void move(Gesture& g, int32_t x, int32_t y) const override;
    void release(Gesture& g) const override;
    void cancel(Gesture& g) const override;
};

} // namespace cw
