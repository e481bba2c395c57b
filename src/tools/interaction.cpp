#include "tools/interaction.h"

#include <algorithm>
#include <string>

#include "document/document.h"
#include "core/effects.h"
#include "core/outline.h"

namespace cw {

namespace {

constexpr int32_t kBrushClamp = 50;
constexpr int32_t kEraserCode = 127;

// Collects what changed on the display so only that is repainted.
struct Dirty {
    Rect r;
    bool any = false;
    void add(const Rect& span) {
        if (span == Rect{}) return;
        if (!any) r = span;
        else r = {std::min(r.x1, span.x1), std::min(r.y1, span.y1), std::max(r.x2, span.x2), std::max(r.y2, span.y2)};
        any = true;
    }
};

struct Gesture {
    Document& s;
    Workspace& ws;
    Dirty dirty;

    Rect span(const Rect& r) const { return spanOf(r, ws.width, ws.height); }
    void restore(const Rect& r) {
        restoreRect(ws.display, ws.colour, r);
        dirty.add(span(r));
    }
    // The brush paints a pixel past its window on the right and bottom, and
    // its outline ends one short: restoring two further shows all of both.
    void restoreBrushWindow(const Rect& r) { restore({r.x1, r.y1, r.x2 + 2, r.y2 + 2}); }
    void outline(const Rect& r, bool rounded) {
        if (rounded) invertEllipse(ws.display, r);
        else invertRectangle(ws.display, r);
        dirty.add(span(r));
    }
    void brushWindow() {
        if (s.tools.paintMode == kPaintMasked) s.routines->colourWinM(s);
        else s.routines->colourWinI(s);
    }
    // The brush window around (x, y); the press starts it one pixel further in.
    Rect brushRect(int32_t x, int32_t y, int32_t inset) const {
        const int32_t w = s.tools.brushWidth, h = s.tools.brushHeight;
        return {std::max(0, x - w + inset), std::max(0, y - h + inset), std::max(0, std::min(ws.width - 1, x + w)),
                std::max(0, std::min(ws.height - 1, y + h))};
    }
    ~Gesture() {
        if (dirty.any) s.observer.displayChanged(dirty.r.x1, dirty.r.y1, dirty.r.x2, dirty.r.y2);
    }
};

uint32_t displayPixel(const Workspace& ws, int32_t x, int32_t y) {
    if (x < 0 || y < 0 || x >= ws.width || y >= ws.height) return 0;
    return ws.display.at(x, y);
}

void setResetCaption(Document& s, const char* caption) {
    if (s.ws->resetCaption == caption) return;
    s.ws->resetCaption = caption;
    s.observer.resetCaptionChanged();
}

} // namespace

void image1MouseDown(Document& s, MouseButton button, bool shift, int32_t x, int32_t y) {
    if (!s.ws) return;
    Gesture g{s, *s.ws, {}};
    Workspace& ws = *s.ws;
    strengthChange(s.palette);
    const bool left = button == MouseButton::Left;
    if (left && s.pointer.undoEnabled) s.routines->undoSnapshot(s);
    s.pointer.shiftHeld = shift;
    damperPressRule(s.palette);
    if (!ws.selectionActive) s.pointer.paintLimitRect = {0, 0, ws.width - 1, ws.height - 1};
    ws.selectionActive = false;
    g.restore(ws.selectionRect);
    setResetCaption(s, kZeroSetCaption);
    if (!left || s.tools.currentTool == kToolTouch) return;

    g.restore(ws.selectionRect);
    ws.pickedColour = displayPixel(ws, x, y);
    ws.dragging = true;
    s.tools.brushWidth = std::min(s.tools.brushWidth, kBrushClamp);
    s.tools.brushHeight = std::min(s.tools.brushHeight, kBrushClamp);
    if (s.tools.currentTool == kToolSelectionPaint || s.tools.currentTool == kToolRectangle) {
        ws.toolRect = {x, y, x, y};
        g.outline(ws.toolRect, false);
    } else {
        ws.toolRect = g.brushRect(x, y, 1);
        ws.brushRadius = std::max(s.tools.brushHeightField, s.tools.brushWidthField);
        ws.brushCentreX = x;
        ws.brushCentreY = y;
        ws.prevToolRect = ws.toolRect;
        g.outline(ws.toolRect, s.tools.rounded);
        g.brushWindow();
    }
    s.routines->zoomRefresh(s, true);
}

void image1MouseMove(Document& s, bool /*shift*/, int32_t x, int32_t y) {
    if (!s.ws) return;
    Gesture g{s, *s.ws, {}};
    Workspace& ws = *s.ws;
    ws.pointerX = x;
    ws.pointerY = y;
    const uint32_t c = displayPixel(ws, x, y);
    s.pointer.positionLabel = " x:" + std::to_string(x) + "  y:" + std::to_string(y) + " ";
    s.pointer.colourLabel = " R:" + std::to_string(redOf(c)) + " G:" + std::to_string(greenOf(c)) +
                            " B:" + std::to_string(blueOf(c)) + " ";
    s.pointer.swatchColour = c;
    const int64_t index = int64_t(ws.width) * y + x;
    ws.curPixelIndex = int32_t(index);
    if (index >= 0 && index < int64_t(ws.pixelCount())) ws.pointedCode = ws.codes[size_t(index)];
    s.observer.readoutsChanged();
    if (!ws.dragging) return;

    ws.prevToolRect = ws.toolRect;
    s.observer.autoScroll(x, y);
    if (s.tools.currentTool == kToolSelectionPaint || s.tools.currentTool == kToolRectangle) {
        ws.toolRect.x2 = x;
        ws.toolRect.y2 = y;
        ws.selectionRect = ws.prevToolRect;
        g.restore(ws.selectionRect);
        g.outline(ws.toolRect, false);
    } else {
        ws.toolRect = g.brushRect(x, y, 0);
        ws.brushCentreX = x;
        ws.brushCentreY = y;
        ws.selectionRect = ws.prevToolRect;
        g.restoreBrushWindow(ws.selectionRect);
        g.outline(ws.toolRect, s.tools.rounded);
        g.brushWindow();
    }
    s.routines->zoomRefresh(s, false);
}

void image1Click(Document& s) {
    if (!s.ws) return;
    Workspace& ws = *s.ws;
    ws.selectionActive = false;
    setResetCaption(s, kZeroSetCaption);
    if (s.tools.currentTool != kToolTouch || s.palette.paletteCode == kEraserCode) return;
    const int32_t x = ws.pointerX, y = ws.pointerY, code = s.palette.paletteCode;
    PaintRoutines& r = *s.routines;
    if (s.tools.scope == kScopeImageWide) {
        if (s.tools.paintMode == kPaintMasked) {
            if (s.tools.overwrite) r.touchPaintMOY(s, x, y, code);
            else r.touchPaintMON(s, x, y, code);
        } else {
            if (s.tools.overwrite) r.touchPaintIOY(s, x, y, code);
            else r.touchPaintION(s, x, y, code);
        }
    } else if (s.tools.paintMode == kPaintMasked) {
        r.clickPaintM(s, x, y, code);
    } else {
        r.clickPaintI(s, x, y, code);
    }
    s.observer.displayChanged(0, 0, ws.width, ws.height);
    r.zoomRefresh(s, true);
}

void image1MouseUp(Document& s, MouseButton button, bool /*shift*/, int32_t /*x*/, int32_t /*y*/) {
    if (!s.ws) return;
    Gesture g{s, *s.ws, {}};
    Workspace& ws = *s.ws;
    s.pointer.shiftHeld = false;
    if (button == MouseButton::Right) {
        // Picks up the code under the pointer before the palette menu opens.
        s.palette.paletteCode = ws.pointedCode;
        return;
    }
    if (button == MouseButton::Left && s.tools.currentTool != kToolTouch) {
        ws.dragging = false;
        Rect& t = ws.toolRect;
        t.x1 = std::max(t.x1, 0);
        t.y1 = std::max(t.y1, 0);
        t.x2 = std::min(t.x2, ws.width - 1);
        t.y2 = std::min(t.y2, ws.height - 1);
        ws.prevToolRect = t;
        ws.selectionRect = t;
        if (s.tools.currentTool == kToolSelectionPaint) {
            s.routines->selPaint(s);
        } else if (s.tools.currentTool == kToolRectangle) {
            if (t.y2 - t.y1 > 0 && t.x2 - t.x1 > 0) {
                ws.selectionActive = true;
                s.pointer.paintLimitRect = ws.selectionRect;
                setResetCaption(s, kCropCaption);
            }
        } else {
            g.restoreBrushWindow(ws.selectionRect);
        }
        g.dirty.add(g.span(ws.selectionRect));
        ws.toolRect = Rect{};
        s.tools.brushWidth = s.tools.brushWidthField;
        s.tools.brushHeight = s.tools.brushHeightField;
        ws.imageModified = true;
    }
    s.routines->zoomRefresh(s, true);
}

} // namespace cw
