#include "platform/sane_devices.h"

namespace cw {

namespace {

// A backend's list must end in a null entry; a broken one is not walked
// past this.
constexpr size_t kMaxDevices = 4096;

std::string text(SANE_String_Const s) { return s ? s : ""; }

} // namespace

std::vector<ScanDevice> listDevices(const SaneApi& api) {
    std::vector<ScanDevice> out;
    const SANE_Device** list = nullptr;
    if (api.get_devices(&list, SANE_FALSE) != SANE_STATUS_GOOD || !list) return out;
    for (size_t i = 0; i < kMaxDevices && list[i]; ++i) {
        const SANE_Device* d = list[i];
        if (!d->name || !*d->name) continue;
        out.push_back({d->name, text(d->vendor), text(d->model), text(d->type)});
    }
    return out;
}

size_t deviceIndex(const std::vector<ScanDevice>& devices, const std::string& name) {
    for (size_t i = 0; i < devices.size(); ++i)
        if (devices[i].name == name) return i;
    return 0;
}

} // namespace cw
