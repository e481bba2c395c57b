// Scanner acquisition against SANE's virtual test devices, with scanimage from the same SANE as the oracle.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <set>
#include <sstream>

#include "actions/picture_files.h"
#include "actions/scan_flow.h"
#include "actions/scratch.h"
#include "codecs/bmp_reader.h"
#include "platform/sane_api.h"
#include "platform/sane_frames.h"
#include "platform/sane_options.h"
#include "platform/scanner.h"
#include "test_support.h"

using namespace cw;
using namespace cwtest;
namespace fs = std::filesystem;
using Options = std::vector<std::pair<std::string, std::string>>;

namespace {

// SANE reads SANE_CONFIG_DIR once per process but its files at each sane_init: tests share one copy they may rewrite.
struct SaneEnv {
    static const cwtest::TempDir& dir() { static const cwtest::TempDir d; return d; }
    static void reset() {
        for (const char* name : {"dll.conf", "test.conf"})
            fs::copy_file(testdata("../platform/sane/") + name, dir() / name, fs::copy_options::overwrite_existing);
        setSaneLibraryName(kSaneLibrary);
    }
    SaneEnv() { reset(), ::setenv("SANE_CONFIG_DIR", dir().path.c_str(), 1); }
    ~SaneEnv() { setSaneLibraryName(kSaneLibrary); }
};

// The test backend's page is 80 x 100 mm; its hand scanner's 110 x 170 mm.
int32_t pixelsFor(double dpi, double mm) { return int32_t(dpi * mm / 25.4); }

// Answers the list with `choice`, the dialog with `settings` (none cancels), recording what each saw and the state.
struct ScriptedScanUi : ScanUi {
    explicit ScriptedScanUi(std::optional<ScanSettings> s = {}, std::optional<size_t> c = {})
        : choice(c), settings(std::move(s)) {}
    Scanner scanner;
    std::optional<size_t> choice;
    std::optional<ScanSettings> settings;
    std::function<void(const ScanDialogRequest&, ScanSettings&)> inDialog;
    int listShown = 0, dialogShown = 0;
    std::vector<ScanDevice> listed;
    size_t listCurrent = 99;
    ScanState stateInList{}, stateInDialog{};
    ScanDialogRequest asked;
    std::optional<size_t> chooseDevice(const std::vector<ScanDevice>& devices, size_t current) override {
        return ++listShown, listed = devices, listCurrent = current, stateInList = scanner.state(), choice;
    }
    std::optional<ScanSettings> scanDialog(const ScanDialogRequest& r) override {
        ++dialogShown, stateInDialog = scanner.state(), asked = r;
        if (!settings) return std::nullopt;
        ScanSettings s = *settings;
        if (s.device.empty()) s.device = r.devices.at(r.device).name;
        if (inDialog) inDialog(r, s);
        return s;
    }
};

ScanSettings scanAt(double dpi, std::string mode = "Gray", Options opts = {}, std::string src = {},
                    size_t pages = kMaxScanImages) {
    return ScanSettings{{}, std::move(mode), dpi, std::move(src), std::move(opts), pages};
}

// scanimage's PNM without its last `lost` columns: 16-bit samples cut to their high byte, lineart with 1 as black.
Bitmap scanimage(const std::string& args, int lost = 0) {
    std::FILE* f = ::popen(("scanimage -d test:0 --format=pnm " + args + " 2>/dev/null").c_str(), "r");
    std::string data;
    char buf[65536];
    for (size_t n; f && (n = std::fread(buf, 1, sizeof buf, f)) > 0;) data.append(buf, n);
    if (!f || ::pclose(f) != 0 || data.empty()) throw std::runtime_error("scanimage failed: " + args);
    std::istringstream in(data);
    std::string magic, line;
    int w = 0, h = 0, maxval = 1;
    in >> magic >> std::ws;
    while (in.peek() == '#') std::getline(in, line);
    in >> w >> h;
    if (magic != "P4") in >> maxval;
    const auto* p = reinterpret_cast<const uint8_t*>(data.data()) + size_t(in.tellg()) + 1;
    const size_t bytes = maxval > 255 ? 2 : 1, channels = magic == "P6" ? 3 : 1;
    Bitmap b(w - lost, h);
    for (int y = 0; y < h; ++y, p += magic == "P4" ? size_t(w + 7) / 8 : size_t(w) * bytes * channels)
        for (int x = 0; x < w - lost; ++x) {
            const uint8_t* s = p + size_t(x) * bytes * channels;  // big-endian: the high byte first
            const uint32_t v = magic == "P4" ? ((p[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255) : s[0];
            b.at(x, y) = channels == 3 ? rgb(s[0], s[bytes], s[2 * bytes]) : rgb(v, v, v);
        }
    return b;
}

bool varied(const Bitmap& b) { return std::any_of(b.data(), b.data() + b.pixelCount(), [&](uint32_t c) { return c != b.data()[0]; }); }

} // namespace

// Bit frames by hand (the test picture's bars are too wide to show a slip in a byte): lineart MSB first, a set bit
// black; colour lineart an R, G and B byte per eight pixels. Layouts reading past a line or picture are refused.
TEST(ScanFrames, BitFramesConvertAndLayoutsThatWouldReadPastALineAreRefused) {
    const uint32_t K = rgb(0, 0, 0), W = rgb(255, 255, 255), Y = rgb(255, 255, 0), C = rgb(0, 255, 255);
    const uint8_t lineart[] = {0b10100000, 0b01000000}, colour[] = {0b11000000, 0b10100000, 0b00000001, 0, 0b10000000, 0b10000000};
    Bitmap gray(3, 2), rgb9(9, 1);
    ASSERT_TRUE(convertFrame({FrameFormat::Gray, 1, 3, 1}, lineart, 2, gray) && convertFrame({FrameFormat::Rgb, 1, 9, 6}, colour, 1, rgb9));
    EXPECT_EQ(std::vector<uint32_t>(gray.data(), gray.data() + 6), (std::vector<uint32_t>{K, W, K, W, K, W}));
    EXPECT_EQ(std::vector<uint32_t>(rgb9.data(), rgb9.data() + 9),
              (std::vector<uint32_t>{Y, rgb(255, 0, 0), rgb(0, 255, 0), K, K, K, K, rgb(0, 0, 255), C}));
    const FrameLayout bad[] = {{FrameFormat::Gray, 8, 8, 7}, {FrameFormat::Rgb, 8, 8, 23}, {FrameFormat::Rgb, 16, 2, 11},
        {FrameFormat::Gray, 1, 9, 1}, {FrameFormat::Rgb, 1, 9, 5}, {FrameFormat::Gray, 4, 8, 8}, {FrameFormat::Gray, 8, 0, 8},
        {FrameFormat::Gray, 8, -3, 8}, {FrameFormat::Gray, 8, 8, 0}};
    const std::vector<uint8_t> data(64, 7);
    Bitmap b(8, 4);
    b.at(0, 0) = 0x12345678;
    for (const FrameLayout& f : bad)
        EXPECT_FALSE(frameLayoutValid(f) || convertFrame(f, data.data(), 1, b)) << f.width << " " << f.bytesPerLine << " " << f.depth;
    EXPECT_FALSE(convertFrame({FrameFormat::Gray, 8, 9, 9}, data.data(), 1, b) || convertFrame({FrameFormat::Gray, 8, 8, 8}, data.data(), 5, b));
    EXPECT_EQ(b.at(0, 0), 0x12345678u);
    EXPECT_TRUE(convertFrame({FrameFormat::Gray, 8, 8, 8}, data.data(), 4, b) && b.at(7, 3) == rgb(7, 7, 7));
    for (const char* feeder : {"Automatic Document Feeder", "ADF", "ADF Front", "ADF Duplex", "Duplex", "Document Feeder"})
        EXPECT_TRUE(isFeederSource(feeder)) << feeder;
    for (const char* single : {"Flatbed", "Transparency Adapter", "Film", "", "Normal"}) EXPECT_FALSE(isFeederSource(single)) << single;
}

// Every frame kind the test devices deliver against scanimage's picture; three-pass colour equals single-pass colour.
TEST(ScanAcquire, PicturesHaveTheResolutionsSizeAndMatchScanimage) {
    SaneEnv env;
    const struct { double dpi; std::string mode; Options options; std::string oracle; int32_t lost; } cases[] = {
        {20, "Gray", {}, "", 0}, {25, "Color", {}, "", 0}, {30, "Gray", {{"depth", "1"}}, "--depth 1", 0},
        {15, "Gray", {{"depth", "16"}}, "--depth 16", 0}, {15, "Color", {{"depth", "16"}}, "--depth 16", 0},
        {20, "Color", {{"three-pass", "yes"}, {"three-pass-order", "GBR"}}, "", 0},
        {20, "Gray", {{"ppl-loss", "5"}}, "", 5},  // scanimage writes padded lines as they come
        {20, "Color", {{"read-limit", "yes"}, {"read-limit-size", "7"}}, "", 0},
        {10, "Gray", {{"hand-scanner", "yes"}}, "--hand-scanner=yes", 0},  // of unknown height
    };
    for (const auto& c : cases) {
        const std::string args = "--mode " + c.mode + " --resolution " + std::to_string(int(c.dpi)) + " " + c.oracle;
        SCOPED_TRACE(args + (c.options.empty() ? "" : " " + c.options.front().first));
        ScriptedScanUi ui(scanAt(c.dpi, c.mode, c.options));
        ASSERT_TRUE(ui.scanner.acquire(ui));
        ASSERT_EQ(ui.scanner.imageCount(), 1u);
        const Bitmap oracle = scanimage(args, c.lost);
        EXPECT_TRUE(varied(oracle) && samePixels(ui.scanner.image(0), oracle));
    }
    // scanimage cannot write colour lineart: its three-pass scan, whose bands are plain bit rows, is the oracle.
    Bitmap lineart[2];
    for (int threePass = 0; threePass < 2; ++threePass) {
        ScriptedScanUi ui(scanAt(20, "Color", {{"depth", "1"}, {"three-pass", threePass ? "yes" : "no"}}));
        ASSERT_TRUE(ui.scanner.acquire(ui));
        lineart[threePass] = ui.scanner.takeImage(0);
    }
    EXPECT_EQ(std::set<uint32_t>(lineart[0].data(), lineart[0].data() + lineart[0].pixelCount()).size(), 8u);  // the cube's corners
    EXPECT_TRUE(samePixels(lineart[0], lineart[1]));
}

TEST(ScanAcquire, TheSessionWalksItsStatesAndTheChosenDeviceStays) {
    SaneEnv env;
    ScriptedScanUi ui(std::nullopt, 1);
    EXPECT_TRUE(ui.scanner.selectSource(ui));
    EXPECT_EQ(ui.stateInList, ScanState::ManagerOpen);
    ASSERT_EQ(ui.listed.size(), 2u);
    EXPECT_EQ(std::pair(deviceLabel(ui.listed[1]), ui.scanner.selectedDevice()), std::pair(std::string("Noname frontend-tester (test:1)"), std::string("test:1")));
    ui.choice.reset();  // a cancelled list keeps the earlier choice
    EXPECT_FALSE(ui.scanner.selectSource(ui));
    EXPECT_EQ(std::tuple(ui.listCurrent, ui.scanner.selectedDevice(), ui.scanner.state()), std::tuple(size_t(1), std::string("test:1"), ScanState::PreSession));

    ui.settings = scanAt(12);
    ASSERT_TRUE(ui.scanner.acquire(ui));
    EXPECT_EQ(std::tuple(ui.stateInDialog, ui.scanner.state(), ui.asked.device, ui.asked.devices.size(), ui.asked.devices[0].name),
              std::tuple(ScanState::SourceEnabled, ScanState::PreSession, size_t(1), size_t(2), std::string("test:0")));
    const DeviceOffer& o = ui.asked.offer;
    EXPECT_EQ(std::pair(o.modes, o.mode), std::pair(std::vector<std::string>{"Gray", "Color"}, std::string("Gray")));
    const ResolutionOffer& r = o.resolution;
    EXPECT_EQ(std::tuple(r.settable, r.values.empty(), r.min, r.max, r.current), std::tuple(true, true, 1.0, 1200.0, 20.0));  // 20 from test.conf
    EXPECT_EQ(std::pair(o.sources, o.source), std::pair(std::vector<std::string>{"Flatbed", "Automatic Document Feeder"}, std::string("Flatbed")));
    EXPECT_EQ(ui.scanner.image(0).width(), pixelsFor(12, 80));
    EXPECT_FALSE(ui.asked.switchDevice && ui.asked.switchDevice(1)) << "the dialog's device switch is dead once the dialog is over";

    // In the dialog an index past the list changes nothing, a device that exists opens and offers its choices, and
    // a name not in the list is refused.
    std::optional<DeviceOffer> switched, past;
    ui.settings = scanAt(10, "Color");
    ui.inDialog = [&](const ScanDialogRequest& req, ScanSettings& s) {
        past = req.switchDevice(7), switched = req.switchDevice(0), s.device = "test:0";
    };
    ASSERT_TRUE(ui.scanner.acquire(ui));
    EXPECT_TRUE(!past && switched && switched->modes.size() == 2 && ui.scanner.image(0).width() == pixelsFor(10, 80));
    ui.inDialog = [](const ScanDialogRequest&, ScanSettings& s) { s.device = "test:9"; };
    EXPECT_FALSE(ui.scanner.acquire(ui));
    EXPECT_EQ(std::pair(ui.scanner.fault(), ui.scanner.state()), std::pair(ScanFault::SourceFailed, ScanState::PreSession));
}

TEST(ScanAcquire, FeederDeliversEveryPageUpToTheLimit) {
    SaneEnv env;
    const std::string adf = "Automatic Document Feeder";
    const struct { std::string source; size_t maxImages, want; } cases[] = {{adf, kMaxScanImages, 10}, {adf, 3, 3}, {adf, 0, 1}, {"Flatbed", kMaxScanImages, 1}};
    for (const auto& c : cases) {
        ScriptedScanUi ui(scanAt(8, "Gray", {}, c.source, c.maxImages));
        EXPECT_TRUE(ui.scanner.acquire(ui) && ui.scanner.state() == ScanState::PreSession);
        ASSERT_EQ(ui.scanner.imageCount(), c.want) << c.source << " " << c.maxImages;
        for (size_t i = 0; i < c.want; ++i) EXPECT_EQ(ui.scanner.image(i).height(), pixelsFor(8, 100));
    }
}

// Failed transfers on both sources (the feeder's statuses are no end of the pages), settings the device cannot take,
// a cancel at the device or in the dialog, no devices, and a missing or foreign library: none leaves a picture.
TEST(ScanAcquire, FailuresAndCancelsEndTheAcquisitionWithTheirFault) {
    SaneEnv env;
    const ScanFault T = ScanFault::TransferFailed, S = ScanFault::SourceFailed, N = ScanFault::None, L = ScanFault::ManagerNotLoaded;
    const char* const R = "read-return-value";
    const struct { Options options; std::string mode; const char* library; ScanFault fault; int status; } cases[] = {
        {{{R, "SANE_STATUS_IO_ERROR"}}, "Gray", nullptr, T, SANE_STATUS_IO_ERROR}, {{{R, "SANE_STATUS_JAMMED"}}, "Gray", nullptr, T, SANE_STATUS_JAMMED},
        {{{R, "SANE_STATUS_NO_DOCS"}}, "Gray", nullptr, T, SANE_STATUS_NO_DOCS}, {{{R, "SANE_STATUS_COVER_OPEN"}}, "Gray", nullptr, T, SANE_STATUS_COVER_OPEN},
        {{{R, "SANE_STATUS_EOF"}}, "Gray", nullptr, T, SANE_STATUS_IO_ERROR},  // a frame without a single line
        {{{R, "SANE_STATUS_CANCELLED"}}, "Gray", nullptr, N, -1}, {{}, "", nullptr, N, -1},  // at the device; the dialog
        {{{"no-such-option", "1"}}, "Gray", nullptr, S, -1}, {{{"three-pass", "yes"}}, "Gray", nullptr, S, -1},  // inactive in gray
        {{{"hand-scanner", "maybe"}}, "Gray", nullptr, S, -1}, {{{"depth", "8x"}}, "Gray", nullptr, S, -1},
        {{{"test-picture", "Sunset"}}, "Gray", nullptr, S, -1}, {{{"test-picture", std::string(5000, 'x')}}, "Gray", nullptr, S, -1},
        {{{"resolution", "1e300"}}, "Gray", nullptr, S, -1}, {{}, "Lineart", nullptr, S, SANE_STATUS_INVAL},
        {{}, "Gray", "", S, -1}, {{}, "Gray", "libsane-not-installed.so.1", L, -1}, {{}, "Gray", "libm.so.6", L, -1},
    };
    for (const char* source : {"Flatbed", "Automatic Document Feeder"})
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(source) + ": " + c.mode + (c.library ? c.library : "") + (c.options.empty() ? "" : c.options[0].second.substr(0, 30)));
            if (c.library && *c.library) setSaneLibraryName(c.library);
            if (c.library && !*c.library) std::ofstream(SaneEnv::dir() / "dll.conf") << "# no backends\n";
            ScriptedScanUi ui(scanAt(8, "Gray"), 0);
            ASSERT_TRUE(c.library || ui.scanner.acquire(ui)) << "the picture of an earlier acquisition goes with the next";
            ui.settings = c.mode.empty() ? std::nullopt : std::optional(scanAt(8, c.mode, c.options, source));
            EXPECT_FALSE(ui.scanner.acquire(ui));
            EXPECT_EQ(std::tuple(ui.scanner.imageCount(), ui.scanner.fault(), ui.scanner.state()), std::tuple(size_t(0), c.fault, ScanState::PreSession));
            if (c.status >= 0) { EXPECT_EQ(ui.scanner.lastStatus(), c.status); }
            if (c.library) {
                EXPECT_FALSE(ui.scanner.selectSource(ui));
                EXPECT_EQ(std::tuple(ui.scanner.fault(), ui.listShown + ui.dialogShown, saneApi() == nullptr), std::tuple(*c.library ? L : N, 0, bool(*c.library)));
                SaneEnv::reset();
            }
        }
    ASSERT_NE(saneApi(), nullptr) << "the real library loads again";
}

// The Scan button: a scan is written to the scratch folder and loaded, of several pages only the first is kept; what
// goes wrong is told once (a cancel silently) and the open dialog follows; an open picture stops it.
TEST(ScanImage, TheButtonLoadsTheFirstPageOrFallsBackToTheOpenDialog) {
    SaneEnv env;
    const std::string adf = "Automatic Document Feeder";
    const struct { std::optional<ScanSettings> settings; size_t pages; const char* library; bool blockScratch; size_t acquired; const char* message; } cases[] = {
        {scanAt(24, "Color"), 1, nullptr, false, 1, nullptr}, {scanAt(16, "Gray", {}, adf), 3, nullptr, false, 3, nullptr},
        {std::nullopt, 1, nullptr, false, 0, nullptr}, {scanAt(8), 1, "libsane-not-installed.so.1", false, 0, kScanNotLoadedMessage},
        {scanAt(8, "Gray", {{"read-return-value", "SANE_STATUS_IO_ERROR"}}, adf), 1, nullptr, false, 0, kScanFailedMessage},
        {scanAt(8), 1, nullptr, true, 1, kInvalidImageMessage},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(&c - cases));
        cwtest::SessionRig<> rig("cache/temp");
        const std::string scratch = rig.dir / "cache/temp/wkf1.bmp";
        if (c.blockScratch) std::ofstream(rig.dir / "cache") << "a file where the folder should be";
        else ASSERT_TRUE(ensureScratchFolder(rig.dir / "cache/temp") && fs::copy_file(testdata("bmp/rgb24.bmp"), scratch));  // an earlier scan's
        if (c.library) setSaneLibraryName(c.library);
        ScriptedScanUi ui(c.settings, c.settings ? std::optional<size_t>(1) : std::nullopt);  // cancelled lists go on
        if (ui.settings) ui.settings->maxImages = c.pages;
        rig.dialogs.opens.push_back({testdata("bmp/pal8.bmp")});
        const ScanOutcome out = scanImageClick(rig.s, ui, ui.scanner);
        setSaneLibraryName(kSaneLibrary);
        EXPECT_EQ(std::tuple(out.acquired, out.written, ui.scanner.imageCount()), std::tuple(c.acquired, c.acquired && !c.blockScratch, size_t(0)));
        EXPECT_EQ(rig.messages.shown, c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
        ASSERT_TRUE(rig.s.imageWindowOpen && rig.s.ws);
        EXPECT_EQ(std::pair(rig.s.openFileName, rig.s.pictureName), out.written ? std::pair(scratch, std::string(kScannedPictureName))
                                                                                 : std::pair(testdata("bmp/pal8.bmp"), testdata("bmp/pal8.bmp")));
        EXPECT_EQ(rig.dialogs.asked.size(), out.written ? 0u : 1u);
        if (out.written) {
            EXPECT_EQ(std::distance(fs::directory_iterator(rig.dir / "cache/temp"), {}), 1);
            const Bitmap oracle = scanimage(c.pages == 1 ? "--mode Color --resolution 24" : "--mode Gray --resolution 16");
            EXPECT_TRUE(samePixels(rig.s.ws->source, oracle) && samePixels(readBmp(scratch), oracle));
        } else {
            EXPECT_EQ(std::pair(rig.dialogs.asked[0].title, ui.listShown + ui.dialogShown), std::pair(std::string(kOpenTitle), c.library ? 0 : 2));
        }
        EXPECT_EQ(scanImageClick(rig.s, ui, ui.scanner).acquired, 0u) << "with a picture open the button does nothing";
        EXPECT_EQ(rig.dialogs.asked.size(), out.written ? 0u : 1u);
    }
}
