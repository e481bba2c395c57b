#pragma once
// Each running program keeps its scratch bitmaps in a folder of its own inside
// the private scratch folder, so that two programs side by side never read
// each other's: Restore in one brings back its own picture.
#include <string>

namespace cw {

// This program's folder inside `privateFolder`, named "<pid>-<start time>"
// (the start time, in clock ticks after boot, tells this program from a later
// one that gets its pid). Making it sweeps away the folders of programs that
// no longer run; it goes, with its files, when this object goes. A program
// started from this one may make its own folder inside this one's.
class ProgramScratch {
public:
    explicit ProgramScratch(const std::string& privateFolder);
    ~ProgramScratch();
    ProgramScratch(const ProgramScratch&) = delete;
    ProgramScratch& operator=(const ProgramScratch&) = delete;

    const std::string& folder() const { return folder_; }

private:
    std::string privateFolder_, name_, folder_;
};

// This program's name among the running ones: "<pid>-<start time>".
std::string runningProgramName();
// Whether the program of that name still runs (a name not of that form
// counts as running: what it names is not ours to take).
bool programStillRuns(const std::string& name);

// Removes the scratch bitmaps of the living ProgramScratch and its folder.
// Async-signal-safe, for a handler of SIGINT, SIGTERM or SIGHUP: it removes
// the files by the names the program gives them, and a folder that holds
// anything else stays for the next start to sweep.
void removeProgramScratch();

} // namespace cw
