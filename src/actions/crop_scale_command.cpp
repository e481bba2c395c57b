#include "actions/crop_scale_command.h"

#include <new>
#include <optional>
#include <string>
#include <unistd.h>

#include "actions/picture_files.h"
#include "actions/picture_setup.h"
#include "actions/scratch.h"
#include "actions/session.h"
#include "codecs/picture_formats.h"
#include "codecs/replacing_file.h"
#include "core/image_error.h"
#include "core/outline.h"
#include "core/progress.h"
#include "tools/interaction.h"
#include "document/undo.h"

namespace cw {

namespace {

// The new picture goes through a file in this program's own scratch folder
// and is read back, as a picture loaded from disk would be. The folder is
// no other program's, so the file needs no name of its own; it has the one
// an interrupt removes (ProgramScratch), and so is never left behind.
std::optional<Bitmap> handOver(const Session& s, const Bitmap& picture) {
    if (!ensureScratchFolder(s.scratchFolder)) return std::nullopt;
    const std::string name = scratchPath(s.scratchFolder, kResampleBitmap);
    // Gone whichever way the hand-over ends; a write that fails says why.
    struct Remove {
        const std::string& name;
        ~Remove() { ::unlink(name.c_str()); }
    } remove{name};
    const PictureFormat& format = formatOfName(name);  // a bitmap, as the scratch file always is
    format.write(picture, name);
    try {
        return format.read(name);
    } catch (const InvalidImage&) {
        return std::nullopt;
    }
}

} // namespace

bool resetClick(Session& s) {
    if (!s.ws) return false;
    settleHistory(s);  // the recorder must be done reading what this writes
    Workspace& ws = *s.ws;
    const bool cropping = ws.selectionActive;
    if (!cropping) ws.selectionRect = {0, 0, ws.width - 1, ws.height - 1};
    restoreRect(ws.display, ws.colour, ws.selectionRect);
    s.cropPending = false;
    s.host.resetCaptionChanged();
    s.zoom.exists = false;
    s.host.zoomViewChanged();

    s.progress.begin(kPhaseInitialising, {.hideGauge = true});
    std::optional<Bitmap> picture;
    bool changed = ws.imageModified || s.reworked || s.controls.forceGray;
    std::string failure = kSetupOutOfMemory;
    try {
        const Bitmap target = resetPicture(ws.display, ws.selectionRect, cropping, s.scale.value);
        changed |= target.width() != ws.width || target.height() != ws.height;
        ws.selectionRect = Rect{};
        picture = handOver(s, target);
    } catch (const std::bad_alloc&) {
        picture.reset();
    } catch (const SaveError& e) {
        // A full disk is not short memory: say which folder could not take the picture.
        failure = saveFailedMessage("Scratch folder " + s.scratchFolder, e.error());
    }
    if (!picture) {
        // Nothing has changed yet: the picture stays as it was.
        s.progress.setGaugeVisible(true);
        s.progress.end();
        s.messages.error(failure);
        return false;
    }
    const bool built = setUpPicture(s, std::move(picture), nullptr, SetUpKind::Rebuilt);
    s.progress.setGaugeVisible(true);
    if (s.progress.visible()) s.progress.end();
    if (s.ws) {
        s.ws->selectionActive = false;
        // The new original is work of its own until it is saved.
        s.reworked = changed;
    }
    return built;
}

} // namespace cw
