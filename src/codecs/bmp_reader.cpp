#include "codecs/bmp_reader.h"

#include "core/image_error.h"
#include "core/regular_file.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <new>

namespace cw {
namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;

constexpr uint32_t kBlack = rgb(0, 0, 0);

uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

[[noreturn]] void refuse(const std::string& why) { throw InvalidImage("BMP: " + why); }

// One colour channel of a BI_BITFIELDS pixel: ((pixel & mask) >> rshift) << lshift
// gives 8 bits. Fields wider than 8 bits keep their top 8; narrower ones are
// shifted up with the low bits left 0, the way Qt widens 5-5-5 and 5-6-5.
struct Field {
    uint32_t mask = 0;
    unsigned rshift = 0;
    unsigned lshift = 0;
};

Field makeField(uint32_t mask) {
    if (mask == 0) return {};
    const unsigned low = unsigned(std::countr_zero(mask));
    const unsigned bits = 32u - unsigned(std::countl_zero(mask)) - low; // span, even if not contiguous
    if (bits >= 8) return {mask, low + bits - 8, 0};
    return {mask, low, 8 - bits};
}

struct Layout {
    int32_t width = 0;
    int32_t height = 0;
    bool topDown = false;
    unsigned bpp = 0;
    uint32_t compression = kBiRgb;
    Field red, green, blue;
    uint32_t palette[256];
};

inline uint32_t fieldsToPixel(uint32_t px, const Field& r, const Field& g, const Field& b) {
    return 0xff000000u | ((((px & r.mask) >> r.rshift) << r.lshift) << 16) |
           ((((px & g.mask) >> g.rshift) << g.lshift) << 8) | (((px & b.mask) >> b.rshift) << b.lshift);
}

void decodeRow(const Layout& L, const uint8_t* src, uint32_t* dst) {
    const size_t w = size_t(L.width);
    switch (L.bpp) {
    case 1:
        for (size_t x = 0; x < w; ++x) dst[x] = L.palette[(src[x >> 3] >> (7 - (x & 7))) & 1];
        break;
    case 4:
        for (size_t x = 0; x + 1 < w; x += 2) {
            dst[x] = L.palette[src[x >> 1] >> 4];
            dst[x + 1] = L.palette[src[x >> 1] & 15];
        }
        if (w & 1) dst[w - 1] = L.palette[src[(w - 1) >> 1] >> 4];
        break;
    case 8:
        for (size_t x = 0; x < w; ++x) dst[x] = L.palette[src[x]];
        break;
    case 16:
        for (size_t x = 0; x < w; ++x) dst[x] = fieldsToPixel(le16(src + 2 * x), L.red, L.green, L.blue);
        break;
    case 24:
        for (size_t x = 0; x < w; ++x, src += 3)
            dst[x] = 0xff000000u | (uint32_t(src[2]) << 16) | (uint32_t(src[1]) << 8) | src[0];
        break;
    case 32:
        if (L.red.mask == 0xff0000u && L.green.mask == 0xff00u && L.blue.mask == 0xffu) {
            for (size_t x = 0; x < w; ++x) dst[x] = 0xff000000u | (le32(src + 4 * x) & 0xffffffu);
        } else {
            for (size_t x = 0; x < w; ++x) dst[x] = fieldsToPixel(le32(src + 4 * x), L.red, L.green, L.blue);
        }
        break;
    }
}

void decodeUncompressed(const Layout& L, const uint8_t* pixels, uint64_t rowBytes, Bitmap& out) {
    for (int32_t y = 0; y < L.height; ++y) {
        const int32_t target = L.topDown ? y : L.height - 1 - y;
        decodeRow(L, pixels + uint64_t(y) * rowBytes, out.row(target));
    }
}

// RLE streams are always bottom-up. Pixels the stream skips (by delta or an
// early end of line) stay black rather than taking colour 0 of the table:
// black is what the picture shows where the file has nothing.
// ImageMagick encodes whole padded rows, so a run may reach into the row's
// padding (the pixels there are dropped), but no further.
void decodeRle(const Layout& L, const uint8_t* p, const uint8_t* end, Bitmap& out) {
    const bool four = L.compression == kBiRle4;
    const int64_t w = L.width;
    const int64_t h = L.height;
    const int64_t paddedWidth = four ? (w + 7) & ~int64_t(7) : (w + 3) & ~int64_t(3);
    int64_t x = 0;
    int64_t y = 0; // counted from the bottom row
    std::fill(out.data(), out.data() + out.pixelCount(), kBlack);

    // Where a run of `count` pixels starts, and how many of them are inside the picture.
    auto place = [&](int64_t count, unsigned& visible) {
        if (y >= h) refuse("RLE data writes past the top of the picture");
        if (x + count > paddedWidth) refuse("RLE run goes past the end of a row");
        visible = unsigned(std::clamp<int64_t>(w - x, 0, count));
        return out.row(int32_t(h - 1 - y)) + std::min(x, w);
    };

    for (;;) {
        if (end - p < 2) refuse("RLE data ends before its end-of-bitmap code");
        const unsigned n = p[0];
        const unsigned c = p[1];
        p += 2;
        if (n != 0) {
            unsigned visible;
            uint32_t* d = place(n, visible);
            if (four) {
                const uint32_t even = L.palette[c >> 4];
                const uint32_t odd = L.palette[c & 15];
                for (unsigned i = 0; i < visible; ++i) d[i] = (i & 1) ? odd : even;
            } else {
                std::fill(d, d + visible, L.palette[c]);
            }
            x += n;
        } else if (c == 0) {
            x = 0;
            ++y;
        } else if (c == 1) {
            return;
        } else if (c == 2) {
            if (end - p < 2) refuse("RLE data ends inside a delta");
            x += p[0];
            y += p[1];
            p += 2;
            if (x > paddedWidth || y > h) refuse("RLE delta moves outside the picture");
        } else {
            const size_t bytes = four ? (c + 1) / 2 : c;
            const size_t padded = (bytes + 1) & ~size_t(1);
            if (size_t(end - p) < padded) refuse("RLE data ends inside an absolute run");
            unsigned visible;
            uint32_t* d = place(c, visible);
            if (four) {
                for (unsigned i = 0; i < visible; ++i)
                    d[i] = L.palette[(i & 1) ? (p[i >> 1] & 15) : (p[i >> 1] >> 4)];
            } else {
                for (unsigned i = 0; i < visible; ++i) d[i] = L.palette[p[i]];
            }
            x += c;
            p += padded;
        }
    }
}

} // namespace

Bitmap decodeBmp(const uint8_t* data, size_t size) {
    if (size == 0) refuse("the file is empty");
    if (size < 2 || data[0] != 'B' || data[1] != 'M') refuse("not a Windows bitmap (no BM signature)");
    if (size < 18) refuse("file ends inside the bitmap header");

    const uint64_t offBits = le32(data + 10);
    const uint32_t headerSize = le32(data + 14);
    Layout L;
    int64_t width = 0;
    int64_t height = 0;
    uint64_t colorsUsed = 0;
    unsigned entrySize = 4;
    uint64_t tableStart = 14 + uint64_t(headerSize);

    if (headerSize == 12) { // OS/2 1.x: unsigned 16-bit sizes, always bottom-up, 3-byte table entries
        if (size < 26) refuse("file ends inside the OS/2 bitmap header");
        width = le16(data + 18);
        height = le16(data + 20);
        L.bpp = le16(data + 24);
        entrySize = 3;
    } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 || headerSize == 124) {
        if (size < tableStart) refuse("file ends inside the bitmap header");
        width = int32_t(le32(data + 18));
        height = int32_t(le32(data + 22));
        L.bpp = le16(data + 28);
        L.compression = le32(data + 30);
        colorsUsed = le32(data + 46);
    } else {
        refuse("unsupported header size " + std::to_string(headerSize));
    }

    if (width <= 0) refuse("width " + std::to_string(width) + " is not positive");
    if (height == 0) refuse("height is 0");
    L.topDown = height < 0;
    if (height < 0) height = -height;

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
    const bool rle = L.compression == kBiRle8 || L.compression == kBiRle4;
    if (rle && L.topDown) refuse("an RLE bitmap cannot be top-down");

    if (uint64_t(width) * uint64_t(height) > kMaxPixels)
        refuse(std::to_string(width) + " x " + std::to_string(height) + " pixels is too large");
    L.width = int32_t(width);
    L.height = int32_t(height);

    if (L.compression == kBiBitfields) {
        // A 40-byte header is followed by the three masks; longer ones hold them.
        if (headerSize == 40) tableStart += 12;
        if (size < tableStart) refuse("file ends inside the bit-field masks");
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

    if (offBits > size)
        refuse("pixel data offset " + std::to_string(offBits) + " is past the end of the " +
               std::to_string(size) + "-byte file");
    if (offBits < tableStart) refuse("pixel data offset " + std::to_string(offBits) + " lies inside the header");

    // Indices beyond the table (or beyond what fits before the pixels) map to black.
    std::fill(std::begin(L.palette), std::end(L.palette), kBlack);
    if (L.bpp <= 8) {
        const uint64_t maxEntries = uint64_t(1) << L.bpp;
        uint64_t count = colorsUsed == 0 ? maxEntries : std::min(colorsUsed, maxEntries);
        count = std::min(count, (offBits - tableStart) / entrySize);
        const uint8_t* e = data + tableStart;
        for (uint64_t i = 0; i < count; ++i, e += entrySize) L.palette[i] = rgb(e[2], e[1], e[0]);
    }

    const uint64_t available = size - offBits;
    uint64_t rowBytes = 0;
    if (!rle) {
        rowBytes = (uint64_t(L.width) * L.bpp + 31) / 32 * 4;
        const uint64_t needed = rowBytes * uint64_t(L.height);
        if (available < needed)
            refuse("pixel data is truncated: " + std::to_string(available) + " of " + std::to_string(needed) +
                   " bytes");
    }

    ensureMemoryFor(uint64_t(L.width) * uint64_t(L.height) * 4);
    Bitmap out(L.width, L.height);
    prefault(out.data(), out.pixelCount() * sizeof(uint32_t));
    if (rle)
        decodeRle(L, data + offBits, data + size, out);
    else
        decodeUncompressed(L, data + offBits, rowBytes, out);
    return out;
}

Bitmap readBmp(const std::string& path) {
    try {
        const RegularFile file(path);
        if (file.size() == 0) refuse("the file is empty");
        // Read, not mapped: a file another program cuts short while it is
        // mapped kills the reader (SIGBUS); a short read is just a damaged file.
        const size_t size = size_t(file.size());
        ensureMemoryFor(size);
        const std::unique_ptr<uint8_t[]> data(new uint8_t[size]);
        const size_t got = file.read(data.get(), size, 0);
        if (got < size)
            refuse(path + " ended after " + std::to_string(got) + " of its " + std::to_string(size) +
                   " bytes while it was read");
        return decodeBmp(data.get(), size);
    } catch (const FileReadError& e) {
        throw InvalidImage(e.what());
    }
}

} // namespace cw
