#include "actions/remark.h"

#include "actions/session.h"

namespace cw {

void reMark(Session& s, ReMarkMode mode) {
    if (!s.ws) return;
    const Rect shown = reMark(*s.ws, mode);
    s.host.displayChanged(shown.x1, shown.y1, shown.x2, shown.y2);
}

} // namespace cw
