#pragma once
#include <string>

namespace cw {

// Names the application so that Qt's per-user folders are Chromawell's own.
void setApplicationIdentity();

// The private scratch folder: the per-user cache folder's "temp"; each
// running program works in a folder of its own inside it (ProgramScratch).
std::string scratchFolderLocation();
// Where the work of open pictures is kept now and then until it is saved:
// beside the scratch folder, so that it outlives a program that crashed.
std::string autosaveFolderLocation();

} // namespace cw
