#pragma once
// Magic Touch-paint: one click fills the tone of the clicked pixel, over the
// whole picture or over the region connected to it. It never drags.
#include "tools/tool.h"

namespace cw {

class TouchTool final : public Tool {
public:
    TouchTool();
    bool click(Document& s) const override;
};

} // namespace cw
