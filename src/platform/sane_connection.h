#pragma once
// One connection to SANE, from binding the library to letting it go again.
#include <string>
#include <vector>

#include "actions/scanner_port.h"
#include "core/bitmap.h"
#include "platform/sane_devices.h"
#include "platform/sane_options.h"
#include "platform/sane_pages.h"

namespace cw {

// Every step moves `state` through the states of an acquisition; the
// destructor walks it back to the first whatever happened.
class SaneConnection {
public:
    explicit SaneConnection(ScanState& state) : state_(state) {}
    ~SaneConnection() { closeDown(); }
    SaneConnection(const SaneConnection&) = delete;
    SaneConnection& operator=(const SaneConnection&) = delete;

    // Binds the library; false when there is none, or not a usable one.
    bool load();
    // sane_init; a library of another major version is refused.
    SANE_Status openManager();
    std::vector<ScanDevice> devices() { return listDevices(*api_); }

    // Opens `name`; an open device is closed only once the new one is open.
    SANE_Status openDevice(const std::string& name);
    const std::string& deviceName() const { return deviceName_; }
    void enable() { state_ = ScanState::SourceEnabled; }

    // The open device's options.
    DeviceOptions options() const { return DeviceOptions(device()); }
    Transfer transferPage(Bitmap& out, int& status) { return cw::transferPage(device(), state_, scanning_, out, status); }
    // Ends the page sequence: the device stops feeding and is idle again.
    void endTransfers();

private:
    OpenDevice device() const { return {api_, handle_}; }
    void closeDown();

    ScanState& state_;
    const SaneApi* api_ = nullptr;
    bool inited_ = false;
    SANE_Handle handle_ = nullptr;
    std::string deviceName_;
    bool scanning_ = false;
};

} // namespace cw
