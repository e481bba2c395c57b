#include "platform/interrupts.h"

#include <csignal>
#include <pthread.h>

#include "codecs/replacing_file.h"
#include "platform/program_scratch.h"

namespace cw {

namespace {

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};
pthread_t mainThread;

extern "C" void onInterrupt(int signal) {
    // The main thread receives it as soon as it is not recording a file.
    if (!pthread_equal(pthread_self(), mainThread)) {
        pthread_kill(mainThread, signal);
        return;
    }
    // The part-written files first: they may lie in the scratch folder.
    removeUnfinishedFiles();
    removeProgramScratch();
    // Held until the handler returns, the signal then ends the program with
    // its usual status.
    struct sigaction usual {};
    usual.sa_handler = SIG_DFL;
    sigemptyset(&usual.sa_mask);
    ::sigaction(signal, &usual, nullptr);
    ::raise(signal);
}

} // namespace

void removeTemporaryFilesOnInterrupt() {
    mainThread = pthread_self();
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    // A thread that passes a signal on goes on with what it was doing.
    action.sa_flags = SA_RESTART;
    // One removal at a time: a second signal waits for the first's.
    sigemptyset(&action.sa_mask);
    for (int signal : kInterrupts) sigaddset(&action.sa_mask, signal);
    for (int signal : kInterrupts) ::sigaction(signal, &action, nullptr);
}

} // namespace cw
