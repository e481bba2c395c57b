#pragma once
// Picture acquisition from scanners and cameras through SANE. A session walks
// the seven states of an acquisition (library loaded, opened, device open,
// enabled, transfer ready, transferring) and always returns to the first;
// only the acquired pictures outlive it.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/bitmap.h"

namespace cw {

inline constexpr size_t kMaxScanImages = 999;

enum class ScanState : int {
    PreSession = 1,     // nothing loaded
    ManagerLoaded = 2,  // the SANE library is bound
    ManagerOpen = 3,    // sane_init done
    SourceOpen = 4,     // a device is open
    SourceEnabled = 5,  // its scan dialog is up, or it waits for the next page
    TransferReady = 6,  // sane_start done
    Transferring = 7,   // reading a frame
};

struct ScanDevice {
    std::string name, vendor, model, type;
};
// "vendor model (name)", or just the name when the backend says nothing more.
std::string deviceLabel(const ScanDevice& d);

struct ResolutionOffer {
    bool settable = false;
    std::vector<double> values;  // the allowed values; empty when a range applies
    double min = 0, max = 0, step = 0;
    double current = 0;
};

// What the open device lets the scan dialog choose.
struct DeviceOffer {
    std::vector<std::string> modes;
    std::string mode;
    ResolutionOffer resolution;
    std::vector<std::string> sources;  // empty when the device has no choice
    std::string source;
};

// The scan dialog's answer. Empty strings and a zero resolution leave the
// device's own setting.
struct ScanSettings {
    std::string device;
    std::string mode;
    double resolution = 0;  // dpi
    std::string source;
    // Further options by SANE name, values as text ("yes"/"no" for switches);
    // set after mode and source, before the resolution.
    std::vector<std::pair<std::string, std::string>> options;
    size_t maxImages = kMaxScanImages;  // clamped to 1..kMaxScanImages
};

struct ScanDialogRequest {
    std::vector<ScanDevice> devices;
    size_t device = 0;  // the open one
    DeviceOffer offer;  // what it offers
    // Opens devices[i] in place of the open device and says what it offers;
    // nothing when it cannot be opened, and then the open device stays.
    std::function<std::optional<DeviceOffer>(size_t)> switchDevice;
};

// The dialogs of an acquisition; the windows, tests and the batch runner
// each answer them their own way.
class ScanUi {
public:
    virtual ~ScanUi() = default;
    // The device list: the index chosen, or nothing when cancelled.
    virtual std::optional<size_t> chooseDevice(const std::vector<ScanDevice>& devices, size_t current) = 0;
    // The scan dialog (device, mode, resolution; Scan or Cancel): the
    // settings to scan with, or nothing when cancelled.
    virtual std::optional<ScanSettings> scanDialog(const ScanDialogRequest& request) = 0;
};

enum class ScanFault {
    None,
    ManagerNotLoaded,  // no SANE library, or not a usable one
    ManagerNotOpened,  // sane_init failed or speaks another major version
    SourceFailed,      // no device, it cannot be opened, or refuses the settings
    TransferFailed,    // a page could not be read, or its data makes no sense
};

// Whether a source name stands for a document feeder, the only kind of
// source that is asked for a further page: a flatbed would scan the same
// page again for ever.
bool isFeederSource(const std::string& source);

// The layout of one SANE frame.
enum class FrameFormat { Gray, Rgb, Red, Green, Blue };
struct FrameLayout {
    FrameFormat format = FrameFormat::Gray;
    int depth = 8;              // bits per sample: 1, 8 or 16
    int32_t width = 0;          // pixels per line
    int32_t bytesPerLine = 0;   // at least what width and depth need
};
bool frameLayoutValid(const FrameLayout& f);
// Converts `rows` rows of frame data into `into` (at least width x rows).
// Gray and RGB frames set whole pixels; a Red, Green or Blue frame of a
// three-pass scan sets its own channel only. Gray samples of depth 1 are
// lineart: 1 is black; RGB lineart holds each group of eight pixels as a
// red, a green and a blue byte. 16-bit samples are in host order. Returns false,
// touching nothing, when the layout is invalid or `into` too small.
bool convertFrame(const FrameLayout& f, const uint8_t* data, int32_t rows, Bitmap& into);

class Scanner {
public:
    // Lists the devices for the user to choose one; the choice becomes the
    // default of later acquisitions. True if the user chose.
    bool selectSource(ScanUi& ui);
    // The whole acquisition: opens the default device, runs the scan dialog,
    // collects the pages. True if at least one picture came.
    bool acquire(ScanUi& ui);

    size_t imageCount() const { return images_.size(); }
    const Bitmap& image(size_t i) const { return images_.at(i); }
    Bitmap takeImage(size_t i) { return std::move(images_.at(i)); }
    void clearImages() { images_.clear(); }

    // The first failure of the last session and the SANE status behind it.
    ScanFault fault() const { return fault_; }
    int lastStatus() const { return lastStatus_; }
    ScanState state() const { return state_; }
    const std::string& selectedDevice() const { return selected_; }

private:
    class Session;
    friend class Session;
    bool fail(ScanFault f, int status);

    std::vector<Bitmap> images_;
    ScanFault fault_ = ScanFault::None;
    int lastStatus_ = 0;
    ScanState state_ = ScanState::PreSession;
    std::string selected_;
};

// The one the Scan Image button uses, so that the chosen device is kept for
// the rest of the run.
Scanner& defaultScanner();

} // namespace cw
