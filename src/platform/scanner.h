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

#include "actions/scanner_port.h"
#include "core/bitmap.h"

namespace cw {

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

    // The first failure of the last session and the SANE status behind it.
    ScanFault fault() const override { return fault_; }
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
