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
    std::vector<Rect> displayChanged;
    const Rect shown = fastMarkUp(*s.ws, takeMarkUpSettings(s), f, s.progress, &displayChanged);
    // Only the codes and the display are written; the display only where it
    // no longer showed the colours, and at the markers.
    s.showRedrawn(shown, planeBit(Plane::Codes), displayChanged);
}

} // namespace cw
