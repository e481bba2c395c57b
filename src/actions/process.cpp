#include "actions/process.h"

#include "actions/markup.h"
#include "actions/remark.h"
#include "actions/session.h"
#include "tools/selection_painting.h"

namespace cw {

namespace {

bool pictureShowing(const Session& s) { return s.imageWindowOpen && s.ws; }

} // namespace

void process(Session& s) {
    if (!s.ws) return;
    ProcessParams params;
    params.recount = s.controls.reMark;
    if (s.controls.autoMarkUp) params.markUp = markUpSettings(s, false);
    const Rect shown = process(*s.ws, params, s.progress);
    s.showChanged(shown);
}

void processClick(Session& s) {
    if (!pictureShowing(s)) return;
    if (s.ws->selectionActive) paintSelection(s);
    else process(s);
}

void viewAllClick(Session& s) {
    if (pictureShowing(s)) reMark(s, ReMarkMode::All);
}

void viewPendingClick(Session& s) {
    if (pictureShowing(s)) reMark(s, ReMarkMode::Pending);
}

void removeClick(Session& s) {
    if (pictureShowing(s)) reMark(s, ReMarkMode::Remove);
}

} // namespace cw
