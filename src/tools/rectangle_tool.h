#pragma once
// The rectangular selection: a band dragged right and down becomes the
// selection that the next Touch-paint, Zoom, Crop or Process works on.
#include "tools/band_tool.h"

namespace cw {

class RectangleTool final : public BandTool {
public:
    RectangleTool();
    void release(Gesture& g) const override;
};

} // namespace cw
