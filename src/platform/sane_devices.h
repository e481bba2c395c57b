#pragma once
// The devices SANE offers, and the handle of one it opened.
#include <cstddef>
#include <string>
#include <vector>

#include "actions/scanner_port.h"
#include "platform/sane_api.h"

namespace cw {

// A device SANE has opened, as the option and page code reach it.
struct OpenDevice {
    const SaneApi* api = nullptr;
    SANE_Handle handle = nullptr;
};

// The devices SANE finds, those without a name left out; none when it
// cannot list them.
std::vector<ScanDevice> listDevices(const SaneApi& api);

// The position of the device called `name`, or 0, the first, when it is
// not among them.
size_t deviceIndex(const std::vector<ScanDevice>& devices, const std::string& name);

} // namespace cw
