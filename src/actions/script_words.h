#pragma once
// What a script line's first word names: a row of the action table, which
// the line triggers as its button would, or one of the runner's own words.
#include "actions/line_words.h"

namespace cw {

struct ScriptRun;

// Whether `word` names a command a script may give.
bool isScriptCommand(const std::string& word);

// Runs one line of at least one word; a bad line throws ScriptError.
void runWords(ScriptRun& r, const Words& w);

} // namespace cw
