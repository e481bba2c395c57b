#include "actions/remark.h"

#include "actions/session.h"

namespace cw {

void reMark(Session& s, ReMarkMode mode) {
    if (!s.ws) return;
    const Rect shown = reMark(*s.ws, mode);
    s.showChanged(shown);
}

} // namespace cw
