// The BMP codecs and the JPEG decoder against other tools' pictures: raw RGB of each BMP, djpeg's of each JPEG.
#include <gtest/gtest.h>

#include <csignal>
#include <jpeglib.h>
#include <new>
#include <sys/resource.h>

#include "codecs/bmp_reader.h"
#include "codecs/bmp_writer.h"
#include "codecs/jpeg_decoder.h"
#include "core/image_error.h"
#include "test_support.h"

namespace fs = std::filesystem;
using namespace cw;
using namespace cwtest;
using Bytes = std::vector<uint8_t>;

namespace {

void put32(Bytes& v, size_t at, uint32_t x) { for (int i = 0; i < 4; ++i) v.at(at + size_t(i)) = uint8_t(x >> (8 * i)); }

// Takes an exact-size heap copy, so that the sanitizer build catches a read past the end.
Bitmap decode(Bytes exact) { return decodeBmp(exact.data(), exact.size()); }

// A BITMAPINFOHEADER file of w x h with `extra` bytes (table and pixels) after it.
Bytes header(uint32_t w, int32_t h, int bpp, int compression, size_t extra, uint32_t offBits, uint32_t used = 0) {
    Bytes b(54 + extra, 0);
    b[0] = 'B', b[1] = 'M', b[26] = 1, b[28] = uint8_t(bpp), b[30] = uint8_t(compression);
    put32(b, 10, offBits), put32(b, 14, 40), put32(b, 18, w), put32(b, 22, uint32_t(h)), put32(b, 46, used);
    return b;
}

std::vector<std::vector<uint32_t>> rowsOf(const Bitmap& bm) {
    std::vector<std::vector<uint32_t>> rows;
    for (int32_t y = 0; y < bm.height(); ++y) rows.emplace_back(bm.row(y), bm.row(y) + bm.width());
    return rows;
}

const std::pair<const char*, const char*> kVariants[] = {
    {"rgb24", ""}, {"rgb24-topdown", ""}, {"rgb32-bgrx", ""}, {"rgb32-bitfields-rgbx", ""}, {"rgba32-v5-bitfields", ""},
    {"v4-24", ""}, {"v5-24", ""}, {"os2-v1", ""}, {"pal8", "-pal8"}, {"pal8-rle8", "-pal8"},
    {"pal8-rle8-absolute", "-pal8"}, {"os2-v1-pal8", "-pal8"}, {"pal4", "-pal4"}, {"pal4-rle4", "-pal4"},
    {"pal1", "-pal1"}, {"rgb16-555", "-rgb555"}, {"rgb16-555-bitfields", "-rgb555"}, {"rgb16-565-bitfields", "-rgb565"},
};
void spit(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::vector<std::string> filesIn(const fs::path& dir, const std::string& suffix = "") {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().string().ends_with(suffix)) out.push_back(e.path().string());
    return std::sort(out.begin(), out.end()), out;
}

Bitmap pattern(int32_t w, int32_t h) {
    Bitmap bm(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) bm.at(x, y) = rgb((x * 7 + 1) & 0xff, (y * 50 + 2) & 0xff, (x * y + 3) & 0xff);
    return bm;
}

// Decodes bytes through a file, as the program only decodes files.
Bitmap decodeBytes(const Bytes& data, JpegRowListener* listener = nullptr) {
    TempDir tmp;
    std::ofstream(tmp / "x.jpg", std::ios::binary).write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    return decodeJpegFile(tmp / "x.jpg", listener);
}

bool grayAndVaried(const Bitmap& b) {
    const uint32_t *begin = b.data(), *end = begin + b.pixelCount();
    return std::all_of(begin, end, [](uint32_t c) { return redOf(c) == greenOf(c) && greenOf(c) == blueOf(c) && c >> 24 == 0xff; })
        && std::any_of(begin, end, [&](uint32_t c) { return c != *begin; });
}

// A 64 x 48 gray progressive JPEG of `scans` scans (at most 127): DC, each AC term at half precision, refinements.
Bytes progressiveGray(int scans) {
    std::vector<jpeg_scan_info> script{{1, {0}, 0, 0, 0, 0}};
    for (int k = 1; k <= 126 && int(script.size()) < scans; ++k) script.push_back({1, {0}, (k - 1) % 63 + 1, (k - 1) % 63 + 1, k > 63, k <= 63});
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = 64, c.image_height = 48, c.input_components = 1, c.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    c.scan_info = script.data(), c.num_scans = int(script.size());
    jpeg_start_compress(&c, TRUE);
    JSAMPLE row[64];
    for (JSAMPROW rows[1] = {row}; c.next_scanline < c.image_height; jpeg_write_scanlines(&c, rows, 1))
        for (unsigned x = 0, y = c.next_scanline; x < 64; ++x) row[x] = JSAMPLE((x * 37 + y * y * 5 + ((x ^ y) & 12) * 9) & 0xff);
    jpeg_finish_compress(&c);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    jpeg_destroy_compress(&c);
    return out;
}

// What a row listener is told, and each row as it was when reported.
struct RecordingListener final : JpegRowListener {
    uint32_t* pixels = nullptr;
    int32_t width = 0, height = 0, reported = 0, startedCalls = 0, abandonedCalls = 0, rowCalls = 0;
    bool onlyGrew = true;
    std::vector<uint32_t> seen;
    void started(uint32_t* p, int32_t w, int32_t h) noexcept override { pixels = p, width = w, height = h, ++startedCalls, seen.assign(size_t(w) * h, 0); }
    void rowsDecoded(int32_t rows) noexcept override {
        ++rowCalls, onlyGrew &= rows > reported && rows <= height;
        if (rows > reported && rows <= height)
            std::copy(pixels + size_t(reported) * width, pixels + size_t(rows) * width, seen.begin() + size_t(reported) * width), reported = rows;
    }
    void abandoned() noexcept override { ++abandonedCalls; }
};

size_t openDescriptors() { return size_t(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator())); }

} // namespace

TEST(BmpReader, VariantsDecodeToTheirExpectedPixelsAndTheirPrefixesAreRefused) {
    for (const auto& [file, expected] : kVariants) {
        const Bytes raw = fileBytes(testdata("bmp/expected-37x23") + expected + ".rgb"), whole = fileBytes(testdata("bmp/") + file + ".bmp");
        Bitmap want(37, 23);
        for (size_t i = 0; i < want.pixelCount(); ++i) want.data()[i] = rgb(raw.at(3 * i), raw.at(3 * i + 1), raw.at(3 * i + 2));
        EXPECT_TRUE(samePixels(readBmp(testdata("bmp/") + file + ".bmp"), want)) << file;
        for (size_t n = 0; n < whole.size(); ++n)
            EXPECT_THROW(decode(Bytes(whole.begin(), whole.begin() + n)), InvalidImage) << file << " cut to " << n;
    }
}

TEST(BmpReader, DamagedMissingAndEditedFilesAreRefused) {
    std::vector<std::string> paths = {testdata("bmp/no-such-file.bmp"), testdata("bmp")};
    for (const std::string& p : filesIn(testdata("bad"), ".bmp")) paths.push_back(p);
    ASSERT_GE(paths.size(), 14u);
    for (const std::string& p : paths) {
        try {
            ADD_FAILURE() << p << " was accepted as " << readBmp(p).width();
        } catch (const InvalidImage& e) {
            EXPECT_STRNE(e.what(), "") << p;
        } catch (const std::bad_alloc&) {}  // a claim beyond memory
    }
    // Edits of a good file that each break one rule: {offset, value, bytes}.
    const Bytes rgb24 = fileBytes(testdata("bmp/rgb24.bmp")), rle = fileBytes(testdata("bmp/pal8-rle8.bmp"));
    const struct { const Bytes* base; size_t at; uint32_t value; int bytes; } edits[] = {
        {&rgb24, 22, 0, 4}, {&rgb24, 14, 20, 4}, {&rgb24, 28, 2, 2}, {&rgb24, 28, 64, 2}, {&rgb24, 30, 4, 4},
        {&rgb24, 30, 1, 4}, {&rgb24, 30, 3, 4}, {&rgb24, 10, 20, 4}, {&rle, 22, uint32_t(-23), 4}, {&rle, 30, 2, 4},
        {&rgb24, 18, 100000, 4},  // with the next: within int32 each, too many pixels together
    };
    for (const auto& e : edits) {
        Bytes b = *e.base;
        for (int i = 0; i < e.bytes; ++i) b[e.at + i] = uint8_t(e.value >> (8 * i));
        if (e.value == 100000) put32(b, 22, 30000);
        EXPECT_THROW(decode(b), InvalidImage) << e.at << "=" << e.value;
    }
}

// Hand-made W x 2 RLE8 pictures with a 3-entry table: 0 black, 1 red, 2 green.
TEST(BmpReader, RleStreams) {
    const uint32_t K = rgb(0, 0, 0), R = rgb(255, 0, 0), G = rgb(0, 255, 0);
    auto rle8 = [](const Bytes& stream, uint32_t width) {
        Bytes b = header(width, 2, 8, 1, 12 + stream.size(), 66, 3);
        b[54 + 4 + 2] = b[54 + 8 + 1] = 0xff;  // entries are B, G, R, 0
        std::copy(stream.begin(), stream.end(), b.begin() + 66);
        return b;
    };
    const struct { Bytes stream; uint32_t width; std::vector<std::vector<uint32_t>> rows; } cases[] = {
        // A delta skips pixels (they stay black); index 7 is past the table, so black too.
        {{1, 1, 0, 2, 2, 0, 1, 2, 0, 0, 1, 7, 0, 2, 1, 0, 2, 2, 0, 1}, 4, {{K, K, G, G}, {R, K, K, G}}},
        // A 3-wide row is stored as 4: a run may cover the padding pixel, which is dropped.
        {{4, 1, 0, 0, 2, 2, 0, 2, 1, 0, 1, 1, 0, 1}, 3, {{G, G, K}, {R, R, R}}},
        {{4, 1, 0, 0, 4, 1, 0, 0, 1, 1}, 4, {}},  // a third row
        {{5, 1, 0, 1}, 4, {}}, {{5, 1, 0, 1}, 3, {}},              // run past the row end; past the padding pixel
        {{0, 3, 1, 2}, 4, {}}, {{0, 3, 1, 2, 1}, 4, {}},           // absolute run cut short; without its pad byte
        {{0, 2, 5, 0, 0, 1}, 4, {}}, {{0, 2, 0, 3, 0, 1}, 4, {}},  // delta past the row end; past the top
        {{4, 1, 0, 0}, 4, {}}, {{4, 1, 0}, 4, {}},                 // no end-of-bitmap; half a code
    };
    for (const auto& c : cases) {
        const std::string what = "stream of " + std::to_string(c.stream.size());
        if (c.rows.empty()) { EXPECT_THROW(decode(rle8(c.stream, c.width)), InvalidImage) << what; }
        else EXPECT_EQ(rowsOf(decode(rle8(c.stream, c.width))), c.rows) << what;
    }
}

TEST(BmpReader, BitfieldsOfAnyWidth) {
    // 2 x 1 with masks 10-10-10 at 32 bpp (top 8 bits kept), then 4-4-4 at 16 bpp (shifted up).
    Bytes b = header(2, 1, 32, 3, 20, 66);
    put32(b, 54, 0x3ff00000), put32(b, 58, 0x000ffc00), put32(b, 62, 0x000003ff);
    put32(b, 66, (0x3ffu << 20) | (0x155u << 10) | 0x003u), put32(b, 70, 0xc0000000u | (0x200u << 20) | 0x0ffu);
    EXPECT_EQ(rowsOf(decode(b)), (std::vector<std::vector<uint32_t>>{{rgb(0xff, 0x55, 0x00), rgb(0x80, 0x00, 0x3f)}}));
    b[28] = 16;
    put32(b, 54, 0x0f00), put32(b, 58, 0x00f0), put32(b, 62, 0x000f), put32(b, 66, 0x0000f7a1);
    EXPECT_EQ(rowsOf(decode(b)), (std::vector<std::vector<uint32_t>>{{rgb(0x70, 0xa0, 0x10), rgb(0, 0, 0)}}));
}

// Indices past the table are black, also when the header claims 256 colours but only 2 fit before the pixels.
TEST(BmpReader, IndicesBeyondTheTableAreBlack) {
    const Bytes file = fileBytes(testdata("questionable/palette-index-beyond-table.bmp"));
    Bytes edited = file;
    put32(edited, 46, 256);
    edited[62] = edited[62 + 8 + 5] = 1, edited[63] = 3;
    int white = 0;
    for (const Bytes* bytes : {&file, static_cast<const Bytes*>(&edited)}) {
        const Bitmap bm = decode(*bytes);
        ASSERT_EQ(bm.width() * 10 + bm.height(), 82);
        for (int i = 0; i < 16; ++i) {  // 8 x 2, bottom row first in the file
            const uint8_t index = (*bytes)[62 + i];
            white += index == 1;
            EXPECT_EQ(bm.at(i % 8, 1 - i / 8), index == 1 ? rgb(255, 255, 255) : rgb(0, 0, 0)) << int(index);
        }
    }
    EXPECT_EQ(white, 2);
}

TEST(BmpReader, CameraRle8AndCamera24Agree) {
    const Bitmap rle = readBmp(testdata("photos/camera.bmp")), full = readBmp(testdata("photos/camera-24.bmp"));
    EXPECT_TRUE(full.width() == 512 && samePixels(rle, full) && full.at(0, 0) != full.at(256, 256));
}

TEST(BmpReader, ClaimsBeyondMemoryAreRefusedBeforeAllocating) {
    setMemoryCeiling(256ull << 20);
    EXPECT_THROW(readBmp(testdata("fuzz/rle8-4194312x258.bmp")), std::bad_alloc);
    EXPECT_THROW(decodeJpegFile(testdata("fuzz/huge-frame.jpg")), std::bad_alloc);
    EXPECT_EQ(readBmp(testdata("photos/camera-24.bmp")).width(), 512);
    setMemoryCeiling(~0ull);
}

TEST(BmpWriter, HeaderBottomUpRowsAndZeroPadding) {
    TempDir dir;
    for (int32_t w : {1, 2, 3, 4, 37}) {
        const int32_t h = 3, row = (w * 3 + 3) / 4 * 4;
        const Bitmap bm = pattern(w, h);
        writeBmp24(bm, dir / "out.bmp");
        const std::vector<uint8_t> f = fileBytes(dir / "out.bmp");
        ASSERT_EQ(f.size(), size_t(54 + row * h)) << w;
        const uint32_t fields[][3] = {{0, 2, 0x4d42}, {2, 4, uint32_t(f.size())}, {6, 4, 0}, {10, 4, 54}, {14, 4, 40},
                                      {18, 4, uint32_t(w)}, {22, 4, uint32_t(h)}, {26, 2, 1}, {28, 2, 24}, {30, 4, 0},
                                      {34, 4, uint32_t(row * h)}, {38, 4, 2835}, {42, 4, 2835}, {46, 4, 0}, {50, 4, 0}};
        for (const auto& [at, bytes, value] : fields) {
            uint32_t v = 0;
            for (int i = int(bytes) - 1; i >= 0; --i) v = (v << 8) | f[at + i];
            EXPECT_EQ(v, value) << "width " << w << ", field at " << at;
        }
        for (int32_t r = 0; r < h; ++r)  // the first stored row is the bottom one: B, G, R of each pixel, then zeros
            for (int32_t k = 0; k < row; ++k) {
                const uint32_t want = k < w * 3 ? (bm.at(k / 3, h - 1 - r) >> (8 * (k % 3))) & 0xff : 0;
                EXPECT_EQ(f[54 + r * row + k], want) << "width " << w << ", stored row " << r << ", byte " << k;
            }
        EXPECT_TRUE(samePixels(readBmp(dir / "out.bmp"), bm)) << w;
    }
    // A picture of many chunks, written by two threads at once, every other
    // chunk each, and flushed in part while the rest is written.
    const Bitmap large = pattern(2601, 2400);
    writeBmp24(large, dir / "out.bmp");
    EXPECT_EQ(fs::file_size(dir / "out.bmp"), 54u + 7804u * 2400u);
    EXPECT_TRUE(samePixels(readBmp(dir / "out.bmp"), large));
    EXPECT_EQ(filesIn(dir.path), std::vector<std::string>{dir / "out.bmp"});  // no temporary files left behind
    // The pixel bytes of pictures another writer made come out the same.
    for (const char* name : {"bmp/rgb24.bmp", "photos/camera-24.bmp"}) {
        const std::vector<uint8_t> ref = fileBytes(testdata(name));
        writeBmp24(readBmp(testdata(name)), dir / "out.bmp");
        const std::vector<uint8_t> out = fileBytes(dir / "out.bmp");
        ASSERT_EQ(out.size(), ref.size()) << name;
        EXPECT_TRUE(std::equal(out.begin() + 54, out.end(), ref.begin() + 54)) << name;
    }
}

TEST(BmpWriter, FailuresLeaveTheOldFileAlone) {
    TempDir dir;
    const Bitmap bm = pattern(100, 100);  // 30 KB
    const std::string old = dir / "old.bmp";
    spit(old, "previous contents");
    fs::create_directory(dir / "folder");
    spit(dir / "folder/inside", "x");
    // No folder; a parent that is a regular file; no picture; a folder in the way, which only the rename meets.
    const Bitmap none;
    const std::pair<const Bitmap*, std::string> failing[] = {{&bm, dir / "missing/x.bmp"}, {&bm, old + "/x.bmp"}, {&none, old}, {&bm, dir / "folder"}};
    for (const auto& [picture, target] : failing) EXPECT_THROW(writeBmp24(*picture, target), SaveError) << target;
    // A file-size limit stops writes even for root: the data write fails part-way.
    struct rlimit saved {}, small {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    small = {4096, saved.rlim_max};
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_THROW(writeBmp24(bm, old), SaveError);
    small.rlim_cur = 17 << 20;  // a picture of many chunks fails in one of its threads, past the first flush
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_THROW(writeBmp24(pattern(2601, 2400), old), SaveError);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    if (::geteuid() != 0) {  // permissions do not stop root
        ::chmod(dir.path.c_str(), 0555);
        EXPECT_THROW(writeBmp24(bm, old), SaveError);
        ::chmod(dir.path.c_str(), 0755);
    }
    EXPECT_EQ(fileText(old), "previous contents");
    EXPECT_EQ(filesIn(dir.path), (std::vector<std::string>{dir / "folder", old}));
    EXPECT_EQ(filesIn(dir / "folder"), std::vector<std::string>{dir / "folder/inside"});
}

// A link is written through to what it names; an existing file keeps its mode, a new one follows the umask.
TEST(BmpWriter, WritesThroughLinksAndKeepsModes) {
    TempDir dir;
    const Bitmap bm = pattern(5, 4);
    spit(dir / "target", "not a picture");
    fs::create_symlink(dir / "target", dir / "link.bmp");
    writeBmp24(bm, dir / "link.bmp");
    EXPECT_TRUE(fs::is_symlink(dir / "link.bmp") && samePixels(readBmp(dir / "target"), bm));
    spit(dir / "existing.bmp", "old");
    ::chmod((dir / "existing.bmp").c_str(), 0604);
    writeBmp24(bm, dir / "existing.bmp");
    EXPECT_EQ(modeOf(dir / "existing.bmp"), 0604u);
    const mode_t savedMask = ::umask(027);
    writeBmp24(bm, dir / "new1.bmp");
    ::umask(002);
    writeBmp24(bm, dir / "new2.bmp");
    ::umask(savedMask);
    EXPECT_EQ(std::pair(modeOf(dir / "new1.bmp"), modeOf(dir / "new2.bmp")), std::pair(0640u, 0664u));
}

TEST(BmpWriter, ScratchCommitReplacesTheOldFileWhole) {
    TempDir dir;
    const std::string path = dir / "wkf.bmp";
    const Bitmap first = pattern(40, 30), second = pattern(17, 9);
    const auto write = [&](const Bitmap& bm, std::initializer_list<std::pair<int32_t, int32_t>> pieces) {
        BmpFileWriter w(path, bm.width(), bm.height());
        for (const auto& [y, rows] : pieces) w.writeRows(y, rows, bm.row(y));
        w.commit(false);
    };
    write(first, {{0, 30}});
    ::chmod(path.c_str(), 0600);
    write(second, {{5, 4}, {0, 5}});  // the lower piece first, as two threads may hand them
    EXPECT_TRUE(samePixels(readBmp(path), second));
    EXPECT_EQ(std::pair(fs::file_size(path), modeOf(path)), std::pair(uintmax_t(54 + 52 * 9), 0600u)) << "nothing of the old file is left";
    // A folder in the way is not removed, and the attempt leaves no file behind.
    fs::create_directory(dir / "folder");
    {
        BmpFileWriter w(dir / "folder", second.width(), second.height());
        w.writeRows(0, second.height(), second.data());
        EXPECT_THROW(w.commit(false), SaveError);
    }
    EXPECT_EQ(filesIn(dir.path), (std::vector<std::string>{dir / "folder", path}));
    // An interrupt removes the part-written files of the saves in progress, and only those, however many came before.
    for (int k = 0; k < 40; ++k) writeBmp24(second, dir / "done.bmp");
    {
        BmpFileWriter a(dir / "a.bmp", first.width(), first.height()), b(path, second.width(), second.height());
        b.writeRows(0, 2, second.data());
        BmpFileWriter done(dir / "done.bmp", second.width(), second.height());
        done.writeRows(0, second.height(), second.data());
        done.commit(true);
        removeUnfinishedFiles();
        EXPECT_EQ(filesIn(dir.path), (std::vector<std::string>{dir / "done.bmp", dir / "folder", path}));
        EXPECT_THROW(b.commit(true), SaveError);
    }
    EXPECT_TRUE(samePixels(readBmp(path), second)) << "the old file stays";
}

// djpeg's output is the oracle: progressive smoothing, chroma up-sampling, restarts, partial MCUs, CMYK, gray.
TEST(JpegDecoder, MatchesDjpegPixelForPixel) {
    const auto files = filesIn(testdata("jpeg"), ".jpg");
    ASSERT_EQ(files.size(), 10u);
    for (const std::string& jpg : files)
        EXPECT_TRUE(samePixels(decodeJpegFile(jpg), readBmp(jpg.substr(0, jpg.size() - 4) + ".djpeg.bmp"))) << jpg;
    // Gray files stay gray (astronaut-gray is three-component 4:2:0 with neutral chroma); colour does not.
    for (const char* p : {"jpeg/grayscale.jpg", "photos/camera.jpg", "photos/astronaut-gray.jpg"})
        EXPECT_TRUE(grayAndVaried(decodeJpegFile(testdata(p)))) << p;
    EXPECT_FALSE(grayAndVaried(decodeJpegFile(testdata("jpeg/baseline-444.jpg"))));
}

TEST(JpegDecoder, RefusesBadTruncatedAndUnreadableFiles) {
    for (const std::string& p : filesIn(testdata("bad"), ".jpg")) EXPECT_THROW(decodeJpegFile(p), InvalidImage) << p;
    for (const char* p : {"/nonexistent/missing.jpg", "/tmp", "/dev/zero", ""}) EXPECT_THROW(decodeJpegFile(p), InvalidImage) << p;
    for (const char* photo : {"photos/coffee.jpg", "photos/camera.jpg"}) {
        const Bytes whole = fileBytes(testdata(photo));
        const size_t n = whole.size();
        // Inside the markers, the header, the scan data and the end marker.
        for (size_t cut : {size_t(0), size_t(1), size_t(3), size_t(100), size_t(600), n / 4, n / 2, n - 500, n - 2, n - 1})
            EXPECT_THROW(decodeBytes(Bytes(whole.begin(), whole.begin() + cut)), InvalidImage) << photo << " cut at " << cut;
        EXPECT_FALSE(decodeBytes(whole).empty()) << photo;
    }
    // Files of endless markers: empty comments; fill bytes; a whole scan, then restart markers without end.
    Bytes comments = {0xff, 0xd8}, fill = {0xff, 0xd8}, restarts = fileBytes(testdata("jpeg/restart.jpg"));
    restarts.resize(restarts.size() - 2), fill.resize(1 << 20, 0xff);
    for (int i = 0; i < 200000; ++i) comments.insert(comments.end(), {0xff, 0xfe, 0x00, 0x02});
    for (int i = 0; i < 100000; ++i) restarts.insert(restarts.end(), {0xff, (unsigned char)(0xd0 + i % 8)});
    for (const Bytes* data : {&comments, &fill, &restarts}) EXPECT_THROW(decodeBytes(*data), InvalidImage);
}

TEST(JpegDecoder, RefusesAbsurdSizesFromTheHeader) {
    const Bytes good = fileBytes(testdata("jpeg/baseline-444.jpg")), sof = {0xff, 0xc0};
    const size_t at = size_t(std::search(good.begin() + 2, good.end(), sof.begin(), sof.end()) - good.begin()) + 5;
    ASSERT_LT(at, good.size());
    // Height then width. 46341 squared is just past the pixel limit; 65500 squared times 4 wraps 32 bits.
    for (const auto& [h, w] : {std::pair{46341u, 46341u}, {65500u, 65500u}, {0u, 64u}, {48u, 0u}}) {
        Bytes patched = good;
        patched[at] = uint8_t(h >> 8), patched[at + 1] = uint8_t(h), patched[at + 2] = uint8_t(w >> 8), patched[at + 3] = uint8_t(w);
        try {
            decodeBytes(patched);
            ADD_FAILURE() << w << "x" << h << " decoded";
        } catch (const InvalidImage& e) {
            if (w && h) { EXPECT_NE(std::string(e.what()).find("too large"), std::string::npos) << e.what(); }
        }
    }
}

TEST(JpegDecoder, ProgressiveScansAreCappedAndAnEarlyStopIsSmoothed) {
    EXPECT_TRUE(grayAndVaried(decodeBytes(progressiveGray(kMaxJpegScans))));
    EXPECT_THROW(decodeBytes(progressiveGray(kMaxJpegScans + 1)), InvalidImage);
    // libjpeg's block smoothing guesses the AC terms of a file with only its DC scan, as djpeg shows it: no flat tiles.
    const Bitmap b = decodeBytes(progressiveGray(1));
    ASSERT_EQ(b.width() * 100 + b.height(), 6448);
    int flatBlocks = 0;
    for (int by = 0; by < 48; by += 8)
        for (int bx = 0; bx < 64; bx += 8) {
            bool flat = true;
            for (int i = 0; i < 64; ++i) flat &= b.at(bx + i % 8, by + i / 8) == b.at(bx, by);
            flatBlocks += flat;
        }
    EXPECT_LT(flatBlocks, 24);
}

TEST(JpegDecoder, ReportsRowsOnlyOnceTheyAreFinalAndClosesItsFile) {
    for (const char* p : {"jpeg/cmyk.jpg", "jpeg/baseline-420.jpg", "photos/coffee.jpg"}) {
        RecordingListener rec;
        const Bitmap b = decodeJpegFile(testdata(p), &rec);
        EXPECT_EQ(std::tuple(rec.startedCalls, rec.pixels, rec.width, rec.height, rec.reported, rec.abandonedCalls),
                  std::tuple(1, b.data(), b.width(), b.height(), b.height(), 0)) << p;
        EXPECT_TRUE(rec.onlyGrew && rec.rowCalls > 1 && std::equal(rec.seen.begin(), rec.seen.end(), b.data())) << p;
    }
    // Damage in the scan data comes after started(); damage in the header before it.
    RecordingListener cut, png;
    EXPECT_THROW(decodeJpegFile(testdata("bad/truncated-scan.jpg"), &cut), InvalidImage);
    EXPECT_THROW(decodeJpegFile(testdata("bad/png-named.jpg"), &png), InvalidImage);
    EXPECT_EQ(std::tuple(cut.startedCalls, cut.abandonedCalls, png.startedCalls, png.abandonedCalls), std::tuple(1, 1, 0, 0));
    const size_t before = openDescriptors();
    for (int round = 0; round < 20; ++round) {
        for (const std::string& p : filesIn(testdata("bad"), ".jpg")) EXPECT_THROW(decodeJpegFile(p), InvalidImage);
        EXPECT_FALSE(decodeJpegFile(testdata("jpeg/cmyk.jpg")).empty());
    }
    EXPECT_EQ(openDescriptors(), before);
}
