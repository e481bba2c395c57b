#pragma once

namespace cw {

// On SIGINT, SIGTERM or SIGHUP, removes the part-written temporary files of
// saves still in progress and the program's scratch folder, then ends the
// program as the signal would have. Call it first in main, from the main
// thread: that thread, which creates every temporary file and holds these
// signals back between creating one and recording its name, is the only one
// that acts on them. Another thread handed one passes it to the main thread,
// so no signal can fall between the two.
void removeTemporaryFilesOnInterrupt();

} // namespace cw
