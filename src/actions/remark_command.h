#pragma once
// The markers redrawn over the session's picture, with the window told.
#include "core/remark.h"

namespace cw {

struct Session;

// All and Pending draw a marker on every record with Status 0; Remove draws none.
void runReMark(Session& s, ReMarkMode mode);

} // namespace cw
