#pragma once
// The image window's handlers that build and drop the workspace.
#include <optional>

#include "core/bitmap.h"

namespace cw {

struct Session;
class WorkspaceBuilder;

inline constexpr const char* kSetupOutOfMemory =
    "Out of Memory; increase free available memory, or try loading a smaller image.";

// FormShow: runs each time a picture is loaded, before the set-up.
void formShow(Session& s);

// F2Show: reads the picture named by the open file name (or takes `picture`
// when one is handed over), builds the workspace and shows it. Returns false
// when it failed; it has then reported the failure and closed the window.
// A `prepared` builder has already done most of the work as the picture's
// rows were decoded.
bool f2Show(Session& s, std::optional<Bitmap> picture = std::nullopt, WorkspaceBuilder* prepared = nullptr);

// FormClose: the window is going; the workspace goes with it.
void formClose(Session& s);

} // namespace cw
