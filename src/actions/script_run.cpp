#include "actions/script_run.h"

#include "actions/line_words.h"

namespace cw {

Workspace& ScriptRun::picture() {
    if (!session.imageWindowOpen || !session.ws) throw ScriptError("no picture is open");
    return *session.ws;
}

} // namespace cw
