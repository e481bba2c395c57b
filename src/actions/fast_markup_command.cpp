#include "actions/fast_markup_command.h"

#include <algorithm>

#include "actions/markup_command.h"
#include "actions/session.h"
#include "document/undo.h"

namespace cw {

void runFastMarkUp(Session& s) {
    if (!s.ws) return;
    settleHistory(s);  // the recorder must be done reading what this writes
    const int32_t f = std::max(1, 100 / kScalePercentRange.clamp(s.controls.scalePercent));
    const Rect shown = fastMarkUp(*s.ws, takeMarkUpSettings(s), f, s.progress);
    s.showChanged(shown);
}

} // namespace cw
