#pragma once
// A picture's set-up and closing: the workspace is built when the image
// window shows a picture and dropped when it closes.
#include <optional>

#include "core/bitmap.h"

namespace cw {

struct Session;
class WorkspaceBuilder;

inline constexpr const char* kSetupOutOfMemory =
    "Out of Memory; increase free available memory, or try loading a smaller image.";

// Runs each time a picture is loaded, before the set-up: the main window
// stays disabled until the set-up ends.
void beginPictureSetup(Session& s);

// Reads the picture named by the open file name (or takes `picture`
// when one is handed over), builds the workspace and shows it. Returns false
// when it failed; it has then reported the failure and closed the window.
// A `prepared` builder has already done most of the work as the picture's
// rows were decoded.
// What a set-up is to the undo history: a picture opened starts it afresh; a
// picture rebuilt from the open one (a crop, a scale, a restore) is a step
// that holds the old picture, when the history's memory can keep it.
enum class SetUpKind { Opened, Rebuilt };
bool setUpPicture(Session& s, std::optional<Bitmap> picture = std::nullopt, WorkspaceBuilder* prepared = nullptr,
                  SetUpKind kind = SetUpKind::Opened);

// The image window is going; the workspace goes with it.
void closePicture(Session& s);

} // namespace cw
