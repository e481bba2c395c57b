#pragma once
// The private per-user folder that holds scratch bitmaps.
#include <string>
#include <vector>

namespace cw {

inline constexpr const char* kScratchBitmap = "wkf.bmp";
inline constexpr const char* kScanBitmap = "wkf1.bmp";
// The picture Zero-set, Crop and Scale hand to the set-up.
inline constexpr const char* kResampleBitmap = "currimg.bmp";

// Creates `folder` (and missing parents) with mode 0700 if it is missing.
// Returns false when it, or the folder it lies in, cannot be made or is not
// a private directory of ours (a symbolic link, someone else's, or open to
// others and not fixable), so that nothing is ever written into a place
// another user controls.
bool ensureScratchFolder(const std::string& folder);

std::string scratchPath(const std::string& folder, const char* name);

// The names in the folder open as descriptor `folder`, but "." and "..";
// read through a copy of the descriptor, which stays the caller's. Empty
// when the folder cannot be read.
std::vector<std::string> namesIn(int folder);

// The path of the scratch file `name`, ready to be written: the folder made
// as above, and whatever stands at that name that is not a regular file (a
// folder with all it holds, a link, never what the link points to) removed,
// since the program owns the folder and nothing else may block its file.
// Throws SaveError when the folder cannot be made private.
std::string scratchFile(const std::string& folder, const char* name);

} // namespace cw
