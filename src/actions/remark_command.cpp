#include "actions/remark_command.h"

#include "actions/session.h"
#include "document/undo.h"

namespace cw {

void runReMark(Session& s, ReMarkMode mode) {
    if (!s.ws) return;
    settleHistory(s);  // the recorder must be done reading what this writes
    std::vector<Rect> displayChanged;
    const Rect shown = reMark(*s.ws, mode, &displayChanged);
    s.showRedrawn(shown, 0, displayChanged);
}

} // namespace cw
