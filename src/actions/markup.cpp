#include "actions/markup.h"

#include <algorithm>

#include "actions/fast_markup.h"
#include "actions/session.h"

namespace cw {

MarkUpParams markUpSettings(Session& s, bool startedByButton) {
    EngineSettings& settings = s.settings;
    settings.grayStep = grayStepOf(settings.complexity);
    settings.minObjectSize = std::max(settings.minObjectSize, kMinObjectSizeFloor);
    settings.minAnchorSeparation = std::max(settings.minAnchorSeparation, kMinSeparationFloor);
    return MarkUpParams{.grayStep = settings.grayStep,
                        .tolerance = settings.integrationTolerance,
                        .minObjectSize = settings.minObjectSize,
                        .minSeparation = settings.minAnchorSeparation,
                        .discardColouring = s.controls.reMark && startedByButton};
}

void markUp(Session& s, bool startedByButton) {
    if (!s.ws) return;
    const Rect shown = markUp(*s.ws, markUpSettings(s, startedByButton), s.progress);
    s.showChanged(shown);
}

void markUpClick(Session& s) {
    if (!s.imageWindowOpen || !s.ws) return;
    Workspace& ws = *s.ws;
    s.gesture.toolRect = Rect{0, 0, ws.width - 1, ws.height - 1};
    if (kScalePercentRange.clamp(s.controls.scalePercent) == kScalePercentRange.max) markUp(s, true);
    else fastMarkUp(s);
    s.host.mainWindowChanged();
}

} // namespace cw
