#pragma once
// The Smart Paint-brush: a window around the pointer that paints at the
// press and at every move, and shows what it painted as it leaves.
#include "tools/tool.h"

namespace cw {

class BrushTool final : public Tool {
public:
    BrushTool();
    void press(Gesture& g, int32_t x, int32_t y) const override;
    void move(Gesture& g, int32_t x, int32_t y) const override;
    void release(Gesture& g) const override;
    void cancel(Gesture& g) const override;
};

} // namespace cw
