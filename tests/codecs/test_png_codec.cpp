// The PNG codec against hand-made files (tests/data/png/make_pngs.py writes them and their expected pixels), and
// what it writes against libpng's own reader.
#include <gtest/gtest.h>

#include <csignal>
#include <png.h>
#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

#include "codecs/png_codec.h"
#include "codecs/replacing_file.h"
#include "core/image_error.h"
#include "test_support.h"

namespace fs = std::filesystem;
using namespace cw;
using namespace cwtest;
using Bytes = std::vector<uint8_t>;

namespace {

// The pixels beside each picture NAME.png, in expected-NAME.rgb.
Bitmap expectedPixels(const std::string& png) {
    const Bytes raw = fileBytes(fs::path(png).replace_filename("expected-" + fs::path(png).stem().string() + ".rgb"));
    Bitmap want(37, 23);
    for (size_t i = 0; i < want.pixelCount(); ++i) want.data()[i] = rgb(raw.at(3 * i), raw.at(3 * i + 1), raw.at(3 * i + 2));
    return want;
}

void put32(Bytes& b, uint32_t v) { for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(v >> s)); }

void putChunk(Bytes& b, const char* type, const Bytes& data) {
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    put32(b, uint32_t(data.size())), b.insert(b.end(), body.begin(), body.end()), put32(b, uint32_t(crc32(0, body.data(), uInt(body.size()))));
}

// A w x h 1-bit gray file whose `pad` bytes of a private chunk make the size claimed plausible; its IDAT is empty.
Bytes claim(uint32_t w, uint32_t h, size_t pad) {
    Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'}, ihdr;
    put32(ihdr, w), put32(ihdr, h), ihdr.insert(ihdr.end(), {1, 0, 0, 0, 0});
    putChunk(b, "IHDR", ihdr), putChunk(b, "paDd", Bytes(pad, 0)), putChunk(b, "IDAT", {}), putChunk(b, "IEND", {});
    return b;
}

Bitmap noisy(int32_t w, int32_t h) {
    Bitmap bm(w, h);
    uint32_t s = 2463534242u;
    for (size_t i = 0; i < bm.pixelCount(); ++i) s ^= s << 13, s ^= s >> 17, s ^= s << 5, bm.data()[i] = s | 0xff000000u;
    return bm;
}

std::vector<std::string> filesIn(const fs::path& dir, const std::string& suffix = "") {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) if (e.path().string().ends_with(suffix)) out.push_back(e.path().string());
    return std::sort(out.begin(), out.end()), out;
}

} // namespace

TEST(PngCodec, EveryColourTypeDepthAndInterlaceDecodesToItsExpectedPixels) {
    const std::vector<std::string> files = filesIn(testdata("png"), ".png");
    ASSERT_EQ(files.size(), 25u);  // every colour type and depth, tRNS, Adam7 (tests/data/README.md)
    for (const std::string& file : files) EXPECT_TRUE(samePixels(readPng(file), expectedPixels(file))) << file;
    const Bytes whole = fileBytes(testdata("png/pal2-trns-adam7.png"));
    for (size_t n = 0; n < whole.size(); ++n)
        EXPECT_THROW(decodePng(Bytes(whole.begin(), whole.begin() + n).data(), n), InvalidImage) << "cut to " << n;
}

// Under a low memory ceiling, so that a size check skipped shows as bad_alloc rather than passing unnoticed.
TEST(PngCodec, DamagedAndImplausibleFilesAreRefusedBeforeAllocating) {
    std::vector<std::string> paths = {testdata("png/no-such-file.png"), testdata("png")};
    for (const std::string& p : filesIn(testdata("bad"), ".png")) paths.push_back(p);
    ASSERT_GE(paths.size(), 24u);
    setMemoryCeiling(64ull << 20);
    for (const std::string& p : paths) EXPECT_THROW(readPng(p), InvalidImage) << p;
    // Sizes made plausible by hundreds of KB: more than kMaxPixels, then a picture beyond the ceiling.
    const Bytes tooMany = claim(65536, 32769, 256 << 10), beyondMemory = claim(20000, 20000, 64 << 10);
    EXPECT_THROW(decodePng(tooMany.data(), tooMany.size()), InvalidImage);
    EXPECT_THROW(decodePng(beyondMemory.data(), beyondMemory.size()), std::bad_alloc);
    setMemoryCeiling(~0ull);
}

TEST(PngCodec, WritesEightBitRgbThatLibpngReadsBack) {
    TempDir dir;
    const std::string path = dir / "out.png";
    for (const auto& [w, h] : {std::pair(1, 1), std::pair(37, 23), std::pair(300, 200)}) {
        const Bitmap bm = noisy(w, h);
        writePng(bm, path);
        Bytes ihdr = {0, 0, 0, 13, 'I', 'H', 'D', 'R'}, f = fileBytes(path);
        put32(ihdr, uint32_t(w)), put32(ihdr, uint32_t(h)), ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, not interlaced
        ASSERT_GT(f.size(), 33u);
        EXPECT_EQ(Bytes(f.begin() + 8, f.begin() + 29), ihdr) << w;
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()) && image.format == PNG_FORMAT_RGB) << image.message;
        Bytes pixels(PNG_IMAGE_SIZE(image));
        ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) << image.message;
        Bitmap back(w, h);
        for (size_t i = 0; i < back.pixelCount(); ++i) back.data()[i] = rgb(pixels[3 * i], pixels[3 * i + 1], pixels[3 * i + 2]);
        EXPECT_TRUE(samePixels(back, bm) && samePixels(readPng(path), bm)) << w;
    }
    EXPECT_EQ(filesIn(dir.path), std::vector<std::string>{path});  // no temporary file left behind
}

// A file-size limit stops writes even for root: it fails one of libpng's writes part-way.
TEST(PngCodec, AFailedWriteThrowsSaveErrorWithTheSystemsReasonAndLeavesTheOldFile) {
    TempDir dir;
    const std::string old = dir / "old.png";
    writePng(noisy(5, 4), old);
    const Bytes before = fileBytes(old);
    const Bitmap big = noisy(300, 200), none;  // big: 180 KB that do not compress
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const struct rlimit small = {4096, saved.rlim_max};
    const struct { const Bitmap* picture; std::string target; int error; const rlimit* limit; mode_t folder; } cases[] = {
        {&big, dir / "missing/x.png", ENOENT, &saved, 0755}, {&big, old + "/x.png", ENOTDIR, &saved, 0755}, {&none, old, 0, &saved, 0755},
        {&big, old, EFBIG, &small, 0755}, {&big, old, EACCES, &saved, 0555},  // a read-only folder does not stop root
    };
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    for (const auto& c : cases) {
        if (c.folder == 0555 && ::geteuid() == 0) continue;
        ::chmod(dir.path.c_str(), c.folder), ::setrlimit(RLIMIT_FSIZE, c.limit);
        try {
            writePng(*c.picture, c.target);
            ADD_FAILURE() << c.target << " was written";
        } catch (const SaveError& e) {
            EXPECT_EQ(e.error(), c.error) << c.target << ": " << e.what();
        }
        ::setrlimit(RLIMIT_FSIZE, &saved), ::chmod(dir.path.c_str(), 0755);
    }
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(fileBytes(old), before);
    EXPECT_EQ(filesIn(dir.path), std::vector<std::string>{old});
}
