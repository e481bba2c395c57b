#include "codecs/png_codec.h"

#include "codecs/replacing_file.h"
#include "core/image_error.h"
#include "core/regular_file.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <new>

#include <png.h>

namespace cw {
namespace {

// A deflate stream expands its input at most about 1032 times, so rows that
// need more than this many times the file's size cannot all be in it.
constexpr uint64_t kMaxExpansion = 1100;
// The most libpng may allocate for one chunk other than IDAT. The chunks
// this reader keeps (PLTE, tRNS) need far less, and the others are passed
// over without being stored or inflated, whatever their length.
constexpr png_alloc_size_t kMaxChunkBytes = 8'000'000;
// IDAT chunks this long keep the writes to the file few.
constexpr size_t kIdatBytes = size_t(1) << 16;

// What libpng reported, for the code behind its longjmp.
struct Failure {
    char message[200];
    bool outOfMemory;
};

// libpng's error handler must not return: libpng would print the message
// itself. This one notes it and jumps back to the setjmp.
[[noreturn]] void noteError(png_structp png, png_const_charp message) {
    std::snprintf(static_cast<Failure*>(png_get_error_ptr(png))->message, sizeof Failure::message, "PNG: %s", message);
    png_longjmp(png, 1);
}
void ignoreWarning(png_structp, png_const_charp) {}

// Every allocation of libpng and of its zlib passes here, so that a failure
// for want of memory is told apart from a damaged file.
png_voidp allocate(png_structp png, png_alloc_size_t bytes) {
    void* p = std::malloc(bytes);
    if (!p) static_cast<Failure*>(png_get_mem_ptr(png))->outOfMemory = true;
    return p;
}
void release(png_structp, png_voidp p) { std::free(p); }

class MemoryInput final : public PngInput {
public:
    MemoryInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    void read(uint8_t* to, size_t n) override {
        if (n > size_ - at_) throw InvalidImage("PNG: the file ends early");
        std::memcpy(to, data_ + at_, n);
        at_ += n;
    }

private:
    const uint8_t* data_;
    size_t size_, at_ = 0;
};

struct Source {
    PngInput& input;
    std::exception_ptr error;
};

void readSource(png_structp png, png_bytep to, size_t n) {
    auto* s = static_cast<Source*>(png_get_io_ptr(png));
    try {
        s->input.read(to, n);
        return;
    } catch (...) {
        s->error = std::current_exception();
    }
    // Out of the handler first: a longjmp must not leave an exception half caught.
    png_error(png, "the file could not be read");
}

// Everything libpng touches lives here, not in the frames a longjmp skips,
// so that no destructor is ever jumped over.
struct Decoder {
    Failure failure{};
    Source source;
    png_structp png = nullptr;
    png_infop info = nullptr;

    explicit Decoder(PngInput& input);
    ~Decoder() { png_destroy_read_struct(&png, &info, nullptr); }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
};

Decoder::Decoder(PngInput& input) : source{input, nullptr} {
    png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &failure, noteError, ignoreWarning, &failure, allocate,
                                   release);
    if (png) info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        throw std::bad_alloc();
    }
}

// What the input threw comes first: libpng's message only says that it stopped.
[[noreturn]] void fail(const Decoder& d) {
    if (d.source.error) std::rethrow_exception(d.source.error);
    if (d.failure.outOfMemory) throw std::bad_alloc();
    throw InvalidImage(d.failure.message);
}

constexpr uint32_t to8(uint32_t v) { return (v * 255 + 32767) / 65535; }

// c * a + top * (top - a) is at most top * top, within 32 bits for 16-bit samples.
template <uint32_t Top>
constexpr uint32_t overWhite(uint32_t c, uint32_t a) {
    return (c * a + Top * (Top - a) + Top / 2) / Top;
}

// The rows as libpng hands them over: depths below 8 widened to a byte per
// sample (or per palette index), tRNS turned into alpha except in palettes.
struct Layout {
    png_uint_32 width, height;
    int channels;  // 2 and 4 end in alpha
    bool wide;     // 16-bit samples, big-endian
    bool interlaced, palette;
    size_t rowBytes;
    uint32_t colours[256];  // each palette entry over white; black past the palette
};

Layout layoutOf(const Decoder& d) {
    Layout L{};
    int depth = 0, type = 0, interlace = 0;
    png_get_IHDR(d.png, d.info, &L.width, &L.height, &depth, &type, &interlace, nullptr, nullptr);
    const bool alpha = (type & PNG_COLOR_MASK_ALPHA) || png_get_valid(d.png, d.info, PNG_INFO_tRNS);
    L.palette = type == PNG_COLOR_TYPE_PALETTE;
    L.channels = L.palette ? 1 : ((type & PNG_COLOR_MASK_COLOR) ? 3 : 1) + (alpha ? 1 : 0);
    L.wide = depth == 16;
    L.interlaced = interlace != PNG_INTERLACE_NONE;
    L.rowBytes = size_t(L.width) * size_t(L.channels) * (L.wide ? 2 : 1);
    png_colorp entries = nullptr;
    png_bytep alphas = nullptr;
    int count = 0, transparent = 0;
    if (L.palette) png_get_PLTE(d.png, d.info, &entries, &count);
    if (L.palette) png_get_tRNS(d.png, d.info, &alphas, &transparent, nullptr);
    for (int i = 0; i < 256; ++i) {
        const png_color c = i < count ? entries[i] : png_color{0, 0, 0};
        const uint32_t a = i < transparent ? alphas[i] : 255;
        L.colours[i] = rgb(overWhite<255>(c.red, a), overWhite<255>(c.green, a), overWhite<255>(c.blue, a));
    }
    return L;
}

template <int Channels, bool Wide>
void convertRow(const uint8_t* in, uint32_t* out, size_t width) {
    constexpr bool kAlpha = Channels % 2 == 0;
    constexpr int kColours = kAlpha ? Channels - 1 : Channels;
    for (size_t x = 0; x < width; ++x) {
        uint32_t s[Channels];
        for (int k = 0; k < Channels; ++k, in += Wide ? 2 : 1) s[k] = Wide ? uint32_t(in[0]) << 8 | in[1] : in[0];
        uint32_t c[3];
        for (int k = 0; k < kColours; ++k) {
            // Composed at the file's own depth, and only then brought to 8 bits.
            if constexpr (kAlpha) s[k] = overWhite<Wide ? 65535 : 255>(s[k], s[Channels - 1]);
            c[k] = Wide ? to8(s[k]) : s[k];
        }
        if constexpr (kColours == 1) c[1] = c[2] = c[0];
        out[x] = rgb(c[0], c[1], c[2]);
    }
}

using RowConverter = void (*)(const uint8_t*, uint32_t*, size_t);
constexpr RowConverter kConverters[2][4] = {
    {convertRow<1, false>, convertRow<2, false>, convertRow<3, false>, convertRow<4, false>},
    {convertRow<1, true>, convertRow<2, true>, convertRow<3, true>, convertRow<4, true>},
};

void convert(const Layout& L, const uint8_t* in, uint32_t* out) {
    if (!L.palette) return kConverters[L.wide][L.channels - 1](in, out, L.width);
    for (png_uint_32 x = 0; x < L.width; ++x) out[x] = L.colours[in[x]];
}

// The functions below call libpng behind a setjmp. Their locals are all
// trivial and none is read after a jump.

bool readHeader(Decoder& d) {
    if (setjmp(png_jmpbuf(d.png))) return false;
    png_set_read_fn(d.png, &d.source, readSource);
    // libpng's own limit of a million is too low; the pixel count is checked here.
    png_set_user_limits(d.png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    png_set_chunk_malloc_max(d.png, kMaxChunkBytes);
    // Only IHDR, PLTE, tRNS and IDAT decide the pixels: libpng passes over
    // every other chunk, known or not, without storing or decompressing it.
    png_set_keep_unknown_chunks(d.png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_set_check_for_invalid_index(d.png, 1);
    png_read_info(d.png, d.info);
    return true;
}

// `rows` holds one row, or all of them for an interlaced file, whose passes
// each add pixels to rows the earlier ones began.
bool decodeRows(Decoder& d, const Layout& L, Bitmap& out, uint8_t* rows) {
    if (setjmp(png_jmpbuf(d.png))) return false;
    // Palettes are looked up here: libpng's check of the indices only sees
    // rows it has not expanded.
    if (L.palette)
        png_set_packing(d.png);
    else
        png_set_expand(d.png);
    const int passes = L.interlaced ? png_set_interlace_handling(d.png) : 1;
    png_read_update_info(d.png, d.info);
    if (png_get_rowbytes(d.png, d.info) != L.rowBytes || png_get_channels(d.png, d.info) != L.channels ||
        png_get_bit_depth(d.png, d.info) != (L.wide ? 16 : 8)) {
        std::snprintf(d.failure.message, sizeof d.failure.message, "PNG: unexpected row layout");
        return false;
    }
    const size_t step = L.interlaced ? L.rowBytes : 0;
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < L.height; ++y) {
            png_read_row(d.png, rows + y * step, nullptr);
            if (!L.interlaced) convert(L, rows, out.row(int32_t(y)));
        }
    if (L.interlaced)
        for (png_uint_32 y = 0; y < L.height; ++y) convert(L, rows + y * step, out.row(int32_t(y)));
    // libpng only warns of an index past the palette; such a file is damaged.
    png_colorp entries = nullptr;
    int count = 0;
    if (L.palette && png_get_PLTE(d.png, d.info, &entries, &count) && png_get_palette_max(d.png, d.info) >= count) {
        std::snprintf(d.failure.message, sizeof d.failure.message, "PNG: a pixel's index is past the palette");
        return false;
    }
    // On to IEND, so that a file cut after its last row still fails.
    png_read_end(d.png, nullptr);
    return true;
}

// The samples themselves: no expansion, and no alpha made of a tRNS chunk.
bool decodeGrayRows(Decoder& d, const Layout& L, uint8_t* out) {
    if (setjmp(png_jmpbuf(d.png))) return false;
    const int passes = L.interlaced ? png_set_interlace_handling(d.png) : 1;
    png_read_update_info(d.png, d.info);
    if (png_get_rowbytes(d.png, d.info) != L.width) {
        std::snprintf(d.failure.message, sizeof d.failure.message, "PNG: unexpected row layout");
        return false;
    }
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < L.height; ++y) png_read_row(d.png, out + size_t(y) * L.width, nullptr);
    png_read_end(d.png, nullptr);
    return true;
}

// Every size is checked here, before libpng or a caller allocates a row.
Layout start(Decoder& d, uint64_t size, int32_t width, int32_t height) {
    if (!readHeader(d)) fail(d);
    const Layout L = layoutOf(d);
    const uint64_t pixels = uint64_t(L.width) * L.height;
    if (pixels == 0) throw InvalidImage("PNG image has no pixels");
    if (pixels > kMaxPixels) throw InvalidImage("PNG image is too large");
    if (width > 0 && (L.width != png_uint_32(width) || L.height != png_uint_32(height)))
        throw InvalidImage("PNG image is " + std::to_string(L.width) + " x " + std::to_string(L.height) + ", not " +
                           std::to_string(width) + " x " + std::to_string(height));
    const uint64_t packed = uint64_t(L.height) * (1 + uint64_t(png_get_rowbytes(d.png, d.info)));
    if (packed > kMaxExpansion * size)
        throw InvalidImage("PNG image claims " + std::to_string(packed) + " bytes of rows, more than its " +
                           std::to_string(size) + " bytes can hold");
    return L;
}

// Either a file being replaced or bytes in memory.
struct Sink {
    ReplacingFile* file;
    std::string* bytes;
    uint64_t written;
    std::exception_ptr error;
};

void writeSink(png_structp png, png_bytep data, size_t n) {
    auto* s = static_cast<Sink*>(png_get_io_ptr(png));
    try {
        if (s->file)
            s->file->write(data, n, s->written);
        else
            s->bytes->append(reinterpret_cast<const char*>(data), n);
        s->written += n;
        return;
    } catch (...) {
        s->error = std::current_exception();
    }
    // Out of the handler first: a longjmp must not leave an exception half caught.
    png_error(png, "the file could not be written");
}

// libpng's own flush would take the sink for a FILE.
void flushNothing(png_structp) {}

struct Encoder {
    Failure failure{};
    Sink sink;
    png_structp png = nullptr;
    png_infop info = nullptr;

    Encoder(ReplacingFile* file, std::string* bytes);
    ~Encoder() { png_destroy_write_struct(&png, &info); }
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
};

Encoder::Encoder(ReplacingFile* file, std::string* bytes) : sink{file, bytes, 0, nullptr} {
    png = png_create_write_struct_2(PNG_LIBPNG_VER_STRING, &failure, noteError, ignoreWarning, &failure, allocate,
                                    release);
    if (png) info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        if (!file) throw std::bad_alloc();
        throw SaveError("not enough memory to save " + file->path());
    }
}

// The rows to write (RGB pixels or gray samples) and how to compress them.
struct Rows {
    int32_t width, height;
    const uint32_t* pixels;
    const uint8_t* gray;
    int level, filters;
};

bool encode(Encoder& e, const Rows& r, uint8_t* row) {
    if (setjmp(png_jmpbuf(e.png))) return false;
    png_set_write_fn(e.png, &e.sink, writeSink, flushNothing);
    png_set_user_limits(e.png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    png_set_compression_level(e.png, r.level);
    png_set_compression_buffer_size(e.png, kIdatBytes);
    png_set_filter(e.png, PNG_FILTER_TYPE_BASE, r.filters);
    png_set_IHDR(e.png, e.info, png_uint_32(r.width), png_uint_32(r.height), 8,
                 r.gray ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE,
                 PNG_FILTER_TYPE_BASE);
    png_write_info(e.png, e.info);
    for (int32_t y = 0; y < r.height; ++y) {
        if (r.gray) {
            png_write_row(e.png, r.gray + size_t(y) * size_t(r.width));
            continue;
        }
        const uint32_t* from = r.pixels + size_t(y) * size_t(r.width);
        for (int32_t x = 0; x < r.width; ++x) {
            row[3 * x] = uint8_t(redOf(from[x]));
            row[3 * x + 1] = uint8_t(greenOf(from[x]));
            row[3 * x + 2] = uint8_t(blueOf(from[x]));
        }
        png_write_row(e.png, row);
    }
    png_write_end(e.png, nullptr);
    return true;
}

std::string encodeInMemory(const Rows& r) {
    std::string bytes;
    bytes.reserve(size_t(r.width) * size_t(r.height) * (r.gray ? 1 : 3) / 2 + 1024);
    Encoder e(nullptr, &bytes);
    const std::unique_ptr<uint8_t[]> row(r.gray ? nullptr : new uint8_t[size_t(r.width) * 3]);
    if (!encode(e, r, row.get())) {
        if (e.sink.error) std::rethrow_exception(e.sink.error);
        if (e.failure.outOfMemory) throw std::bad_alloc();
        throw SaveError(e.failure.message);
    }
    return bytes;
}

} // namespace

Bitmap decodePng(const uint8_t* data, size_t size) {
    MemoryInput input(data, size);
    return decodePng(input, size);
}

Bitmap decodePng(PngInput& input, uint64_t size, int32_t width, int32_t height) {
    Decoder d(input);
    const Layout L = start(d, size, width, height);
    const uint64_t pixels = uint64_t(L.width) * L.height;
    // The picture, the rows handed over, and libpng's own current and previous row.
    const uint64_t rowBuffer = L.interlaced ? uint64_t(L.height) * L.rowBytes : L.rowBytes;
    ensureMemoryFor(pixels * 4 + rowBuffer + 2 * uint64_t(L.rowBytes));
    Bitmap out(int32_t(L.width), int32_t(L.height));
    const std::unique_ptr<uint8_t[]> rows(new uint8_t[rowBuffer]);
    if (!decodeRows(d, L, out, rows.get())) fail(d);
    return out;
}

std::vector<uint8_t> decodeGray8Png(PngInput& input, uint64_t size, int32_t width, int32_t height) {
    Decoder d(input);
    const Layout L = start(d, size, width, height);
    if (png_get_color_type(d.png, d.info) != PNG_COLOR_TYPE_GRAY || png_get_bit_depth(d.png, d.info) != 8)
        throw InvalidImage("PNG: not an 8-bit gray picture");
    // The samples, and libpng's own current and previous row.
    const uint64_t pixels = uint64_t(L.width) * L.height;
    ensureMemoryFor(pixels + 2 * uint64_t(L.width));
    std::vector<uint8_t> out(pixels);
    if (!decodeGrayRows(d, L, out.data())) fail(d);
    return out;
}

std::string encodePng(int32_t width, int32_t height, const uint32_t* pixels, int level) {
    return encodeInMemory({width, height, pixels, nullptr, level, PNG_FILTER_NONE});
}

std::string encodePng(int32_t width, int32_t height, const uint8_t* gray, int level) {
    return encodeInMemory({width, height, nullptr, gray, level, PNG_FILTER_NONE});
}

Bitmap readPng(const std::string& path) {
    std::unique_ptr<uint8_t[]> data;
    size_t size = 0;
    try {
        const RegularFile file(path);
        // Read, not mapped: a file another program cuts short while it is
        // mapped kills the reader (SIGBUS); a short read is just a damaged file.
        size = size_t(file.size());
        ensureMemoryFor(size);
        data.reset(new uint8_t[size]);
        const size_t got = file.read(data.get(), size, 0);
        if (got < size)
            throw InvalidImage(path + " ended after " + std::to_string(got) + " of its " + std::to_string(size) +
                               " bytes while it was read");
    } catch (const FileReadError& e) {
        throw InvalidImage(e.what());
    }
    return decodePng(data.get(), size);
}

void writePng(const Bitmap& picture, const std::string& path) {
    if (picture.empty()) throw SaveError("there is no picture to save to " + path);
    ReplacingFile file(path);
    Encoder e(&file, nullptr);
    const std::unique_ptr<uint8_t[]> row(new (std::nothrow) uint8_t[size_t(picture.width()) * 3]);
    if (!row) throw SaveError("not enough memory to save " + path);
    // Paeth and Average cost more time than they save bytes on most pictures.
    const Rows rows{picture.width(), picture.height(), picture.data(), nullptr, 6, PNG_FAST_FILTERS};
    if (!encode(e, rows, row.get())) {
        if (e.sink.error) std::rethrow_exception(e.sink.error);
        if (e.failure.outOfMemory) throw SaveError("not enough memory to save " + path);
        throw SaveError(std::string(e.failure.message) + " (" + path + ")");
    }
    file.commit(true);
}

} // namespace cw
