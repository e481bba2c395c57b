#include "actions/fast_markup.h"

#include <algorithm>

#include "actions/session.h"

namespace cw {

void fastMarkUp(Session& s) {
    if (!s.ws) return;
    const int32_t f = std::max(1, 100 / kScalePercentRange.clamp(s.controls.scalePercent));
    s.settings.grayStep = grayStepOf(s.settings.complexity);
    const MarkUpParams params{.grayStep = s.settings.grayStep,
                              .tolerance = s.settings.integrationTolerance,
                              .minObjectSize = s.settings.minObjectSize,
                              .minSeparation = s.settings.minAnchorSeparation};
    const Rect shown = fastMarkUp(*s.ws, params, f, s.progress);
    s.showChanged(shown);
}

} // namespace cw
