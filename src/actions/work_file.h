#pragma once
// The work on a picture in a file of its own, OpenRaster (.ora), which GIMP,
// Krita and MyPaint open: the coloured picture (shown), the original and the
// pixel codes (hidden layers), and in a small file of ours beside them the
// anchors, the palette selection, the effects and every setting, so that the
// work goes on where it stopped.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/bitmap.h"

namespace cw {

struct Session;
struct Document;

inline constexpr const char* kWorkFileEntry = "Chromawell work (*.ora)";
inline constexpr const char* kWorkExtension = ".ora";
// The entry that makes an .ora file a work file rather than a picture.
inline constexpr const char* kWorkStateEntry = "chromawell/work.txt";

// Whether the name ends in .ora (any case).
bool isWorkFileName(const std::string& name);

// Writes the open picture's work to `path` through a temporary file renamed
// over it; throws SaveError.
void writeWorkFile(const Document& d, const std::string& path);

// The work copied out of the document, to be written while the user goes on
// (an autosave): copying takes a fraction of the time compressing does.
struct WorkCopy {
    // Buffers for a picture of this size, their pages mapped in: made on
    // any thread before the copy needs them, and used again.
    WorkCopy(int32_t width, int32_t height);
    bool fits(int32_t width, int32_t height) const { return colour.width() == width && colour.height() == height; }
    Bitmap colour, display, source;
    std::vector<uint8_t> codes;
    std::string state;
};
// Copies the open picture's work into buffers that fit it.
void copyWork(const Document& d, WorkCopy& into);
void writeWorkCopy(const WorkCopy& work, const std::string& path);

// What an .ora file gave: the picture to set up (the original of a work
// file; the merged image of a file another program wrote) and, for a work
// file, the rest of the work to put back once it is set up.
struct WorkState;
struct OpenedWork {
    Bitmap picture;
    std::shared_ptr<const WorkState> work;  // null: a picture only
    OpenedWork();
    ~OpenedWork();
    OpenedWork(OpenedWork&&) noexcept;
    OpenedWork& operator=(OpenedWork&&) noexcept;
};
// Throws InvalidImage for a damaged or hostile file, bad_alloc when memory
// is short; nothing is allocated past a fixed bound before the sizes are
// checked.
OpenedWork readWorkFile(const std::string& path);
// The same from the bytes of a file.
OpenedWork readWorkFile(const uint8_t* data, size_t size);
class OraReader;
// `path`, when given, lets a second reader decode the largest layer meanwhile.
OpenedWork readWork(const OraReader& ora, const std::string* path = nullptr);

// The picture a work file's work is on, as its state file names it; empty
// when the file cannot be read.
std::string workPictureName(const std::string& path);

// Puts the work back onto the picture just set up from it: colours, codes,
// what is shown, anchors, selection and settings, as they were saved.
void putBackWork(Document& d, const WorkState& work);

} // namespace cw
