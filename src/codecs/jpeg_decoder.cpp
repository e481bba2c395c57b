#include "codecs/jpeg_decoder.h"

#include "core/image_error.h"
#include "core/regular_file.h"

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include <jpeglib.h>
#include <jerror.h>

namespace cw {
namespace {

// Bitmap words are 0xAARRGGBB; libjpeg writes bytes, so the order depends on
// the machine. libjpeg sets the padding byte of these spaces to 0xff.
constexpr J_COLOR_SPACE kBitmapSpace =
    std::endian::native == std::endian::little ? JCS_EXT_BGRA : JCS_EXT_ARGB;

constexpr JDIMENSION kRowsPerCall = 16;

// libjpeg only ever sees the jpeg_error_mgr, which must come first.
struct ErrorState {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool outOfMemory;
};

// Everything libjpeg may touch lives here, not in the frames a longjmp
// skips, so that no destructor is ever jumped over.
struct Decompressor {
    jpeg_decompress_struct cinfo{};
    ErrorState err{};
    jpeg_progress_mgr progress{};

    Decompressor();
    ~Decompressor() { jpeg_destroy_decompress(&cinfo); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
};

[[noreturn]] void jumpOut(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorState*>(cinfo->err)->jump, 1);
}

[[noreturn]] void onError(j_common_ptr cinfo) {
    auto* state = reinterpret_cast<ErrorState*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, state->message);
    state->outOfMemory = cinfo->err->msg_code == JERR_OUT_OF_MEMORY;
    jumpOut(cinfo);
}

// A warning means damaged data that libjpeg would paper over with grey.
void onMessage(j_common_ptr cinfo, int level) {
    if (level < 0) onError(cinfo);
}

void onProgress(j_common_ptr cinfo) {
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans) {
        std::snprintf(reinterpret_cast<ErrorState*>(cinfo->err)->message, JMSG_LENGTH_MAX,
                      "Progressive JPEG has more than %d scans", kMaxJpegScans);
        jumpOut(cinfo);
    }
}

Decompressor::Decompressor() {
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = onError;
    err.mgr.emit_message = onMessage;
    progress.progress_monitor = onProgress;
}

// Adobe files store CMYK inverted, so c, m, y, k here are "amount of white";
// the rounding is djpeg's, done in integers: floor(c * k / 255 + 1/2).
void cmykToRgbInPlace(unsigned char* row, JDIMENSION width) {
    auto* out = reinterpret_cast<uint32_t*>(row);
    for (JDIMENSION x = 0; x < width; ++x) {
        const unsigned char* p = row + size_t(x) * 4;
        const uint32_t c = p[0], m = p[1], y = p[2], k = p[3];
        out[x] = rgb((2 * c * k + 255) / 510, (2 * m * k + 255) / 510, (2 * y * k + 255) / 510);
    }
}

// The two functions below call into libjpeg behind a setjmp. Their locals are
// all trivial and none is read after a jump; the listener runs between
// libjpeg calls, so a jump never crosses its frames.

bool readHeader(Decompressor& d, std::FILE* file) {
    if (setjmp(d.err.jump)) return false;
    jpeg_create_decompress(&d.cinfo);
    d.cinfo.progress = &d.progress;
    jpeg_stdio_src(&d.cinfo, file);
    jpeg_read_header(&d.cinfo, TRUE);
    return true;
}

bool decodeInto(Decompressor& d, uint32_t* pixels, JDIMENSION width, JDIMENSION height,
                JpegRowListener* listener) {
    if (setjmp(d.err.jump)) return false;
    j_decompress_ptr cinfo = &d.cinfo;
    jpeg_start_decompress(cinfo);
    if (cinfo->output_width != width || cinfo->output_height != height ||
        cinfo->output_components != 4) {
        std::snprintf(d.err.message, JMSG_LENGTH_MAX, "Unexpected JPEG output layout");
        return false;
    }
    const bool cmyk = cinfo->out_color_space == JCS_CMYK;
    JSAMPROW rows[kRowsPerCall];
    while (cinfo->output_scanline < height) {
        const JDIMENSION top = cinfo->output_scanline;
        const JDIMENSION wanted = std::min(kRowsPerCall, height - top);
        for (JDIMENSION i = 0; i < wanted; ++i)
            rows[i] = reinterpret_cast<JSAMPROW>(pixels + size_t(top + i) * width);
        const JDIMENSION got = jpeg_read_scanlines(cinfo, rows, wanted);
        if (got == 0) {
            std::snprintf(d.err.message, JMSG_LENGTH_MAX, "JPEG decoder made no progress");
            return false;
        }
        if (cmyk)
            for (JDIMENSION i = 0; i < got; ++i) cmykToRgbInPlace(rows[i], width);
        if (listener) listener->rowsDecoded(int32_t(top + got));
    }
    // Reads on to the end marker, so that a file cut after its last row still fails.
    jpeg_finish_decompress(cinfo);
    return true;
}

// Progressive and non-interleaved files keep every DCT coefficient until the
// last scan: 64 shorts per block, blocks padded to whole MCUs.
unsigned long long coefficientBytes(const jpeg_decompress_struct& cinfo) {
    if (!cinfo.progressive_mode && cinfo.comps_in_scan >= cinfo.num_components) return 0;
    unsigned long long total = 0;
    for (int i = 0; i < cinfo.num_components; ++i) {
        const jpeg_component_info& c = cinfo.comp_info[i];
        const unsigned long long w = (c.width_in_blocks + c.h_samp_factor - 1) / c.h_samp_factor;
        const unsigned long long h = (c.height_in_blocks + c.v_samp_factor - 1) / c.v_samp_factor;
        total += w * c.h_samp_factor * h * c.v_samp_factor * DCTSIZE2 * sizeof(JCOEF);
    }
    return total;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// A pipe or device could stall the open or feed the marker reader for ever.
std::FILE* openRegular(const std::string& path) {
    int fd = -1;
    try {
        fd = RegularFile(path).release();
    } catch (const FileReadError& e) {
        throw InvalidImage(e.what());
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (!file) {
        const int err = errno;
        ::close(fd);
        throw InvalidImage(path + ": " + std::strerror(err));
    }
    return file;
}

[[noreturn]] void fail(const ErrorState& err) {
    if (err.outOfMemory) throw std::bad_alloc();
    throw InvalidImage(err.message);
}

} // namespace

Bitmap decodeJpegFile(const std::string& path, JpegRowListener* listener) {
    std::unique_ptr<std::FILE, FileCloser> file(openRegular(path));

    Decompressor d;
    if (!readHeader(d, file.get())) fail(d.err);

    jpeg_decompress_struct& cinfo = d.cinfo;
    const unsigned long long width = cinfo.image_width, height = cinfo.image_height;
    if (width == 0 || height == 0) throw InvalidImage("JPEG image has no pixels");
    if (width * height > kMaxPixels) throw InvalidImage("JPEG image is too large");

    const bool inkColours = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = inkColours ? JCS_CMYK : kBitmapSpace;
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.do_fancy_upsampling = TRUE;
    cinfo.dither_mode = JDITHER_NONE;
    cinfo.quantize_colors = FALSE;
    cinfo.two_pass_quantize = FALSE;
    cinfo.buffered_image = FALSE;
    // do_block_smoothing stays on, as in djpeg: it only changes progressive
    // files that end before their AC scans, which it shows smoothed, not tiled.

    ensureMemoryFor(width * height * 4 + coefficientBytes(cinfo));
    Bitmap bitmap{int32_t(width), int32_t(height)};
    if (listener) listener->started(bitmap.data(), bitmap.width(), bitmap.height());
    if (!decodeInto(d, bitmap.data(), JDIMENSION(width), JDIMENSION(height), listener)) {
        if (listener) listener->abandoned();
        fail(d.err);
    }
    return bitmap;
}

} // namespace cw
