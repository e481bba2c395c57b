#pragma once
// Connected Magic Touch-paint on the open picture: the flood itself is the
// core's; this takes its settings from the document and tells the observer.
#include <cstdint>

#include "core/connected_fill.h"

namespace cw {

struct Document;

// Floods from (x, y) with palette `code`, Mask'ed or Interactive, through
// the unpainted pixels of a close tone (connectedFillMasked and
// connectedFillInteractive tell the rules), with the document's gray step
// and integration tolerance, and shows what changed.
void paintConnected(Document& s, int32_t x, int32_t y, int32_t code, bool masked);

} // namespace cw
