#include "actions/scan_flow.h"

#include <exception>

#include "actions/picture_files.h"
#include "actions/scratch.h"
#include "actions/session.h"
#include "codecs/picture_formats.h"

namespace cw {

const char* scanFaultMessage(ScanFault f) {
    switch (f) {
    case ScanFault::None: return nullptr;
    case ScanFault::ManagerNotLoaded: return kScanNotLoadedMessage;
    case ScanFault::ManagerNotOpened: return kScanNotOpenedMessage;
    case ScanFault::SourceFailed:
    case ScanFault::TransferFailed: return kScanFailedMessage;
    }
    return nullptr;
}

// Every scanner message goes through here, so that the box kind is chosen
// in one place.
static void scanError(Session& s, const char* text) { s.messages.scanError(text); }

std::string deviceLabel(const ScanDevice& d) {
    std::string label = d.vendor;
    if (!d.model.empty()) label += (label.empty() ? "" : " ") + d.model;
    return label.empty() ? d.name : label + " (" + d.name + ")";
}

ScanOutcome scanImageClick(Session& s, ScanUi& ui, ScannerPort& scanner) {
    ScanOutcome out;
    if (s.imageWindowOpen) return out;
    s.openFileName.clear();

    scanner.selectSource(ui);
    const ScanFault selectFault = scanner.fault();
    if (const char* text = scanFaultMessage(selectFault)) scanError(s, text);
    // Without a library there is nothing to acquire from; trying again
    // would only repeat the same message.
    if (selectFault == ScanFault::None) {
        scanner.acquire(ui);
        if (const char* text = scanFaultMessage(scanner.fault())) scanError(s, text);
    }

    out.acquired = scanner.imageCount();
    if (out.acquired > 0) {
        try {
            const std::string path = scratchFile(s.scratchFolder, kScanBitmap);
            formatOfName(path).write(scanner.image(0), path);  // a bitmap, as Restore reads it again
            s.openFileName = path;
            out.written = true;
        } catch (const std::exception&) {
            s.messages.error(kInvalidImageMessage);
        }
    }
    // Only the first picture is used; the rest go with it.
    scanner.clearImages();
    loadImage(s, true);
    return out;
}

} // namespace cw
