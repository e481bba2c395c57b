#include "actions/remark_command.h"

#include "actions/session.h"

namespace cw {

void runReMark(Session& s, ReMarkMode mode) {
    if (!s.ws) return;
    const Rect shown = reMark(*s.ws, mode);
    s.showChanged(shown);
}

} // namespace cw
