#include "codecs/bmp_reader.h"
#include "core/image_error.h"
#include "codecs/jpeg_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

const std::string kData = CW_TESTDATA;

std::vector<uint8_t> slurp(const std::string& path) { return cwtest::fileBytes(path); }

void put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = uint8_t(x >> (8 * i));
}

// Decoding from an exact-size heap copy lets the sanitizer build catch any read past the end.
cw::Bitmap decode(const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> exact(bytes);
    return cw::decodeBmp(exact.data(), exact.size());
}

void expectPixels(const cw::Bitmap& bm, const std::vector<uint8_t>& rgb, const std::string& what) {
    ASSERT_EQ(size_t(bm.width()) * bm.height() * 3, rgb.size()) << what;
    size_t wrong = 0;
    for (int32_t y = 0; y < bm.height(); ++y)
        for (int32_t x = 0; x < bm.width(); ++x) {
            const uint8_t* e = &rgb[(size_t(y) * bm.width() + x) * 3];
            if (bm.at(x, y) != cw::rgb(e[0], e[1], e[2]) && wrong++ < 3)
                ADD_FAILURE() << what << " pixel " << x << "," << y << " is " << std::hex << bm.at(x, y);
        }
    EXPECT_EQ(wrong, 0u) << what;
}

struct Variant {
    const char* file;
    const char* expected;
};

const Variant kVariants[] = {
    {"rgb24", ""}, {"rgb24-topdown", ""}, {"rgb32-bgrx", ""}, {"rgb32-bitfields-rgbx", ""},
    {"rgba32-v5-bitfields", ""}, {"v4-24", ""}, {"v5-24", ""}, {"os2-v1", ""},
    {"pal8", "-pal8"}, {"pal8-rle8", "-pal8"}, {"pal8-rle8-absolute", "-pal8"}, {"os2-v1-pal8", "-pal8"},
    {"pal4", "-pal4"}, {"pal4-rle4", "-pal4"}, {"pal1", "-pal1"},
    {"rgb16-555", "-rgb555"}, {"rgb16-555-bitfields", "-rgb555"}, {"rgb16-565-bitfields", "-rgb565"},
};

TEST(BmpReader, EveryVariantDecodesToItsExpectedPixels) {
    for (const Variant& v : kVariants) {
        const std::string path = kData + "/bmp/" + v.file + ".bmp";
        const cw::Bitmap bm = cw::readBmp(path);
        EXPECT_EQ(bm.width(), 37) << v.file;
        EXPECT_EQ(bm.height(), 23) << v.file;
        expectPixels(bm, slurp(kData + "/bmp/expected-37x23" + v.expected + ".rgb"), v.file);
    }
}

TEST(BmpReader, EveryProperPrefixOfAVariantIsRefused) {
    for (const Variant& v : kVariants) {
        const std::vector<uint8_t> whole = slurp(kData + "/bmp/" + v.file + ".bmp");
        for (size_t n = 0; n < whole.size(); ++n) {
            const std::vector<uint8_t> cut(whole.begin(), whole.begin() + n);
            EXPECT_THROW(decode(cut), cw::InvalidImage) << v.file << " cut to " << n << " bytes";
        }
    }
}

TEST(BmpReader, EveryBadFileIsRefused) {
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kData + "/bad")) {
        if (!entry.is_regular_file() || entry.path().filename() == "README.md") continue;
        ++checked;
        try {
            cw::readBmp(entry.path().string());
            ADD_FAILURE() << entry.path() << " was accepted";
        } catch (const cw::InvalidImage& e) {
            EXPECT_STRNE(e.what(), "") << entry.path();
        } catch (const std::bad_alloc&) {
        }
    }
    EXPECT_GE(checked, 15);
}

TEST(BmpReader, MissingFileAndFolderAreRefused) {
    EXPECT_THROW(cw::readBmp(kData + "/bmp/no-such-file.bmp"), cw::InvalidImage);
    EXPECT_THROW(cw::readBmp(kData + "/bmp"), cw::InvalidImage);
}

// Edits of rgb24.bmp / pal8-rle8.bmp that each break one rule.
TEST(BmpReader, HeaderEditsAreRefused) {
    const std::vector<uint8_t> rgb24 = slurp(kData + "/bmp/rgb24.bmp");
    const std::vector<uint8_t> rle8 = slurp(kData + "/bmp/pal8-rle8.bmp");
    struct Edit {
        const char* what;
        const std::vector<uint8_t>* base;
        size_t at;
        uint32_t value;
        int bytes;
    };
    const Edit edits[] = {
        {"height 0", &rgb24, 22, 0, 4},
        {"header size 20", &rgb24, 14, 20, 4},
        {"bpp 2", &rgb24, 28, 2, 2},
        {"bpp 64", &rgb24, 28, 64, 2},
        {"BI_JPEG", &rgb24, 30, 4, 4},
        {"RLE8 with 24 bpp", &rgb24, 30, 1, 4},
        {"bit fields with 24 bpp", &rgb24, 30, 3, 4},
        {"offset inside the header", &rgb24, 10, 20, 4},
        {"top-down RLE", &rle8, 22, uint32_t(-23), 4},
        {"RLE4 with 8 bpp", &rle8, 30, 2, 4},
    };
    for (const Edit& e : edits) {
        std::vector<uint8_t> b = *e.base;
        for (int i = 0; i < e.bytes; ++i) b[e.at + i] = uint8_t(e.value >> (8 * i));
        EXPECT_THROW(decode(b), cw::InvalidImage) << e.what;
    }
    std::vector<uint8_t> huge = rgb24; // 100000 x 30000: within int32 each, too many pixels together
    put32(huge, 18, 100000);
    put32(huge, 22, 30000);
    EXPECT_THROW(decode(huge), cw::InvalidImage);
}

// A hand-made W x 2 RLE8 picture with a 3-entry table: 0 black, 1 red, 2 green.
std::vector<uint8_t> rle8(const std::vector<uint8_t>& stream, uint32_t width = 4) {
    std::vector<uint8_t> b(54 + 12 + stream.size(), 0);
    std::copy(stream.begin(), stream.end(), b.begin() + 66);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 10, 66);
    put32(b, 14, 40);
    put32(b, 18, width);
    put32(b, 22, 2);
    b[26] = 1;
    b[28] = 8;
    b[30] = 1;
    put32(b, 46, 3);
    b[54 + 4 + 2] = 0xff; // entries are B, G, R, 0
    b[54 + 8 + 1] = 0xff;
    return b;
}

TEST(BmpReader, RleStreams) {
    const uint32_t K = cw::rgb(0, 0, 0), R = cw::rgb(255, 0, 0), G = cw::rgb(0, 255, 0);
    // Pixels skipped by a delta stay black; index 7 is past the table, so black too.
    const cw::Bitmap bm = decode(rle8({1, 1, 0, 2, 2, 0, 1, 2, 0, 0, 1, 7, 0, 2, 1, 0, 2, 2, 0, 1}));
    const uint32_t want[2][4] = {{K, K, G, G}, {R, K, K, G}}; // top row first
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(bm.at(x, y), want[y][x]) << x << "," << y;

    const std::vector<uint8_t> refused[] = {
        {4, 1, 0, 0, 4, 1, 0, 0, 1, 1},  // a third row
        {5, 1, 0, 1},                    // run past the row end
        {0, 3, 1, 2},                    // absolute run cut short
        {0, 3, 1, 2, 1},                 // absolute run without its pad byte
        {0, 2, 5, 0, 0, 1},              // delta past the row end
        {0, 2, 0, 3, 0, 1},              // delta past the top
        {4, 1, 0, 0},                    // no end-of-bitmap
        {4, 1, 0},                       // half a code
    };
    for (const auto& s : refused) EXPECT_THROW(decode(rle8(s)), cw::InvalidImage) << s.size();

    // A 3-wide row is stored as 4; a run may cover the padding pixel (it is dropped), not more.
    const cw::Bitmap narrow = decode(rle8({4, 1, 0, 0, 2, 2, 0, 2, 1, 0, 1, 1, 0, 1}, 3));
    const uint32_t wantNarrow[2][3] = {{G, G, K}, {R, R, R}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(narrow.at(x, y), wantNarrow[y][x]) << x << "," << y;
    EXPECT_THROW(decode(rle8({5, 1, 0, 1}, 3)), cw::InvalidImage);
}

TEST(BmpReader, BitfieldsOfAnyWidth) {
    // 2 x 1, 32 bpp, masks for 10-10-10 (top 8 bits kept) then 16 bpp 4-4-4 (shifted up).
    std::vector<uint8_t> b(54 + 12 + 8, 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 10, 66);
    put32(b, 14, 40);
    put32(b, 18, 2);
    put32(b, 22, 1);
    b[26] = 1;
    b[28] = 32;
    b[30] = 3;
    put32(b, 54, 0x3ff00000);
    put32(b, 58, 0x000ffc00);
    put32(b, 62, 0x000003ff);
    put32(b, 66, (0x3ffu << 20) | (0x155u << 10) | 0x003u); // 255, 0x55, 0
    put32(b, 70, 0xc0000000u | (0x200u << 20) | 0x0ffu);     // 128, 0, 0x3f
    cw::Bitmap bm = decode(b);
    EXPECT_EQ(bm.at(0, 0), cw::rgb(0xff, 0x55, 0x00));
    EXPECT_EQ(bm.at(1, 0), cw::rgb(0x80, 0x00, 0x3f));

    b[28] = 16;
    put32(b, 54, 0x0f00);
    put32(b, 58, 0x00f0);
    put32(b, 62, 0x000f);
    put32(b, 66, 0x0000f7a1); // x=0: 7,a,1 ; x=1: 0
    bm = decode(b);
    EXPECT_EQ(bm.at(0, 0), cw::rgb(0x70, 0xa0, 0x10));
    EXPECT_EQ(bm.at(1, 0), cw::rgb(0, 0, 0));
}

TEST(BmpReader, IndicesBeyondTheTableAreBlack) {
    const std::string path = kData + "/questionable/palette-index-beyond-table.bmp";
    const std::vector<uint8_t> file = slurp(path);
    // The same picture using index 1 (white) twice and claiming 256 colours,
    // of which only 2 fit before the pixel data: entry 3 would be pixel bytes.
    std::vector<uint8_t> edited = file;
    put32(edited, 46, 256);
    edited[62] = 1;
    edited[62 + 8 + 5] = 1;
    edited[63] = 3;
    const std::pair<cw::Bitmap, const std::vector<uint8_t>*> cases[] = {{cw::readBmp(path), &file},
                                                                         {decode(edited), &edited}};
    int white = 0;
    for (const auto& [bm, bytes] : cases) {
        ASSERT_EQ(bm.width(), 8);
        ASSERT_EQ(bm.height(), 2);
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
    const cw::Bitmap rle = cw::readBmp(kData + "/photos/camera.bmp");
    const cw::Bitmap full = cw::readBmp(kData + "/photos/camera-24.bmp");
    ASSERT_EQ(rle.width(), 512);
    ASSERT_EQ(rle.height(), 512);
    ASSERT_EQ(full.width(), 512);
    ASSERT_EQ(full.height(), 512);
    EXPECT_TRUE(std::equal(rle.data(), rle.data() + rle.pixelCount(), full.data()));
    // Not a flat picture: the comparison means something.
    EXPECT_NE(full.at(0, 0), full.at(256, 256));
    EXPECT_NE(*std::min_element(full.data(), full.data() + full.pixelCount()),
              *std::max_element(full.data(), full.data() + full.pixelCount()));
}

} // namespace

// Small files whose headers claim more pixels than memory allows (an RLE8
// bitmap of 4194312 x 258, a JPEG frame far larger than its data) are refused
// before their pixels are allocated, as memory short of the claim.
TEST(BmpReader, ClaimsBeyondMemoryAreRefusedBeforeAllocating) {
    cw::setMemoryCeiling(256ull << 20);
    EXPECT_THROW(cw::readBmp(kData + "/fuzz/rle8-4194312x258.bmp"), std::bad_alloc);
    EXPECT_THROW(cw::decodeJpegFile(kData + "/fuzz/huge-frame.jpg"), std::bad_alloc);
    // A real photo still fits.
    EXPECT_EQ(cw::readBmp(kData + "/photos/camera-24.bmp").width(), 512);
    cw::setMemoryCeiling(~0ull);
}
