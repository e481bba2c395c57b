#include "tools/interaction.h"

#include <algorithm>

#include "core/effects.h"
#include "document/document.h"
#include "document/undo.h"
#include "document/zoom.h"
#include "tools/tool_registry.h"

namespace cw {

namespace {

constexpr int32_t kBrushClamp = 50;

uint32_t displayPixel(const Workspace& ws, int32_t x, int32_t y) {
    if (x < 0 || y < 0 || x >= ws.width || y >= ws.height) return 0;
    return ws.display.at(x, y);
}

// Both the release and a cancel take the brush size back from its fields,
// undoing the press's clamp.
void endDrag(Document& s) {
    s.gesture.toolRect = Rect{};
    s.tools.brushWidth = s.tools.brushWidthField;
    s.tools.brushHeight = s.tools.brushHeightField;
}

// The click's work without the zoomed view's refresh. True when the tool
// painted, and the whole picture was shown again.
bool clickTool(Document& s) {
    settleHistory(s);  // the click paints: the recorder must be done reading
    s.ws->selectionActive = false;
    setCropPending(s, false);
    if (!currentTool(s.tools).click(s)) return false;
    s.showChanged({0, 0, s.ws->width, s.ws->height});
    return true;
}

} // namespace

bool insidePicture(const Document& s, int32_t x, int32_t y) {
    return s.ws && x >= 0 && y >= 0 && x < s.ws->width && y < s.ws->height;
}

void pointerPress(Document& s, MouseButton button, bool shift, int32_t x, int32_t y) {
    if (!s.ws) return;
    Gesture g{s};
    Workspace& ws = *s.ws;
    strengthChange(s.palette);
    recordOpenGesture(s);
    settleHistory(s);  // the press paints: the recorder must be done reading
    s.gesture.stepName = currentTool(s.tools).stepName();
    const bool left = button == MouseButton::Left;
    if (left && s.pointer.undoEnabled) takeUndoSnapshot(s);
    s.pointer.shiftHeld = shift;
    damperPressRule(s.palette);
    // A pending selection limits exactly one press's painting.
    if (!ws.selectionActive) s.pointer.paintLimitRect = {0, 0, ws.width - 1, ws.height - 1};
    ws.selectionActive = false;
    g.restore(ws.selectionRect);
    setCropPending(s, false);
    if (!left) return;

    const Tool& tool = currentTool(s.tools);
    if (!tool.drags()) return tool.press(g, x, y);
    g.restore(ws.selectionRect);
    s.gesture.pickedColour = displayPixel(ws, x, y);
    s.gesture.dragging = true;
    s.tools.brushWidth = std::min(s.tools.brushWidth, kBrushClamp);
    s.tools.brushHeight = std::min(s.tools.brushHeight, kBrushClamp);
    tool.press(g, x, y);
    zoomRefresh(s);
}

void pointerMove(Document& s, bool /*shift*/, int32_t x, int32_t y) {
    if (!s.ws) return;
    Gesture g{s};
    Workspace& ws = *s.ws;
    GestureState& gs = s.gesture;
    gs.pointerX = x;
    gs.pointerY = y;
    gs.pointedColour = displayPixel(ws, x, y);
    const int64_t index = int64_t(ws.width) * y + x;
    ws.curPixelIndex = int32_t(index);
    if (index >= 0 && index < int64_t(ws.pixelCount())) gs.pointedCode = ws.codes[size_t(index)];
    s.observer.readoutsChanged();
    if (!gs.dragging) return;
    settleHistory(s);  // a drag draws: the recorder must be done reading

    gs.prevToolRect = gs.toolRect;
    s.observer.autoScroll(x, y);
    // What the last event drew is what this one erases.
    ws.selectionRect = gs.prevToolRect;
    // A drag goes on under a tool chosen after its press (only a script can
    // do that): one that never drags moves as the brush, as it always has.
    const Tool& tool = currentTool(s.tools);
    (tool.drags() ? tool : brushTool()).move(g, x, y);
    zoomFollow(s);
}

void pointerClick(Document& s) {
    if (!s.ws) return;
    s.gesture.stepName = currentTool(s.tools).stepName();
    if (!clickTool(s)) return;
    zoomRefresh(s);
    recordStep(s, s.gesture.stepName, DisplayAlone::LeftOut);
}

void pointerUp(Document& s, MouseButton button, bool /*shift*/, int32_t /*x*/, int32_t /*y*/) {
    if (!s.ws) return;
    settleHistory(s);
    Gesture g{s};
    Workspace& ws = *s.ws;
    s.pointer.shiftHeld = false;
    if (button == MouseButton::Right) {
        // Picks up the code under the pointer before the palette menu opens.
        s.palette.paletteCode = s.gesture.pointedCode;
        return;
    }
    const Tool& tool = currentTool(s.tools);
    if (button == MouseButton::Left && tool.drags()) {
        s.gesture.dragging = false;
        Rect& t = s.gesture.toolRect;
        t.x1 = std::max(t.x1, 0);
        t.y1 = std::max(t.y1, 0);
        t.x2 = std::min(t.x2, ws.width - 1);
        t.y2 = std::min(t.y2, ws.height - 1);
        s.gesture.prevToolRect = t;
        ws.selectionRect = t;
        tool.release(g);
        g.shown(ws.selectionRect);
        endDrag(s);
        ws.imageModified = true;
    }
    zoomRefresh(s);
    if (button == MouseButton::Left) recordStep(s, s.gesture.stepName, DisplayAlone::LeftOut);
}

// The left button's release refreshes the zoomed view whatever its AutoSync,
// so what the click painted shows there with that one refresh.
void pointerRelease(Document& s, MouseButton button, bool shift, int32_t x, int32_t y, bool inside) {
    if (button == MouseButton::Left && inside && s.ws) clickTool(s);
    pointerUp(s, button, shift, x, y);
}

void pointerTap(Document& s, MouseButton button, bool shift, int32_t x, int32_t y) {
    pointerMove(s, shift, x, y);
    pointerPress(s, button, shift, x, y);
    pointerRelease(s, button, shift, x, y, insidePicture(s, x, y));
}

void pointerCancel(Document& s) {
    if (!s.ws || !s.gesture.dragging) return;
    settleHistory(s);
    Gesture g{s};
    s.gesture.dragging = false;
    s.pointer.shiftHeld = false;
    currentTool(s.tools).cancel(g);
    endDrag(s);
    zoomRefresh(s);
    recordStep(s, s.gesture.stepName, DisplayAlone::LeftOut);  // what the drag painted before it was cancelled
}

} // namespace cw
