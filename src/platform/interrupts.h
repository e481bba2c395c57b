#pragma once

namespace cw {

// On SIGINT, SIGTERM or SIGHUP, removes the part-written temporary files of
// saves still in progress and the program's scratch folder, then ends the
// program as the signal would have.
void removeTemporaryFilesOnInterrupt();

} // namespace cw
