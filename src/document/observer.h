#pragma once
// What the document tells whoever shows it. The windows repaint and read
// their controls back on these; the batch runner and the tests ignore most.
#include <cstdint>

namespace cw {

class DocumentObserver {
public:
    virtual ~DocumentObserver() = default;
    virtual void pictureChanged() {}       // the displayed picture was rebuilt or repainted
    virtual void displayChanged(int32_t /*x1*/, int32_t /*y1*/, int32_t /*x2*/, int32_t /*y2*/) {}  // exclusive
    virtual void readoutsChanged() {}      // position, colour and swatch beside the picture
    virtual void autoScroll(int32_t /*x*/, int32_t /*y*/) {}  // a drag near the visible edge
    virtual void resetCaptionChanged() {}
    virtual void zoomViewChanged() {}      // the zoomed view was made or dropped
    virtual void zoomPictureChanged() {}   // the zoomed view's picture changed
    virtual void mainWindowChanged() {}    // captions, labels, enabled states, the values controls show
    virtual void historyChanged() {}       // what Undo and Redo would take back or do again; the history's note
};

} // namespace cw
