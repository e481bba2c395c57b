#pragma once
// OpenRaster (.ora) files: a zip archive whose first entry, "mimetype", is
// stored uncompressed and holds "image/openraster"; then stack.xml, which
// lists the layers top first; each layer a PNG under data/; mergedimage.png,
// the flattened picture; and Thumbnails/thumbnail.png, the same scaled to fit
// 256 x 256. GIMP, Krita and MyPaint open what is written here.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/bitmap.h"

namespace cw {

// A layer to write, the picture's size: RGB (0xffRRGGBB words, Bitmap
// layout) or 8-bit gray, one of the two.
struct OraLayerOut {
    std::string name, src;  // src: the entry's path, such as "data/colour.png"
    bool visible = true;
    const uint32_t* rgb = nullptr;
    const uint8_t* gray = nullptr;
};

struct OraOut {
    int32_t width = 0, height = 0;
    std::vector<OraLayerOut> layers;  // top first, as stack.xml lists them
    // The RGB layer that is also mergedimage.png (its PNG is compressed once
    // and stored twice, or once where the layer's src is "mergedimage.png")
    // and the thumbnail's source.
    int mergedFrom = 0;
    // Other entries (path, bytes), Deflate-compressed, such as {"chromawell/work.txt", text}.
    std::vector<std::pair<std::string, std::string>> extraFiles;
    int compression = 6;  // zlib level of the PNGs
};

// Writes the file through a ReplacingFile: `path` is the old file or the
// whole new one. The layers' PNGs are compressed on two threads (the largest
// on one, the rest on the other) where helper threads are allowed, and stored
// in the archive as they are. Throws SaveError, with the system's errno when
// the system refused.
void writeOra(const OraOut& ora, const std::string& path);
// The same file's bytes in memory. Throws SaveError or std::bad_alloc.
std::string encodeOra(const OraOut& ora);

struct OraLayerIn {
    std::string name, src;
    bool visible;
    int32_t x, y;
};

// An .ora file open for reading: a regular file, or bytes that outlive the
// reader. The constructor checks the archive (its central directory against
// every local header, no two entries of one name), that "mimetype" comes
// first and says "image/openraster", that no entry is encrypted and that none
// claims more bytes than its compressed data can hold; then it reads
// stack.xml: the image's size (w, h > 0, w * h <= kMaxPixels) and the layers,
// flat, whose src must be a relative path without ".." or "\" naming an
// entry. Anything damaged throws InvalidImage, a shortage of memory
// std::bad_alloc. One thread at a time.
class OraReader {
public:
    explicit OraReader(const std::string& path);
    OraReader(const uint8_t* data, size_t size);
    ~OraReader();
    OraReader(const OraReader&) = delete;
    OraReader& operator=(const OraReader&) = delete;

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    const std::vector<OraLayerIn>& layers() const { return layers_; }
    bool has(const std::string& entry) const;
    // A whole entry, read in pieces and refused past maxBytes, whatever its
    // header says; also refused when its length is not what its header says.
    std::string readFile(const std::string& entry, size_t maxBytes) const;
    // A layer's PNG decoded as it is inflated, of the image's size or refused
    // before its pixels are allocated: any colour type, as decodePng reads it.
    Bitmap readRgb(const std::string& src) const;
    // A layer that must be an 8-bit gray PNG: its samples exactly.
    std::vector<uint8_t> readGray8(const std::string& src) const;
    // mergedimage.png, of any size (another program's file may have it so).
    Bitmap readMerged() const;

private:
    struct Archive;
    std::unique_ptr<Archive> zip_;
    int32_t width_ = 0, height_ = 0;
    std::vector<OraLayerIn> layers_;

    void check();
};

} // namespace cw
