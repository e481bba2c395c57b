#pragma once
// chromawell-batch: runs a script of commands on the same actions the windows drive.
#include <iosfwd>
#include <optional>
#include <string>

namespace cw {

// Runs the script read from `in`. Messages and errors go to `err`, `time`
// lines to `out`. Returns the exit status: 0; 1 when a save or dump failed;
// 2 at the first bad line, or where the script cannot be read further.
struct ScriptOptions {
    // A line that fails because of its picture stops the script too, with
    // this status (a series' picture fails alone, with 1).
    int pictureFailure = 2;
    // When given, receives the first failure: "line N: what (the box that said why)".
    std::string* firstError = nullptr;
    // Off for a script that never undoes: nothing is kept for undoing.
    bool keepHistory = true;
};
int runScript(std::istream& in, std::ostream& out, std::ostream& err, const std::string& scratchFolder,
              const ScriptOptions& options = {});
// The whole script in the regular file `path`, or on standard input for "-"
// (at most 64 MB); nullopt after saying on `err` why it cannot be read.
std::optional<std::string> readScriptText(const std::string& path, std::ostream& err);
// The same for the script in the regular file `path`, or on standard input for "-".
int runScriptFile(const std::string& path, std::ostream& out, std::ostream& err, const std::string& scratchFolder);

} // namespace cw
