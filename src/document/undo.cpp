#include "document/undo.h"

#include <string>

#include "document/document.h"

namespace cw {

namespace {

bool walk(Document& s, bool back) {
    if (!s.ws) return false;
    recordOpenGesture(s);
    settleHistory(s);
    Workspace* before = s.ws.get();
    const Rect changed = back ? s.history.undo(s.ws) : s.history.redo(s.ws);
    const bool replaced = s.ws.get() != before;
    s.reworked = true;  // the picture is no longer the one saved, either way
    // Shown, not touched: the history already holds what it put back.
    if (changed.x1 < changed.x2 && changed.y1 < changed.y2)
        s.observer.displayChanged(changed.x1, changed.y1, changed.x2, changed.y2);
    s.observer.historyChanged();
    return replaced;
}

} // namespace

void undoClick(Document& s) {
    if (!s.ws || !s.pointer.undoEnabled) return;
    recordOpenGesture(s);
    // The display shows the working picture again, outlines and markers
    // gone. While the last change is still being recorded, the exchange is
    // made into planes of the picture's own, and the recording goes on.
    if (!s.history.exchangeSnapshotAhead(*s.ws)) {
        settleHistory(s);
        s.history.exchangeSnapshot(*s.ws);
        s.ws->display.copyFrom(s.ws->colour);
    }
    s.reworked = true;  // the picture is no longer the one saved, either way
    s.showChanged({0, 0, s.ws->width, s.ws->height});
}

void undoEnabledClick(Document& s, bool checked) {
    s.pointer.undoEnabled = checked;
    if (checked) takeUndoSnapshot(s);
}

// The working picture, not the display: outlines drawn over it (a rubber
// band, a marker) never come back with an Un-do.
void takeUndoSnapshot(Document& s) {
    if (!s.ws) return;
    recordOpenGesture(s);
    settleHistory(s);
    s.history.takeSnapshot(*s.ws);
}

namespace {

void noteRecorded(Document& s, Recorded how, std::string_view name) {
    switch (how) {
    case Recorded::Nothing: break;
    case Recorded::Pending: break;
    case Recorded::Step: s.historyNote.clear(); break;
    case Recorded::TooLarge:
        s.historyNote = std::string(name) + " cannot be undone: it changed more than the memory kept for undoing.";
        break;
    }
}

} // namespace

void settleHistory(Document& s) {
    if (!s.history.recording()) return;
    noteRecorded(s, s.history.settle(), s.history.settledName());
    s.observer.historyChanged();
}

void recordStep(Document& s, std::string_view name, DisplayAlone alone) {
    // Nothing new (a save, a print, a palette picked): the step being
    // recorded, if any, goes on being recorded.
    if (!s.ws || !s.history.changedSince(*s.ws)) return;
    if (!s.history.recordsBehind()) settleHistory(s);
    const Recorded how = s.history.record(*s.ws, name, alone);
    if (how == Recorded::Nothing || how == Recorded::Pending) return;  // settled later
    noteRecorded(s, how, name);
    s.observer.historyChanged();
}

void recordOpenGesture(Document& s) {
    recordStep(s, s.gesture.stepName.empty() ? "Paint" : s.gesture.stepName, DisplayAlone::LeftOut);
}

bool undoStep(Document& s) { return walk(s, true); }
bool redoStep(Document& s) { return walk(s, false); }

} // namespace cw
