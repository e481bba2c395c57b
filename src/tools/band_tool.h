#pragma once
// The tools that drag a rubber band from the corner where the press
// happened; they differ only in what the release does with the rectangle.
#include "tools/tool.h"

namespace cw {

class BandTool : public Tool {
public:
    using Tool::Tool;
    void press(Gesture& g, int32_t x, int32_t y) const override;
    void move(Gesture& g, int32_t x, int32_t y) const override;
    void cancel(Gesture& g) const override;
};

} // namespace cw
