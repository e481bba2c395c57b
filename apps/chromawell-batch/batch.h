#pragma once
// chromawell-batch: runs a script of commands on the same core the windows drive.
#include <iosfwd>
#include <string>
#include <vector>

namespace cw {

// Splits a line into words; a word may be double-quoted. Returns false on an
// unterminated quote.
bool splitWords(const std::string& line, std::vector<std::string>& words);

// Runs the script read from `in`. Messages and errors go to `err`, `time`
// lines to `out`. Returns the exit status: 0, or 2 at the first bad line.
int runScript(std::istream& in, std::ostream& out, std::ostream& err, const std::string& scratchFolder);

} // namespace cw
