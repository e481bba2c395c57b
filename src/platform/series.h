#pragma once
// A series: one script run once for each of many pictures, each run in a
// process of its own, several at once.
#include <string>
#include <vector>

namespace cw {

struct SeriesOptions {
    std::string script;  // the script's text, with @PICTURE@, @NAME@ and @OUT@ to fill in
    std::vector<std::string> pictures;
    unsigned jobs = 0;   // pictures at once; 0: one per core this program may use
    std::string outFolder = ".";
    bool keepGoing = false;  // a line bad in itself fails its picture only
    bool skipDone = false;   // leave out pictures whose outputs are newer than them
};

// The cores this process may run on.
unsigned usableCores();

// Runs the series, reporting on descriptor 2 and passing the scripts' time
// lines to descriptor 1 in the order of the pictures. `scratchRoot` is the
// private scratch folder each run makes its own folder in. Returns the
// exit status: 0 when every picture ran with status 0, 1 when one failed, 2
// when a line was bad in itself, 128 + the signal when interrupted.
int runSeries(const SeriesOptions& options, const std::string& scratchRoot);

} // namespace cw
