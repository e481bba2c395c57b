#pragma once
#include <string>

namespace cw {

// Names the application so that Qt's per-user folders are Chromawell's own.
void setApplicationIdentity();

// The private scratch folder: the per-user cache folder's "temp"; each
// running program works in a folder of its own inside it (ProgramScratch).
std::string scratchFolderLocation();

} // namespace cw
