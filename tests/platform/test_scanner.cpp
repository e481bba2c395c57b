// Scanner acquisition against SANE's virtual test devices (tests/platform/sane
// names only the test backend), with scanimage from the same SANE as the
// oracle for the pixels.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <set>

#include "actions/headless_host.h"
#include "actions/picture_files.h"
#include "actions/scan_flow.h"
#include "actions/scratch.h"
#include "actions/session.h"
#include "codecs/bmp_reader.h"
#include "platform/sane_api.h"
#include "platform/scanner.h"
#include "test_support.h"

using namespace cw;
namespace fs = std::filesystem;

namespace {

// SANE reads SANE_CONFIG_DIR once per process, but the files in it at each
// sane_init; so every test of one process uses one copy of
// tests/platform/sane, which a test may rewrite for itself.
const cwtest::TempDir& saneConfigDir() {
    static const cwtest::TempDir dir;
    static const bool copied = [] {
        for (const char* name : {"dll.conf", "test.conf"})
            fs::copy_file(cwtest::testdata("../platform/sane/") + name, dir / name, fs::copy_options::overwrite_existing);
        return true;
    }();
    (void)copied;
    return dir;
}

void writeDllConf(const std::string& text) { std::ofstream(saneConfigDir() / "dll.conf") << text; }

// Points SANE at the test devices and the real library for one test.
struct SaneEnv {
    SaneEnv() {
        ::setenv("SANE_CONFIG_DIR", saneConfigDir().path.c_str(), 1);
        setSaneLibraryName(kSaneLibrary);
    }
    ~SaneEnv() {
        setSaneLibraryName(kSaneLibrary);
        fs::copy_file(cwtest::testdata("../platform/sane/dll.conf"), saneConfigDir() / "dll.conf",
                      fs::copy_options::overwrite_existing);
    }
};

// The test backend's page is 80 x 100 mm; a hand scanner's 110 x 170 mm.
int32_t pixelsFor(double dpi, double mm) { return int32_t(dpi * mm / 25.4); }

class ScriptedScanUi : public ScanUi {
public:
    explicit ScriptedScanUi(const Scanner& s) : scanner_(s) {}

    std::optional<size_t> choice;          // answer of the device list
    std::optional<ScanSettings> settings;  // answer of the scan dialog; nothing cancels it
    std::function<void(const ScanDialogRequest&, ScanSettings&)> inDialog;

    int listShown = 0, dialogShown = 0;
    std::vector<ScanDevice> listed;
    size_t listCurrent = 99;
    ScanState stateInList{}, stateInDialog{};
    size_t dialogDevice = 99;
    DeviceOffer offer;
    std::vector<std::string> dialogDevices;
    std::function<std::optional<DeviceOffer>(size_t)> keptSwitch;

    std::optional<size_t> chooseDevice(const std::vector<ScanDevice>& devices, size_t current) override {
        ++listShown;
        listed = devices;
        listCurrent = current;
        stateInList = scanner_.state();
        return choice;
    }
    std::optional<ScanSettings> scanDialog(const ScanDialogRequest& r) override {
        ++dialogShown;
        stateInDialog = scanner_.state();
        dialogDevice = r.device;
        offer = r.offer;
        dialogDevices.clear();
        for (const auto& d : r.devices) dialogDevices.push_back(d.name);
        keptSwitch = r.switchDevice;
        if (!settings) return std::nullopt;
        ScanSettings s = *settings;
        if (s.device.empty()) s.device = r.devices.at(r.device).name;
        if (inDialog) inDialog(r, s);
        return s;
    }

private:
    const Scanner& scanner_;
};

ScanSettings scanAt(double dpi, std::string mode = "Gray",
                    std::vector<std::pair<std::string, std::string>> options = {}) {
    ScanSettings s;
    s.mode = std::move(mode);
    s.resolution = dpi;
    s.options = std::move(options);
    return s;
}

// A PNM picture as scanimage writes it, 16-bit samples reduced to their
// high byte, lineart with 1 as black.
Bitmap readPnm(const std::string& data) {
    size_t pos = 0;
    auto token = [&]() {
        for (;;) {
            while (pos < data.size() && std::isspace(static_cast<unsigned char>(data[pos]))) ++pos;
            if (pos < data.size() && data[pos] == '#') {
                while (pos < data.size() && data[pos] != '\n') ++pos;
                continue;
            }
            break;
        }
        const size_t start = pos;
        while (pos < data.size() && !std::isspace(static_cast<unsigned char>(data[pos]))) ++pos;
        return data.substr(start, pos - start);
    };
    const std::string magic = token();
    const int w = std::stoi(token()), h = std::stoi(token());
    const int maxval = magic == "P4" ? 1 : std::stoi(token());
    ++pos;
    Bitmap b(w, h);
    const auto* p = reinterpret_cast<const uint8_t*>(data.data()) + pos;
    const size_t bytes = maxval > 255 ? 2 : 1;
    const size_t rowBytes = magic == "P4" ? size_t(w + 7) / 8 : size_t(w) * bytes * (magic == "P6" ? 3 : 1);
    if (data.size() - pos < rowBytes * size_t(h)) throw std::runtime_error("short PNM");
    for (int y = 0; y < h; ++y, p += rowBytes)
        for (int x = 0; x < w; ++x) {
            if (magic == "P4") {
                const uint32_t v = (p[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255;
                b.at(x, y) = rgb(v, v, v);
            } else if (magic == "P5") {
                const uint32_t v = p[size_t(x) * bytes];  // big-endian: the high byte first
                b.at(x, y) = rgb(v, v, v);
            } else {
                const uint8_t* s = p + size_t(x) * 3 * bytes;
                b.at(x, y) = rgb(s[0], s[bytes], s[2 * bytes]);
            }
        }
    return b;
}

Bitmap scanimage(const std::vector<std::string>& args) {
    std::string cmd = "scanimage -d test:0 --format=pnm";
    for (const auto& a : args) cmd += " '" + a + "'";
    cmd += " 2>/dev/null";
    std::FILE* f = ::popen(cmd.c_str(), "r");
    if (!f) throw std::runtime_error("cannot run scanimage");
    std::string out;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    if (::pclose(f) != 0 || out.empty()) throw std::runtime_error("scanimage failed (is sane-utils installed?): " + cmd);
    return readPnm(out);
}

using cwtest::samePixels;

Bitmap leftColumns(const Bitmap& b, int32_t width) {
    if (width >= b.width()) return b.clone();
    Bitmap out(width, b.height());
    for (int32_t y = 0; y < b.height(); ++y) std::memcpy(out.row(y), b.row(y), size_t(width) * sizeof(uint32_t));
    return out;
}

bool allEqual(const Bitmap& b) {
    for (size_t i = 1; i < b.pixelCount(); ++i)
        if (b.data()[i] != b.data()[0]) return false;
    return true;
}

} // namespace

TEST(ScanFrames, GrayLineartSixteenBitRgbAndBandsConvert) {
    // Two pixels per line, a padding byte after each line.
    const uint8_t gray8[] = {0, 200, 0xee, 17, 255, 0xee};
    uint16_t g16[] = {0x12ff, 0xab00, 0, 0xffff};
    uint8_t gray16[8];
    std::memcpy(gray16, g16, sizeof g16);
    const uint8_t lineart[] = {0b10100000, 0b01000000};  // MSB first, a set bit is black
    const uint8_t rgb8[] = {1, 2, 3, 250, 251, 252};
    // Colour lineart, nine pixels: red, green and blue bytes of the first
    // eight, then those of the ninth.
    const uint8_t rgb1[] = {0b11000000, 0b10100000, 0b00000001, 0, 0b10000000, 0b10000000};
    struct Case {
        const char* what;
        FrameLayout layout;
        const uint8_t* data;
        int32_t rows;
        std::vector<uint32_t> want;
    } cases[] = {
        {"gray 8", {FrameFormat::Gray, 8, 2, 3}, gray8, 2, {rgb(0, 0, 0), rgb(200, 200, 200), rgb(17, 17, 17), rgb(255, 255, 255)}},
        {"gray 16", {FrameFormat::Gray, 16, 2, 4}, gray16, 2, {rgb(0x12, 0x12, 0x12), rgb(0xab, 0xab, 0xab), rgb(0, 0, 0), rgb(255, 255, 255)}},
        {"lineart", {FrameFormat::Gray, 1, 3, 1}, lineart, 2,
         {rgb(0, 0, 0), rgb(255, 255, 255), rgb(0, 0, 0), rgb(255, 255, 255), rgb(0, 0, 0), rgb(255, 255, 255)}},
        {"rgb 8", {FrameFormat::Rgb, 8, 2, 6}, rgb8, 1, {rgb(1, 2, 3), rgb(250, 251, 252)}},
        {"rgb 1", {FrameFormat::Rgb, 1, 9, 6}, rgb1, 1,
         {rgb(255, 255, 0), rgb(255, 0, 0), rgb(0, 255, 0), rgb(0, 0, 0), rgb(0, 0, 0), rgb(0, 0, 0), rgb(0, 0, 0),
          rgb(0, 0, 255), rgb(0, 255, 255)}},
    };
    for (const Case& c : cases) {
        const int32_t w = c.layout.width;
        Bitmap b(w, c.rows);
        ASSERT_TRUE(convertFrame(c.layout, c.data, c.rows, b)) << c.what;
        std::vector<uint32_t> got(b.data(), b.data() + b.pixelCount());
        EXPECT_EQ(got, c.want) << c.what;
    }

    // Three bands build one colour picture, each touching only its channel.
    Bitmap b(2, 1);
    std::fill_n(b.data(), 2, 0xff000000u);
    const uint8_t red[] = {10, 20}, green[] = {30, 40}, blue[] = {50, 60};
    ASSERT_TRUE(convertFrame({FrameFormat::Green, 8, 2, 2}, green, 1, b));
    ASSERT_TRUE(convertFrame({FrameFormat::Blue, 8, 2, 2}, blue, 1, b));
    ASSERT_TRUE(convertFrame({FrameFormat::Red, 8, 2, 2}, red, 1, b));
    EXPECT_EQ(b.at(0, 0), rgb(10, 30, 50));
    EXPECT_EQ(b.at(1, 0), rgb(20, 40, 60));
}

TEST(ScanFrames, LayoutsThatWouldReadPastALineAreRefused) {
    const uint8_t data[64] = {};
    Bitmap b(8, 4);
    b.at(0, 0) = 0x12345678;
    const FrameLayout bad[] = {
        {FrameFormat::Gray, 8, 8, 7},   // line shorter than its pixels
        {FrameFormat::Rgb, 8, 8, 23},
        {FrameFormat::Rgb, 16, 2, 11},
        {FrameFormat::Gray, 1, 9, 1},   // nine bits need two bytes
        {FrameFormat::Rgb, 1, 9, 5},    // and three of them six
        {FrameFormat::Gray, 4, 8, 8},   // no such depth
        {FrameFormat::Gray, 8, 0, 8},
        {FrameFormat::Gray, 8, -3, 8},
        {FrameFormat::Gray, 8, 8, 0},
    };
    for (const FrameLayout& f : bad) {
        EXPECT_FALSE(frameLayoutValid(f)) << f.width << " " << f.bytesPerLine << " " << f.depth;
        EXPECT_FALSE(convertFrame(f, data, 1, b));
    }
    // A valid layout into a picture too small for it.
    EXPECT_FALSE(convertFrame({FrameFormat::Gray, 8, 9, 9}, data, 1, b));
    EXPECT_FALSE(convertFrame({FrameFormat::Gray, 8, 8, 8}, data, 5, b));
    EXPECT_EQ(b.at(0, 0), 0x12345678u);
    EXPECT_TRUE(convertFrame({FrameFormat::Gray, 8, 8, 8}, data, 4, b));
}

TEST(FeederSource, OnlyDocumentFeedersAreAskedForAnotherPage) {
    for (const char* feeder : {"Automatic Document Feeder", "ADF", "ADF Front", "ADF Duplex", "Duplex", "Document Feeder"})
        EXPECT_TRUE(isFeederSource(feeder)) << feeder;
    for (const char* single : {"Flatbed", "Transparency Adapter", "Film", "", "Normal"})
        EXPECT_FALSE(isFeederSource(single)) << single;
}

// Every frame kind the test devices deliver, against scanimage's picture of
// the same settings. Three-pass colour must equal single-pass colour.
TEST(ScanAcquire, PictureHasTheResolutionsSizeAndMatchesScanimage) {
    SaneEnv env;
    struct Case {
        const char* what;
        double dpi;
        std::string mode;
        std::vector<std::pair<std::string, std::string>> options;
        std::vector<std::string> oracle;
        int32_t width, height;
    } cases[] = {
        {"gray", 20, "Gray", {}, {"--mode", "Gray", "--resolution", "20"}, pixelsFor(20, 80), pixelsFor(20, 100)},
        {"colour", 25, "Color", {}, {"--mode", "Color", "--resolution", "25"}, pixelsFor(25, 80), pixelsFor(25, 100)},
        {"lineart", 30, "Gray", {{"depth", "1"}}, {"--mode", "Gray", "--depth", "1", "--resolution", "30"},
         pixelsFor(30, 80), pixelsFor(30, 100)},
        {"gray 16", 15, "Gray", {{"depth", "16"}}, {"--mode", "Gray", "--depth", "16", "--resolution", "15"},
         pixelsFor(15, 80), pixelsFor(15, 100)},
        {"colour 16", 15, "Color", {{"depth", "16"}}, {"--mode", "Color", "--depth", "16", "--resolution", "15"},
         pixelsFor(15, 80), pixelsFor(15, 100)},
        {"three-pass", 20, "Color", {{"three-pass", "yes"}, {"three-pass-order", "GBR"}},
         {"--mode", "Color", "--resolution", "20"}, pixelsFor(20, 80), pixelsFor(20, 100)},
        // scanimage writes padded lines as they come; the oracle is the
        // unpadded picture without its last five columns.
        {"padded lines", 20, "Gray", {{"ppl-loss", "5"}}, {"--mode", "Gray", "--resolution", "20"},
         pixelsFor(20, 80) - 5, pixelsFor(20, 100)},
        {"small reads", 20, "Color", {{"read-limit", "yes"}, {"read-limit-size", "7"}},
         {"--mode", "Color", "--resolution", "20"}, pixelsFor(20, 80), pixelsFor(20, 100)},
        {"unknown height", 10, "Gray", {{"hand-scanner", "yes"}}, {"--mode", "Gray", "--hand-scanner=yes", "--resolution", "10"},
         pixelsFor(10, 110), pixelsFor(10, 170)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Scanner scanner;
        ScriptedScanUi ui(scanner);
        ui.settings = scanAt(c.dpi, c.mode, c.options);
        ASSERT_TRUE(scanner.acquire(ui));
        EXPECT_EQ(scanner.fault(), ScanFault::None);
        ASSERT_EQ(scanner.imageCount(), 1u);
        const Bitmap& got = scanner.image(0);
        EXPECT_EQ(got.width(), c.width);
        EXPECT_EQ(got.height(), c.height);
        EXPECT_FALSE(allEqual(got));
        EXPECT_TRUE(samePixels(got, leftColumns(scanimage(c.oracle), c.width)));
    }
}

// scanimage cannot write colour lineart; the three-pass scan of the same
// picture, whose bands are plain bit rows, is the oracle.
TEST(ScanAcquire, ColourLineartMatchesItsThreePassScan) {
    SaneEnv env;
    Bitmap pictures[2];
    for (int threePass = 0; threePass < 2; ++threePass) {
        Scanner scanner;
        ScriptedScanUi ui(scanner);
        ui.settings = scanAt(20, "Color", {{"depth", "1"}, {"three-pass", threePass ? "yes" : "no"}});
        ASSERT_TRUE(scanner.acquire(ui));
        pictures[threePass] = scanner.takeImage(0);
    }
    EXPECT_EQ(pictures[0].width(), pixelsFor(20, 80));
    EXPECT_FALSE(allEqual(pictures[0]));
    std::set<uint32_t> colours(pictures[0].data(), pictures[0].data() + pictures[0].pixelCount());
    EXPECT_EQ(colours.size(), 8u);  // the eight corners of the colour cube
    EXPECT_TRUE(samePixels(pictures[0], pictures[1]));
}

TEST(ScanAcquire, SessionWalksTheStatesAndOffersTheDevicesChoices) {
    SaneEnv env;
    Scanner scanner;
    ScriptedScanUi ui(scanner);
    ui.choice = 0;
    ui.settings = scanAt(12);
    EXPECT_EQ(scanner.state(), ScanState::PreSession);
    EXPECT_TRUE(scanner.selectSource(ui));
    EXPECT_EQ(ui.stateInList, ScanState::ManagerOpen);
    ASSERT_EQ(ui.listed.size(), 2u);
    EXPECT_EQ(ui.listed[0].name, "test:0");
    EXPECT_EQ(ui.listed[1].name, "test:1");
    EXPECT_EQ(deviceLabel(ui.listed[0]), "Noname frontend-tester (test:0)");
    EXPECT_EQ(scanner.state(), ScanState::PreSession);

    ASSERT_TRUE(scanner.acquire(ui));
    EXPECT_EQ(ui.stateInDialog, ScanState::SourceEnabled);
    EXPECT_EQ(scanner.state(), ScanState::PreSession);
    EXPECT_EQ(ui.offer.modes, (std::vector<std::string>{"Gray", "Color"}));
    EXPECT_EQ(ui.offer.mode, "Gray");
    EXPECT_TRUE(ui.offer.resolution.settable);
    EXPECT_TRUE(ui.offer.resolution.values.empty());
    EXPECT_EQ(ui.offer.resolution.min, 1);
    EXPECT_EQ(ui.offer.resolution.max, 1200);
    EXPECT_EQ(ui.offer.resolution.current, 20);  // from tests/platform/sane/test.conf
    EXPECT_EQ(ui.offer.sources, (std::vector<std::string>{"Flatbed", "Automatic Document Feeder"}));
    EXPECT_EQ(ui.offer.source, "Flatbed");
    EXPECT_EQ(scanner.image(0).width(), pixelsFor(12, 80));

    // The device switch handed to the dialog is dead once the dialog is over.
    ASSERT_TRUE(ui.keptSwitch);
    EXPECT_FALSE(ui.keptSwitch(1));
}

TEST(ScanAcquire, ChosenDeviceBecomesTheDefaultAndTheDialogCanSwitchDevices) {
    SaneEnv env;
    Scanner scanner;
    ScriptedScanUi ui(scanner);
    ui.choice = 1;
    EXPECT_TRUE(scanner.selectSource(ui));
    EXPECT_EQ(scanner.selectedDevice(), "test:1");
    ui.choice.reset();  // a cancelled list keeps the earlier choice
    EXPECT_FALSE(scanner.selectSource(ui));
    EXPECT_EQ(ui.listCurrent, 1u);
    EXPECT_EQ(scanner.selectedDevice(), "test:1");

    ui.settings = scanAt(10, "Color");
    ASSERT_TRUE(scanner.acquire(ui));
    EXPECT_EQ(ui.dialogDevice, 1u);
    EXPECT_EQ(ui.dialogDevices, (std::vector<std::string>{"test:0", "test:1"}));

    // Switching inside the dialog: a device that exists opens and offers its
    // choices; an index past the list changes nothing.
    std::optional<DeviceOffer> switched, past;
    ui.inDialog = [&](const ScanDialogRequest& r, ScanSettings& s) {
        past = r.switchDevice(7);
        switched = r.switchDevice(0);
        s.device = "test:0";
    };
    ASSERT_TRUE(scanner.acquire(ui));
    EXPECT_FALSE(past);
    ASSERT_TRUE(switched);
    EXPECT_EQ(switched->modes.size(), 2u);
    EXPECT_EQ(scanner.image(0).width(), pixelsFor(10, 80));

    // Settings naming a device the dialog did not open are still honoured,
    // and a name that is not in the list is refused.
    ui.inDialog = [](const ScanDialogRequest&, ScanSettings& s) { s.device = "test:0"; };
    EXPECT_TRUE(scanner.acquire(ui));
    ui.inDialog = [](const ScanDialogRequest&, ScanSettings& s) { s.device = "test:9"; };
    EXPECT_FALSE(scanner.acquire(ui));
    EXPECT_EQ(scanner.fault(), ScanFault::SourceFailed);
    EXPECT_EQ(scanner.state(), ScanState::PreSession);
}

TEST(ScanAcquire, FeederDeliversEveryPageUpToTheListAndAFlatbedOne) {
    SaneEnv env;
    struct Case {
        const char* source;
        size_t maxImages;
        size_t want;
    } cases[] = {
        {"Automatic Document Feeder", kMaxScanImages, 10},  // the test feeder holds ten sheets
        {"Automatic Document Feeder", 3, 3},
        {"Automatic Document Feeder", 0, 1},  // clamped to one
        {"Flatbed", kMaxScanImages, 1},      // a flatbed is not asked again: it would never run dry
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.source) + " " + std::to_string(c.maxImages));
        Scanner scanner;
        ScriptedScanUi ui(scanner);
        ui.settings = scanAt(8);
        ui.settings->source = c.source;
        ui.settings->maxImages = c.maxImages;
        EXPECT_TRUE(scanner.acquire(ui));
        EXPECT_EQ(scanner.fault(), ScanFault::None);
        ASSERT_EQ(scanner.imageCount(), c.want);
        for (size_t i = 0; i < c.want; ++i) EXPECT_EQ(scanner.image(i).height(), pixelsFor(8, 100));
        EXPECT_EQ(scanner.state(), ScanState::PreSession);
    }
}

TEST(ScanAcquire, DeviceFailingEveryTransferEndsTheAcquisition) {
    SaneEnv env;
    // A plain failure, the feeder's own statuses (which a reader could take
    // for the end of the pages), and a frame without a single line.
    const std::pair<const char*, int> failures[] = {
        {"SANE_STATUS_IO_ERROR", SANE_STATUS_IO_ERROR}, {"SANE_STATUS_JAMMED", SANE_STATUS_JAMMED},
        {"SANE_STATUS_NO_DOCS", SANE_STATUS_NO_DOCS},   {"SANE_STATUS_COVER_OPEN", SANE_STATUS_COVER_OPEN},
        {"SANE_STATUS_EOF", SANE_STATUS_IO_ERROR},
    };
    for (const char* source : {"Flatbed", "Automatic Document Feeder"})
        for (const auto& [code, status] : failures) {
            SCOPED_TRACE(std::string(source) + " " + code);
            Scanner scanner;
            ScriptedScanUi ui(scanner);
            ui.settings = scanAt(8, "Gray", {{"read-return-value", code}});
            ui.settings->source = source;
            EXPECT_FALSE(scanner.acquire(ui));
            EXPECT_EQ(scanner.imageCount(), 0u);
            EXPECT_EQ(scanner.fault(), ScanFault::TransferFailed);
            EXPECT_EQ(scanner.lastStatus(), status);
            EXPECT_EQ(scanner.state(), ScanState::PreSession);
        }

    // Cancelled at the device: nothing came, and that is no failure.
    Scanner scanner;
    ScriptedScanUi ui(scanner);
    ui.settings = scanAt(8, "Gray", {{"read-return-value", "SANE_STATUS_CANCELLED"}});
    EXPECT_FALSE(scanner.acquire(ui));
    EXPECT_EQ(scanner.fault(), ScanFault::None);
    EXPECT_EQ(scanner.imageCount(), 0u);
}

TEST(ScanAcquire, SettingsTheDeviceCannotTakeAreRefusedBeforeScanning) {
    SaneEnv env;
    const std::vector<std::pair<std::string, std::string>> bad[] = {
        {{"no-such-option", "1"}},
        {{"three-pass", "yes"}},                 // inactive in gray mode
        {{"hand-scanner", "maybe"}},
        {{"depth", "8x"}},
        {{"test-picture", "Sunset"}},            // not in the device's list
        {{"test-picture", std::string(5000, 'x')}},
        {{"resolution", "1e300"}},
    };
    for (const auto& options : bad) {
        SCOPED_TRACE(options.front().first + "=" + options.front().second.substr(0, 20));
        Scanner scanner;
        ScriptedScanUi ui(scanner);
        ui.settings = scanAt(8, "Gray", options);
        EXPECT_FALSE(scanner.acquire(ui));
        EXPECT_EQ(scanner.fault(), ScanFault::SourceFailed);
        EXPECT_EQ(scanner.state(), ScanState::PreSession);
    }
    Scanner scanner;
    ScriptedScanUi ui(scanner);
    ui.settings = scanAt(8, "Lineart");  // the test devices have no such mode
    EXPECT_FALSE(scanner.acquire(ui));
    EXPECT_EQ(scanner.fault(), ScanFault::SourceFailed);
    EXPECT_EQ(scanner.lastStatus(), SANE_STATUS_INVAL);
}

TEST(ScanAcquire, CancelledDialogIsNoFault) {
    SaneEnv env;
    Scanner scanner;
    ScriptedScanUi ui(scanner);
    ui.settings = scanAt(8);
    ASSERT_TRUE(scanner.acquire(ui));
    ui.settings.reset();
    EXPECT_FALSE(scanner.acquire(ui));
    EXPECT_EQ(ui.dialogShown, 2);
    EXPECT_EQ(scanner.imageCount(), 0u);  // the earlier picture went with the new acquisition
    EXPECT_EQ(scanner.fault(), ScanFault::None);
    EXPECT_EQ(scanner.state(), ScanState::PreSession);
}

TEST(ScanAcquire, MissingOrForeignLibraryIsReportedAndTheRealOneLoadsAgain) {
    SaneEnv env;
    for (const char* name : {"libsane-not-installed.so.1", "libm.so.6"}) {
        SCOPED_TRACE(name);
        setSaneLibraryName(name);
        EXPECT_EQ(saneApi(), nullptr);
        Scanner scanner;
        ScriptedScanUi ui(scanner);
        ui.choice = 0;
        ui.settings = scanAt(8);
        EXPECT_FALSE(scanner.selectSource(ui));
        EXPECT_EQ(scanner.fault(), ScanFault::ManagerNotLoaded);
        EXPECT_FALSE(scanner.acquire(ui));
        EXPECT_EQ(scanner.fault(), ScanFault::ManagerNotLoaded);
        EXPECT_EQ(ui.listShown + ui.dialogShown, 0);
        EXPECT_EQ(scanner.state(), ScanState::PreSession);
    }
    setSaneLibraryName(kSaneLibrary);
    ASSERT_NE(saneApi(), nullptr);
    Scanner scanner;
    ScriptedScanUi ui(scanner);
    ui.settings = scanAt(8);
    EXPECT_TRUE(scanner.acquire(ui));
}

TEST(ScanAcquire, NoDevicesShowsNoListAndFailsTheAcquisition) {
    SaneEnv env;
    writeDllConf("# no backends\n");
    Scanner scanner;
    ScriptedScanUi ui(scanner);
    ui.choice = 0;
    ui.settings = scanAt(8);
    EXPECT_FALSE(scanner.selectSource(ui));
    EXPECT_EQ(scanner.fault(), ScanFault::None);
    EXPECT_EQ(ui.listShown, 0);
    EXPECT_FALSE(scanner.acquire(ui));
    EXPECT_EQ(scanner.fault(), ScanFault::SourceFailed);
    EXPECT_EQ(ui.dialogShown, 0);
}

namespace {

struct Flow : cwtest::SessionRig<> {
    Scanner scanner;
    ScriptedScanUi ui{scanner};
    Flow() : SessionRig("cache/temp") {}

    ScanOutcome scan() { return scanImageClick(s, ui, scanner); }
    std::string scratch() { return dir / "cache/temp/wkf1.bmp"; }
    void expectOpenDialogOnceAndNoPicture() {
        ASSERT_EQ(dialogs.asked.size(), 1u);
        EXPECT_EQ(dialogs.asked[0].title, kOpenTitle);
        EXPECT_FALSE(s.imageWindowOpen);
        EXPECT_FALSE(s.ws);
        EXPECT_TRUE(s.mainEnabled);
        EXPECT_FALSE(progress.visible());
        EXPECT_FALSE(s.imageWindowOpen);
    }
};

} // namespace

TEST(ScanImage, AcquiredPictureIsWrittenToTheScratchFolderAndLoaded) {
    SaneEnv env;
    Flow f;
    f.ui.choice = 1;
    f.ui.settings = scanAt(24, "Color");
    const ScanOutcome out = f.scan();
    EXPECT_EQ(out.acquired, 1u);
    EXPECT_TRUE(out.written);
    EXPECT_TRUE(f.messages.shown.empty());
    EXPECT_TRUE(f.dialogs.asked.empty());
    ASSERT_TRUE(f.s.imageWindowOpen);
    ASSERT_TRUE(f.s.ws);
    EXPECT_EQ(f.s.openFileName, f.scratch());
    EXPECT_EQ(f.s.openFileName, f.scratch());
    EXPECT_TRUE(f.s.imageWindowOpen);
    EXPECT_EQ(f.s.ws->source.width(), pixelsFor(24, 80));
    EXPECT_EQ(f.s.ws->source.height(), pixelsFor(24, 100));
    EXPECT_FALSE(allEqual(f.s.ws->source));
    const Bitmap oracle = scanimage({"--mode", "Color", "--resolution", "24"});
    EXPECT_TRUE(samePixels(f.s.ws->source, oracle));
    EXPECT_TRUE(samePixels(readBmp(f.scratch()), oracle));
    EXPECT_EQ(f.scanner.imageCount(), 0u);
}

TEST(ScanImage, ThreePagesAreCollectedAndOnlyTheFirstIsKept) {
    SaneEnv env;
    Flow f;
    f.ui.settings = scanAt(16);
    f.ui.settings->source = "Automatic Document Feeder";
    f.ui.settings->maxImages = 3;
    const ScanOutcome out = f.scan();
    EXPECT_EQ(out.acquired, 3u);
    ASSERT_TRUE(f.s.imageWindowOpen);
    EXPECT_EQ(f.s.openFileName, f.scratch());
    EXPECT_EQ(f.s.ws->source.height(), pixelsFor(16, 100));
    std::set<std::string> files;
    for (const auto& e : fs::directory_iterator(f.dir / "cache/temp")) files.insert(e.path().filename().string());
    EXPECT_EQ(files, std::set<std::string>{kScanBitmap});
    EXPECT_EQ(f.scanner.imageCount(), 0u);
    EXPECT_TRUE(f.messages.shown.empty());
}

TEST(ScanImage, CancelledScanDialogShowsNoMessageThenTheOpenDialog) {
    SaneEnv env;
    Flow f;
    // An earlier scan's picture is still in the scratch folder; it must not
    // be taken for this one.
    ASSERT_TRUE(ensureScratchFolder(f.dir / "cache/temp"));
    fs::copy_file(cwtest::testdata("bmp/rgb24.bmp"), f.scratch());
    f.ui.choice.reset();  // the device list is cancelled too: the scan still goes ahead
    const ScanOutcome out = f.scan();
    EXPECT_EQ(f.ui.listShown, 1);
    EXPECT_EQ(f.ui.dialogShown, 1);
    EXPECT_EQ(f.ui.dialogDevice, 0u);
    EXPECT_EQ(out.acquired, 0u);
    EXPECT_TRUE(f.messages.shown.empty());
    f.expectOpenDialogOnceAndNoPicture();
}

TEST(ScanImage, MissingLibraryGivesOneMessageThenTheOpenDialog) {
    SaneEnv env;
    setSaneLibraryName("libsane-not-installed.so.1");
    Flow f;
    f.ui.choice = 0;
    f.ui.settings = scanAt(8);
    f.scan();
    EXPECT_EQ(f.messages.shown, std::vector<std::string>{kScanNotLoadedMessage});
    EXPECT_EQ(f.ui.listShown + f.ui.dialogShown, 0);
    f.expectOpenDialogOnceAndNoPicture();

    // The open dialog it falls back to loads what the user picks there.
    Flow g;
    g.dialogs.opens.push_back({cwtest::testdata("bmp/rgb24.bmp")});
    g.scan();
    EXPECT_TRUE(g.s.imageWindowOpen);
    EXPECT_EQ(g.s.openFileName, cwtest::testdata("bmp/rgb24.bmp"));
}

// Both sources' failures are told apart from a cancel in ScanAcquire; here
// only that the button reports one.
TEST(ScanImage, FailedTransferIsReportedNotPassedOffAsACancel) {
    SaneEnv env;
    Flow f;
    f.ui.settings = scanAt(8, "Gray", {{"read-return-value", "SANE_STATUS_IO_ERROR"}});
    f.ui.settings->source = "Automatic Document Feeder";
    const ScanOutcome out = f.scan();
    EXPECT_EQ(out.acquired, 0u);
    EXPECT_EQ(f.messages.shown, std::vector<std::string>{kScanFailedMessage});
    f.expectOpenDialogOnceAndNoPicture();
}

TEST(ScanImage, UnusableScratchFolderIsReportedThenTheOpenDialog) {
    SaneEnv env;
    Flow f;
    std::ofstream(f.dir / "cache") << "a file where the folder should be";
    f.ui.settings = scanAt(8);
    const ScanOutcome out = f.scan();
    EXPECT_EQ(out.acquired, 1u);
    EXPECT_FALSE(out.written);
    EXPECT_EQ(f.messages.shown, std::vector<std::string>{kInvalidImageMessage});
    f.expectOpenDialogOnceAndNoPicture();
}

TEST(ScanImage, DoesNothingWhileAPictureIsOpen) {
    SaneEnv env;
    Flow f;
    f.dialogs.opens.push_back({cwtest::testdata("bmp/rgb24.bmp")});
    loadButtonClick(f.s);
    ASSERT_TRUE(f.s.imageWindowOpen);
    const std::string before = f.s.openFileName;
    f.ui.choice = 0;
    f.ui.settings = scanAt(8);
    const ScanOutcome out = f.scan();
    EXPECT_EQ(out.acquired, 0u);
    EXPECT_EQ(f.ui.listShown + f.ui.dialogShown, 0);
    EXPECT_EQ(f.s.openFileName, before);
    EXPECT_TRUE(f.messages.shown.empty());
    EXPECT_EQ(f.dialogs.asked.size(), 1u);
}
