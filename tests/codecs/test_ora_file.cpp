// OpenRaster files: what the writer makes, read back by OraReader, by libpng and by Python's zipfile; files another
// program could write; and the damaged or hostile files tests/data/bad/make_oras.py writes.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <png.h>
#include <sys/resource.h>

#include "codecs/ora_file.h"
#include "codecs/replacing_file.h"
#include "core/image_error.h"
#include "test_support.h"

using namespace cw;
using namespace cwtest;
using Bytes = std::vector<uint8_t>;

namespace {

Bitmap noisy(int32_t w, int32_t h, uint32_t s) {
    Bitmap bm(w, h);
    for (size_t i = 0; i < bm.pixelCount(); ++i) s ^= s << 13, s ^= s >> 17, s ^= s << 5, bm.data()[i] = s | 0xff000000u;
    return bm;
}

Bytes grayOf(const Bitmap& bm) {
    Bytes g(bm.pixelCount());
    for (size_t i = 0; i < g.size(); ++i) g[i] = uint8_t(bm.data()[i] >> 3);
    return g;
}

// libpng's own reading of a PNG entry, as 8-bit RGB.
Bitmap libpngRgb(const std::string& png) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return {};
    image.format = PNG_FORMAT_RGB;
    Bytes px(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, px.data(), 0, nullptr)) return {};
    Bitmap out(int32_t(image.width), int32_t(image.height));
    for (size_t i = 0; i < out.pixelCount(); ++i) out.data()[i] = rgb(px[3 * i], px[3 * i + 1], px[3 * i + 2]);
    return out;
}

std::unique_ptr<OraReader> reader(const std::string& bytes) {
    return std::make_unique<OraReader>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string run(const std::string& command) {
    std::string out;
    char buffer[4096];
    FILE* p = ::popen(command.c_str(), "r");
    for (size_t n; p && (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
    return p && ::pclose(p) == 0 ? out : "failed: " + out;
}

// What Python's zipfile and ElementTree see in the file.
const char* kDescribe = R"(import sys, struct, zipfile, xml.etree.ElementTree as T
z = zipfile.ZipFile(sys.argv[1]); raw = open(sys.argv[1], 'rb').read()
print(raw[30:54] == b'mimetypeimage/openraster', z.testzip())
for e in z.infolist(): print(e.filename, e.compress_type)
print(z.read('mergedimage.png') == z.read('data/colour.png'), struct.unpack('>II', z.read('Thumbnails/thumbnail.png')[16:24]))
s = T.fromstring(z.read('stack.xml'))
print(s.get('w'), s.get('h'), [(l.get('name'), l.get('src'), l.get('visibility'), l.get('x'), l.get('y')) for l in s.iter('layer')]))";

struct Picture {
    Bitmap colour;
    Bytes gray, mask;
    OraOut ora;
    Picture(int32_t w, int32_t h) : colour(noisy(w, h, 7u)), gray(grayOf(noisy(w, h, 99u))), mask(grayOf(colour)) {
        ora.width = w, ora.height = h, ora.mergedFrom = 1;
        ora.layers = {{"Mask \"<&>\"\tb", "data/mask.png", false, nullptr, mask.data()},
                      {"Colour", "data/colour.png", true, colour.data(), nullptr},
                      {"Gray", "data/gray.png", true, nullptr, gray.data()}};
        ora.extraFiles = {{"chromawell/work.txt", "palette 3\nstep 16\n" + std::string(size_t(w), 'x')}};
    }
};

} // namespace

TEST(OraFile, LayersOfOddSizesAndExtraFilesComeBackExactly) {
    TempDir dir;
    for (const auto& [w, h] : {std::pair(1, 1), std::pair(7, 3), std::pair(300, 2), std::pair(2, 300), std::pair(513, 257)}) {
        const Picture p(w, h);
        writeOra(p.ora, dir / "p.ora");
        const std::string bytes = encodeOra(p.ora);
        const std::unique_ptr<OraReader> readers[] = {std::make_unique<OraReader>(dir / "p.ora"), reader(bytes)};
        for (const auto& it : readers) {
            const OraReader& r = *it;
            ASSERT_EQ(r.width(), w);
            ASSERT_EQ(r.height(), h);
            ASSERT_EQ(r.layers().size(), 3u);
            for (size_t i = 0; i < 3; ++i) {
                const OraLayerIn& in = r.layers()[i];
                EXPECT_TRUE(in.name == p.ora.layers[i].name && in.src == p.ora.layers[i].src && in.visible == p.ora.layers[i].visible && in.x == 0 && in.y == 0) << in.name;
            }
            EXPECT_TRUE(samePixels(r.readRgb("data/colour.png"), p.colour)) << w;
            EXPECT_TRUE(samePixels(r.readMerged(), p.colour)) << w;
            EXPECT_TRUE(samePixels(libpngRgb(r.readFile("data/colour.png", 1 << 20)), p.colour)) << w;
            EXPECT_EQ(r.readGray8("data/gray.png"), p.gray) << w;
            EXPECT_EQ(r.readGray8("data/mask.png"), p.mask) << w;
            EXPECT_EQ(r.readFile("chromawell/work.txt", 1000), p.ora.extraFiles[0].second);
            EXPECT_THROW(r.readFile("chromawell/work.txt", p.ora.extraFiles[0].second.size() - 1), InvalidImage);
            EXPECT_THROW(r.readGray8("data/colour.png"), InvalidImage);
        }
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 1);  // no temporary file left behind
}

TEST(OraFile, ZipfileFindsMimetypeFirstAndStoredThePngsStoredAndTheStackListed) {
    TempDir dir;
    const Picture p(600, 40);
    writeOra(p.ora, dir / "p.ora");
    EXPECT_EQ(run("python3 -c \"$(cat <<'EOF'\n" + std::string(kDescribe) + "\nEOF\n)\" " + dir / "p.ora"),
              "True None\nmimetype 0\nstack.xml 8\ndata/mask.png 0\ndata/colour.png 0\ndata/gray.png 0\nmergedimage.png 0\n"
              "Thumbnails/thumbnail.png 0\nchromawell/work.txt 8\nTrue (256, 17)\n600 40 [('Mask \"<&>\"\\tb', 'data/mask.png', "
              "'hidden', '0', '0'), ('Colour', 'data/colour.png', 'visible', '0', '0'), ('Gray', 'data/gray.png', 'visible', '0', '0')]\n");
}

// {width, height, thumbnail's width and height, a pixel of it (0: any)}; columns alternate between two colours.
TEST(OraFile, TheThumbnailFitsTheMergedPictureIn256ByTheMeanOfEachBlock) {
    const struct { int32_t w, h, tw, th; uint32_t at1x1; } cases[] = {
        {512, 512, 256, 256, rgb(128, 20, 201)}, {1000, 10, 256, 3, 0}, {3, 1000, 1, 256, 0}, {1, 5000, 1, 256, 0}, {100, 50, 100, 50, rgb(255, 30, 201)}};
    for (const auto& c : cases) {
        Bitmap bm(c.w, c.h);
        for (size_t i = 0; i < bm.pixelCount(); ++i) bm.data()[i] = i % 2 ? rgb(255, 30, 201) : rgb(0, 10, 200);
        OraOut ora{c.w, c.h, {{"c", "data/c.png", true, bm.data(), nullptr}}, 0, {}, 1};
        const std::string bytes = encodeOra(ora);
        const Bitmap t = libpngRgb(reader(bytes)->readFile("Thumbnails/thumbnail.png", 1 << 20));
        ASSERT_EQ(std::pair(t.width(), t.height()), std::pair(c.tw, c.th)) << c.w;
        EXPECT_TRUE(c.at1x1 == 0 || t.at(1, 1) == c.at1x1) << c.w;  // 127.5, 200.5 round up
    }
}

TEST(OraFile, FilesOfOtherProgramsAndEarlierOnesReadWithNestedStacksEntitiesAndAlphaOverWhite) {
    const OraReader r(testdata("ora/written-elsewhere.ora"));
    ASSERT_EQ(std::pair(r.width(), r.height()), std::pair(5, 3));
    ASSERT_EQ(r.layers().size(), 2u);
    EXPECT_TRUE(r.layers()[0].name == "Ink & <wash> \xc3\xa9!'\"" && r.layers()[0].src == "data/ink.png" && !r.layers()[0].visible);
    EXPECT_TRUE(r.layers()[1].name == "Paper" && r.layers()[1].visible && r.layers()[1].x == 2 && r.layers()[1].y == -1);
    const Bitmap inks[] = {r.readRgb("data/ink.png"), r.readMerged()};
    for (const Bitmap& ink : inks) {
        EXPECT_EQ(ink.at(0, 0), rgb(255, 127, 127));  // red at alpha 128
        EXPECT_EQ(ink.at(1, 0), rgb(255, 255, 255));  // transparent
        EXPECT_EQ(ink.at(4, 2), rgb(40, 40, 30));
    }
    const Bytes paper = r.readGray8(r.layers()[1].src);
    ASSERT_EQ(paper.size(), 15u);
    EXPECT_EQ(paper[2 * 5 + 3], 152);
    EXPECT_EQ(OraReader(testdata("ora/base.ora")).readRgb("data/colour.png").at(3, 2), rgb(120, 100, 200));
    const OraReader ours(testdata("ora/chromawell-9x5.ora"));  // as an earlier Chromawell wrote it
    EXPECT_TRUE(ours.layers().size() == 3 && !ours.layers()[0].visible && ours.readFile("chromawell/work.txt", 99) == "palette 3\n");
    EXPECT_EQ(ours.readRgb("data/colour.png").at(1, 4), rgb(185, 144, 89));
    EXPECT_EQ(ours.readGray8("data/gray.png")[44], 176);
    setMemoryCeiling(8);
    EXPECT_THROW(ours.readFile("chromawell/work.txt", 99), std::bad_alloc);
    setMemoryCeiling(~0ull);
}

// {file, what must fail}: the reader opens the file, then reads the layers and the merged picture.
TEST(OraFile, DamagedAndHostileFilesAreRefusedBeforeAllocating) {
    const std::pair<const char*, const char*> cases[] = {
        {"empty", "open"}, {"not-zip", "open"}, {"truncated", "open"}, {"no-mimetype", "open"}, {"wrong-mimetype", "open"},
        {"mimetype-newline", "open"}, {"mimetype-not-first", "open"}, {"no-stack", "open"}, {"src-dotdot", "open"},
        {"src-absolute", "open"}, {"src-drive", "open"}, {"src-backslash", "open"}, {"src-missing", "open"}, {"size-huge", "open"}, {"size-zero", "open"},
        {"size-not-number", "open"}, {"stack-unknown-entity", "open"}, {"stack-unclosed", "open"}, {"stack-mismatched", "open"},
        {"stack-over-1mb", "open"}, {"stack-bomb", "open"}, {"size-claim-lies", "open"}, {"stored-size-lies", "open"}, {"deflated-size-lies", "open"},
        {"encrypted-layer", "open"},
        {"duplicate-names", "open"}, {"zip64-entry-count", "open"}, {"layer-size-mismatch", "rgb"}, {"gray-layer-is-palette", "gray"}, {"layer-bomb", "rgb"},
        {"layer-crc", "rgb"}, {"layer-gigapixel", "rgb"}, {"merged-truncated", "merged"},
    };
    size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(testdata("bad"))) files += e.path().extension() == ".ora";
    ASSERT_EQ(std::size(cases), files);
    setMemoryCeiling(64ull << 20);
    testing::internal::CaptureStderr();
    for (const auto& [name, step] : cases) {
        const std::string file = testdata("bad/") + name + ".ora";
        std::string failed = "nothing";
        try {
            failed = "open";
            const OraReader r(file);
            failed = "rgb";
            r.readRgb("data/colour.png");
            failed = "gray";
            r.readGray8("data/gray.png");
            failed = "merged";
            r.readMerged();
            failed = "nothing";
        } catch (const InvalidImage&) {
        } catch (const std::exception& e) {
            failed += std::string(" with ") + e.what();
        }
        EXPECT_EQ(failed, step) << name;
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // libzip and libpng kept quiet
    setMemoryCeiling(~0ull);
}

// A file-size limit stops writes even for root: it fails one of the archive's writes part-way.
TEST(OraFile, AFailedSaveThrowsSaveErrorWithTheSystemsReasonAndLeavesTheOldFile) {
    TempDir dir;
    const Picture p(300, 200);  // some 500 KB of PNGs that do not compress
    writeOra(Picture(5, 4).ora, dir / "old.ora");
    const Bytes before = fileBytes(dir / "old.ora");
    OraOut grayMerged = p.ora, unsafe = p.ora;
    grayMerged.mergedFrom = 0, unsafe.layers[2].src = "../gray.png";
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const struct rlimit small = {64 << 10, saved.rlim_max};
    const struct { const OraOut* ora; std::string path; int error; const rlimit* limit; } cases[] = {
        {&p.ora, dir / "missing/x.ora", ENOENT, &saved}, {&grayMerged, dir / "old.ora", 0, &saved},
        {&unsafe, dir / "old.ora", 0, &saved}, {&p.ora, dir / "old.ora", EFBIG, &small}};
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    for (const auto& c : cases) {
        ::setrlimit(RLIMIT_FSIZE, c.limit);
        try {
            writeOra(*c.ora, c.path);
            ADD_FAILURE() << c.path << " was written";
        } catch (const SaveError& e) {
            EXPECT_EQ(e.error(), c.error) << e.what();
        }
        ::setrlimit(RLIMIT_FSIZE, &saved);
    }
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(fileBytes(dir / "old.ora"), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 1);
}
