// Scanner acquisition against SANE's virtual test devices (tests/platform/sane
// names only the test backend), with scanimage from the same SANE as the oracle.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <sstream>

#include "actions/picture_files.h"
#include "actions/scan_flow.h"
#include "actions/scratch.h"
#include "codecs/bmp_reader.h"
#include "platform/sane_api.h"
#include "platform/scanner.h"
#include "test_support.h"

using namespace cw;
using cwtest::samePixels;
using cwtest::testdata;
namespace fs = std::filesystem;
using Options = std::vector<std::pair<std::string, std::string>>;

namespace {

// SANE reads SANE_CONFIG_DIR once per process, but the files in it at each
// sane_init: every test of a process shares one copy, which a test may rewrite.
struct SaneEnv {
    static const cwtest::TempDir& dir() {
        static const cwtest::TempDir d;
        return d;
    }
    static void copyConfig() {
        for (const char* name : {"dll.conf", "test.conf"})
            fs::copy_file(testdata("../platform/sane/") + name, dir() / name, fs::copy_options::overwrite_existing);
    }
    SaneEnv() {
        copyConfig();
        ::setenv("SANE_CONFIG_DIR", dir().path.c_str(), 1);
        setSaneLibraryName(kSaneLibrary);
    }
    ~SaneEnv() { setSaneLibraryName(kSaneLibrary); }
};

// The test backend's page is 80 x 100 mm; its hand scanner's 110 x 170 mm.
int32_t pixelsFor(double dpi, double mm) { return int32_t(dpi * mm / 25.4); }

class ScriptedScanUi : public ScanUi {
public:
    explicit ScriptedScanUi(const Scanner& s) : scanner_(s) {}
    std::optional<size_t> choice;          // the device list's answer
    std::optional<ScanSettings> settings;  // the scan dialog's; nothing cancels it
    std::function<void(const ScanDialogRequest&, ScanSettings&)> inDialog;
    int listShown = 0, dialogShown = 0;
    std::vector<ScanDevice> listed;
    size_t listCurrent = 99, dialogDevice = 99;
    ScanState stateInList{}, stateInDialog{};
    DeviceOffer offer;
    std::vector<std::string> dialogDevices;
    std::function<std::optional<DeviceOffer>(size_t)> keptSwitch;

    std::optional<size_t> chooseDevice(const std::vector<ScanDevice>& devices, size_t current) override {
        ++listShown, listed = devices, listCurrent = current, stateInList = scanner_.state();
        return choice;
    }
    std::optional<ScanSettings> scanDialog(const ScanDialogRequest& r) override {
        ++dialogShown, stateInDialog = scanner_.state(), dialogDevice = r.device, offer = r.offer, keptSwitch = r.switchDevice;
        dialogDevices.clear();
        for (const auto& d : r.devices) dialogDevices.push_back(d.name);
        if (!settings) return std::nullopt;
        ScanSettings s = *settings;
        if (s.device.empty()) s.device = r.devices.at(r.device).name;
        if (inDialog) inDialog(r, s);
        return s;
    }

private:
    const Scanner& scanner_;
};

ScanSettings scanAt(double dpi, std::string mode = "Gray", Options options = {}, std::string source = {}) {
    ScanSettings s;
    s.mode = std::move(mode), s.resolution = dpi, s.options = std::move(options), s.source = std::move(source);
    return s;
}

// scanimage's PNM: 16-bit samples reduced to their high byte, lineart with 1 as black.
Bitmap scanimage(const std::string& args) {
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
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y, p += magic == "P4" ? size_t(w + 7) / 8 : size_t(w) * bytes * channels)
        for (int x = 0; x < w; ++x) {
            const uint8_t* s = p + size_t(x) * bytes * channels;  // big-endian: the high byte first
            const uint32_t v = magic == "P4" ? ((p[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255) : s[0];
            b.at(x, y) = channels == 3 ? rgb(s[0], s[bytes], s[2 * bytes]) : rgb(v, v, v);
        }
    return b;
}

Bitmap leftColumns(const Bitmap& b, int32_t width) {
    Bitmap out(width, b.height());
    for (int32_t y = 0; y < b.height(); ++y) std::memcpy(out.row(y), b.row(y), size_t(width) * sizeof(uint32_t));
    return out;
}

bool varied(const Bitmap& b) { return std::any_of(b.data(), b.data() + b.pixelCount(), [&](uint32_t c) { return c != b.data()[0]; }); }

} // namespace

TEST(ScanFrames, FramesConvertAndLayoutsThatWouldReadPastALineAreRefused) {
    const uint32_t K = rgb(0, 0, 0), W = rgb(255, 255, 255);
    const uint16_t g16[] = {0x12ff, 0xab00, 0, 0xffff};  // in the machine's order, as SANE hands them
    uint8_t gray16[8];
    std::memcpy(gray16, g16, sizeof g16);
    const struct { FrameLayout layout; std::vector<uint8_t> data; int32_t rows; std::vector<uint32_t> want; } cases[] = {
        {{FrameFormat::Gray, 8, 2, 3}, {0, 200, 0xee, 17, 255, 0xee}, 2, {K, rgb(200, 200, 200), rgb(17, 17, 17), W}},
        {{FrameFormat::Gray, 16, 2, 4}, {gray16, gray16 + 8}, 2, {rgb(0x12, 0x12, 0x12), rgb(0xab, 0xab, 0xab), K, W}},
        {{FrameFormat::Gray, 1, 3, 1}, {0b10100000, 0b01000000}, 2, {K, W, K, W, K, W}},  // MSB first, set is black
        {{FrameFormat::Rgb, 8, 2, 6}, {1, 2, 3, 250, 251, 252}, 1, {rgb(1, 2, 3), rgb(250, 251, 252)}},
        // Colour lineart: the red, green and blue bytes of eight pixels, then those of the ninth.
        {{FrameFormat::Rgb, 1, 9, 6}, {0b11000000, 0b10100000, 0b00000001, 0, 0b10000000, 0b10000000}, 1,
         {rgb(255, 255, 0), rgb(255, 0, 0), rgb(0, 255, 0), K, K, K, K, rgb(0, 0, 255), rgb(0, 255, 255)}},
        // Invalid: short lines for their pixels, no such depth, no pixels, no bytes.
        {{FrameFormat::Gray, 8, 8, 7}, {}, 1, {}}, {{FrameFormat::Rgb, 8, 8, 23}, {}, 1, {}},
        {{FrameFormat::Rgb, 16, 2, 11}, {}, 1, {}}, {{FrameFormat::Gray, 1, 9, 1}, {}, 1, {}},
        {{FrameFormat::Rgb, 1, 9, 5}, {}, 1, {}}, {{FrameFormat::Gray, 4, 8, 8}, {}, 1, {}},
        {{FrameFormat::Gray, 8, 0, 8}, {}, 1, {}}, {{FrameFormat::Gray, 8, -3, 8}, {}, 1, {}},
        {{FrameFormat::Gray, 8, 8, 0}, {}, 1, {}},
    };
    for (const auto& c : cases) {
        const std::string what = std::to_string(c.layout.width) + "/" + std::to_string(c.layout.bytesPerLine) + "/" + std::to_string(c.layout.depth);
        const std::vector<uint8_t> data = c.want.empty() ? std::vector<uint8_t>(64) : c.data;
        Bitmap b(std::max(c.layout.width, 8), c.rows);
        b.at(0, 0) = 0x12345678;
        EXPECT_EQ(frameLayoutValid(c.layout), !c.want.empty()) << what;
        ASSERT_EQ(convertFrame(c.layout, data.data(), c.rows, b), !c.want.empty()) << what;
        for (size_t i = 0; i < c.want.size(); ++i) EXPECT_EQ(b.at(int32_t(i) % c.layout.width, int32_t(i) / c.layout.width), c.want[i]) << what << " " << i;
        if (c.want.empty()) { EXPECT_EQ(b.at(0, 0), 0x12345678u) << what; }
    }
    // A valid layout into a picture too small for it; three bands, each touching only its channel.
    Bitmap b(8, 4);
    EXPECT_FALSE(convertFrame({FrameFormat::Gray, 8, 9, 9}, cases[0].data.data(), 1, b) || convertFrame({FrameFormat::Gray, 8, 8, 8}, std::vector<uint8_t>(64).data(), 5, b));
    Bitmap bands(2, 1);
    std::fill_n(bands.data(), 2, 0xff000000u);
    const uint8_t red[] = {10, 20}, green[] = {30, 40}, blue[] = {50, 60};
    ASSERT_TRUE(convertFrame({FrameFormat::Green, 8, 2, 2}, green, 1, bands) && convertFrame({FrameFormat::Blue, 8, 2, 2}, blue, 1, bands) &&
                convertFrame({FrameFormat::Red, 8, 2, 2}, red, 1, bands));
    EXPECT_EQ(std::pair(bands.at(0, 0), bands.at(1, 0)), std::pair(rgb(10, 30, 50), rgb(20, 40, 60)));
    for (const char* feeder : {"Automatic Document Feeder", "ADF", "ADF Front", "ADF Duplex", "Duplex", "Document Feeder"})
        EXPECT_TRUE(isFeederSource(feeder)) << feeder;
    for (const char* single : {"Flatbed", "Transparency Adapter", "Film", "", "Normal"}) EXPECT_FALSE(isFeederSource(single)) << single;
}

// Every frame kind the test devices deliver, against scanimage's picture of
// the same settings; three-pass colour equals single-pass colour.
TEST(ScanAcquire, PicturesHaveTheResolutionsSizeAndMatchScanimage) {
    SaneEnv env;
    const struct { double dpi; std::string mode; Options options; std::string oracle; double mmW, mmH; int32_t lost; } cases[] = {
        {20, "Gray", {}, "--mode Gray --resolution 20", 80, 100, 0},
        {25, "Color", {}, "--mode Color --resolution 25", 80, 100, 0},
        {30, "Gray", {{"depth", "1"}}, "--mode Gray --depth 1 --resolution 30", 80, 100, 0},
        {15, "Gray", {{"depth", "16"}}, "--mode Gray --depth 16 --resolution 15", 80, 100, 0},
        {15, "Color", {{"depth", "16"}}, "--mode Color --depth 16 --resolution 15", 80, 100, 0},
        {20, "Color", {{"three-pass", "yes"}, {"three-pass-order", "GBR"}}, "--mode Color --resolution 20", 80, 100, 0},
        // scanimage writes padded lines as they come: the oracle without its last five columns.
        {20, "Gray", {{"ppl-loss", "5"}}, "--mode Gray --resolution 20", 80, 100, 5},
        {20, "Color", {{"read-limit", "yes"}, {"read-limit-size", "7"}}, "--mode Color --resolution 20", 80, 100, 0},
        {10, "Gray", {{"hand-scanner", "yes"}}, "--mode Gray --hand-scanner=yes --resolution 10", 110, 170, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.oracle + (c.options.empty() ? "" : " " + c.options.front().first));
        Scanner scanner;
        ScriptedScanUi ui(scanner);
        ui.settings = scanAt(c.dpi, c.mode, c.options);
        ASSERT_TRUE(scanner.acquire(ui));
        ASSERT_EQ(scanner.imageCount(), 1u);
        const Bitmap& got = scanner.image(0);
        EXPECT_EQ(std::pair(got.width(), got.height()), std::pair(pixelsFor(c.dpi, c.mmW) - c.lost, pixelsFor(c.dpi, c.mmH)));
        EXPECT_TRUE(varied(got));
        EXPECT_TRUE(samePixels(got, leftColumns(scanimage(c.oracle), got.width())));
    }
    // scanimage cannot write colour lineart: its three-pass scan, whose bands are plain bit rows, is the oracle.
    Bitmap lineart[2];
    for (int threePass = 0; threePass < 2; ++threePass) {
        Scanner scanner;
        ScriptedScanUi ui(scanner);
        ui.settings = scanAt(20, "Color", {{"depth", "1"}, {"three-pass", threePass ? "yes" : "no"}});
        ASSERT_TRUE(scanner.acquire(ui));
        lineart[threePass] = scanner.takeImage(0);
    }
    EXPECT_EQ(std::set<uint32_t>(lineart[0].data(), lineart[0].data() + lineart[0].pixelCount()).size(), 8u);  // the cube's corners
    EXPECT_TRUE(samePixels(lineart[0], lineart[1]));
}

TEST(ScanAcquire, TheSessionWalksItsStatesAndTheChosenDeviceStays) {
    SaneEnv env;
    Scanner scanner;
    ScriptedScanUi ui(scanner);
    ui.choice = 1;
    EXPECT_EQ(scanner.state(), ScanState::PreSession);
    EXPECT_TRUE(scanner.selectSource(ui));
    EXPECT_EQ(ui.stateInList, ScanState::ManagerOpen);
    ASSERT_EQ(ui.listed.size(), 2u);
    EXPECT_EQ(deviceLabel(ui.listed[1]), "Noname frontend-tester (test:1)");
    EXPECT_EQ(scanner.selectedDevice(), "test:1");
    ui.choice.reset();  // a cancelled list keeps the earlier choice
    EXPECT_FALSE(scanner.selectSource(ui));
    EXPECT_EQ(std::pair(ui.listCurrent, scanner.selectedDevice()), std::pair(size_t(1), std::string("test:1")));
    EXPECT_EQ(scanner.state(), ScanState::PreSession);

    ui.settings = scanAt(12);
    ASSERT_TRUE(scanner.acquire(ui));
    EXPECT_EQ(ui.stateInDialog, ScanState::SourceEnabled);
    EXPECT_EQ(scanner.state(), ScanState::PreSession);
    EXPECT_EQ(ui.dialogDevice, 1u);
    EXPECT_EQ(ui.dialogDevices, (std::vector<std::string>{"test:0", "test:1"}));
    EXPECT_EQ(ui.offer.modes, (std::vector<std::string>{"Gray", "Color"}));
    EXPECT_EQ(ui.offer.mode, "Gray");
    const ResolutionOffer& r = ui.offer.resolution;
    EXPECT_TRUE(r.settable && r.values.empty());
    EXPECT_EQ(std::tuple(r.min, r.max, r.current), std::tuple(1.0, 1200.0, 20.0));  // current from tests/platform/sane/test.conf
    EXPECT_EQ(ui.offer.sources, (std::vector<std::string>{"Flatbed", "Automatic Document Feeder"}));
    EXPECT_EQ(ui.offer.source, "Flatbed");
    EXPECT_EQ(scanner.image(0).width(), pixelsFor(12, 80));
    ASSERT_TRUE(ui.keptSwitch);
    EXPECT_FALSE(ui.keptSwitch(1)) << "the dialog's device switch is dead once the dialog is over";

    // Inside the dialog an index past the list changes nothing; a device that
    // exists opens and offers its choices; a name not in the list is refused.
    std::optional<DeviceOffer> switched, past;
    ui.settings = scanAt(10, "Color");
    ui.inDialog = [&](const ScanDialogRequest& req, ScanSettings& s) {
        past = req.switchDevice(7), switched = req.switchDevice(0), s.device = "test:0";
    };
    ASSERT_TRUE(scanner.acquire(ui));
    EXPECT_FALSE(past);
    ASSERT_TRUE(switched);
    EXPECT_EQ(switched->modes.size(), 2u);
    EXPECT_EQ(scanner.image(0).width(), pixelsFor(10, 80));
    ui.inDialog = [](const ScanDialogRequest&, ScanSettings& s) { s.device = "test:9"; };
    EXPECT_FALSE(scanner.acquire(ui));
    EXPECT_EQ(scanner.fault(), ScanFault::SourceFailed);
    EXPECT_EQ(scanner.state(), ScanState::PreSession);
}

// The feeder delivers every page up to the limit, a flatbed one (it would never run dry).
TEST(ScanAcquire, FeederDeliversEveryPageUpToTheLimit) {
    SaneEnv env;
    const struct { const char* source; size_t maxImages, want; } cases[] = {
        {"Automatic Document Feeder", kMaxScanImages, 10}, {"Automatic Document Feeder", 3, 3},
        {"Automatic Document Feeder", 0, 1}, {"Flatbed", kMaxScanImages, 1}};
    for (const auto& c : cases) {
        Scanner scanner;
        ScriptedScanUi ui(scanner);
        ui.settings = scanAt(8, "Gray", {}, c.source);
        ui.settings->maxImages = c.maxImages;
        EXPECT_TRUE(scanner.acquire(ui));
        ASSERT_EQ(scanner.imageCount(), c.want) << c.source << " " << c.maxImages;
        for (size_t i = 0; i < c.want; ++i) EXPECT_EQ(scanner.image(i).height(), pixelsFor(8, 100));
        EXPECT_EQ(scanner.state(), ScanState::PreSession);
    }
}

// Failed transfers on both sources (the feeder's statuses are no end of the
// pages), settings the device cannot take, a cancel at the device or in the
// dialog, no devices, and a missing or foreign library: none leaves a picture.
TEST(ScanAcquire, FailuresAndCancelsEndTheAcquisitionWithTheirFault) {
    SaneEnv env;
    const ScanFault T = ScanFault::TransferFailed, S = ScanFault::SourceFailed, N = ScanFault::None, L = ScanFault::ManagerNotLoaded;
    const struct { const char* what; Options options; std::string mode; const char* library; ScanFault fault; int status; } cases[] = {
        {"io", {{"read-return-value", "SANE_STATUS_IO_ERROR"}}, "Gray", nullptr, T, SANE_STATUS_IO_ERROR},
        {"jammed", {{"read-return-value", "SANE_STATUS_JAMMED"}}, "Gray", nullptr, T, SANE_STATUS_JAMMED},
        {"no docs", {{"read-return-value", "SANE_STATUS_NO_DOCS"}}, "Gray", nullptr, T, SANE_STATUS_NO_DOCS},
        {"cover", {{"read-return-value", "SANE_STATUS_COVER_OPEN"}}, "Gray", nullptr, T, SANE_STATUS_COVER_OPEN},
        {"no line", {{"read-return-value", "SANE_STATUS_EOF"}}, "Gray", nullptr, T, SANE_STATUS_IO_ERROR},
        {"cancelled", {{"read-return-value", "SANE_STATUS_CANCELLED"}}, "Gray", nullptr, N, -1},
        {"no option", {{"no-such-option", "1"}}, "Gray", nullptr, S, -1},
        {"inactive in gray", {{"three-pass", "yes"}}, "Gray", nullptr, S, -1},
        {"bool", {{"hand-scanner", "maybe"}}, "Gray", nullptr, S, -1},
        {"int", {{"depth", "8x"}}, "Gray", nullptr, S, -1},
        {"not listed", {{"test-picture", "Sunset"}}, "Gray", nullptr, S, -1},
        {"too long", {{"test-picture", std::string(5000, 'x')}}, "Gray", nullptr, S, -1},
        {"fixed", {{"resolution", "1e300"}}, "Gray", nullptr, S, -1},
        {"no mode", {}, "Lineart", nullptr, S, SANE_STATUS_INVAL},
        {"dialog cancelled", {}, "", nullptr, N, -1},
        {"no devices", {}, "Gray", "", S, -1},
        {"no library", {}, "Gray", "libsane-not-installed.so.1", L, -1},
        {"foreign library", {}, "Gray", "libm.so.6", L, -1},
    };
    for (const char* source : {"Flatbed", "Automatic Document Feeder"})
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(source) + ": " + c.what);
            if (c.library && *c.library) setSaneLibraryName(c.library);
            if (c.library && !*c.library) std::ofstream(SaneEnv::dir() / "dll.conf") << "# no backends\n";
            Scanner scanner;
            ScriptedScanUi ui(scanner);
            ui.choice = 0;
            ui.settings = scanAt(8, "Gray");
            ASSERT_TRUE(c.library || scanner.acquire(ui));
            if (!c.mode.empty()) ui.settings = scanAt(8, c.mode, c.options, source);
            else ui.settings.reset();
            EXPECT_FALSE(scanner.acquire(ui));
            EXPECT_EQ(scanner.imageCount(), 0u);
            EXPECT_EQ(scanner.fault(), c.fault);
            if (c.status >= 0) { EXPECT_EQ(scanner.lastStatus(), c.status); }
            EXPECT_EQ(scanner.state(), ScanState::PreSession);
            if (c.library) {
                EXPECT_FALSE(scanner.selectSource(ui));
                EXPECT_EQ(scanner.fault(), *c.library ? L : N);
                EXPECT_EQ(ui.listShown + ui.dialogShown, 0);
                EXPECT_EQ(saneApi() == nullptr, bool(*c.library));
                setSaneLibraryName(kSaneLibrary);
                SaneEnv::copyConfig();
            }
        }
    ASSERT_NE(saneApi(), nullptr) << "the real library loads again";
}

// The Scan button: a scan is written to the scratch folder and loaded, of
// several pages only the first is kept; what goes wrong is told once (a
// cancel silently) and the open dialog follows; an open picture stops it.
TEST(ScanImage, TheButtonLoadsTheFirstPageOrFallsBackToTheOpenDialog) {
    SaneEnv env;
    const struct { const char* what; std::optional<ScanSettings> settings; size_t pages; const char* library; bool blockScratch; size_t acquired; const char* message; } cases[] = {
        {"colour", scanAt(24, "Color"), 1, nullptr, false, 1, nullptr},
        {"three pages", scanAt(16, "Gray", {}, "Automatic Document Feeder"), 3, nullptr, false, 3, nullptr},
        {"cancelled", std::nullopt, 1, nullptr, false, 0, nullptr},
        {"no library", scanAt(8), 1, "libsane-not-installed.so.1", false, 0, kScanNotLoadedMessage},
        {"failed", scanAt(8, "Gray", {{"read-return-value", "SANE_STATUS_IO_ERROR"}}, "Automatic Document Feeder"), 1, nullptr, false, 0, kScanFailedMessage},
        {"scratch blocked", scanAt(8), 1, nullptr, true, 1, kInvalidImageMessage},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        cwtest::SessionRig<> rig("cache/temp");
        const std::string scratch = rig.dir / "cache/temp/wkf1.bmp";
        if (c.blockScratch) std::ofstream(rig.dir / "cache") << "a file where the folder should be";
        else {  // an earlier scan's picture must not be taken for this one
            ASSERT_TRUE(ensureScratchFolder(rig.dir / "cache/temp"));
            fs::copy_file(testdata("bmp/rgb24.bmp"), scratch);
        }
        if (c.library) setSaneLibraryName(c.library);
        Scanner scanner;
        ScriptedScanUi ui(scanner);
        ui.choice = c.settings ? std::optional<size_t>(1) : std::nullopt;  // a cancelled list still goes ahead
        ui.settings = c.settings;
        if (ui.settings) ui.settings->maxImages = c.pages;
        rig.dialogs.opens.push_back({testdata("bmp/pal8.bmp")});
        const ScanOutcome out = scanImageClick(rig.s, ui, scanner);
        setSaneLibraryName(kSaneLibrary);
        EXPECT_EQ(out.acquired, c.acquired);
        EXPECT_EQ(out.written, c.acquired && !c.blockScratch);
        EXPECT_EQ(rig.messages.shown, c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
        EXPECT_EQ(scanner.imageCount(), 0u);
        ASSERT_TRUE(rig.s.imageWindowOpen && rig.s.ws);
        if (out.written) {
            EXPECT_EQ(rig.s.openFileName, scratch);
            EXPECT_TRUE(rig.dialogs.asked.empty());
            EXPECT_EQ(fs::directory_iterator(rig.dir / "cache/temp")->path().filename(), kScanBitmap);
            const Bitmap oracle = scanimage(c.pages == 1 ? "--mode Color --resolution 24" : "--mode Gray --resolution 16");
            EXPECT_TRUE(samePixels(rig.s.ws->source, oracle));
            EXPECT_TRUE(samePixels(readBmp(scratch), oracle));
        } else {
            EXPECT_EQ(rig.s.openFileName, testdata("bmp/pal8.bmp"));
            EXPECT_EQ(rig.dialogs.asked.size(), 1u);
            EXPECT_EQ(rig.dialogs.asked[0].title, kOpenTitle);
            EXPECT_EQ(ui.listShown + ui.dialogShown, c.library ? 0 : 2);
        }
        // With a picture open the button does nothing.
        const ScanOutcome again = scanImageClick(rig.s, ui, scanner);
        EXPECT_EQ(again.acquired, 0u);
        EXPECT_EQ(rig.dialogs.asked.size(), out.written ? 0u : 1u);
    }
}
