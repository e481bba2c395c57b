#include "tools/tool.h"

#include <algorithm>

#include "core/outline.h"
#include "document/document.h"

namespace cw {

void setCropPending(Document& s, bool pending) {
    if (s.cropPending == pending) return;
    s.cropPending = pending;
    s.observer.resetCaptionChanged();
}

Gesture::Gesture(Document& s) : doc(s), ws(*s.ws), state(s.gesture) {}

Gesture::~Gesture() {
    if (any_) doc.observer.displayChanged(dirty_.x1, dirty_.y1, dirty_.x2, dirty_.y2);
}

void Gesture::restore(const Rect& r) {
    restoreRect(ws.display, ws.colour, r);
    changed(r);
}

void Gesture::outline(const Rect& r, bool rounded) {
    if (rounded) invertEllipse(ws.display, r);
    else invertRectangle(ws.display, r);
    shown(r);
}

void Gesture::changed(const Rect& r) {
    doc.history.touched(spanOf(r, ws.width, ws.height));  // the step that ends this gesture looks here
    shown(r);
}

void Gesture::shown(const Rect& r) {
    const Rect span = spanOf(r, ws.width, ws.height);
    if (span == Rect{}) return;
    if (!any_) dirty_ = span;
    else dirty_ = {std::min(dirty_.x1, span.x1), std::min(dirty_.y1, span.y1), std::max(dirty_.x2, span.x2),
                   std::max(dirty_.y2, span.y2)};
    any_ = true;
}

} // namespace cw
