#pragma once
// The Scan Image button: choose a device, scan, and load the first picture
// as if it had been chosen in the open dialog.
#include <cstddef>

#include "actions/scanner_port.h"

namespace cw {

struct Session;

// The scanner's message boxes; the windows title them "TWAIN Error".
inline constexpr const char* kScanErrorTitle = "TWAIN Error";
inline constexpr const char* kScanNotLoadedMessage = "Unable to load Source Manager (TWAIN_32.DLL)";
inline constexpr const char* kScanNotOpenedMessage = "Unable to open Source Manager (TWAIN_32.DLL)";
inline constexpr const char* kScanFailedMessage = "TWAIN_ReportLastError: an error occurred";

// The message for a fault; null for none.
const char* scanFaultMessage(ScanFault f);

struct ScanOutcome {
    size_t acquired = 0;  // pictures the device delivered
    bool written = false; // the first one is in the scratch folder
};

// Does nothing while a picture is open. Otherwise selects a source (a
// cancelled choice keeps the default), acquires, writes the first picture
// to wkf1.bmp in the scratch folder and loads it; when nothing came, Load
// Image shows the open dialog.
ScanOutcome scanImageClick(Session& s, ScanUi& ui, ScannerPort& scanner);

} // namespace cw
