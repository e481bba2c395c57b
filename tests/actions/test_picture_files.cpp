#include <set>
#include <gtest/gtest.h>

#include <unistd.h>

#include "actions/crop_scale_command.h"
#include "actions/picture_files.h"
#include "actions/scratch.h"
#include "codecs/bmp_reader.h"
#include "codecs/jpeg_decoder.h"
#include "codecs/picture_formats.h"
#include "document/undo.h"
#include "test_support.h"

using namespace cw;
using namespace cwtest;
namespace fs = std::filesystem;

namespace {

struct Fixture : cwtest::SessionRig<> {
    Fixture() : SessionRig("cache/temp") {}
    // Loads, and waits for the history's copy of the picture: the tests then
    // write into it as a tool would.
    void load(const std::vector<std::string>& names) { dialogs.opens.push_back(names), loadButtonClick(s), s.history.settle(); }
    bool save(const std::string& path) {
        dialogs.saves.push_back(path);
        messages.shown.clear();
        saveImageAs(s);
        return fs::exists(path);
    }
    bool idle() const {
        return !s.imageWindowOpen && !s.ws && s.mainEnabled && !progress.visible() && progress.abortVisible() && !s.toolPanelsEnabled;
    }
};

constexpr const char* kDesignedOpenFilter =
    "All Supported Image Types (*.bmp *.jpg *.jpeg *.png *.tif *.tiff *.ora);;MS Windows Bitmap (*.bmp);;JPEG Image (*.jpg *.jpeg);;"
    "PNG Image (*.png);;TIFF Image (*.tif *.tiff);;Chromawell work (*.ora)";

} // namespace

TEST(PictureFiles, ExtensionIsTakenAfterTheLastSeparatorInUpperCase) {
    const std::pair<const char*, bool> rows[] = {
        {"photo.jpg", true}, {"PHOTO.JPG", true}, {"a/b.c/photo.Jpeg", true}, {"c:photo.jpeg", true}, {"x\\y.jPg", true},
        {"photo.bmp", false}, {"photo", false}, {"dir.jpg/photo", false}, {"c.jpeg:photo", false}, {"photo.jpg.bmp", false}, {".jpgx", false}};
    for (const auto& [name, jpeg] : rows) EXPECT_EQ(formatOfName(name).id == FormatId::Jpeg, jpeg) << name;
    EXPECT_EQ(fileExtension("a/b.tar.gz"), ".gz");
    // A name no row claims is read as a bitmap file; Load Image and a drop take only the names a row claims.
    EXPECT_EQ(std::tuple(formatOfName("scan.pcx").id, isPictureName("scan.pcx"), isPictureName("a.BMP"), isPictureName("b.jpeg")),
              std::tuple(FormatId::Bitmap, false, true, true));
}

// The window shows the scratch bitmap; only the first of several selected files loads; Load clears a picture.
TEST(PictureFiles, LoadGoesThroughThePrivateScratchBitmap) {
    Fixture f;
    const std::string jpeg = f.dir / "picture.JPEG", scratch = f.dir / "cache/temp/wkf.bmp";
    fs::copy_file(testdata("photos/coffee.jpg"), jpeg);
    f.load({jpeg, testdata("bmp/rgb24.bmp")});
    ASSERT_TRUE(f.s.imageWindowOpen && f.s.ws);
    EXPECT_EQ(std::tuple(f.s.openFileName, f.progress.phases.front(), f.dialogs.asked.at(0).title, f.dialogs.asked.at(0).filter, modeOf(f.dir / "cache/temp")),
              std::tuple(scratch, std::string(kPhaseInitialising), std::string(kOpenTitle), std::string(kDesignedOpenFilter), 0700u));
    EXPECT_TRUE(f.s.toolPanelsEnabled && f.s.mainEnabled && !f.progress.visible() && f.progress.abortVisible() && f.messages.shown.empty());
    const Bitmap decoded = decodeJpegFile(jpeg);
    EXPECT_TRUE(samePixels(readBmp(scratch), decoded) && samePixels(f.s.ws->source, decoded));

    loadButtonClick(f.s);
    EXPECT_TRUE(f.idle() && f.dialogs.asked.size() == 1) << "clearing shows no dialog";
    f.load({testdata("photos/camera.jpg")});
    EXPECT_TRUE(samePixels(readBmp(scratch), f.s.ws->source) && f.s.ws->width == 512);
    loadButtonClick(f.s);
    f.load({testdata("bmp/rgb24.bmp"), testdata("photos/camera-24.bmp")});
    EXPECT_EQ(f.s.openFileName, testdata("bmp/rgb24.bmp"));
    loadButtonClick(f.s);
    f.load({});  // a cancelled dialog opens nothing
    EXPECT_TRUE(f.idle() && f.host.created == 3);
}

TEST(PictureFiles, EveryDamagedFileIsRefusedAndLeavesNoPictureOpen) {
    std::vector<std::string> files = {testdata("bad/does-not-exist.bmp"), testdata("bad/does-not-exist.jpg")};
    // An OpenRaster file of another program opens as its merged picture:
    // these are damaged only in layers that picture does not need.
    const std::set<std::string> mergedIsFine = {"gray-layer-is-palette.ora", "layer-bomb.ora", "layer-crc.ora",
                                                "layer-gigapixel.ora", "layer-size-mismatch.ora"};
    for (const auto& e : fs::directory_iterator(testdata("bad")))
        if (e.path().extension() != ".md" && e.path().extension() != ".py" && !mergedIsFine.count(e.path().filename()))
            files.push_back(e.path().string());
    ASSERT_GE(files.size(), 17u);
    for (const auto& path : files) {
        Fixture f;
        f.load({path});
        ASSERT_EQ(f.messages.shown.size(), 1u) << path;
        EXPECT_TRUE(f.messages.shown[0] == kInvalidImageMessage || f.messages.shown[0] == kSetupOutOfMemory) << path;
        EXPECT_TRUE(f.idle() && f.host.closed == 1) << path << ": the half-opened window is closed";
        f.load({testdata("bmp/pal8.bmp")});
        EXPECT_TRUE(f.s.imageWindowOpen) << path;
    }
}

// Force-gray applies to one load; Restore re-reads the picture with the current setting and resets the work.
TEST(PictureFiles, RestoreBringsBackThePictureAsLoaded) {
    Fixture f;
    f.s.controls.forceGray = true;
    f.load({testdata("photos/astronaut.jpg")});
    ASSERT_TRUE(f.s.ws);
    EXPECT_FALSE(f.s.controls.forceGray);
    EXPECT_TRUE(std::all_of(f.s.ws->source.data(), f.s.ws->source.data() + f.s.ws->pixelCount(),
                            [](uint32_t c) { return redOf(c) == greenOf(c) && greenOf(c) == blueOf(c); }));
    Workspace& painted = *f.s.ws;
    std::fill_n(painted.colour.data(), 1000, rgb(255, 0, 0)), std::fill_n(painted.display.data(), 1000, rgb(255, 0, 0));
    std::fill_n(painted.codes.get(), 1000, int8_t(3));
    painted.selectionActive = painted.imageModified = true;
    f.s.markUpGrayStep = 1;
    restoreImage(f.s);
    ASSERT_TRUE(f.s.imageWindowOpen && f.s.ws);
    const Workspace& ws = *f.s.ws;
    const Bitmap original = decodeJpegFile(testdata("photos/astronaut.jpg"));
    EXPECT_TRUE(samePixels(ws.source, original) && samePixels(ws.display, original) && samePixels(ws.colour, original));
    EXPECT_TRUE(std::all_of(ws.codes.get(), ws.codes.get() + ws.pixelCount(), [](int8_t c) { return c == 0; }));
    EXPECT_EQ(ws.freePixelCount, int64_t(ws.pixelCount()));
    EXPECT_FALSE(ws.selectionActive || ws.imageModified || f.progress.visible());
    EXPECT_EQ(std::pair(f.s.markUpGrayStep, f.s.markUpSizes.minObjectSize), std::pair(16, 10 * 1024 / 100));
}

// A failed save keeps the work open and unsaved; saving onto a link updates the linked file.
TEST(PictureFiles, SaveAsWritesTheColouredPictureAndAsksBeforeOverwriting) {
    Fixture f;
    EXPECT_FALSE(f.save(f.dir / "never.bmp"));  // without a picture nothing happens
    restoreImage(f.s);
    EXPECT_TRUE(f.dialogs.asked.empty() && f.progress.shows == 0);
    f.dialogs.saves.clear();
    f.load({testdata("bmp/rgb24.bmp")});
    f.s.ws->colour.at(5, 7) = rgb(1, 2, 3);
    f.s.ws->imageModified = true;
    const std::string out = f.dir / "out.bmp", notAFolder = f.dir / "file";
    std::ofstream(notAFolder) << "x";
    for (const auto& [target, why] : {std::pair(f.dir / "missing/out.bmp", ": No such file or directory"), std::pair(notAFolder + "/out.bmp", ": Not a directory")}) {
        f.save(target);
        EXPECT_EQ(f.messages.shown, std::vector<std::string>{kSaveFailedMessage + (" " + target) + why}) << target;
        EXPECT_TRUE(f.s.imageWindowOpen && f.s.ws && f.s.ws->imageModified && f.s.mainEnabled && !f.progress.visible() &&
                    f.progress.abortVisible() && f.progress.gaugeVisible()) << target;
    }
    EXPECT_EQ(fileText(notAFolder), "x");
    f.progress.phases.clear();
    ASSERT_TRUE(f.save(out));
    EXPECT_TRUE(samePixels(readBmp(out), f.s.ws->colour) && readBmp(out).at(5, 7) == rgb(1, 2, 3));
    EXPECT_TRUE(!f.s.ws->imageModified && f.messages.shown.empty()) << "a new file needs no confirmation";
    EXPECT_EQ(std::tuple(f.dialogs.asked.back().title, f.dialogs.asked.back().filter, f.progress.phases),
              std::tuple(std::string(kSaveTitle), std::string(kSaveFilter) + ";;Chromawell work (*.ora);;PNG image (*.png);;TIFF image (*.tif *.tiff)",
                         std::vector<std::string>{kPhaseSaving, kPhaseWorking}));
    const std::string before = fileText(out);
    f.s.ws->colour.at(0, 0) = rgb(9, 9, 9);
    f.messages.answer = false;
    const int shows = f.progress.shows;
    f.save(out);
    EXPECT_EQ(std::tuple(f.messages.shown, fileText(out), f.progress.shows), std::tuple(std::vector<std::string>{kOverwriteQuestion}, before, shows));
    f.messages.answer = true;
    f.save(out);
    EXPECT_EQ(readBmp(out).at(0, 0), rgb(9, 9, 9));
    ASSERT_EQ(::symlink(notAFolder.c_str(), (f.dir / "link.bmp").c_str()), 0);
    f.save(f.dir / "link.bmp");
    EXPECT_TRUE(fs::is_symlink(f.dir / "link.bmp") && readBmp(notAFolder).width() == 37);
}

// PNG and TIFF files open through their rows and a scratch bitmap that Restore reads again; a save writes the format
// its dialog entry names, or with the first entry the one its extension names.
TEST(PictureFiles, EveryFormatOpensAndSavesThroughItsRow) {
    Fixture f;
    f.load({testdata("photos/camera-24.bmp")});
    const Bitmap photo = f.s.ws->source.clone();
    for (const char* name : {"photo.png", "photo.TIF"}) {
        const std::string path = f.dir / name;
        formatOfName(path).write(photo, path);
        loadButtonClick(f.s);  // clears the open picture
        f.load({path});
        ASSERT_TRUE(f.s.ws) << name;
        EXPECT_TRUE(samePixels(f.s.ws->source, photo) && samePixels(readBmp(f.s.openFileName), photo)) << name;
        f.s.ws->colour.at(1, 1) = rgb(9, 9, 9);
        f.s.ws->imageModified = true;
        restoreImage(f.s);
        EXPECT_TRUE(f.s.ws && samePixels(f.s.ws->colour, photo)) << name << ": Restore reads the picture again";
    }
    f.s.ws->colour.at(3, 4) = rgb(200, 10, 30);
    const struct { const char* entry; const char* name; const char* written; FormatId format; } rows[] = {
        {"", "a.png", "a.png", FormatId::Png}, {"", "b.TIFF", "b.TIFF", FormatId::Tiff}, {"", "c", "c.bmp", FormatId::Bitmap},
        {"PNG image (*.png)", "d", "d.png", FormatId::Png}, {"TIFF image (*.tif *.tiff)", "e", "e.tif", FormatId::Tiff},
        {"TIFF image (*.tif *.tiff)", "f.bmp", "f.bmp", FormatId::Tiff}, {"PNG image (*.png)", "g.jpg", "g.jpg", FormatId::Png},
    };
    for (const auto& r : rows) {
        f.dialogs.saves.push_back(ChosenFile(f.dir / r.name, r.entry));
        f.messages.shown.clear();
        ASSERT_TRUE(saveImageAs(f.s)) << r.name;
        const std::string written = f.dir / r.written;
        std::ifstream in(written, std::ios::binary);
        std::vector<uint8_t> head(8);
        in.read(reinterpret_cast<char*>(head.data()), 8);
        const PictureFormat* format = nullptr;
        for (const PictureFormat& p : pictureFormats())
            if (p.sniff(head)) format = &p;
        ASSERT_TRUE(format && format->id == r.format) << r.name;
        EXPECT_TRUE(samePixels(format->read(written), f.s.ws->colour)) << r.name;
    }
    EXPECT_FALSE(f.save(f.dir / "h.jpg")) << "with the first entry the extension must name a written format";
}

// A link planted in the scratch folder's place is refused: a JPEG load writes nothing through it and fails.
TEST(PictureFiles, ScratchFolderIsPrivateAndNeverALink) {
    Fixture f;
    const std::string folder = f.dir / "a/b/temp", elsewhere = f.dir / "elsewhere";
    for (int round = 0; round < 2; ++round) {  // an existing folder opened up to others is made private again
        ASSERT_TRUE(ensureScratchFolder(folder));
        EXPECT_EQ(modeOf(folder), 0700u);
        ::chmod(folder.c_str(), 0755);
    }
    fs::create_directories(elsewhere), fs::create_directory(f.dir / "cache");
    fs::create_directory_symlink(elsewhere, f.dir / "cache/temp");
    EXPECT_FALSE(ensureScratchFolder(f.dir / "cache/temp") || ensureScratchFolder(f.dir / "cache/temp/1-2"));
    f.load({testdata("photos/camera.jpg")});
    EXPECT_EQ(f.messages.shown, std::vector<std::string>{kInvalidImageMessage});
    EXPECT_TRUE(f.idle() && fs::is_empty(elsewhere));
}

// An Un-do, and a re-set of changed work, leave unsaved work that the windows ask about; the
// designed ImageModified stays as it was, and a save settles both.
TEST(PictureFiles, UndoAndReSetOfChangedWorkAreUnsaved) {
    const std::pair<const char*, void (*)(Session&)> rows[] = {
        {"un-do", [](Session& s) { s.pointer.undoEnabled = true, undoClick(s); }},
        {"re-set after a change", [](Session& s) { s.ws->imageModified = true, resetClick(s); }},
        {"re-set of saved work", [](Session& s) { resetClick(s); }}};
    for (const auto& [name, step] : rows) {
        Fixture f;
        f.load({testdata("bmp/rgb24.bmp")});
        step(f.s);
        const bool unsaved = std::string(name) != "re-set of saved work";
        EXPECT_FALSE(f.s.ws->imageModified) << name;
        restoreImage(f.s);
        EXPECT_EQ(f.messages.shown.size(), size_t(unsaved)) << name;
    }
}
