#include "codecs/tiff_codec.h"

#include "codecs/replacing_file.h"
#include "core/image_error.h"
#include "core/regular_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <unordered_set>
#include <vector>

#include <tiffio.h>

namespace cw {
namespace {

[[noreturn]] void refuse(const std::string& why) { throw InvalidImage("TIFF: " + why); }

// What libtiff reported during one read or write. Most of libtiff reports
// through the handlers given to the handle; some code paths still use the
// process-wide ones, which find the current call's record through `current`.
struct Report {
    bool failed = false;
    std::string first;

    void error(const char* fmt, va_list ap) {
        if (!failed) {
            char text[512];
            std::vsnprintf(text, sizeof text, fmt, ap);
            first = text;
        }
        failed = true;
    }
    // libjpeg warns of damaged data that it fills in with grey; like the JPEG
    // reader we refuse such a picture rather than show it half grey.
    void warning(const char* module, const char* fmt, va_list ap) {
        if (module && std::strcmp(module, "JPEGLib") == 0) error(fmt, ap);
    }
    std::string why(const std::string& fallback) const { return failed ? first : fallback; }
};

thread_local Report* current = nullptr;

int onErrorR(TIFF*, void* report, const char*, const char* fmt, va_list ap) {
    static_cast<Report*>(report)->error(fmt, ap);
    return 1;
}
int onWarningR(TIFF*, void* report, const char* module, const char* fmt, va_list ap) {
    static_cast<Report*>(report)->warning(module, fmt, ap);
    return 1;
}
void onErrorExt(thandle_t, const char*, const char* fmt, va_list ap) {
    if (current) current->error(fmt, ap);
}
void onWarningExt(thandle_t, const char* module, const char* fmt, va_list ap) {
    if (current) current->warning(module, fmt, ap);
}

// The process-wide handlers print to stderr unless replaced; nothing of
// libtiff's may reach the terminal.
void silenceLibtiff() {
    static const bool done = [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
        TIFFSetErrorHandlerExt(onErrorExt);
        TIFFSetWarningHandlerExt(onWarningExt);
        return true;
    }();
    (void)done;
}

// Makes `report` the one the process-wide handlers fill while it lives.
class Reporting {
public:
    explicit Reporting(Report& report) : previous_(current) {
        silenceLibtiff();
        current = &report;
    }
    ~Reporting() { current = previous_; }
    Reporting(const Reporting&) = delete;
    Reporting& operator=(const Reporting&) = delete;

private:
    Report* previous_;
};

// The file as libtiff sees it: bytes in memory, read-only for a decode and
// growing for an encode. These are called from C and must not throw.
struct Stream {
    const uint8_t* data = nullptr;
    std::vector<uint8_t>* grown = nullptr;
    uint64_t size = 0;
    uint64_t pos = 0;
};

tmsize_t readProc(thandle_t h, void* to, tmsize_t n) {
    auto* s = static_cast<Stream*>(h);
    if (n <= 0 || s->pos >= s->size) return 0;
    const uint64_t count = std::min<uint64_t>(uint64_t(n), s->size - s->pos);
    const uint8_t* from = s->grown ? s->grown->data() : s->data;
    std::memcpy(to, from + s->pos, size_t(count));
    s->pos += count;
    return tmsize_t(count);
}

tmsize_t writeProc(thandle_t h, void* from, tmsize_t n) {
    auto* s = static_cast<Stream*>(h);
    if (!s->grown || n < 0) return -1;
    const uint64_t end = s->pos + uint64_t(n);
    try {
        if (end > s->grown->size()) s->grown->resize(size_t(end));
    } catch (const std::exception&) {
        return -1;  // libtiff reports the short write as an error
    }
    std::memcpy(s->grown->data() + s->pos, from, size_t(n));
    s->pos = end;
    s->size = s->grown->size();
    return n;
}

toff_t seekProc(thandle_t h, toff_t offset, int whence) {
    auto* s = static_cast<Stream*>(h);
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return toff_t(-1);
    // SEEK_CUR and SEEK_END may carry a negative offset in the unsigned type.
    const uint64_t base = whence == SEEK_CUR ? s->pos : whence == SEEK_END ? s->size : 0;
    const uint64_t to = base + offset;
    const bool wrapped = whence != SEEK_SET && (int64_t(offset) < 0 ? to > base : to < base);
    if (wrapped || to > uint64_t(std::numeric_limits<int64_t>::max())) return toff_t(-1);
    s->pos = to;
    return to;
}

int closeProc(thandle_t) { return 0; }
toff_t sizeProc(thandle_t h) { return static_cast<Stream*>(h)->size; }
int mapProc(thandle_t, void**, toff_t*) { return 0; }
void unmapProc(thandle_t, void*, toff_t) {}

struct OptionsFree {
    void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};
struct TiffClose {
    void operator()(TIFF* t) const { TIFFClose(t); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffClose>;

TiffHandle openTiff(Stream& stream, const char* mode, Report& report, uint64_t maxSingleAlloc) {
    const std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
    if (!options) throw std::bad_alloc();
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), tmsize_t(maxSingleAlloc));
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), onErrorR, &report);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), onWarningR, &report);
    return TiffHandle(TIFFClientOpenExt("TIFF", mode, &stream, readProc, writeProc, seekProc, closeProc, sizeProc,
                                        mapProc, unmapProc, options.get()));
}

uint64_t times(uint64_t a, uint64_t b) {
    uint64_t product;
    return __builtin_mul_overflow(a, b, &product) ? std::numeric_limits<uint64_t>::max() : product;
}

// The most bytes one compressed byte may decode to, by scheme, so that a
// size the data could not fill is refused before the picture is allocated.
// Deflate peaks near 1032; LZW reaches about 1360 on a flat picture, each
// code one byte longer than the last; a PackBits run is 128 bytes from 2.
// JPEG stays far below. 0: a scheme not read.
uint64_t maxExpansion(uint16_t compression) {
    switch (compression) {
    case COMPRESSION_NONE: return 1;
    case COMPRESSION_PACKBITS: return 64;
    case COMPRESSION_LZW: return 1400;
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
    case COMPRESSION_JPEG:
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTRLEW:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4:
    case COMPRESSION_LZMA:
    case COMPRESSION_ZSTD:
    case COMPRESSION_WEBP: return 1100;
    default: return 0;  // old-style JPEG among them: obsolete, and a long line of libtiff faults
    }
}

// How the first page is stored, as far as the decoding needs it.
struct Layout {
    uint32_t width = 0, height = 0;
    uint16_t bits = 0, samples = 0;
    uint16_t photometric = 0, compression = 0, orientation = 1;
    bool separate = false;        // one plane per sample
    int colours = 1;              // 1: gray or palette index; 3: RGB
    int alpha = -1;               // the alpha sample's index, -1 for none
    bool premultiplied = false;
    bool tiled = false;
    uint32_t tileWidth = 0, tileHeight = 0, across = 1;
    uint32_t bandRows = 0;        // a band: a strip, or a row of tiles
    uint64_t rowBytes = 0;        // one row of one plane, tiles padded on the right
    uint64_t tileRowBytes = 0;
    std::vector<uint32_t> palette;  // index -> pixel

    int planes() const { return separate ? samples : 1; }
    int samplesPerPlane() const { return separate ? 1 : samples; }
};

uint16_t field16(TIFF* tif, uint32_t tag) {
    uint16_t v = 0;
    TIFFGetFieldDefaulted(tif, tag, &v);
    return v;
}

uint64_t bytesFor(uint64_t pixels, const Layout& L) {
    return (times(pixels, uint64_t(L.samplesPerPlane()) * L.bits) + 7) / 8;
}

uint32_t narrow16(uint32_t v) { return (v * 255 + 32767) / 65535; }

void readPalette(TIFF* tif, Layout& L) {
    uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b)) refuse("a palette picture without a colour map");
    L.palette.resize(size_t(1) << L.bits);
    for (size_t i = 0; i < L.palette.size(); ++i) L.palette[i] = rgb(narrow16(r[i]), narrow16(g[i]), narrow16(b[i]));
}

// Reads the tags that say how the pixels are stored, refusing whatever is
// not read here, and sets the colour mode the decoding relies on.
Layout layoutOf(TIFF* tif) {
    Layout L;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &L.width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &L.height))
        refuse("no picture size");
    if (L.width == 0 || L.height == 0) refuse("the picture has no pixels");
    if (uint64_t(L.width) * L.height > kMaxPixels) refuse("the picture is too large");
    L.bits = field16(tif, TIFFTAG_BITSPERSAMPLE);
    L.samples = field16(tif, TIFFTAG_SAMPLESPERPIXEL);
    L.compression = field16(tif, TIFFTAG_COMPRESSION);
    L.orientation = field16(tif, TIFFTAG_ORIENTATION);
    if (L.orientation < 1 || L.orientation > 8) L.orientation = ORIENTATION_TOPLEFT;
    L.separate = field16(tif, TIFFTAG_PLANARCONFIG) == PLANARCONFIG_SEPARATE && L.samples > 1;
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &L.photometric)) refuse("no photometric interpretation");

    if (L.bits != 1 && L.bits != 8 && L.bits != 16) refuse(std::to_string(L.bits) + " bits per sample");
    if (L.samples < 1 || L.samples > 4) refuse(std::to_string(L.samples) + " samples per pixel");
    if (field16(tif, TIFFTAG_SAMPLEFORMAT) != SAMPLEFORMAT_UINT) refuse("samples that are not unsigned integers");
    if (maxExpansion(L.compression) == 0 || !TIFFIsCODECConfigured(L.compression))
        refuse("compression scheme " + std::to_string(L.compression));

    switch (L.photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE: break;
    case PHOTOMETRIC_PALETTE:
        if (L.samples != 1) refuse("a palette picture with more than one sample");
        readPalette(tif, L);
        break;
    case PHOTOMETRIC_YCBCR:
        // Only as JPEG stores it, which libjpeg turns into RGB.
        if (L.compression != COMPRESSION_JPEG || L.samples != 3 || L.separate) refuse("YCbCr other than in JPEG");
        if (!TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB)) refuse("YCbCr that libjpeg cannot convert");
        L.colours = 3;
        break;
    case PHOTOMETRIC_RGB: L.colours = 3; break;
    default: refuse("photometric interpretation " + std::to_string(L.photometric));
    }
    if (L.samples < L.colours) refuse("too few samples for the colours");
    if (L.bits == 1 && L.samples != 1) refuse("1-bit samples other than gray or palette");
    if (L.compression == COMPRESSION_JPEG && L.bits != 8) refuse("JPEG of other than 8 bits");

    uint16_t extras = 0;
    uint16_t* kinds = nullptr;
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extras, &kinds);
    if (L.samples > L.colours && extras > 0 && kinds &&
        (kinds[0] == EXTRASAMPLE_ASSOCALPHA || kinds[0] == EXTRASAMPLE_UNASSALPHA)) {
        L.alpha = L.colours;
        L.premultiplied = kinds[0] == EXTRASAMPLE_ASSOCALPHA;
    }

    L.rowBytes = bytesFor(L.width, L);
    L.tiled = TIFFIsTiled(tif);
    if (L.tiled) {
        if (!TIFFGetField(tif, TIFFTAG_TILEWIDTH, &L.tileWidth) || !TIFFGetField(tif, TIFFTAG_TILELENGTH, &L.tileHeight) ||
            L.tileWidth == 0 || L.tileHeight == 0)
            refuse("no tile size");
        // Tiles of bits must start on a byte to be laid side by side.
        if (L.bits == 1 && L.tileWidth % 8 != 0) refuse("1-bit tiles whose width is not a whole number of bytes");
        L.bandRows = std::min(L.tileHeight, L.height);
        L.tileRowBytes = bytesFor(L.tileWidth, L);
        L.across = uint32_t((uint64_t(L.width) + L.tileWidth - 1) / L.tileWidth);
        L.rowBytes = times(L.across, L.tileRowBytes);
        if (L.tileRowBytes != uint64_t(TIFFTileRowSize64(tif)) ||
            times(L.tileRowBytes, L.tileHeight) != uint64_t(TIFFTileSize64(tif)))
            refuse("tiles of an unexpected size");
    } else {
        uint32_t rows = 0;
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows);
        if (rows == 0) refuse("no rows per strip");
        L.bandRows = std::min(rows, L.height);
        if (L.rowBytes != uint64_t(TIFFScanlineSize64(tif))) refuse("rows of an unexpected size");
    }
    return L;
}

// Refuses a file whose strips or tiles could not hold the picture it claims:
// each must lie within the file, together they must not claim more bytes
// than it has, and decompressed they must fill the picture.
void checkData(TIFF* tif, const Layout& L, uint64_t fileSize) {
    const uint32_t count = L.tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    const uint64_t bands = (uint64_t(L.height) + L.bandRows - 1) / L.bandRows;
    if (count != bands * L.across * uint64_t(L.planes())) refuse("the strip or tile count does not match the picture");
    uint64_t total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        int err = 0;
        const uint64_t offset = TIFFGetStrileOffsetWithErr(tif, i, &err);
        const uint64_t bytes = TIFFGetStrileByteCountWithErr(tif, i, &err);
        if (err) refuse("unreadable strip or tile positions");
        if (offset > fileSize || bytes > fileSize - offset) refuse("a strip or tile lies past the end of the file");
        total += bytes;
        if (total > fileSize) refuse("the strips or tiles claim more bytes than the file has");
    }
    const uint64_t decoded = L.tiled ? times(count, times(L.tileRowBytes, L.tileHeight))
                                     : times(L.rowBytes * L.planes(), L.height);
    if (L.compression == COMPRESSION_NONE ? total < decoded : decoded / maxExpansion(L.compression) > total)
        refuse("the data is too short for a picture of " + std::to_string(L.width) + " x " +
               std::to_string(L.height));
}

// Where each stored pixel lands so that the picture stands as the
// orientation tag says it is shown: the index of stored (x, y) in the output
// is base + x * dx + y * dy. Orientations 5 to 8 turn it on its side.
struct Placement {
    int32_t width, height;
    ptrdiff_t base, dx, dy;
};

Placement placement(uint16_t orientation, uint32_t width, uint32_t height) {
    const ptrdiff_t W = width, H = height;
    switch (orientation) {
    case ORIENTATION_TOPRIGHT: return {int32_t(W), int32_t(H), W - 1, -1, W};
    case ORIENTATION_BOTRIGHT: return {int32_t(W), int32_t(H), W * H - 1, -1, -W};
    case ORIENTATION_BOTLEFT: return {int32_t(W), int32_t(H), (H - 1) * W, 1, -W};
    case ORIENTATION_LEFTTOP: return {int32_t(H), int32_t(W), 0, H, 1};
    case ORIENTATION_RIGHTTOP: return {int32_t(H), int32_t(W), H - 1, H, -1};
    case ORIENTATION_RIGHTBOT: return {int32_t(H), int32_t(W), W * H - 1, -H, -1};
    case ORIENTATION_LEFTBOT: return {int32_t(H), int32_t(W), (W - 1) * H, -H, 1};
    default: return {int32_t(W), int32_t(H), 0, 1, W};
    }
}

template <int Bits>
uint32_t sampleAt(const uint8_t* p, size_t k) {
    if constexpr (Bits == 1) return (p[k >> 3] >> (7 - (k & 7))) & 1u;
    else if constexpr (Bits == 8) return p[k];
    else {
        uint16_t v;
        std::memcpy(&v, p + 2 * k, 2);  // libtiff has put it in the machine's order
        return v;
    }
}

// One stored row of every plane to pixels. Samples are composed at their own
// depth (bilevel counts as 8 bits) and only then rounded to 8 bits.
template <int Bits>
void convertRow(const Layout& L, const uint8_t* const* planes, uint32_t* out) {
    constexpr uint32_t M = Bits == 16 ? 65535 : 255;
    const size_t stride = size_t(L.samplesPerPlane());
    auto sample = [&](uint32_t x, int s) -> uint32_t {
        const uint32_t v = L.separate ? sampleAt<Bits>(planes[s], x) : sampleAt<Bits>(planes[0], x * stride + size_t(s));
        return Bits == 1 ? v * 255 : v;
    };
    auto to8 = [](uint32_t v) { return Bits == 16 ? narrow16(v) : v; };
    if (!L.palette.empty()) {
        for (uint32_t x = 0; x < L.width; ++x) out[x] = L.palette[sampleAt<Bits>(planes[0], x)];
        return;
    }
    for (uint32_t x = 0; x < L.width; ++x) {
        uint32_t c[3];
        if (L.colours == 1) {
            const uint32_t g = L.photometric == PHOTOMETRIC_MINISWHITE ? M - sample(x, 0) : sample(x, 0);
            c[0] = c[1] = c[2] = g;
        } else {
            for (int i = 0; i < 3; ++i) c[i] = sample(x, i);
        }
        if (L.alpha >= 0) {
            const uint32_t a = sample(x, L.alpha);
            for (uint32_t& v : c)
                v = L.premultiplied ? std::min(M, v + (M - a))
                                    : uint32_t((uint64_t(v) * a + uint64_t(M) * (M - a) + M / 2) / M);
        }
        out[x] = rgb(to8(c[0]), to8(c[1]), to8(c[2]));
    }
}

void convert(const Layout& L, const uint8_t* const* planes, uint32_t* out) {
    switch (L.bits) {
    case 1: convertRow<1>(L, planes, out); break;
    case 8: convertRow<8>(L, planes, out); break;
    default: convertRow<16>(L, planes, out); break;
    }
}

// Decodes rows top .. top + rows - 1 of one plane into `band`, a row every L.rowBytes.
void readBand(TIFF* tif, const Layout& L, const Report& report, uint32_t top, uint32_t rows, uint16_t plane,
              uint8_t* band, uint8_t* tile, uint64_t tileBytes) {
    if (!L.tiled) {
        const tmsize_t want = tmsize_t(L.rowBytes * rows);
        if (TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, top, plane), band, want) != want || report.failed)
            refuse(report.why("a strip is damaged"));
        return;
    }
    for (uint64_t at = 0, x = 0; at < L.rowBytes; at += L.tileRowBytes, x += L.tileWidth) {
        const uint32_t index = TIFFComputeTile(tif, uint32_t(x), top, 0, plane);
        if (TIFFReadEncodedTile(tif, index, tile, tmsize_t(tileBytes)) != tmsize_t(tileBytes) || report.failed)
            refuse(report.why("a tile is damaged"));
        for (uint32_t r = 0; r < rows; ++r)
            std::memcpy(band + r * L.rowBytes + at, tile + r * L.tileRowBytes, size_t(L.tileRowBytes));
    }
}

Bitmap decodePicture(TIFF* tif, const Layout& L, const Report& report) {
    const uint64_t tileBytes = L.tiled ? L.tileRowBytes * L.tileHeight : 0;
    const uint64_t bandBytes = L.rowBytes * L.bandRows;
    const uint64_t pixels = uint64_t(L.width) * L.height;
    ensureMemoryFor(pixels * 4 + bandBytes * uint64_t(L.planes()) + tileBytes + uint64_t(L.width) * 4);

    const Placement to = placement(L.orientation, L.width, L.height);
    Bitmap out(to.width, to.height);
    prefault(out.data(), out.pixelCount() * sizeof(uint32_t));
    std::vector<std::unique_ptr<uint8_t[]>> bands;
    for (int p = 0; p < L.planes(); ++p) bands.push_back(std::make_unique_for_overwrite<uint8_t[]>(size_t(bandBytes)));
    const auto tile = std::make_unique_for_overwrite<uint8_t[]>(size_t(tileBytes));
    const auto turned = std::make_unique_for_overwrite<uint32_t[]>(L.width);
    const bool upright = L.orientation == ORIENTATION_TOPLEFT;

    const uint8_t* rowOf[4];
    for (uint32_t top = 0; top < L.height; top += L.bandRows) {
        const uint32_t rows = std::min(L.bandRows, L.height - top);
        for (int p = 0; p < L.planes(); ++p)
            readBand(tif, L, report, top, rows, uint16_t(p), bands[p].get(), tile.get(), tileBytes);
        for (uint32_t r = 0; r < rows; ++r) {
            for (int p = 0; p < L.planes(); ++p) rowOf[p] = bands[p].get() + r * L.rowBytes;
            const uint32_t y = top + r;
            if (upright) {
                convert(L, rowOf, out.row(int32_t(y)));
                continue;
            }
            convert(L, rowOf, turned.get());
            uint32_t* at = out.data() + to.base + ptrdiff_t(y) * to.dy;
            for (uint32_t x = 0; x < L.width; ++x, at += to.dx) *at = turned[x];
        }
    }
    return out;
}

// Only the first page is read, but a chain of pages that loops or leads out
// of the file is damage all the same. libtiff only warns of a loop.
void checkPageChain(const uint8_t* data, uint64_t size, bool bigEndian, bool bigTiff) {
    auto number = [&](uint64_t at, unsigned bytes) {
        uint64_t v = 0;
        for (unsigned i = 0; i < bytes; ++i) v |= uint64_t(data[at + i]) << 8 * (bigEndian ? bytes - 1 - i : i);
        return v;
    };
    const unsigned countBytes = bigTiff ? 8 : 2, entryBytes = bigTiff ? 20 : 12, linkBytes = bigTiff ? 8 : 4;
    constexpr size_t kMaxPages = 1 << 16;
    std::unordered_set<uint64_t> seen;
    for (uint64_t at = bigTiff ? number(8, 8) : number(4, 4); at != 0;) {
        if (at > size || size - at < countBytes) refuse("a page lies past the end of the file");
        if (!seen.insert(at).second) refuse("the chain of pages loops");
        if (seen.size() > kMaxPages) refuse("more than " + std::to_string(kMaxPages) + " pages");
        const uint64_t entries = number(at, countBytes);
        if (entries > size / entryBytes) refuse("a page lies past the end of the file");
        const uint64_t link = at + countBytes + entries * entryBytes;
        if (link > size || size - link < linkBytes) refuse("a page lies past the end of the file");
        at = number(link, linkBytes);
    }
}

} // namespace

Bitmap decodeTiff(const uint8_t* data, size_t size) {
    Report report;
    const Reporting reporting(report);
    if (size < 8) refuse("the file is too short");
    Stream stream{data, nullptr, size, 0};
    // libtiff's own buffers hold a strip's compressed bytes at most, which
    // are all in the file; the rest is bookkeeping.
    const TiffHandle tif = openTiff(stream, "rm", report, (64ull << 20) + 2 * uint64_t(size));
    if (!tif || report.failed) refuse(report.why("not a TIFF file"));
    checkPageChain(data, size, TIFFIsBigEndian(tif.get()), TIFFIsBigTIFF(tif.get()));
    const Layout layout = layoutOf(tif.get());
    if (report.failed) refuse(report.why("unreadable tags"));
    checkData(tif.get(), layout, size);
    return decodePicture(tif.get(), layout, report);
}

Bitmap readTiff(const std::string& path) {
    try {
        const RegularFile file(path);
        if (file.size() == 0) refuse("the file is empty");
        const size_t size = size_t(file.size());
        ensureMemoryFor(size);
        const std::unique_ptr<uint8_t[]> data(new uint8_t[size]);
        const size_t got = file.read(data.get(), size, 0);
        if (got < size)
            refuse(path + " ended after " + std::to_string(got) + " of its " + std::to_string(size) +
                   " bytes while it was read");
        return decodeTiff(data.get(), size);
    } catch (const FileReadError& e) {
        throw InvalidImage(e.what());
    }
}

namespace {

constexpr uint64_t kStripBytes = 256 << 10;

// The whole file in memory: libtiff seeks back to patch offsets as it writes.
std::vector<uint8_t> encodeTiff(const Bitmap& picture, const std::string& path) {
    Report report;
    const Reporting reporting(report);
    auto fail = [&](const char* what) { throw SaveError("cannot save " + path + " as TIFF: " + report.why(what)); };
    const uint32_t width = uint32_t(picture.width()), height = uint32_t(picture.height());
    const uint64_t rowBytes = uint64_t(width) * 3;
    // Classic TIFF addresses 4 GB; BigTIFF beyond, with room for Deflate's overhead.
    const bool big = rowBytes * height + rowBytes * height / 500 + (1 << 20) > 0xffffffffull;

    std::vector<uint8_t> bytes;
    Stream stream{nullptr, &bytes, 0, 0};
    TiffHandle tif = openTiff(stream, big ? "w8" : "w", report, 0);
    if (!tif) fail("libtiff cannot start the file");
    const uint32_t rowsPerStrip = uint32_t(std::clamp<uint64_t>(kStripBytes / rowBytes, 1, height));
    TIFF* t = tif.get();
    const bool tagged = TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width) && TIFFSetField(t, TIFFTAG_IMAGELENGTH, height) &&
                        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8) && TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3) &&
                        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) &&
                        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
                        TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
                        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE) &&
                        TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL) &&
                        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    if (!tagged || report.failed) fail("libtiff refused a tag");

    const auto strip = std::make_unique_for_overwrite<uint8_t[]>(size_t(rowBytes * rowsPerStrip));
    for (uint32_t top = 0, index = 0; top < height; top += rowsPerStrip, ++index) {
        const uint32_t rows = std::min(rowsPerStrip, height - top);
        uint8_t* to = strip.get();
        for (uint32_t y = top; y < top + rows; ++y)
            for (const uint32_t* p = picture.row(int32_t(y)), *end = p + width; p != end; ++p) {
                *to++ = uint8_t(redOf(*p));
                *to++ = uint8_t(greenOf(*p));
                *to++ = uint8_t(blueOf(*p));
            }
        if (TIFFWriteEncodedStrip(t, index, strip.get(), tmsize_t(rowBytes * rows)) < 0 || report.failed)
            fail("libtiff could not write a strip");
    }
    if (!TIFFWriteDirectory(t) || report.failed) fail("libtiff could not finish the file");
    tif.reset();  // may still write, and must be done before the bytes are handed on
    if (report.failed) fail("libtiff could not finish the file");
    return bytes;
}

} // namespace

void writeTiff(const Bitmap& picture, const std::string& path) {
    if (picture.empty()) throw SaveError("there is no picture to save to " + path);
    // Opened first, so that a folder that cannot take the file fails before the work.
    ReplacingFile file(path);
    std::vector<uint8_t> bytes;
    try {
        bytes = encodeTiff(picture, path);
    } catch (const std::bad_alloc&) {
        throw SaveError("not enough memory to save " + path, ENOMEM);
    }
    file.write(bytes.data(), bytes.size(), 0);
    file.commit(true);
}

} // namespace cw
