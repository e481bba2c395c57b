#pragma once
// Selection-paint: colours the dragged rectangle once, at the release.
#include "tools/band_tool.h"

namespace cw {

class SelectionPaintTool final : public BandTool {
public:
    SelectionPaintTool();
    void release(Gesture& g) const override;
};

} // namespace cw
