#pragma once
// The parts of an OpenRaster file, and stack.xml, the one that lists its layers.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/ora_file.h"

namespace cw::ora {

inline constexpr const char* kMimeEntry = "mimetype";
inline constexpr const char* kMimeType = "image/openraster";
inline constexpr const char* kStackEntry = "stack.xml";
inline constexpr const char* kMergedEntry = "mergedimage.png";
inline constexpr const char* kThumbnailEntry = "Thumbnails/thumbnail.png";

struct Stack {
    int32_t width = 0, height = 0;
    std::vector<OraLayerIn> layers;
};

// Reads <image w h> and every <layer>, however deep in nested <stack>s, in
// document order; other elements and attributes are passed over. A layer is
// visible unless its visibility is "hidden". Throws
// InvalidImage for XML that is not well formed, an unknown entity, a size
// that is not a positive number within kMaxPixels, a layer without a src or
// with a src isSafeEntryPath refuses.
Stack parseStack(std::string_view xml);

// The stack.xml that lists `ora`'s layers.
std::string stackXml(const OraOut& ora);

// Whether a layer may name this entry: a relative path without a ".."
// component or a backslash, which an extracting tool would otherwise write
// outside its folder.
bool isSafeEntryPath(std::string_view src);

} // namespace cw::ora
