#include "actions/process_command.h"

#include "actions/markup_command.h"
#include "actions/remark_command.h"
#include "actions/session.h"
#include "tools/selection_painting.h"
#include "document/undo.h"

namespace cw {

namespace {

bool pictureShowing(const Session& s) { return s.imageWindowOpen && s.ws; }

} // namespace

void runProcess(Session& s) {
    if (!s.ws) return;
    settleHistory(s);  // the recorder must be done reading what this writes
    ProcessParams params;
    params.recount = s.controls.reMark;
    if (s.controls.autoMarkUp) params.markUp = markUpSettings(s, false);
    const Rect shown = process(*s.ws, params, s.progress);
    s.showChanged(shown);
}

void processClick(Session& s) {
    if (!pictureShowing(s)) return;
    if (s.ws->selectionActive) paintSelection(s);
    else runProcess(s);
}

void viewAllClick(Session& s) {
    if (pictureShowing(s)) runReMark(s, ReMarkMode::All);
}

void viewPendingClick(Session& s) {
    if (pictureShowing(s)) runReMark(s, ReMarkMode::Pending);
}

void removeClick(Session& s) {
    if (pictureShowing(s)) runReMark(s, ReMarkMode::Remove);
}

} // namespace cw
