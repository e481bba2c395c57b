#include "actions/remark_command.h"

#include "actions/session.h"
#include "document/undo.h"

namespace cw {

void runReMark(Session& s, ReMarkMode mode) {
    if (!s.ws) return;
    settleHistory(s);  // the recorder must be done reading what this writes
    const Rect shown = reMark(*s.ws, mode);
    s.showChanged(shown);
}

} // namespace cw
