#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "actions/headless_host.h"
#include "actions/image_window.h"
#include "actions/picture_files.h"
#include "actions/scratch.h"
#include "actions/session.h"
#include "codecs/bmp_reader.h"
#include "codecs/jpeg_decoder.h"
#include "test_support.h"

using namespace cw;
namespace fs = std::filesystem;

namespace {

std::string slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

struct Fixture : cwtest::SessionRig<> {
    Fixture() : SessionRig("cache/temp") {}

    void load(const std::vector<std::string>& names) {
        dialogs.opens.push_back(names);
        loadButtonClick(s);
    }
    std::string copyAs(const std::string& testfile, const std::string& name) {
        const std::string to = dir / name;
        fs::copy_file(cwtest::testdata(testfile), to);
        return to;
    }
    void expectNoPictureAndUsable() {
        EXPECT_FALSE(s.imageWindowOpen);
        EXPECT_FALSE(s.ws);
        EXPECT_TRUE(s.mainEnabled);
        EXPECT_FALSE(progress.visible());
        EXPECT_TRUE(progress.abortVisible());
        EXPECT_FALSE(s.imageWindowOpen);
        EXPECT_FALSE(s.toolPanelsEnabled);
    }
};

} // namespace

TEST(Extension, IsTakenAfterTheLastSeparatorAndComparedInUpperCase) {
    for (const char* jpeg : {"photo.jpg", "PHOTO.JPG", "a/b.c/photo.Jpeg", "c:photo.jpeg", "x\\y.jPg"})
        EXPECT_TRUE(isJpegName(jpeg)) << jpeg;
    for (const char* other : {"photo.bmp", "photo", "dir.jpg/photo", "c.jpeg:photo", "photo.jpg.bmp", ".jpgx"})
        EXPECT_FALSE(isJpegName(other)) << other;
    EXPECT_EQ(fileExtension("a.b/c"), "");
    EXPECT_EQ(fileExtension("a/b.tar.gz"), ".gz");
}

TEST(LoadImage, JpegGoesThroughTheScratchBitmapAndTheWindowShowsItsPath) {
    Fixture f;
    const std::string jpeg = f.copyAs("photos/coffee.jpg", "picture.JPEG");
    f.load({jpeg});
    ASSERT_TRUE(f.s.imageWindowOpen);
    const std::string scratch = f.dir / "cache/temp/wkf.bmp";
    EXPECT_EQ(f.s.openFileName, scratch);
    EXPECT_EQ(f.s.openFileName, scratch);
    EXPECT_TRUE(f.s.imageWindowOpen);
    EXPECT_TRUE(f.s.toolPanelsEnabled);
    EXPECT_TRUE(f.s.mainEnabled);
    EXPECT_EQ(f.s.ws->width, 512);
    EXPECT_EQ(f.s.ws->height, 341);
    EXPECT_FALSE(f.progress.visible());
    EXPECT_TRUE(f.progress.abortVisible());
    EXPECT_EQ(f.progress.phases.front(), kPhaseInitialising);
    EXPECT_TRUE(f.messages.shown.empty());
    EXPECT_EQ(f.dialogs.asked.at(0).title, kOpenTitle);
    EXPECT_EQ(f.dialogs.asked.at(0).filter, kOpenFilter);

    // The scratch bitmap holds the decoded picture, and so does the workspace.
    const Bitmap decoded = decodeJpegFile(jpeg);
    const Bitmap written = readBmp(scratch);
    ASSERT_EQ(written.pixelCount(), decoded.pixelCount());
    EXPECT_EQ(0, std::memcmp(written.data(), decoded.data(), decoded.pixelCount() * 4));
    EXPECT_EQ(0, std::memcmp(f.s.ws->source.data(), decoded.data(), decoded.pixelCount() * 4));

    struct stat st;
    ASSERT_EQ(::lstat((f.dir / "cache/temp").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "the scratch folder is private";

    // A second JPEG overwrites the scratch bitmap of the first.
    loadButtonClick(f.s);  // the Load button now clears
    EXPECT_FALSE(f.s.imageWindowOpen);
    EXPECT_EQ(f.dialogs.asked.size(), 1u) << "clearing shows no dialog";
    f.load({f.copyAs("photos/camera.jpg", "second.jpg")});
    ASSERT_TRUE(f.s.imageWindowOpen);
    EXPECT_EQ(readBmp(scratch).width(), 512);
    EXPECT_EQ(readBmp(scratch).height(), 512);
}

TEST(LoadImage, OnlyTheFirstOfSeveralSelectedFilesIsLoaded) {
    Fixture f;
    f.load({cwtest::testdata("bmp/rgb24.bmp"), cwtest::testdata("photos/camera-24.bmp"),
            cwtest::testdata("photos/camera.bmp")});
    ASSERT_TRUE(f.s.imageWindowOpen);
    EXPECT_EQ(f.s.ws->width, 37);
    EXPECT_EQ(f.host.created, 1);
    EXPECT_EQ(f.s.openFileName, cwtest::testdata("bmp/rgb24.bmp"));
}

TEST(LoadImage, CancelledDialogOpensNothing) {
    Fixture f;
    f.load({});
    EXPECT_EQ(f.host.created, 0);
    EXPECT_EQ(f.progress.shows, 0);
    f.expectNoPictureAndUsable();
}

TEST(LoadImage, EveryDamagedFileIsRefusedAndLeavesNoPictureOpen) {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(cwtest::testdata("bad")))
        if (e.path().extension() != ".md") files.push_back(e.path());
    files.push_back(cwtest::testdata("bad/does-not-exist.bmp"));
    files.push_back(cwtest::testdata("bad/does-not-exist.jpg"));
    ASSERT_GE(files.size(), 17u);
    for (const auto& path : files) {
        Fixture f;
        f.load({path.string()});
        ASSERT_EQ(f.messages.shown.size(), 1u) << path;
        const std::string& m = f.messages.shown[0];
        EXPECT_TRUE(m == kInvalidImageMessage || m == kSetupOutOfMemory) << path << ": " << m;
        f.expectNoPictureAndUsable();
        EXPECT_EQ(f.host.closed, 1) << path << ": the half-opened window is closed";
        // The program is still usable: a good picture loads next.
        f.load({cwtest::testdata("bmp/pal8.bmp")});
        EXPECT_TRUE(f.s.imageWindowOpen) << path;
    }
}

TEST(LoadImage, ForceGrayAppliesToOneLoadOnly) {
    Fixture f;
    f.s.controls.forceGray = true;
    f.load({cwtest::testdata("photos/astronaut.jpg")});
    ASSERT_TRUE(f.s.ws);
    EXPECT_FALSE(f.s.controls.forceGray);
    const Workspace& ws = *f.s.ws;
    for (size_t i = 0; i < ws.pixelCount(); ++i) {
        const uint32_t c = ws.source.data()[i];
        ASSERT_TRUE(redOf(c) == greenOf(c) && greenOf(c) == blueOf(c));
    }
    // Restore re-reads the scratch file with the current (now off) setting.
    restoreImage(f.s);
    ASSERT_TRUE(f.s.ws);
    EXPECT_NE(redOf(f.s.ws->source.at(256, 256)), blueOf(f.s.ws->source.at(256, 256)));
}

TEST(Restore, BringsBackThePictureAsLoadedAndClearsTheSelection) {
    Fixture f;
    f.load({cwtest::testdata("photos/camera-24.bmp")});
    ASSERT_TRUE(f.s.ws);
    const Bitmap original = f.s.ws->source.clone();
    Workspace& painted = *f.s.ws;
    std::fill(painted.colour.data(), painted.colour.data() + 1000, rgb(255, 0, 0));
    std::fill(painted.display.data(), painted.display.data() + 1000, rgb(255, 0, 0));
    std::fill(painted.codes.get(), painted.codes.get() + 1000, int8_t(3));
    painted.selectionActive = true;
    painted.imageModified = true;
    f.s.settings.grayStep = 1;

    restoreImage(f.s);
    ASSERT_TRUE(f.s.imageWindowOpen);
    const Workspace& ws = *f.s.ws;
    EXPECT_EQ(0, std::memcmp(ws.display.data(), original.data(), original.pixelCount() * 4));
    EXPECT_EQ(0, std::memcmp(ws.colour.data(), original.data(), original.pixelCount() * 4));
    EXPECT_TRUE(std::all_of(ws.codes.get(), ws.codes.get() + ws.pixelCount(), [](int8_t c) { return c == 0; }));
    EXPECT_EQ(ws.freePixelCount, 512 * 512);
    EXPECT_FALSE(ws.selectionActive);
    EXPECT_FALSE(ws.imageModified);
    EXPECT_EQ(f.s.settings.grayStep, 16);
    EXPECT_EQ(f.s.settings.minObjectSize, 10 * 1024 / 100);
    EXPECT_FALSE(f.progress.visible());
}

TEST(SaveAs, WritesTheDisplayedPictureAndAsksBeforeOverwriting) {
    Fixture f;
    f.load({cwtest::testdata("bmp/rgb24.bmp")});
    ASSERT_TRUE(f.s.ws);
    f.s.ws->display.at(5, 7) = rgb(1, 2, 3);  // something drawn on the display only
    f.s.ws->imageModified = true;
    const std::string out = f.dir / "out.bmp";
    f.dialogs.saves.push_back(out);
    saveImageAs(f.s);
    const Bitmap saved = readBmp(out);
    EXPECT_EQ(saved.at(5, 7), rgb(1, 2, 3));
    EXPECT_EQ(0, std::memcmp(saved.data(), f.s.ws->display.data(), saved.pixelCount() * 4));
    EXPECT_FALSE(f.s.ws->imageModified);
    EXPECT_TRUE(f.messages.shown.empty()) << "a new file needs no confirmation";
    EXPECT_EQ(f.dialogs.asked.back().title, kSaveTitle);
    EXPECT_EQ(f.dialogs.asked.back().filter, kSaveFilter);
    EXPECT_EQ(f.progress.phases, (std::vector<std::string>{kPhaseInitialising, kPhaseSaving, kPhaseWorking}));
    EXPECT_TRUE(f.progress.gaugeVisible());

    // Answering No leaves the file untouched and shows no meter.
    const std::string before = slurp(out);
    f.s.ws->display.at(0, 0) = rgb(9, 9, 9);
    f.messages.answer = false;
    const int shows = f.progress.shows;
    f.dialogs.saves.push_back(out);
    saveImageAs(f.s);
    EXPECT_EQ(f.messages.shown, std::vector<std::string>{kOverwriteQuestion});
    EXPECT_EQ(slurp(out), before);
    EXPECT_EQ(f.progress.shows, shows);

    // Yes overwrites.
    f.messages.answer = true;
    f.dialogs.saves.push_back(out);
    saveImageAs(f.s);
    EXPECT_EQ(readBmp(out).at(0, 0), rgb(9, 9, 9));
}

TEST(SaveAs, AFailedSaveKeepsThePictureOpenAndTheOldFileIntact) {
    Fixture f;
    f.load({cwtest::testdata("bmp/rgb24.bmp")});
    ASSERT_TRUE(f.s.ws);
    f.s.ws->imageModified = true;
    // A folder that does not exist, and a "folder" that is a regular file.
    const std::string notAFolder = f.dir / "file";
    std::ofstream(notAFolder) << "x";
    for (const std::string& target : {f.dir / "missing/out.bmp", notAFolder + "/out.bmp"}) {
        f.messages.shown.clear();
        f.dialogs.saves.push_back(target);
        saveImageAs(f.s);
        EXPECT_EQ(f.messages.shown, std::vector<std::string>{kSaveFailedMessage}) << target;
        EXPECT_TRUE(f.s.imageWindowOpen);
        ASSERT_TRUE(f.s.ws);
        EXPECT_TRUE(f.s.ws->imageModified) << "the work is still unsaved";
        EXPECT_TRUE(f.s.mainEnabled);
        EXPECT_FALSE(f.progress.visible());
        EXPECT_TRUE(f.progress.abortVisible());
        EXPECT_TRUE(f.progress.gaugeVisible());
    }
    EXPECT_EQ(slurp(notAFolder), "x");
    // And the user can save elsewhere afterwards.
    f.dialogs.saves.push_back(f.dir / "ok.bmp");
    saveImageAs(f.s);
    EXPECT_EQ(readBmp(f.dir / "ok.bmp").width(), 37);
}

TEST(SaveAs, SavingOntoASymbolicLinkUpdatesTheLinkedFile) {
    Fixture f;
    f.load({cwtest::testdata("bmp/rgb24.bmp")});
    ASSERT_TRUE(f.s.ws);
    const std::string real = f.dir / "real.bmp", link = f.dir / "link.bmp";
    std::ofstream(real) << "old";
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    f.dialogs.saves.push_back(link);
    saveImageAs(f.s);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readBmp(real).width(), 37);
}

TEST(SaveAs, DoesNothingWithoutAPicture) {
    Fixture f;
    f.dialogs.saves.push_back(f.dir / "never.bmp");
    saveImageAs(f.s);
    restoreImage(f.s);
    EXPECT_TRUE(f.dialogs.asked.empty());
    EXPECT_FALSE(fs::exists(f.dir / "never.bmp"));
    EXPECT_EQ(f.progress.shows, 0);
}

TEST(ScratchFolder, IsPrivateAndNeverALink) {
    cwtest::TempDir dir;
    const std::string folder = dir / "a/b/temp";
    ASSERT_TRUE(ensureScratchFolder(folder));
    struct stat st;
    ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // An existing folder is left as it is, but opened up to others it is made private again.
    ::chmod(folder.c_str(), 0755);
    ASSERT_TRUE(ensureScratchFolder(folder));
    ::lstat(folder.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // A link planted where the folder should be is refused, so a JPEG load
    // writes nothing through it and fails cleanly.
    const std::string elsewhere = dir / "elsewhere";
    fs::create_directory(elsewhere);
    const std::string planted = dir / "planted";
    ASSERT_EQ(::symlink(elsewhere.c_str(), planted.c_str()), 0);
    EXPECT_FALSE(ensureScratchFolder(planted));

    cwtest::RecordingProgress progress;
    cwtest::ScriptedMessages messages;
    cwtest::ScriptedDialogs dialogs;
    HeadlessHost host;
    Session s(progress, messages, dialogs, host, planted);
    host.session = &s;
    dialogs.opens.push_back({cwtest::testdata("photos/camera.jpg")});
    loadImage(s);
    EXPECT_FALSE(s.imageWindowOpen);
    EXPECT_EQ(messages.shown, std::vector<std::string>{kInvalidImageMessage});
    EXPECT_TRUE(fs::is_empty(elsewhere));
}
