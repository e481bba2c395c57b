#include "actions/markup_command.h"

#include <algorithm>

#include "actions/fast_markup_command.h"
#include "actions/session.h"
#include "document/undo.h"

namespace cw {

MarkUpParams takeMarkUpSettings(Session& s) {
    s.markUpGrayStep = grayStepOf(s.controls.complexity);
    return MarkUpParams{.grayStep = s.markUpGrayStep,
                        .tolerance = s.controls.integration,
                        .minObjectSize = s.markUpSizes.minObjectSize,
                        .minSeparation = s.markUpSizes.minAnchorSeparation};
}

MarkUpParams markUpSettings(Session& s, bool startedByButton) {
    MarkUpSizes& sizes = s.markUpSizes;
    sizes.minObjectSize = std::max(sizes.minObjectSize, kMinObjectSizeFloor);
    sizes.minAnchorSeparation = std::max(sizes.minAnchorSeparation, kMinSeparationFloor);
    MarkUpParams params = takeMarkUpSettings(s);
    params.discardColouring = s.controls.reMark && startedByButton;
    return params;
}

void runMarkUp(Session& s, bool startedByButton) {
    if (!s.ws) return;
    settleHistory(s);  // the recorder must be done reading what this writes
    const MarkUpParams params = markUpSettings(s, startedByButton);
    std::vector<Rect> displayChanged;
    const Rect shown = markUp(*s.ws, params, s.progress, params.discardColouring ? nullptr : &displayChanged);
    // The colours stay as they were unless the mark-up discarded them: the
    // history need not compare them, nor the display beyond the markers and
    // what had been drawn over the colours.
    if (params.discardColouring) s.showChanged(shown);
    else s.showRedrawn(shown, planeBit(Plane::Codes), displayChanged);
}

void markUpClick(Session& s) {
    if (!s.imageWindowOpen || !s.ws) return;
    Workspace& ws = *s.ws;
    s.gesture.toolRect = Rect{0, 0, ws.width - 1, ws.height - 1};
    if (kScalePercentRange.clamp(s.controls.scalePercent) == kScalePercentRange.max) runMarkUp(s, true);
    else runFastMarkUp(s);
    s.host.mainWindowChanged();
}

} // namespace cw
