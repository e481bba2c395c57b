#include "actions/picture_setup.h"

#include <new>

#include "actions/picture_files.h"
#include "actions/session.h"
#include "codecs/picture_formats.h"
#include "core/image_error.h"
#include "core/progress.h"
#include "core/workspace_builder.h"
#include "tools/tool.h"

namespace cw {

void beginPictureSetup(Session& s) {
    s.mainEnabled = false;  // the set-up enables it again
    s.toolPanelsEnabled = true;
    s.host.mainWindowChanged();
}

bool setUpPicture(Session& s, std::optional<Bitmap> picture, WorkspaceBuilder* prepared, SetUpKind kind) {
    const char* failure = nullptr;
    try {
        // The old buffers are dropped first so that a large picture is never
        // held twice while the new ones are built, unless the history keeps
        // them to undo the rebuild.
        if (kind == SetUpKind::Rebuilt && s.ws && s.history.keeps(s.ws->pixelCount() * kWorkspaceBytesPerPixel))
            s.history.replacing(std::move(s.ws));
        else
            s.history.clear(kind == SetUpKind::Opened);  // its copies' memory serves the next picture
        s.dropPicture();
        // Restore reads the file again: the picture as opened, or the scratch
        // bitmap a picture of another format was written to.
        Bitmap pic = picture ? std::move(*picture) : formatOfName(s.openFileName).read(s.openFileName);
        s.imageSpan = pic.width() + pic.height();
        s.host.fitImageWindow();
        s.ws = prepared ? prepared->finish(std::move(pic), s.progress)
                        : buildWorkspace(std::move(pic), s.controls.forceGray, s.progress);
        if (kind == SetUpKind::Opened) s.history.start(*s.ws, History::Opened::JustSetUp);
    } catch (const InvalidImage&) {
        // A picture that cannot be read is not a memory problem: say so.
        failure = kInvalidImageMessage;
    } catch (const std::bad_alloc&) {
        failure = kSetupOutOfMemory;
    }
    if (failure) {
        s.history.clear();
        s.ws.reset();
        s.messages.error(failure);
        s.progress.setAbortVisible(true);
        if (s.progress.visible()) s.progress.end();
        s.mainEnabled = true;
        s.host.mainWindowChanged();
        if (s.imageWindowOpen) s.host.closeImageWindow();
        return false;
    }
    Workspace& ws = *s.ws;
    s.mainEnabled = true;
    s.host.mainWindowChanged();
    s.progress.setAbortVisible(true);
    s.progress.end();
    takeControls(s.controls, s.markUpSizes, s.imageSpan);
    s.markUpGrayStep = grayStepOf(s.controls.complexity);
    ws.selectionRect = Rect{};
    ws.imageModified = false;
    s.reworked = false;
    s.controls.forceGray = false;  // it applies to one load only
    s.host.pictureChanged();
    s.host.mainWindowChanged();
    s.host.popupPaletteMenu(ws.width / 2, ws.height / 2);
    return true;
}

void closePicture(Session& s) {
    s.toolPanelsEnabled = false;
    s.imageWindowOpen = false;
    s.dropPicture();
    s.history.clear();
    s.observer.historyChanged();
    // A selection ends with its picture: the next one's Re-set must not crop.
    setCropPending(s, false);
    // The zoomed view shows a part of the picture that is gone: a press in it
    // would paint the next picture at this one's rectangle. Its factor field
    // goes with the image window, and the next one starts at 1.
    s.zoom = ZoomView{};
    s.host.zoomViewChanged();
    s.host.mainWindowChanged();
}

} // namespace cw
