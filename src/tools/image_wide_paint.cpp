#include "tools/image_wide_paint.h"

#include "core/colour_mag.h"
#include "document/document.h"
#include "tools/colouring.h"

namespace cw {

void paintImageWide(Document& s, int32_t x, int32_t y, int32_t code, bool masked, bool overwrite) {
    if (!s.ws) return;
    Workspace& ws = *s.ws;
    const ToneFillParams params{.x = x,
                                  .y = y,
                                  .code = code,
                                  .overwrite = overwrite,
                                  .grayStep = s.markUpGrayStep,
                                  .tolerance = s.controls.integration,
                                  .limit = s.pointer.paintLimitRect};
    // The Mask'ed fill never needs the palette tables: no colouring context,
    // which would build them on first use.
    const Rect changed = masked ? toneFillMasked(ws, params, s.palette.markerColour, s.progress)
                                : toneFillInteractive(colouring(s), params,
                                                        s.progress);
    s.showChanged(changed);
}

} // namespace cw
