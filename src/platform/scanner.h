#pragma once
// Picture acquisition from scanners and cameras through SANE. Each
// acquisition walks the seven states (library loaded, opened, device open,
// enabled, transfer ready, transferring) over a connection of its own and
// always returns to the first; only the acquired pictures outlive it.
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "actions/scanner_port.h"
#include "core/bitmap.h"

namespace cw {

class SaneConnection;

class Scanner final : public ScannerPort {
public:
    // Lists the devices for the user to choose one; the choice becomes the
    // default of later acquisitions. True if the user chose.
    bool selectSource(ScanUi& ui) override;
    // The whole acquisition: opens the default device, runs the scan dialog,
    // collects the pages. True if at least one picture came.
    bool acquire(ScanUi& ui) override;

    size_t imageCount() const override { return images_.size(); }
    const Bitmap& image(size_t i) const override { return images_.at(i); }
    Bitmap takeImage(size_t i) { return std::move(images_.at(i)); }
    void clearImages() override { images_.clear(); }

    // The first failure of the last acquisition and the SANE status behind it.
    ScanFault fault() const override { return fault_; }
    int lastStatus() const { return lastStatus_; }
    ScanState state() const { return state_; }
    const std::string& selectedDevice() const { return selected_; }

private:
    bool fail(ScanFault f, int status);
    void collectPages(SaneConnection& sane, size_t capacity, bool feeder);

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
