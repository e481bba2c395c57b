#include <gtest/gtest.h>

#include <filesystem>
#include <new>

#include "codecs/bmp_reader.h"
#include "codecs/jpeg_decoder.h"
#include "core/image_error.h"
#include "test_support.h"

using cwtest::fileBytes;
using cwtest::testdata;
using Bytes = std::vector<uint8_t>;

namespace {

void put32(Bytes& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = uint8_t(x >> (8 * i));
}

// An exact-size heap copy, so that the sanitizer build catches a read past the end.
cw::Bitmap decode(const Bytes& bytes) {
    const Bytes exact(bytes);
    return cw::decodeBmp(exact.data(), exact.size());
}

// A BITMAPINFOHEADER file of w x h with `extra` bytes (table and pixels) after it.
Bytes header(uint32_t w, int32_t h, int bpp, int compression, size_t extra, uint32_t offBits, uint32_t used = 0) {
    Bytes b(54 + extra, 0);
    b[0] = 'B', b[1] = 'M', b[26] = 1, b[28] = uint8_t(bpp), b[30] = uint8_t(compression);
    put32(b, 10, offBits), put32(b, 14, 40), put32(b, 18, w), put32(b, 22, uint32_t(h)), put32(b, 46, used);
    return b;
}

void expectRows(const cw::Bitmap& bm, const std::vector<std::vector<uint32_t>>& rows, const std::string& what) {
    ASSERT_EQ(bm.height(), int32_t(rows.size())) << what;
    for (size_t y = 0; y < rows.size(); ++y) {
        ASSERT_EQ(bm.width(), int32_t(rows[y].size())) << what;
        for (size_t x = 0; x < rows[y].size(); ++x) EXPECT_EQ(bm.at(x, y), rows[y][x]) << what << " " << x << "," << y;
    }
}

const std::pair<const char*, const char*> kVariants[] = {
    {"rgb24", ""}, {"rgb24-topdown", ""}, {"rgb32-bgrx", ""}, {"rgb32-bitfields-rgbx", ""},
    {"rgba32-v5-bitfields", ""}, {"v4-24", ""}, {"v5-24", ""}, {"os2-v1", ""},
    {"pal8", "-pal8"}, {"pal8-rle8", "-pal8"}, {"pal8-rle8-absolute", "-pal8"}, {"os2-v1-pal8", "-pal8"},
    {"pal4", "-pal4"}, {"pal4-rle4", "-pal4"}, {"pal1", "-pal1"},
    {"rgb16-555", "-rgb555"}, {"rgb16-555-bitfields", "-rgb555"}, {"rgb16-565-bitfields", "-rgb565"},
};

} // namespace

// Each variant against raw RGB written by another tool; every proper prefix of it is refused.
TEST(BmpReader, VariantsDecodeToTheirExpectedPixelsAndTheirPrefixesAreRefused) {
    for (const auto& [file, expected] : kVariants) {
        const cw::Bitmap bm = cw::readBmp(testdata("bmp/") + file + ".bmp");
        const Bytes rgb = fileBytes(testdata("bmp/expected-37x23") + expected + ".rgb");
        ASSERT_EQ(bm.width() * bm.height() * 3, int32_t(rgb.size())) << file;
        ASSERT_EQ(bm.width(), 37) << file;
        size_t wrong = 0;
        for (size_t i = 0; i < bm.pixelCount(); ++i) wrong += bm.data()[i] != cw::rgb(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
        EXPECT_EQ(wrong, 0u) << file;
        const Bytes whole = fileBytes(testdata("bmp/") + file + ".bmp");
        for (size_t n = 0; n < whole.size(); ++n)
            EXPECT_THROW(decode(Bytes(whole.begin(), whole.begin() + n)), cw::InvalidImage) << file << " cut to " << n;
    }
}

TEST(BmpReader, DamagedMissingAndEditedFilesAreRefused) {
    std::vector<std::string> paths = {testdata("bmp/no-such-file.bmp"), testdata("bmp")};
    for (const auto& e : std::filesystem::directory_iterator(testdata("bad")))
        if (e.path().extension() == ".bmp") paths.push_back(e.path().string());
    ASSERT_GE(paths.size(), 14u);
    for (const std::string& p : paths) {
        try {
            cw::readBmp(p);
            ADD_FAILURE() << p << " was accepted";
        } catch (const cw::InvalidImage& e) {
            EXPECT_STRNE(e.what(), "") << p;
        } catch (const std::bad_alloc&) {
        }
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
        EXPECT_THROW(decode(b), cw::InvalidImage) << e.at << "=" << e.value;
    }
}

// Hand-made W x 2 RLE8 pictures with a 3-entry table: 0 black, 1 red, 2 green.
TEST(BmpReader, RleStreams) {
    const uint32_t K = cw::rgb(0, 0, 0), R = cw::rgb(255, 0, 0), G = cw::rgb(0, 255, 0);
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
        {{5, 1, 0, 1}, 4, {}},                    // run past the row end
        {{5, 1, 0, 1}, 3, {}},                    // past the padding pixel
        {{0, 3, 1, 2}, 4, {}},                    // absolute run cut short
        {{0, 3, 1, 2, 1}, 4, {}},                 // absolute run without its pad byte
        {{0, 2, 5, 0, 0, 1}, 4, {}},              // delta past the row end
        {{0, 2, 0, 3, 0, 1}, 4, {}},              // delta past the top
        {{4, 1, 0, 0}, 4, {}},                    // no end-of-bitmap
        {{4, 1, 0}, 4, {}},                       // half a code
    };
    for (const auto& c : cases) {
        const std::string what = "stream of " + std::to_string(c.stream.size());
        if (c.rows.empty()) { EXPECT_THROW(decode(rle8(c.stream, c.width)), cw::InvalidImage) << what; }
        else expectRows(decode(rle8(c.stream, c.width)), c.rows, what);
    }
}

TEST(BmpReader, BitfieldsOfAnyWidth) {
    // 2 x 1 with masks 10-10-10 at 32 bpp (top 8 bits kept), then 4-4-4 at 16 bpp (shifted up).
    Bytes b = header(2, 1, 32, 3, 20, 66);
    put32(b, 54, 0x3ff00000), put32(b, 58, 0x000ffc00), put32(b, 62, 0x000003ff);
    put32(b, 66, (0x3ffu << 20) | (0x155u << 10) | 0x003u), put32(b, 70, 0xc0000000u | (0x200u << 20) | 0x0ffu);
    expectRows(decode(b), {{cw::rgb(0xff, 0x55, 0x00), cw::rgb(0x80, 0x00, 0x3f)}}, "32 bpp");
    b[28] = 16;
    put32(b, 54, 0x0f00), put32(b, 58, 0x00f0), put32(b, 62, 0x000f), put32(b, 66, 0x0000f7a1);
    expectRows(decode(b), {{cw::rgb(0x70, 0xa0, 0x10), cw::rgb(0, 0, 0)}}, "16 bpp");
}

// Indices past the table are black, also when the header claims 256 colours
// but only 2 fit before the pixels (entry 3 would be pixel bytes).
TEST(BmpReader, IndicesBeyondTheTableAreBlack) {
    const std::string path = testdata("questionable/palette-index-beyond-table.bmp");
    const Bytes file = fileBytes(path);
    Bytes edited = file;
    put32(edited, 46, 256);
    edited[62] = edited[62 + 8 + 5] = 1, edited[63] = 3;
    int white = 0;
    for (const Bytes* bytes : {&file, static_cast<const Bytes*>(&edited)}) {
        const cw::Bitmap bm = decode(*bytes);
        ASSERT_EQ(bm.width() * 10 + bm.height(), 82);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 8; ++x) {
                const uint8_t index = (*bytes)[62 + (1 - y) * 8 + x];
                white += index == 1;
                EXPECT_EQ(bm.at(x, y), index == 1 ? cw::rgb(255, 255, 255) : cw::rgb(0, 0, 0)) << int(index);
            }
    }
    EXPECT_EQ(white, 2);
}

TEST(BmpReader, CameraRle8AndCamera24Agree) {
    const cw::Bitmap rle = cw::readBmp(testdata("photos/camera.bmp")), full = cw::readBmp(testdata("photos/camera-24.bmp"));
    EXPECT_EQ(full.width() * 1000 + full.height(), 512512);
    EXPECT_TRUE(cwtest::samePixels(rle, full));
    EXPECT_NE(full.at(0, 0), full.at(256, 256));
}

// Headers that claim more pixels than memory allows are refused before allocating.
TEST(BmpReader, ClaimsBeyondMemoryAreRefusedBeforeAllocating) {
    cw::setMemoryCeiling(256ull << 20);
    EXPECT_THROW(cw::readBmp(testdata("fuzz/rle8-4194312x258.bmp")), std::bad_alloc);
    EXPECT_THROW(cw::decodeJpegFile(testdata("fuzz/huge-frame.jpg")), std::bad_alloc);
    EXPECT_EQ(cw::readBmp(testdata("photos/camera-24.bmp")).width(), 512);
    cw::setMemoryCeiling(~0ull);
}
