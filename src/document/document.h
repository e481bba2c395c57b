#pragma once
// The state of one run of the program as the main window and the image window
// hold it: the open picture's workspace, the main window's captions and
// settings, and the services the core uses to talk to the user.
#include <memory>
#include <string>
#include <vector>

#include "core/colour_settings.h"
#include "core/rect.h"
#include "core/workspace.h"
#include "document/controls.h"
#include "document/history.h"
#include "document/observer.h"
#include "document/tool_settings.h"
#include "document/zoom.h"

namespace cw {

class Progress;


struct Document {
    Document(Progress& p, DocumentObserver& o) : progress(p), observer(o) {}
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    Progress& progress;
    DocumentObserver& observer;

    MainControls controls;
    // W + H of the last picture read, kept after it goes: Objectivity and
    // Separation are shares of it.
    int32_t imageSpan = 1;
    MarkUpSizes markUpSizes;
    // The gray step of the last mark-up or load: the fills quantise by it
    // whatever Complexity says now.
    int32_t markUpGrayStep = grayStepOf(kComplexityRange.initial);

    // The open dialog's file name: the picture the image window reads. For a
    // JPEG file or a scan, the scratch bitmap that holds it.
    std::string openFileName;
    // The picture as the user knows it, for the image window's caption: the
    // full path of the file opened, whatever the window reads.
    std::string pictureName;
    // Changes since the last save that ImageModified does not count: an
    // Un-do, and a re-set of a picture that had any. Unsaved work all the
    // same, which the windows ask about before it goes.
    bool reworked = false;

    bool imageWindowOpen = false;
    std::unique_ptr<Workspace> ws;  // built by the image window's set-up
    // Every change to the picture, to take back and do again.
    History history;
    // Said on the status line once: a change the history could not keep.
    std::string historyNote;
    // Closes the picture, and the gesture on it.
    void dropPicture() {
        history.settle();  // the recorder may still be reading it
        ws.reset();
        gesture = {};
    }

    // Main window captions and states the windows mirror.
    // A rectangular selection is pending: the image window's Re-set crops.
    bool cropPending = false;
    bool toolPanelsEnabled = false;  // Panel1 and Panel12
    bool mainEnabled = true;

    PaletteSelection palette;
    EffectSettings effects;
    ToolSettings tools;
    PointerState pointer;
    GestureState gesture;
    ZoomView zoom;
    ScaleField scale;

    // Tells the observer what an operation redrew (exclusive bounds), and
    // the history where to look for what changed (in which planes, where an
    // operation knows it left the others alone); an empty rectangle tells
    // them nothing.
    void showChanged(const Rect& r, uint8_t planes = kEveryPlane) {
        if (r.x1 >= r.x2 || r.y1 >= r.y2) return;
        history.touched(r, planes);
        observer.displayChanged(r.x1, r.y1, r.x2, r.y2);
    }
    // The same for an operation that redrew the display over `r` but changed
    // it only in `displayChanged`, and the planes `planes` over all of `r`.
    void showRedrawn(const Rect& r, uint8_t planes, const std::vector<Rect>& displayChanged) {
        if (r.x1 >= r.x2 || r.y1 >= r.y2) return;
        if (planes) history.touched(r, planes);
        for (const Rect& area : displayChanged) history.touched(area, planeBit(Plane::Display));
        observer.displayChanged(r.x1, r.y1, r.x2, r.y2);
    }
};

} // namespace cw
