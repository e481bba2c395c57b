#include "runner/script_run.h"

#include "runner/line_words.h"

namespace cw {

Workspace& ScriptRun::picture() {
    if (!session.imageWindowOpen || !session.ws) throw ScriptError("no picture is open");
    return *session.ws;
}

} // namespace cw
