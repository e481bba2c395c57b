#include "codecs/bmp_header.h"

#include <algorithm>
#include <bit>
#include <iterator>

#include "core/image_error.h"

namespace cw::bmp {

namespace {

Field makeField(uint32_t mask) {
    if (mask == 0) return {};
    const unsigned low = unsigned(std::countr_zero(mask));
    const unsigned bits = 32u - unsigned(std::countl_zero(mask)) - low; // span, even if not contiguous
    if (bits >= 8) return {mask, low + bits - 8, 0};
    return {mask, low, 8 - bits};
}

// The info header's sizes and format, with the picture's height still signed
// (negative: top-down).
struct Info {
    uint32_t headerSize = 0;
    int64_t width = 0;
    int64_t height = 0;
};

Info readInfo(const uint8_t* data, size_t size, Header& h) {
    Info info;
    info.headerSize = le32(data + 14);
    h.tableStart = 14 + uint64_t(info.headerSize);
    Layout& L = h.layout;
    if (info.headerSize == 12) { // OS/2 1.x: unsigned 16-bit sizes, always bottom-up, 3-byte table entries
        if (size < 26) refuse("file ends inside the OS/2 bitmap header");
        info.width = le16(data + 18);
        info.height = le16(data + 20);
        L.bpp = le16(data + 24);
        h.entrySize = 3;
    } else if (info.headerSize == 40 || info.headerSize == 52 || info.headerSize == 56 || info.headerSize == 108 ||
               info.headerSize == 124) {
        if (size < h.tableStart) refuse("file ends inside the bitmap header");
        info.width = int32_t(le32(data + 18));
        info.height = int32_t(le32(data + 22));
        L.bpp = le16(data + 28);
        L.compression = le32(data + 30);
        h.colorsUsed = le32(data + 46);
    } else {
        refuse("unsupported header size " + std::to_string(info.headerSize));
    }
    return info;
}

void checkFormat(const Layout& L) {
    switch (L.bpp) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: refuse(std::to_string(L.bpp) + " bits per pixel is not supported");
    }
    switch (L.compression) {
    case kBiRgb: break;
    case kBiRle8:
        if (L.bpp != 8) refuse("RLE8 compression needs 8 bits per pixel");
        break;
    case kBiRle4:
        if (L.bpp != 4) refuse("RLE4 compression needs 4 bits per pixel");
        break;
    case kBiBitfields:
        if (L.bpp != 16 && L.bpp != 32) refuse("bit-field masks need 16 or 32 bits per pixel");
        break;
    default: refuse("compression type " + std::to_string(L.compression) + " is not supported");
    }
}

// The channel masks: the file's own for BI_BITFIELDS, else the depth's.
void readMasks(const uint8_t* data, size_t size, uint32_t headerSize, Header& h) {
    Layout& L = h.layout;
    if (L.compression == kBiBitfields) {
        // A 40-byte header is followed by the three masks; longer ones hold them.
        if (headerSize == 40) h.tableStart += 12;
        if (size < h.tableStart) refuse("file ends inside the bit-field masks");
        const uint32_t r = le32(data + 54), g = le32(data + 58), b = le32(data + 62);
        if ((r | g | b) == 0) refuse("all bit-field masks are 0");
        L.red = makeField(r);
        L.green = makeField(g);
        L.blue = makeField(b);
    } else if (L.bpp == 16) {
        L.red = makeField(0x7c00);
        L.green = makeField(0x03e0);
        L.blue = makeField(0x001f);
    } else if (L.bpp == 32) {
        L.red = makeField(0xff0000);
        L.green = makeField(0xff00);
        L.blue = makeField(0xff);
    }
}

} // namespace

void refuse(const std::string& why) { throw InvalidImage("BMP: " + why); }

Header readHeader(const uint8_t* data, size_t size) {
    if (size == 0) refuse("the file is empty");
    if (size < 2 || data[0] != 'B' || data[1] != 'M') refuse("not a Windows bitmap (no BM signature)");
    if (size < 18) refuse("file ends inside the bitmap header");

    Header h;
    h.offBits = le32(data + 10);
    Info info = readInfo(data, size, h);
    Layout& L = h.layout;
    if (info.width <= 0) refuse("width " + std::to_string(info.width) + " is not positive");
    if (info.height == 0) refuse("height is 0");
    L.topDown = info.height < 0;
    if (info.height < 0) info.height = -info.height;

    checkFormat(L);
    if (h.rle() && L.topDown) refuse("an RLE bitmap cannot be top-down");

    if (uint64_t(info.width) * uint64_t(info.height) > kMaxPixels)
        refuse(std::to_string(info.width) + " x " + std::to_string(info.height) + " pixels is too large");
    L.width = int32_t(info.width);
    L.height = int32_t(info.height);

    readMasks(data, size, info.headerSize, h);

    if (h.offBits > size)
        refuse("pixel data offset " + std::to_string(h.offBits) + " is past the end of the " +
               std::to_string(size) + "-byte file");
    if (h.offBits < h.tableStart)
        refuse("pixel data offset " + std::to_string(h.offBits) + " lies inside the header");
    return h;
}

void readPalette(Header& h, const uint8_t* data) {
    Layout& L = h.layout;
    std::fill(std::begin(L.palette), std::end(L.palette), kBlack);
    if (L.bpp > 8) return;
    const uint64_t maxEntries = uint64_t(1) << L.bpp;
    uint64_t count = h.colorsUsed == 0 ? maxEntries : std::min(h.colorsUsed, maxEntries);
    count = std::min(count, (h.offBits - h.tableStart) / h.entrySize);
    const uint8_t* e = data + h.tableStart;
    for (uint64_t i = 0; i < count; ++i, e += h.entrySize) L.palette[i] = rgb(e[2], e[1], e[0]);
}

} // namespace cw::bmp
