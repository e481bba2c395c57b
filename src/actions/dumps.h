#pragma once
// `dump WHAT PATH`: what the document holds, written for a script to read.
#include <string>

namespace cw {

struct ScriptRun;

void dump(ScriptRun& r, const std::string& what, const std::string& path);

} // namespace cw
