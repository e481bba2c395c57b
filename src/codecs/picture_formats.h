#pragma once
// The picture files Chromawell opens and saves, a row each: the name the
// dialogs give it, the extensions that claim it, its MIME type, how its
// first bytes are recognised, and the functions that read and write it.
// A new format is a reader, a writer and a row.
#include <cstdint>
#include <span>
#include <string>

#include "core/bitmap.h"

namespace cw {

enum class FormatId : uint8_t { Bitmap, Jpeg, Png, Tiff };

struct PictureFormat {
    FormatId id;
    const char* openName;   // as the open dialog lists it
    const char* savedName;  // as a save names it; null when the format is not written
    std::span<const char* const> extensions;  // dot included, lower case; a save adds the first
    const char* mimeType;
    // Whether a file that starts with these bytes is of this format.
    bool (*sniff)(std::span<const uint8_t> head);
    // Throws InvalidImage (or bad_alloc) for a file it cannot read.
    Bitmap (*read)(const std::string& path);
    // Null when the format is not written; throws SaveError.
    void (*write)(const Bitmap& picture, const std::string& path);
};

std::span<const PictureFormat> pictureFormats();
// The row whose extension the name has, compared upper-cased; a name no
// row claims is read as a bitmap file, as it always was.
const PictureFormat& formatOfName(const std::string& name);
// Whether a row claims the name's extension.
bool isPictureName(const std::string& name);
// A dialog's patterns for the format's extensions: "*.tif *.tiff".
std::string filePatterns(const PictureFormat& f);
// The open dialog's filter: every format, then each on its own.
std::string openFilter();

// The extension from the last "." after the last "/", "\" or ":", dot
// included; upper-cased.
std::string fileExtension(const std::string& name);
std::string upperExtension(const std::string& name);

} // namespace cw
