#include "platform/interrupts.h"

#include <csignal>

#include "codecs/replacing_file.h"
#include "platform/program_scratch.h"

namespace cw {

namespace {

extern "C" void onInterrupt(int signal) {
    // The part-written files first: they may lie in the scratch folder.
    removeUnfinishedFiles();
    removeProgramScratch();
    // The handler was reset on entry (SA_RESETHAND); the signal is held until
    // it returns, and then ends the program with its usual status.
    ::raise(signal);
}

} // namespace

void removeTemporaryFilesOnInterrupt() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

} // namespace cw
