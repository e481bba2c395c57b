#include "codecs/bmp_reader.h"
#include "codecs/bmp_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "test_support.h"

namespace fs = std::filesystem;

namespace {

const std::string kData = CW_TESTDATA;

using cwtest::TempDir;
std::vector<uint8_t> slurp(const std::string& path) { return cwtest::fileBytes(path); }

void spit(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

uint32_t le(const std::vector<uint8_t>& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + i];
    return v;
}

std::vector<std::string> names(const TempDir& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir.path)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

cw::Bitmap pattern(int32_t w, int32_t h) {
    cw::Bitmap bm(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) bm.at(x, y) = cw::rgb((x * 7 + 1) & 0xff, (y * 50 + 2) & 0xff, (x * y + 3) & 0xff);
    return bm;
}

bool samePixels(const cw::Bitmap& a, const cw::Bitmap& b) {
    return a.width() == b.width() && a.height() == b.height() &&
           std::equal(a.data(), a.data() + a.pixelCount(), b.data());
}

mode_t modeOf(const std::string& path) {
    struct stat st;
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

TEST(BmpWriter, HeaderRowsAndPadding) {
    TempDir dir;
    for (int32_t w : {1, 2, 3, 4, 37}) {
        const int32_t h = 3;
        const cw::Bitmap bm = pattern(w, h);
        const std::string path = dir / ("w" + std::to_string(w) + ".bmp");
        cw::writeBmp24(bm, path);
        const std::vector<uint8_t> f = slurp(path);
        const uint32_t row = (uint32_t(w) * 3 + 3) / 4 * 4;
        ASSERT_EQ(f.size(), 54 + row * h) << w;
        EXPECT_EQ(f[0], 'B');
        EXPECT_EQ(f[1], 'M');
        EXPECT_EQ(le(f, 2, 4), f.size());
        EXPECT_EQ(le(f, 6, 4), 0u);
        EXPECT_EQ(le(f, 10, 4), 54u);
        EXPECT_EQ(le(f, 14, 4), 40u);
        EXPECT_EQ(le(f, 18, 4), uint32_t(w));
        EXPECT_EQ(le(f, 22, 4), uint32_t(h));
        EXPECT_EQ(le(f, 26, 2), 1u);
        EXPECT_EQ(le(f, 28, 2), 24u);
        EXPECT_EQ(le(f, 30, 4), 0u);
        EXPECT_EQ(le(f, 34, 4), row * h);
        EXPECT_EQ(le(f, 38, 4), 2835u);
        EXPECT_EQ(le(f, 42, 4), 2835u);
        EXPECT_EQ(le(f, 46, 4), 0u);
        EXPECT_EQ(le(f, 50, 4), 0u);
        for (int32_t r = 0; r < h; ++r) {
            const size_t start = 54 + size_t(r) * row;
            for (int32_t x = 0; x < w; ++x) {
                const uint32_t c = bm.at(x, h - 1 - r); // first stored row is the bottom one
                EXPECT_EQ(f[start + 3 * x], cw::blueOf(c));
                EXPECT_EQ(f[start + 3 * x + 1], cw::greenOf(c));
                EXPECT_EQ(f[start + 3 * x + 2], cw::redOf(c));
            }
            for (uint32_t k = uint32_t(w) * 3; k < row; ++k) EXPECT_EQ(f[start + k], 0) << "padding, width " << w;
        }
        EXPECT_TRUE(samePixels(cw::readBmp(path), bm)) << w;
    }
    EXPECT_EQ(names(dir).size(), 5u); // no temporary files left behind
}

TEST(BmpWriter, PixelBytesMatchAnIndependentWriter) {
    TempDir dir;
    for (const char* name : {"/bmp/rgb24.bmp", "/photos/camera-24.bmp"}) {
        const std::vector<uint8_t> ref = slurp(kData + name);
        cw::writeBmp24(cw::readBmp(kData + name), dir / "out.bmp");
        const std::vector<uint8_t> out = slurp(dir / "out.bmp");
        ASSERT_EQ(out.size(), ref.size()) << name;
        EXPECT_TRUE(std::equal(out.begin() + 54, out.end(), ref.begin() + 54)) << name;
    }
}

TEST(BmpWriter, FailuresLeaveTheOldFileAlone) {
    TempDir dir;
    const cw::Bitmap bm = pattern(100, 100); // 30 KB
    const std::string old = dir / "old.bmp";
    spit(old, "previous contents");
    const std::vector<uint8_t> before = slurp(old);

    EXPECT_THROW(cw::writeBmp24(bm, dir / "missing/x.bmp"), cw::SaveError);
    EXPECT_THROW(cw::writeBmp24(bm, old + "/x.bmp"), cw::SaveError); // parent is a regular file
    EXPECT_THROW(cw::writeBmp24(cw::Bitmap(), old), cw::SaveError);

    fs::create_directory(dir / "folder");
    spit(dir / "folder/inside", "x");
    EXPECT_THROW(cw::writeBmp24(bm, dir / "folder"), cw::SaveError); // rename onto a folder fails last

    {
        // A file-size limit stops writes even for root; the data write fails part-way.
        struct rlimit saved;
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        struct rlimit small = saved;
        small.rlim_cur = 4096;
        auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        EXPECT_THROW(cw::writeBmp24(bm, old), cw::SaveError);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
    }

    if (::geteuid() != 0) { // permissions do not stop root
        ::chmod(dir.path.c_str(), 0555);
        EXPECT_THROW(cw::writeBmp24(bm, old), cw::SaveError);
        ::chmod(dir.path.c_str(), 0755);
    }

    EXPECT_EQ(slurp(old), before);
    EXPECT_EQ(names(dir), (std::vector<std::string>{"folder", "old.bmp"}));
    EXPECT_EQ(fs::directory_iterator(dir / "folder")->path().filename(), "inside");
}

TEST(BmpWriter, ReplacesASymlinkNotItsTarget) {
    TempDir dir;
    spit(dir / "target", "not a picture");
    fs::create_symlink(dir / "target", dir / "link.bmp");
    const cw::Bitmap bm = pattern(5, 4);
    cw::writeBmp24(bm, dir / "link.bmp");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / "link.bmp")));
    const std::vector<uint8_t> target = slurp(dir / "target");
    EXPECT_EQ(std::string(target.begin(), target.end()), "not a picture");
    EXPECT_TRUE(samePixels(cw::readBmp(dir / "link.bmp"), bm));
}

TEST(BmpWriter, KeepsTheModeOrFollowsTheUmask) {
    TempDir dir;
    const cw::Bitmap bm = pattern(3, 3);
    const std::string existing = dir / "existing.bmp";
    spit(existing, "old");
    ::chmod(existing.c_str(), 0604);
    cw::writeBmp24(bm, existing);
    EXPECT_EQ(modeOf(existing), 0604u);
    EXPECT_TRUE(samePixels(cw::readBmp(existing), bm));

    const mode_t savedMask = ::umask(027);
    cw::writeBmp24(bm, dir / "new1.bmp");
    ::umask(002);
    cw::writeBmp24(bm, dir / "new2.bmp");
    ::umask(savedMask);
    EXPECT_EQ(modeOf(dir / "new1.bmp"), 0640u);
    EXPECT_EQ(modeOf(dir / "new2.bmp"), 0664u);
}

TEST(BmpWriter, ScratchCommitReplacesTheOldFileWhole) {
    TempDir dir;
    const std::string path = dir / "wkf.bmp";
    const cw::Bitmap first = pattern(40, 30), second = pattern(17, 9);
    {
        cw::BmpFileWriter w(path, first.width(), first.height());
        w.writeRows(0, first.height(), first.data());
        w.commit(false);
    }
    ::chmod(path.c_str(), 0600);
    {
        cw::BmpFileWriter w(path, second.width(), second.height());
        // Rows in two pieces, the lower one first, as two threads may hand them.
        w.writeRows(5, 4, second.row(5));
        w.writeRows(0, 5, second.data());
        w.commit(false);
    }
    EXPECT_TRUE(samePixels(cw::readBmp(path), second));
    EXPECT_EQ(slurp(path).size(), 54u + 52u * 9u) << "nothing of the larger old file is left";
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(names(dir), (std::vector<std::string>{"wkf.bmp"}));

    // A folder in the way is not removed, and the attempt leaves no file behind.
    fs::create_directory(dir / "folder");
    {
        cw::BmpFileWriter w(dir / "folder", second.width(), second.height());
        w.writeRows(0, second.height(), second.data());
        EXPECT_THROW(w.commit(false), cw::SaveError);
    }
    EXPECT_TRUE(fs::is_directory(dir / "folder"));
    EXPECT_EQ(names(dir), (std::vector<std::string>{"folder", "wkf.bmp"}));
}

} // namespace
