#include "codecs/jpeg_decoder.h"

#include "core/image_error.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "test_support.h"

namespace fs = std::filesystem;
using cw::Bitmap;
using cw::decodeJpegFile;
using cw::InvalidImage;

namespace {

const fs::path kData = CW_TESTDATA;

std::vector<unsigned char> readBytes(const fs::path& p) { return cwtest::fileBytes(p); }

void writeBytes(const fs::path& p, const std::vector<unsigned char>& data, size_t size = SIZE_MAX) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(std::min(size, data.size())));
    if (!out) throw std::runtime_error("cannot write " + p.string());
}

using cwtest::TempDir;

// The oracle: the two kinds of BMP djpeg writes (uncompressed 24-bit, and
// 8-bit with a colour table), independent of the program's own BMP reader.
struct Reference {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

Reference readReferenceBmp(const fs::path& p) {
    const std::vector<unsigned char> b = readBytes(p);
    auto need = [&](size_t end) {
        if (end > b.size()) throw std::runtime_error(p.string() + ": truncated");
    };
    auto u16 = [&](size_t o) { need(o + 2); return uint32_t(b[o]) | uint32_t(b[o + 1]) << 8; };
    auto u32 = [&](size_t o) { need(o + 4); return u16(o) | u16(o + 2) << 16; };

    if (b.size() < 2 || b[0] != 'B' || b[1] != 'M') throw std::runtime_error(p.string() + ": not a BMP");
    const uint32_t offBits = u32(10), headerSize = u32(14);
    const int32_t w = int32_t(u32(18)), h = int32_t(u32(22));
    const uint32_t bits = u16(28), compression = u32(30), used = u32(46);
    if (headerSize < 40 || compression != 0 || w <= 0 || h == 0 || (bits != 24 && bits != 8))
        throw std::runtime_error(p.string() + ": unsupported BMP layout");

    Reference r;
    r.width = w;
    r.height = h < 0 ? -h : h;
    const size_t stride = (size_t(w) * bits + 31) / 32 * 4;
    const size_t paletteAt = 14 + headerSize;
    const uint32_t paletteSize = used ? used : 256;
    r.pixels.resize(size_t(r.width) * size_t(r.height));
    for (int y = 0; y < r.height; ++y) {
        const size_t rowAt = offBits + size_t(h > 0 ? r.height - 1 - y : y) * stride;
        need(rowAt + stride);
        for (int x = 0; x < w; ++x) {
            uint32_t px;
            if (bits == 24) {
                const unsigned char* q = &b[rowAt + size_t(x) * 3];
                px = cw::rgb(q[2], q[1], q[0]);
            } else {
                const uint32_t index = b[rowAt + size_t(x)];
                if (index >= paletteSize) throw std::runtime_error(p.string() + ": index past palette");
                const size_t e = paletteAt + size_t(index) * 4;
                need(e + 4);
                px = cw::rgb(b[e + 2], b[e + 1], b[e]);
            }
            r.pixels[size_t(y) * size_t(w) + size_t(x)] = px;
        }
    }
    return r;
}

// Empty when equal, else where and how the first difference is.
std::string firstDifference(const Bitmap& got, const Reference& want) {
    if (got.width() != want.width || got.height() != want.height)
        return "size " + std::to_string(got.width()) + "x" + std::to_string(got.height()) +
               ", expected " + std::to_string(want.width) + "x" + std::to_string(want.height);
    for (int y = 0; y < want.height; ++y)
        for (int x = 0; x < want.width; ++x) {
            const uint32_t g = got.at(x, y), w = want.pixels[size_t(y) * size_t(want.width) + size_t(x)];
            if (g != w) {
                char text[96];
                std::snprintf(text, sizeof text, "pixel (%d,%d) is %08x, expected %08x", x, y, g, w);
                return text;
            }
        }
    return {};
}

std::vector<fs::path> filesEndingIn(const fs::path& folder, const std::string& suffix) {
    std::vector<fs::path> out;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > suffix.size() && name.ends_with(suffix)) out.push_back(entry.path());
    }
    std::sort(out.begin(), out.end());
    return out;
}

bool isGray(const Bitmap& b, bool* varies) {
    const uint32_t first = b.at(0, 0);
    *varies = false;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            const uint32_t c = b.at(x, y);
            if (cw::redOf(c) != cw::greenOf(c) || cw::greenOf(c) != cw::blueOf(c) || (c >> 24) != 0xff)
                return false;
            if (c != first) *varies = true;
        }
    return true;
}

// A 64 x 48 gray progressive JPEG of exactly `scans` scans (at most 127): the DC,
// then each AC coefficient on its own at half precision, then refinements.
std::vector<unsigned char> progressiveGrayWithScans(int scans) {
    std::vector<jpeg_scan_info> script;
    script.push_back({1, {0}, 0, 0, 0, 0});
    for (int k = 1; k <= 63 && int(script.size()) < scans; ++k) script.push_back({1, {0}, k, k, 0, 1});
    for (int k = 1; k <= 63 && int(script.size()) < scans; ++k) script.push_back({1, {0}, k, k, 1, 0});
    if (int(script.size()) != scans) throw std::logic_error("unsupported scan count");

    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = 64;
    c.image_height = 48;
    c.input_components = 1;
    c.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    c.scan_info = script.data();
    c.num_scans = int(script.size());
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(64);
    while (c.next_scanline < c.image_height) {
        const unsigned y = c.next_scanline;
        for (unsigned x = 0; x < 64; ++x) row[x] = JSAMPLE((x * 37 + y * y * 5 + ((x ^ y) & 12) * 9) & 0xff);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<unsigned char> out(buffer, buffer + size);
    std::free(buffer);
    jpeg_destroy_compress(&c);
    return out;
}

// Offset of the height field of the first SOF marker.
size_t sofDimensionsAt(const std::vector<unsigned char>& jpeg) {
    for (size_t i = 2; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xff && (jpeg[i + 1] == 0xc0 || jpeg[i + 1] == 0xc1 || jpeg[i + 1] == 0xc2))
            return i + 5;
    throw std::runtime_error("no SOF marker");
}

// What a row listener is told, and each row as it was when reported.
struct RecordingListener final : cw::JpegRowListener {
    uint32_t* pixels = nullptr;
    int32_t width = 0, height = 0, reported = 0;
    int startedCalls = 0, abandonedCalls = 0, rowCalls = 0;
    bool onlyGrew = true;
    std::vector<uint32_t> seen;

    void started(uint32_t* p, int32_t w, int32_t h) noexcept override {
        pixels = p;
        width = w;
        height = h;
        ++startedCalls;
        seen.assign(size_t(w) * size_t(h), 0);
    }
    void rowsDecoded(int32_t rows) noexcept override {
        ++rowCalls;
        if (rows <= reported || rows > height) {
            onlyGrew = false;
            return;
        }
        const size_t from = size_t(reported) * size_t(width), to = size_t(rows) * size_t(width);
        std::copy(pixels + from, pixels + to, seen.begin() + std::ptrdiff_t(from));
        reported = rows;
    }
    void abandoned() noexcept override { ++abandonedCalls; }
};

size_t openDescriptors() {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

} // namespace

TEST(JpegDecoder, MatchesDjpegReferencesPixelForPixel) {
    std::set<std::string> seen;
    for (const fs::path& jpg : filesEndingIn(kData / "jpeg", ".jpg")) {
        const std::string name = jpg.stem().string();
        SCOPED_TRACE(name);
        const fs::path ref = kData / "jpeg" / (name + ".djpeg.bmp");
        ASSERT_TRUE(fs::exists(ref));
        const Bitmap got = decodeJpegFile(jpg.string());
        EXPECT_EQ(firstDifference(got, readReferenceBmp(ref)), "");
        seen.insert(name);
    }
    // The settings each of these exercises (progressive smoothing, chroma
    // up-sampling, restart handling, partial MCUs, CMYK, gray) must be covered.
    for (const char* name : {"baseline-420", "baseline-422", "baseline-444", "progressive",
                             "progressive-420", "grayscale", "cmyk", "restart", "restart-every-mcu",
                             "odd-33x17"})
        EXPECT_TRUE(seen.count(name)) << name << " was not compared";
}

TEST(JpegDecoder, GrayFilesStayGray) {
    // astronaut-gray.jpg is three-component 4:2:0 with neutral chroma.
    for (const fs::path& p : {kData / "jpeg/grayscale.jpg", kData / "photos/camera.jpg",
                              kData / "photos/astronaut-gray.jpg"}) {
        SCOPED_TRACE(p.string());
        const Bitmap b = decodeJpegFile(p.string());
        bool varies = false;
        EXPECT_TRUE(isGray(b, &varies));
        EXPECT_TRUE(varies);
    }
    // A colour file must not come out gray: guards against decoding everything as luminance.
    bool varies = false;
    EXPECT_FALSE(isGray(decodeJpegFile((kData / "jpeg/baseline-444.jpg").string()), &varies));
}

TEST(JpegDecoder, RefusesEveryBadFile) {
    const std::vector<fs::path> bad = filesEndingIn(kData / "bad", ".jpg");
    ASSERT_GE(bad.size(), 3u);
    for (const fs::path& p : bad) {
        SCOPED_TRACE(p.filename().string());
        EXPECT_THROW(decodeJpegFile(p.string()), InvalidImage);
    }
}

TEST(JpegDecoder, RefusesTruncatedPhotos) {
    TempDir tmp;
    for (const char* photo : {"coffee.jpg", "camera.jpg"}) {
        const std::vector<unsigned char> whole = readBytes(kData / "photos" / photo);
        ASSERT_GT(whole.size(), 1000u);
        const size_t n = whole.size();
        // Inside the markers, the header, the scan data and the end marker.
        for (size_t cut : {size_t(0), size_t(1), size_t(3), size_t(100), size_t(600), n / 4, n / 2, n - 500,
                           n - 2, n - 1}) {
            SCOPED_TRACE(std::string(photo) + " cut at " + std::to_string(cut));
            const fs::path copy = tmp.path / ("cut-" + std::to_string(cut) + ".jpg");
            writeBytes(copy, whole, cut);
            EXPECT_THROW(decodeJpegFile(copy.string()), InvalidImage);
        }
        const fs::path intact = tmp.path / "whole.jpg";
        writeBytes(intact, whole);
        EXPECT_FALSE(decodeJpegFile(intact.string()).empty()) << photo;
    }
}

TEST(JpegDecoder, RefusesWhatIsNotAReadableFile) {
    TempDir tmp;
    EXPECT_THROW(decodeJpegFile((tmp.path / "missing.jpg").string()), InvalidImage);
    EXPECT_THROW(decodeJpegFile(tmp.path.string()), InvalidImage);
    EXPECT_THROW(decodeJpegFile("/dev/zero"), InvalidImage);
    EXPECT_THROW(decodeJpegFile(""), InvalidImage);
}

TEST(JpegDecoder, RefusesAbsurdSizesFromTheHeader) {
    TempDir tmp;
    const std::vector<unsigned char> good = readBytes(kData / "jpeg/baseline-444.jpg");
    const size_t at = sofDimensionsAt(good);
    // Height then width, big-endian. 46341 squared is just past the pixel limit,
    // and 65500 squared times 4 bytes wraps 32-bit arithmetic.
    const struct {
        unsigned height, width;
    } sizes[] = {{46341, 46341}, {65500, 65500}, {0, 64}, {48, 0}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(std::to_string(s.width) + "x" + std::to_string(s.height));
        std::vector<unsigned char> patched = good;
        patched[at] = (unsigned char)(s.height >> 8);
        patched[at + 1] = (unsigned char)s.height;
        patched[at + 2] = (unsigned char)(s.width >> 8);
        patched[at + 3] = (unsigned char)s.width;
        const fs::path p = tmp.path / "patched.jpg";
        writeBytes(p, patched);
        try {
            decodeJpegFile(p.string());
            ADD_FAILURE() << "decoded";
        } catch (const InvalidImage& e) {
            // Refused from the header, not after allocating and running out of data.
            if (s.width && s.height) {
                EXPECT_NE(std::string(e.what()).find("too large"), std::string::npos) << e.what();
            }
        }
    }
}

TEST(JpegDecoder, CapsTheNumberOfProgressiveScans) {
    TempDir tmp;
    const fs::path atLimit = tmp.path / "at-limit.jpg", overLimit = tmp.path / "over-limit.jpg";
    writeBytes(atLimit, progressiveGrayWithScans(cw::kMaxJpegScans));
    writeBytes(overLimit, progressiveGrayWithScans(cw::kMaxJpegScans + 1));

    const Bitmap b = decodeJpegFile(atLimit.string());
    EXPECT_EQ(b.width(), 64);
    EXPECT_EQ(b.height(), 48);
    bool varies = false;
    EXPECT_TRUE(isGray(b, &varies));
    EXPECT_TRUE(varies);
    EXPECT_THROW(decodeJpegFile(overLimit.string()), InvalidImage);
}

// libjpeg's default block smoothing guesses the missing AC terms of a
// progressive file that stops early; djpeg shows such a file smoothed, not as flat tiles.
TEST(JpegDecoder, SmoothsAProgressiveFileWithOnlyItsDcScan) {
    TempDir tmp;
    const fs::path p = tmp.path / "dc-only.jpg";
    writeBytes(p, progressiveGrayWithScans(1));
    const Bitmap b = decodeJpegFile(p.string());
    ASSERT_EQ(b.width(), 64);
    ASSERT_EQ(b.height(), 48);
    int flatBlocks = 0;
    for (int by = 0; by < 48; by += 8)
        for (int bx = 0; bx < 64; bx += 8) {
            bool flat = true;
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x) flat = flat && b.at(bx + x, by + y) == b.at(bx, by);
            flatBlocks += flat;
        }
    EXPECT_LT(flatBlocks, 48 / 2);
}

TEST(JpegDecoder, EndsOnFilesOfEndlessMarkers) {
    TempDir tmp;
    // Nothing but empty comments; nothing but fill bytes.
    std::vector<unsigned char> comments = {0xff, 0xd8};
    for (int i = 0; i < 200000; ++i) comments.insert(comments.end(), {0xff, 0xfe, 0x00, 0x02});
    std::vector<unsigned char> fill = {0xff, 0xd8};
    fill.resize(1 << 20, 0xff);
    // A whole scan, then restart markers without end where the end marker belongs.
    std::vector<unsigned char> restarts = readBytes(kData / "jpeg/restart.jpg");
    restarts.resize(restarts.size() - 2);
    for (int i = 0; i < 100000; ++i) restarts.insert(restarts.end(), {0xff, (unsigned char)(0xd0 + i % 8)});
    for (const auto* data : {&comments, &fill, &restarts}) {
        const fs::path p = tmp.path / "markers.jpg";
        writeBytes(p, *data);
        EXPECT_THROW(decodeJpegFile(p.string()), InvalidImage);
    }
}

TEST(JpegDecoder, ReportsRowsOnlyOnceTheyAreFinal) {
    for (const fs::path& p : {kData / "jpeg/cmyk.jpg", kData / "jpeg/baseline-420.jpg",
                              kData / "photos/coffee.jpg"}) {
        SCOPED_TRACE(p.string());
        RecordingListener rec;
        const Bitmap b = decodeJpegFile(p.string(), &rec);
        EXPECT_EQ(rec.startedCalls, 1);
        EXPECT_EQ(rec.pixels, b.data());
        EXPECT_EQ(rec.width, b.width());
        EXPECT_EQ(rec.height, b.height());
        EXPECT_TRUE(rec.onlyGrew);
        EXPECT_GT(rec.rowCalls, 1);
        EXPECT_EQ(rec.reported, b.height());
        EXPECT_EQ(rec.abandonedCalls, 0);
        EXPECT_TRUE(std::equal(rec.seen.begin(), rec.seen.end(), b.data()));
    }
    // Damage in the scan data comes after started(); damage in the header before it.
    RecordingListener cut, png;
    EXPECT_THROW(decodeJpegFile((kData / "bad/truncated-scan.jpg").string(), &cut), InvalidImage);
    EXPECT_EQ(cut.startedCalls, 1);
    EXPECT_EQ(cut.abandonedCalls, 1);
    EXPECT_THROW(decodeJpegFile((kData / "bad/png-named.jpg").string(), &png), InvalidImage);
    EXPECT_EQ(png.startedCalls, 0);
    EXPECT_EQ(png.abandonedCalls, 0);
}

TEST(JpegDecoder, ClosesItsFileOnEveryPath) {
    const size_t before = openDescriptors();
    for (int round = 0; round < 20; ++round) {
        for (const fs::path& p : filesEndingIn(kData / "bad", ".jpg"))
            EXPECT_THROW(decodeJpegFile(p.string()), InvalidImage);
        EXPECT_FALSE(decodeJpegFile((kData / "jpeg/cmyk.jpg").string()).empty());
    }
    EXPECT_EQ(openDescriptors(), before);
}
