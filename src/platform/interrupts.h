#pragma once

namespace cw {

// On SIGINT, SIGTERM or SIGHUP, removes the part-written temporary files of
// saves still in progress, then ends the program as the signal would have.
void removeUnfinishedFilesOnInterrupt();

} // namespace cw
