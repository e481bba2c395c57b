#pragma once
// What the Scan Image action asks of a scanner, and what the scanner asks of
// the windows: the device list and the scan dialog. The SANE adapter
// implements the scanner; the windows and the tests implement the dialogs.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/bitmap.h"

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

class ScannerPort {
public:
    virtual ~ScannerPort() = default;
    // Lists the devices for the user to choose one; the choice becomes the
    // default of later acquisitions. True if the user chose.
    virtual bool selectSource(ScanUi& ui) = 0;
    // The whole acquisition: opens the default device, runs the scan dialog,
    // collects the pages. True if at least one picture came.
    virtual bool acquire(ScanUi& ui) = 0;
    virtual size_t imageCount() const = 0;
    virtual const Bitmap& image(size_t i) const = 0;
    virtual void clearImages() = 0;
    // The first failure of the last acquisition.
    virtual ScanFault fault() const = 0;
};

} // namespace cw
