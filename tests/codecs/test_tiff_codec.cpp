// The TIFF codec against the pictures tests/data/tiff/make.sh writes, each with the pixels the reading rules give.
#include <gtest/gtest.h>

#include <csignal>
#include <new>
#include <sys/resource.h>
#include <tiffio.h>

#include "codecs/picture_formats.h"
#include "codecs/replacing_file.h"
#include "codecs/tiff_codec.h"
#include "core/image_error.h"
#include "test_support.h"

namespace fs = std::filesystem;
using namespace cw;
using namespace cwtest;

namespace {

Bitmap expected(const std::string& name) {
    const std::vector<uint8_t> raw = fileBytes(testdata("tiff/expected-" + name + ".rgb"));
    Bitmap want(37, 23);
    for (size_t i = 0; i < want.pixelCount(); ++i) want.data()[i] = rgb(raw.at(3 * i), raw.at(3 * i + 1), raw.at(3 * i + 2));
    return want;
}

// {file, expected pixels}: every layout, depth, compression and orientation the reader takes.
const std::pair<const char*, const char*> kGood[] = {
    {"gray8", "gray8"}, {"gray8-miniswhite", "gray8"}, {"gray16", "gray16"}, {"gray16-miniswhite-be", "gray16"},
    {"gray16-lzw", "gray16"}, {"graya8-unassoc", "graya8"}, {"bilevel", "bilevel"}, {"bilevel-miniswhite-packbits", "bilevel"},
    {"palette8", "palette8"}, {"rgb8", "rgb8"}, {"rgb8-strips", "rgb8"}, {"rgb8-planar", "rgb8"}, {"rgb8-deflate", "rgb8"},
    {"rgb8-deflate-old", "rgb8"}, {"rgb8-packbits", "rgb8"}, {"rgb8-lzw", "rgb8"}, {"rgb8-tiled", "rgb8"},
    {"rgb8-tiled-planar-deflate", "rgb8"}, {"rgb8-extra-unspecified", "rgb8"}, {"two-pages", "rgb8"}, {"rgb16", "rgb16"},
    {"rgb16-planar", "rgb16"}, {"rgb16-deflate-predictor-be", "rgb16"}, {"rgba8-unassoc", "rgba8-unassoc"},
    {"rgba8-unassoc-planar", "rgba8-unassoc"}, {"rgba8-assoc", "rgba8-assoc"}, {"rgba16-unassoc", "rgba16-unassoc"},
    {"rgba16-assoc", "rgba16-assoc"}, {"jpeg-ycbcr", "jpeg-ycbcr"}, {"jpeg-rgb", "jpeg-rgb"}, {"orientation-2", "rgb8"},
    {"orientation-3", "rgb8"}, {"orientation-4", "rgb8"}, {"orientation-5", "rgb8"}, {"orientation-6", "rgb8"},
    {"orientation-7", "rgb8"}, {"orientation-8", "rgb8"},
};

// Limits memory as a small machine would: a claim the reader's checks let through is then a bad_alloc, not an InvalidImage.
struct Ceiling {
    explicit Ceiling(unsigned long long bytes) { setMemoryCeiling(bytes); }
    ~Ceiling() { setMemoryCeiling(~0ull); }
};

Bitmap pattern(int32_t w, int32_t h, uint32_t seed) {
    Bitmap bm(w, h);
    for (size_t i = 0; i < bm.pixelCount(); ++i) bm.data()[i] = rgb((i * 7 + seed) & 0xff, (i / 5 * seed) & 0xff, ((i * i) >> 3) & 0xff);
    return bm;
}

} // namespace

TEST(TiffReader, EachLayoutDecodesToItsExpectedPixelsSilently) {
    for (const auto& [file, want] : kGood) {
        testing::internal::CaptureStderr();
        try {
            EXPECT_TRUE(samePixels(readTiff(testdata("tiff/") + file + ".tif"), expected(want))) << file;
        } catch (const std::exception& e) {
            ADD_FAILURE() << file << ": " << e.what();
        }
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << file;
    }
}

TEST(TiffReader, DamagedFilesAndEveryCutAreRefusedSilently) {
    const Ceiling ceiling(64ull << 20);
    std::vector<std::string> bad = {testdata("tiff/no-such-file.tif"), testdata("tiff")};
    for (const auto& e : fs::directory_iterator(testdata("bad")))
        if (e.path().extension() == ".tif") bad.push_back(e.path().string());
    ASSERT_GE(bad.size(), 24u);
    for (const std::string& path : bad) {
        testing::internal::CaptureStderr();
        EXPECT_THROW(readTiff(path), InvalidImage) << path;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << path;
    }
    // The pixel data follows the tags in these, so most cuts lose pixels, not tags.
    for (const char* file : {"rgb8", "rgb8-deflate", "rgb8-tiled", "rgb16-planar", "jpeg-ycbcr"}) {
        const std::vector<uint8_t> whole = fileBytes(testdata("tiff/") + file + ".tif");
        testing::internal::CaptureStderr();
        for (size_t n = 0; n < whole.size(); ++n) {
            const std::vector<uint8_t> cut(whole.begin(), whole.begin() + n);  // exact size, for the sanitizers
            EXPECT_THROW(decodeTiff(cut.data(), cut.size()), InvalidImage) << file << " cut to " << n;
        }
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << file;
    }
}

TEST(TiffWriter, DeflatedRgbStripsThatLibtiffAndTheReaderReadBack) {
    TempDir dir;
    const std::string path = dir / "out.tif";
    for (const auto& [w, h] : {std::pair{37, 23}, {1, 1}, {300, 700}}) {
        const Bitmap bm = pattern(w, h, 11);
        writeTiff(bm, path);
        TIFF* tif = TIFFOpen(path.c_str(), "r");
        ASSERT_TRUE(tif);
        uint32_t width = 0, height = 0, rows = 0;
        uint16_t bits = 0, samples = 0, compression = 0, predictor = 0, photometric = 0, planar = 0, orientation = 0;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width), TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
        TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits), TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
        TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression), TIFFGetField(tif, TIFFTAG_PREDICTOR, &predictor);
        TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric), TIFFGetField(tif, TIFFTAG_PLANARCONFIG, &planar);
        TIFFGetField(tif, TIFFTAG_ORIENTATION, &orientation), TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &rows);
        EXPECT_EQ(std::tuple(width, height, bits, samples, compression, predictor, photometric, planar, orientation),
                  std::tuple(uint32_t(w), uint32_t(h), 8, 3, COMPRESSION_ADOBE_DEFLATE, PREDICTOR_HORIZONTAL, PHOTOMETRIC_RGB,
                             PLANARCONFIG_CONTIG, ORIENTATION_TOPLEFT));
        EXPECT_TRUE(rows >= 1 && rows * uint64_t(w) * 3 <= (256u << 10) && (rows == uint32_t(h) || (rows + 1) * uint64_t(w) * 3 > (256u << 10)))
            << rows;
        std::vector<uint8_t> line(size_t(w) * 3);
        for (int32_t y = 0; y < h; ++y) {
            ASSERT_EQ(TIFFReadScanline(tif, line.data(), uint32_t(y)), 1);
            for (int32_t x = 0; x < w; ++x)
                ASSERT_EQ(rgb(line[3 * x], line[3 * x + 1], line[3 * x + 2]), bm.at(x, y)) << w << " x " << h << " at " << x << ", " << y;
        }
        TIFFClose(tif);
        EXPECT_TRUE(samePixels(readTiff(path), bm)) << w << " x " << h;
    }
    // A well-formed picture beyond the memory there is: refused before its pixels are allocated.
    Bitmap flat(2000, 1000);
    std::fill(flat.data(), flat.data() + flat.pixelCount(), rgb(200, 100, 50));
    writeTiff(flat, path);
    const Ceiling ceiling(4ull << 20);
    EXPECT_THROW(readTiff(path), std::bad_alloc);
}

TEST(TiffWriter, FailuresThrowSaveErrorAndLeaveTheOldFileAlone) {
    TempDir dir;
    const std::string old = dir / "old.tif";
    std::ofstream(old) << "previous contents";
    fs::create_directory(dir / "folder");
    const Bitmap bm = pattern(300, 300, 7), none;
    // No folder; no picture; a folder in the way, which only the rename meets.
    const std::pair<const Bitmap*, std::string> failing[] = {{&bm, dir / "missing/x.tif"}, {&none, old}, {&bm, dir / "folder"}};
    for (const auto& [picture, target] : failing) EXPECT_THROW(writeTiff(*picture, target), SaveError) << target;
    // A file-size limit fails the write of the finished bytes part-way.
    struct rlimit saved {}, small {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    small = {4096, saved.rlim_max};
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_THROW(writeTiff(bm, old), SaveError);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(fileText(old), "previous contents");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 2);  // no temporary left
}

TEST(TiffFormat, TheRowClaimsTiffNamesAndBothByteOrders) {
    const PictureFormat& f = formatOfName("scan.TIFF");
    EXPECT_EQ(std::tuple(f.id, formatOfName("a/b.tif").id, std::string(f.mimeType), f.read, f.write),
              std::tuple(FormatId::Tiff, FormatId::Tiff, std::string("image/tiff"), &readTiff, &writeTiff));
    const std::pair<std::string, bool> heads[] = {{std::string("II*\0", 4), true}, {std::string("MM\0*", 4), true},
                                                  {std::string("II+\0", 4), true}, {std::string("MM\0+", 4), true},
                                                  {std::string("II\0*", 4), false}, {"BM", false}, {"II", false}};
    for (const auto& [head, tiff] : heads)
        EXPECT_EQ(f.sniff({reinterpret_cast<const uint8_t*>(head.data()), head.size()}), tiff) << head;
}
