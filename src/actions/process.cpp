#include "actions/process.h"

#include "actions/session.h"
#include "actions/markup.h"
#include "actions/remark.h"
#include "core/progress.h"

namespace cw {

namespace {

bool pictureShowing(const Session& s) { return s.imageWindowOpen && s.ws; }

} // namespace

void process(Session& s) {
    if (!s.ws) return;
    Workspace& ws = *s.ws;
    Progress& progress = s.progress;
    progress.lock();
    progress.begin(kPhasePreProcessing);
    progress.workCount = 0;
    if (s.controls.reMark) initvimg(ws, progress);
    if (!ws.anchors.empty()) xSort(ws.anchors);
    progress.setPhase(kPhaseProcessing);
    progress.report(0);
    reMark(s, ReMarkMode::Remove);
    progress.setPhase(kPhasePostProcessing);
    // Draws its own anchors and ends the progress display itself.
    if (s.controls.autoMarkUp) markUp(s, false);
    progress.unlock();
    if (progress.visible()) progress.end();
    ws.imageModified = true;
}

void processClick(Session& s) {
    if (!pictureShowing(s)) return;
    if (s.ws->selectionActive) s.routines->selPaint(s);
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
