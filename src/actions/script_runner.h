#pragma once
// chromawell-batch: runs a script of commands on the same actions the windows drive.
#include <iosfwd>
#include <string>

namespace cw {

// Runs the script read from `in`. Messages and errors go to `err`, `time`
// lines to `out`. Returns the exit status: 0; 1 when a save or dump failed;
// 2 at the first bad line, or where the script cannot be read further.
int runScript(std::istream& in, std::ostream& out, std::ostream& err, const std::string& scratchFolder);
// The same for the script in the regular file `path`, or on standard input for "-".
int runScriptFile(const std::string& path, std::ostream& out, std::ostream& err, const std::string& scratchFolder);

} // namespace cw
