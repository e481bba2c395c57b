#pragma once
// Inside the codecs only: what a Windows bitmap's headers say, checked, and
// the shapes its pixel decoders share.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/bitmap.h"

namespace cw::bmp {

inline constexpr uint32_t kBiRgb = 0;
inline constexpr uint32_t kBiRle8 = 1;
inline constexpr uint32_t kBiRle4 = 2;
inline constexpr uint32_t kBiBitfields = 3;

inline constexpr uint32_t kBlack = rgb(0, 0, 0);

inline uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// Throws InvalidImage, the reason prefixed with the format's name.
[[noreturn]] void refuse(const std::string& why);

// One colour channel of a BI_BITFIELDS pixel: ((pixel & mask) >> rshift) << lshift
// gives 8 bits. Fields wider than 8 bits keep their top 8; narrower ones are
// shifted up with the low bits left 0, the way Qt widens 5-5-5 and 5-6-5.
struct Field {
    uint32_t mask = 0;
    unsigned rshift = 0;
    unsigned lshift = 0;
};

// What the pixel decoders need to know of the picture.
struct Layout {
    int32_t width = 0;
    int32_t height = 0;
    bool topDown = false;
    unsigned bpp = 0;
    uint32_t compression = kBiRgb;
    Field red, green, blue;
    uint32_t palette[256];
};

// A file whose headers passed every check: its layout (all but the palette)
// and where its colour table and pixels lie.
struct Header {
    Layout layout;
    uint64_t tableStart = 0;  // the colour table, right after the headers and masks
    uint64_t offBits = 0;     // the pixels
    uint64_t colorsUsed = 0;  // 0: as many as the depth allows
    unsigned entrySize = 4;   // bytes per table entry
    bool rle() const { return layout.compression == kBiRle8 || layout.compression == kBiRle4; }
};

// Reads the headers of the `size`-byte file at `data`, refusing an empty,
// foreign, truncated, unsupported or absurdly large one before anything is
// allocated for its pixels.
Header readHeader(const uint8_t* data, size_t size);

// Fills the layout's palette from the file's colour table. Indices beyond
// the table (or beyond what fits before the pixels) map to black.
void readPalette(Header& header, const uint8_t* data);

} // namespace cw::bmp
