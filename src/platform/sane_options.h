#pragma once
// A device's options: what its scan dialog may offer, and setting them from
// the dialog's answer, each value checked before the backend sees it.
#include <optional>
#include <string>
#include <vector>

#include "actions/scanner_port.h"
#include "platform/sane_devices.h"

namespace cw {

// Whether a source name stands for a document feeder, the only kind of
// source that is asked for a further page: a flatbed would scan the same
// page again for ever.
bool isFeederSource(const std::string& source);

class DeviceOptions {
public:
    explicit DeviceOptions(OpenDevice device) : api_(device.api), handle_(device.handle) {}

    // The modes, resolutions and sources the device lets the user choose.
    DeviceOffer offer();
    // Sets mode, source, the further options and the resolution, in that
    // order; the first refusal ends it and is returned.
    SANE_Status apply(const ScanSettings& set);
    // The source the device will scan from; empty when it has no choice.
    std::string currentSource();

private:
    struct Option {
        SANE_Int index;
        const SANE_Option_Descriptor* desc;
    };

    std::optional<Option> option(const char* name);
    std::optional<Option> settableOption(const char* name);
    std::string stringValue(const Option& o);
    ResolutionOffer resolutionOffer(const Option& o);
    SANE_Status control(const Option& o, void* value);
    SANE_Status setNumber(const Option& o, double v);
    SANE_Status setText(const std::string& name, const std::string& value);

    const SaneApi* api_;
    SANE_Handle handle_;
};

} // namespace cw
