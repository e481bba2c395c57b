#pragma once
// ReMark over the session's picture, with the window told.
#include "core/remark.h"

namespace cw {

struct Session;

// All and Pending draw a marker on every record with Status 0; Remove draws none.
void reMark(Session& s, ReMarkMode mode);

} // namespace cw
