#include "platform/scanner.h"

#include <algorithm>
#include <memory>

#include "platform/sane_connection.h"

namespace cw {

namespace {

// The scan dialog over the open device. The dialog may keep a copy of the
// request; its device switch must not reach this connection once the
// dialog is over.
std::optional<ScanSettings> askSettings(ScanUi& ui, SaneConnection& sane, const std::vector<ScanDevice>& devices) {
    auto live = std::make_shared<SaneConnection*>(&sane);
    ScanDialogRequest request;
    request.devices = devices;
    request.device = deviceIndex(devices, sane.deviceName());
    request.offer = sane.options().offer();
    request.switchDevice = [live, devices](size_t i) -> std::optional<DeviceOffer> {
        SaneConnection* s = *live;
        if (!s || i >= devices.size() || s->openDevice(devices[i].name) != SANE_STATUS_GOOD) return std::nullopt;
        s->enable();
        return s->options().offer();
    };
    auto settings = ui.scanDialog(request);
    *live = nullptr;
    return settings;
}

} // namespace

bool Scanner::fail(ScanFault f, int status) {
    if (fault_ == ScanFault::None) {
        fault_ = f;
        lastStatus_ = status;
    }
    return false;
}

bool Scanner::selectSource(ScanUi& ui) {
    fault_ = ScanFault::None;
    lastStatus_ = SANE_STATUS_GOOD;
    SaneConnection sane(state_);
    if (!sane.load()) return fail(ScanFault::ManagerNotLoaded, SANE_STATUS_UNSUPPORTED);
    if (const SANE_Status st = sane.openManager(); st != SANE_STATUS_GOOD)
        return fail(ScanFault::ManagerNotOpened, st);
    const auto devices = sane.devices();
    if (devices.empty()) return false;  // nothing to choose; the acquisition says so
    const auto chosen = ui.chooseDevice(devices, deviceIndex(devices, selected_));
    if (!chosen || *chosen >= devices.size()) return false;
    selected_ = devices[*chosen].name;
    return true;
}

bool Scanner::acquire(ScanUi& ui) {
    images_.clear();
    fault_ = ScanFault::None;
    lastStatus_ = SANE_STATUS_GOOD;
    SaneConnection sane(state_);
    if (!sane.load()) return fail(ScanFault::ManagerNotLoaded, SANE_STATUS_UNSUPPORTED);
    SANE_Status st = sane.openManager();
    if (st != SANE_STATUS_GOOD) return fail(ScanFault::ManagerNotOpened, st);

    const auto devices = sane.devices();
    if (devices.empty()) return fail(ScanFault::SourceFailed, SANE_STATUS_INVAL);
    if ((st = sane.openDevice(devices[deviceIndex(devices, selected_)].name)) != SANE_STATUS_GOOD)
        return fail(ScanFault::SourceFailed, st);

    sane.enable();
    const auto settings = askSettings(ui, sane, devices);
    if (!settings) return false;  // cancelled in the dialog: no fault

    if (settings->device != sane.deviceName()) {
        const auto it = std::find_if(devices.begin(), devices.end(),
                                     [&](const ScanDevice& d) { return d.name == settings->device; });
        if (it == devices.end()) return fail(ScanFault::SourceFailed, SANE_STATUS_INVAL);
        if ((st = sane.openDevice(it->name)) != SANE_STATUS_GOOD) return fail(ScanFault::SourceFailed, st);
        sane.enable();
    }
    if ((st = sane.options().apply(*settings)) != SANE_STATUS_GOOD) return fail(ScanFault::SourceFailed, st);

    const size_t capacity = std::clamp<size_t>(settings->maxImages, 1, kMaxScanImages);
    const bool feeder = isFeederSource(sane.options().currentSource());
    collectPages(sane, capacity, feeder);
    sane.endTransfers();
    return !images_.empty();
}

// Pages until `capacity`, the feeder runs dry, or a page fails; a single
// page from anything but a feeder.
void Scanner::collectPages(SaneConnection& sane, size_t capacity, bool feeder) {
    while (images_.size() < capacity) {
        Bitmap page;
        int status = SANE_STATUS_GOOD;
        const Transfer t = sane.transferPage(page, status);
        if (t == Transfer::Page) {
            images_.push_back(std::move(page));
            if (!feeder) break;
            continue;
        }
        if (t == Transfer::Failed || (t == Transfer::NoDocs && images_.empty()))
            fail(ScanFault::TransferFailed, status);
        break;
    }
}

Scanner& defaultScanner() {
    static Scanner scanner;
    return scanner;
}

} // namespace cw
