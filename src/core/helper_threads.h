#pragma once
// Some long operations hand part of their work to a second thread. Where the
// cores are already busy with other pictures (a series running one picture
// per core), that second thread only takes turns with them: it is turned off.
namespace cw {

bool helperThreadsAllowed();
void allowHelperThreads(bool allowed);

} // namespace cw
