#pragma once
// Reading the pictures of a scan from an open device, frame by frame.
#include "actions/scanner_port.h"
#include "core/bitmap.h"
#include "platform/sane_devices.h"

namespace cw {

enum class Transfer { Page, NoDocs, Cancelled, Failed };

// One picture: one frame, or the three bands of a three-pass scan. `state`
// follows the transfer (ready, transferring, ready again); `started` is set
// once a frame has been started, since then only sane_cancel idles the
// device again. `status` gets the SANE status behind NoDocs and Failed.
Transfer transferPage(const OpenDevice& device, ScanState& state, bool& started, Bitmap& out, int& status);

} // namespace cw
