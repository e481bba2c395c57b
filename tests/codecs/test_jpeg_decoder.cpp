#include <gtest/gtest.h>

#include <jpeglib.h>

#include "codecs/bmp_reader.h"
#include "codecs/jpeg_decoder.h"
#include "core/image_error.h"
#include "test_support.h"

namespace fs = std::filesystem;
using cw::Bitmap;
using cw::decodeJpegFile;
using cw::InvalidImage;
using cwtest::testdata;
using Bytes = std::vector<unsigned char>;

namespace {

std::vector<fs::path> filesIn(const std::string& folder, const std::string& suffix) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(testdata(folder)))
        if (e.path().filename().string().ends_with(suffix)) out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

// Decodes bytes through a file, as the program only decodes files.
Bitmap decodeBytes(const Bytes& data, cw::JpegRowListener* listener = nullptr) {
    cwtest::TempDir tmp;
    std::ofstream(tmp / "x.jpg", std::ios::binary).write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    return decodeJpegFile(tmp / "x.jpg", listener);
}

// Gray with alpha set everywhere, and not one flat value.
bool grayAndVaried(const Bitmap& b) {
    bool varies = false;
    for (size_t i = 0; i < b.pixelCount(); ++i) {
        const uint32_t c = b.data()[i];
        if (cw::redOf(c) != cw::greenOf(c) || cw::greenOf(c) != cw::blueOf(c) || (c >> 24) != 0xff) return false;
        varies |= c != b.data()[0];
    }
    return varies;
}

// A 64 x 48 gray progressive JPEG of exactly `scans` scans (at most 127): the
// DC, then each AC coefficient on its own at half precision, then refinements.
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
struct RecordingListener final : cw::JpegRowListener {
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

// djpeg's output of each file (progressive smoothing, chroma up-sampling,
// restarts, partial MCUs, CMYK, gray) is the oracle.
TEST(JpegDecoder, MatchesDjpegPixelForPixel) {
    const auto files = filesIn("jpeg", ".jpg");
    ASSERT_EQ(files.size(), 10u);
    for (const fs::path& jpg : files)
        EXPECT_TRUE(cwtest::samePixels(decodeJpegFile(jpg), cw::readBmp(jpg.parent_path() / (jpg.stem().string() + ".djpeg.bmp")))) << jpg;
    // Gray files stay gray (astronaut-gray is three-component 4:2:0 with neutral chroma); colour does not.
    for (const char* p : {"jpeg/grayscale.jpg", "photos/camera.jpg", "photos/astronaut-gray.jpg"})
        EXPECT_TRUE(grayAndVaried(decodeJpegFile(testdata(p)))) << p;
    EXPECT_FALSE(grayAndVaried(decodeJpegFile(testdata("jpeg/baseline-444.jpg"))));
}

TEST(JpegDecoder, RefusesBadTruncatedAndUnreadableFiles) {
    for (const fs::path& p : filesIn("bad", ".jpg")) EXPECT_THROW(decodeJpegFile(p.string()), InvalidImage) << p;
    for (const char* p : {"/nonexistent/missing.jpg", "/tmp", "/dev/zero", ""}) EXPECT_THROW(decodeJpegFile(p), InvalidImage) << p;
    for (const char* photo : {"photos/coffee.jpg", "photos/camera.jpg"}) {
        const Bytes whole = cwtest::fileBytes(testdata(photo));
        const size_t n = whole.size();
        // Inside the markers, the header, the scan data and the end marker.
        for (size_t cut : {size_t(0), size_t(1), size_t(3), size_t(100), size_t(600), n / 4, n / 2, n - 500, n - 2, n - 1})
            EXPECT_THROW(decodeBytes(Bytes(whole.begin(), whole.begin() + cut)), InvalidImage) << photo << " cut at " << cut;
        EXPECT_FALSE(decodeBytes(whole).empty()) << photo;
    }
    // Files of endless markers: empty comments; fill bytes; a whole scan, then restart markers without end.
    Bytes comments = {0xff, 0xd8}, fill = {0xff, 0xd8}, restarts = cwtest::fileBytes(testdata("jpeg/restart.jpg"));
    restarts.resize(restarts.size() - 2), fill.resize(1 << 20, 0xff);
    for (int i = 0; i < 200000; ++i) comments.insert(comments.end(), {0xff, 0xfe, 0x00, 0x02});
    for (int i = 0; i < 100000; ++i) restarts.insert(restarts.end(), {0xff, (unsigned char)(0xd0 + i % 8)});
    for (const Bytes* data : {&comments, &fill, &restarts}) EXPECT_THROW(decodeBytes(*data), InvalidImage);
}

// Refused from the header ("too large"), not after allocating and running out of data.
TEST(JpegDecoder, RefusesAbsurdSizesFromTheHeader) {
    const Bytes good = cwtest::fileBytes(testdata("jpeg/baseline-444.jpg"));
    const Bytes sof = {0xff, 0xc0};
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
    EXPECT_TRUE(grayAndVaried(decodeBytes(progressiveGray(cw::kMaxJpegScans))));
    EXPECT_THROW(decodeBytes(progressiveGray(cw::kMaxJpegScans + 1)), InvalidImage);
    // libjpeg's block smoothing guesses the missing AC terms of a file with only its DC scan,
    // as djpeg shows it: not flat 8 x 8 tiles.
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
        for (const fs::path& p : filesIn("bad", ".jpg")) EXPECT_THROW(decodeJpegFile(p.string()), InvalidImage);
        EXPECT_FALSE(decodeJpegFile(testdata("jpeg/cmyk.jpg")).empty());
    }
    EXPECT_EQ(openDescriptors(), before);
}
