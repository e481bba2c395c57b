#include "tools/connected_paint.h"

#include "core/colour_mag.h"
#include "document/document.h"
#include "tools/colouring.h"

namespace cw {

void paintConnected(Document& s, int32_t x, int32_t y, int32_t code, bool masked) {
    if (!s.ws) return;
    Workspace& ws = *s.ws;
    const ConnectedFillParams params{
        .x = x, .y = y, .code = code, .grayStep = s.markUpGrayStep, .tolerance = s.controls.integration};
    // The Mask'ed fill never needs the palette tables: no colouring context,
    // which would build them on first use.
    const Rect changed = masked ? connectedFillMasked(ws, params, s.palette.markerColour, s.progress)
                                : connectedFillInteractive(colouring(s), params,
                                                           s.progress);
    s.showChanged(changed);
}

} // namespace cw
