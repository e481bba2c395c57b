#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

#include "codecs/bmp_reader.h"
#include "codecs/bmp_writer.h"
#include "test_support.h"

namespace fs = std::filesystem;
using cwtest::fileBytes;
using cwtest::modeOf;
using cwtest::samePixels;
using cwtest::TempDir;

namespace {

void spit(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::vector<std::string> names(const fs::path& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

cw::Bitmap pattern(int32_t w, int32_t h) {
    cw::Bitmap bm(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) bm.at(x, y) = cw::rgb((x * 7 + 1) & 0xff, (y * 50 + 2) & 0xff, (x * y + 3) & 0xff);
    return bm;
}

} // namespace

TEST(BmpWriter, HeaderBottomUpRowsAndZeroPadding) {
    TempDir dir;
    for (int32_t w : {1, 2, 3, 4, 37}) {
        const int32_t h = 3, row = (w * 3 + 3) / 4 * 4;
        const cw::Bitmap bm = pattern(w, h);
        cw::writeBmp24(bm, dir / "out.bmp");
        const std::vector<uint8_t> f = fileBytes(dir / "out.bmp");
        ASSERT_EQ(f.size(), size_t(54 + row * h)) << w;
        // {offset, bytes, value} of every header field.
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
        EXPECT_TRUE(samePixels(cw::readBmp(dir / "out.bmp"), bm)) << w;
    }
    EXPECT_EQ(names(dir.path), std::vector<std::string>{"out.bmp"});  // no temporary files left behind
    // The pixel bytes of pictures another writer made come out the same.
    for (const char* name : {"bmp/rgb24.bmp", "photos/camera-24.bmp"}) {
        const std::vector<uint8_t> ref = fileBytes(cwtest::testdata(name));
        cw::writeBmp24(cw::readBmp(cwtest::testdata(name)), dir / "out.bmp");
        const std::vector<uint8_t> out = fileBytes(dir / "out.bmp");
        ASSERT_EQ(out.size(), ref.size()) << name;
        EXPECT_TRUE(std::equal(out.begin() + 54, out.end(), ref.begin() + 54)) << name;
    }
}

TEST(BmpWriter, FailuresLeaveTheOldFileAlone) {
    TempDir dir;
    const cw::Bitmap bm = pattern(100, 100);  // 30 KB
    const std::string old = dir / "old.bmp";
    spit(old, "previous contents");
    EXPECT_THROW(cw::writeBmp24(bm, dir / "missing/x.bmp"), cw::SaveError);
    EXPECT_THROW(cw::writeBmp24(bm, old + "/x.bmp"), cw::SaveError);  // parent is a regular file
    EXPECT_THROW(cw::writeBmp24(cw::Bitmap(), old), cw::SaveError);
    fs::create_directory(dir / "folder");
    spit(dir / "folder/inside", "x");
    EXPECT_THROW(cw::writeBmp24(bm, dir / "folder"), cw::SaveError);  // the rename onto a folder fails last
    // A file-size limit stops writes even for root: the data write fails part-way.
    struct rlimit saved {}, small {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    small = {4096, saved.rlim_max};
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_THROW(cw::writeBmp24(bm, old), cw::SaveError);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    if (::geteuid() != 0) {  // permissions do not stop root
        ::chmod(dir.path.c_str(), 0555);
        EXPECT_THROW(cw::writeBmp24(bm, old), cw::SaveError);
        ::chmod(dir.path.c_str(), 0755);
    }
    EXPECT_EQ(cwtest::fileText(old), "previous contents");
    EXPECT_EQ(names(dir.path), (std::vector<std::string>{"folder", "old.bmp"}));
    EXPECT_EQ(names(dir / "folder"), std::vector<std::string>{"inside"});
}

// A link is replaced, not followed; an existing file keeps its mode, a new one follows the umask.
TEST(BmpWriter, ReplacesLinksAndKeepsModes) {
    TempDir dir;
    const cw::Bitmap bm = pattern(5, 4);
    spit(dir / "target", "not a picture");
    fs::create_symlink(dir / "target", dir / "link.bmp");
    cw::writeBmp24(bm, dir / "link.bmp");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / "link.bmp")) && fs::file_size(dir / "target") == 13);
    EXPECT_TRUE(samePixels(cw::readBmp(dir / "link.bmp"), bm));
    spit(dir / "existing.bmp", "old");
    ::chmod((dir / "existing.bmp").c_str(), 0604);
    cw::writeBmp24(bm, dir / "existing.bmp");
    EXPECT_EQ(modeOf(dir / "existing.bmp"), 0604u);
    const mode_t savedMask = ::umask(027);
    cw::writeBmp24(bm, dir / "new1.bmp");
    ::umask(002);
    cw::writeBmp24(bm, dir / "new2.bmp");
    ::umask(savedMask);
    EXPECT_EQ(std::pair(modeOf(dir / "new1.bmp"), modeOf(dir / "new2.bmp")), std::pair(0640u, 0664u));
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
        w.writeRows(5, 4, second.row(5));  // the lower piece first, as two threads may hand them
        w.writeRows(0, 5, second.data());
        w.commit(false);
    }
    EXPECT_TRUE(samePixels(cw::readBmp(path), second));
    EXPECT_EQ(std::pair(fs::file_size(path), modeOf(path)), std::pair(uintmax_t(54 + 52 * 9), 0600u)) << "nothing of the old file is left";
    // A folder in the way is not removed, and the attempt leaves no file behind.
    fs::create_directory(dir / "folder");
    {
        cw::BmpFileWriter w(dir / "folder", second.width(), second.height());
        w.writeRows(0, second.height(), second.data());
        EXPECT_THROW(w.commit(false), cw::SaveError);
    }
    EXPECT_EQ(names(dir.path), (std::vector<std::string>{"folder", "wkf.bmp"}));
}
