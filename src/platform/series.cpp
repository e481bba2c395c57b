#include "platform/series.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "actions/script_runner.h"
#include "core/helper_threads.h"
#include "actions/script_series.h"
#include "platform/interrupts.h"
#include "platform/program_scratch.h"

namespace cw {

namespace {

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};
// Of a run's standard error only the beginning is kept.
constexpr size_t kKeptErrorBytes = 64 * 1024;

// The signals the series receives, handed to its loop.
int signalPipe[2] = {-1, -1};

extern "C" void onSeriesSignal(int signal) {
    const int saved = errno;
    const unsigned char c = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
    errno = saved;
}

void writeAll(int fd, const std::string& s) {
    for (size_t at = 0; at < s.size();) {
        const ssize_t n = ::write(fd, s.data() + at, s.size() - at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // a closed pipe or a full disk: the report goes on without it
        at += size_t(n);
    }
}

struct Run {
    enum State { Waiting, Skipped, Running, Done, Failed, Stopped } state = Waiting;
    std::string picture, script;
    pid_t pid = -1;
    // What the run writes: its standard output, its standard error (the
    // beginning), and its first error, each through a pipe of its own.
    enum Channel { Out, Err, FirstError };
    int fds[3] = {-1, -1, -1};
    std::string said[3];
    std::string failure;
    bool badLine = false;

    bool finished() const { return state != Waiting && state != Running; }
};

bool newerThan(const struct stat& a, const struct stat& b) {
    if (a.st_mtim.tv_sec != b.st_mtim.tv_sec) return a.st_mtim.tv_sec > b.st_mtim.tv_sec;
    return a.st_mtim.tv_nsec > b.st_mtim.tv_nsec;
}

// Every output the script names exists and is newer than the picture.
bool alreadyDone(const Run& r) {
    const std::vector<std::string> outputs = scriptOutputs(r.script);
    struct stat picture {};
    if (outputs.empty() || ::stat(r.picture.c_str(), &picture) != 0) return false;
    for (const std::string& o : outputs) {
        struct stat st {};
        if (o.empty() || ::stat(o.c_str(), &st) != 0 || !newerThan(st, picture)) return false;
    }
    return true;
}

class Series {
public:
    Series(const SeriesOptions& o, const std::string& scratchRoot)
        : options_(o), scratchRoot_(scratchRoot), terminal_(::isatty(2) == 1) {
        runs_.resize(o.pictures.size());
        for (size_t i = 0; i < runs_.size(); ++i) {
            Run& r = runs_[i];
            r.picture = o.pictures[i];
            r.script = scriptForPicture(o.script, r.picture, o.outFolder);
            if (const std::string why = unusablePictureName(r.picture); !why.empty()) {
                r.state = Run::Failed;
                r.failure = "cannot run the script on it: " + why;
                ++failed_;
            } else if (o.skipDone && alreadyDone(r)) {
                r.state = Run::Skipped;
                ++skipped_;
            }
        }
    }

    int run();

private:
    void start(Run& r);
    void finish(Run& r, int status);
    void readFrom(Run& r, int channel);
    void stopAll(int signal);
    void passOutputs();
    void showProgress(const Run* finished);
    int report();

    const SeriesOptions& options_;
    const std::string scratchRoot_;
    const bool terminal_;
    const unsigned jobs_ = options_.jobs > 0 ? options_.jobs : usableCores();
    std::vector<Run> runs_;
    size_t nextToStart_ = 0, nextToPass_ = 0, running_ = 0;
    size_t done_ = 0, failed_ = 0, skipped_ = 0;
    int interrupt_ = 0;     // the signal that interrupted the series
    bool stopping_ = false;  // no further picture starts
    bool badLine_ = false;
    std::chrono::steady_clock::time_point begin_ = std::chrono::steady_clock::now(), lastShown_;
};

void Series::start(Run& r) {
    int pipes[3][2];
    for (int i = 0; i < 3; ++i) {
        if (::pipe2(pipes[i], O_CLOEXEC) == 0) continue;
        r.state = Run::Failed, r.failure = std::string("cannot start it: ") + std::strerror(errno), ++failed_;
        for (int j = 0; j < i; ++j) ::close(pipes[j][0]), ::close(pipes[j][1]);
        return;
    }
    // Nothing buffered may be written twice, by this process and the new one.
    std::cout.flush(), std::cerr.flush(), std::fflush(nullptr);
    // A signal reaches the new process only once its own handlers are set.
    sigset_t interrupts, before;
    sigemptyset(&interrupts);
    for (int s : kInterrupts) sigaddset(&interrupts, s);
    ::sigprocmask(SIG_BLOCK, &interrupts, &before);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipes[Run::Out][1], 1), ::dup2(pipes[Run::Err][1], 2);
        const int report = pipes[Run::FirstError][1];
        for (auto& p : pipes) ::close(p[0]);
        ::close(pipes[Run::Out][1]), ::close(pipes[Run::Err][1]);
        ::close(signalPipe[0]), ::close(signalPipe[1]);
        for (const Run& other : runs_)
            for (int fd : other.fds)
                if (fd >= 0) ::close(fd);
        ::signal(SIGPIPE, SIG_DFL);
        // A series that ends however it ends takes its pictures with it.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) ::_exit(128 + SIGTERM);
        removeTemporaryFilesOnInterrupt();
        // A picture runs on one core: -j sets how many cores the series takes.
        allowHelperThreads(false);
        ::sigprocmask(SIG_SETMASK, &before, nullptr);
        int status = 1;
        std::string firstError;
        try {
            const ProgramScratch scratch(scratchRoot_);
            std::istringstream script(r.script);
            const ScriptOptions picture{.pictureFailure = 1, .firstError = &firstError, .keepHistory = scriptUndoes(r.script)};
            status = runScript(script, std::cout, std::cerr, scratch.folder(), picture);
        } catch (const std::exception& e) {
            std::cerr << e.what() << '\n';
            firstError = e.what();
        }
        std::cout.flush(), std::cerr.flush();
        writeAll(report, firstError);
        ::_exit(status);
    }
    ::sigprocmask(SIG_SETMASK, &before, nullptr);
    for (auto& p : pipes) ::close(p[1]);
    if (pid < 0) {
        r.state = Run::Failed, r.failure = std::string("cannot start it: ") + std::strerror(errno), ++failed_;
        for (auto& p : pipes) ::close(p[0]);
        return;
    }
    r.pid = pid;
    for (int i = 0; i < 3; ++i) r.fds[i] = pipes[i][0];
    r.state = Run::Running;
    ++running_;
}

void Series::readFrom(Run& r, int channel) {
    char buffer[65536];
    const ssize_t n = ::read(r.fds[channel], buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (n <= 0) {
        ::close(r.fds[channel]);
        r.fds[channel] = -1;
        if (std::all_of(std::begin(r.fds), std::end(r.fds), [](int fd) { return fd < 0; })) {
            int status = 0;
            while (::waitpid(r.pid, &status, 0) < 0 && errno == EINTR) {}
            finish(r, status);
        }
        return;
    }
    std::string& into = r.said[channel];
    const size_t keep = channel == Run::Out ? SIZE_MAX : kKeptErrorBytes;
    into.append(buffer, std::min(size_t(n), keep - std::min(keep, into.size())));
}

void Series::finish(Run& r, int status) {
    --running_;
    const bool byUs = stopping_ && WIFSIGNALED(status) &&
                      (WTERMSIG(status) == SIGTERM || WTERMSIG(status) == interrupt_);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        r.state = Run::Done, ++done_;
    } else if (byUs) {
        r.state = Run::Stopped;
    } else {
        r.state = Run::Failed, ++failed_;
        r.failure = r.said[Run::FirstError];
        if (r.failure.empty()) r.failure = r.said[Run::Err].substr(0, r.said[Run::Err].find('\n'));
        if (r.failure.empty()) {
            r.failure = WIFSIGNALED(status) ? std::string("ended by signal ") + ::strsignal(WTERMSIG(status))
                                            : "ended with status " + std::to_string(WEXITSTATUS(status));
        }
        r.badLine = WIFEXITED(status) && WEXITSTATUS(status) == 2;
        if (r.badLine) {
            badLine_ = true;
            if (!options_.keepGoing) stopAll(SIGTERM);
        }
    }
    showProgress(&r);
}

void Series::stopAll(int signal) {
    stopping_ = true;
    for (Run& r : runs_)
        if (r.state == Run::Running) ::kill(r.pid, signal);
}

// The scripts' own output, picture by picture in the order given.
void Series::passOutputs() {
    while (nextToPass_ < runs_.size() && runs_[nextToPass_].finished()) {
        Run& r = runs_[nextToPass_++];
        writeAll(1, r.said[Run::Out]);
        r.said[Run::Out] = std::string();
    }
}

void Series::showProgress(const Run* finished) {
    const auto now = std::chrono::steady_clock::now();
    if (terminal_ && !finished && now - lastShown_ < std::chrono::milliseconds(200)) return;
    lastShown_ = now;
    const size_t toRun = runs_.size() - skipped_;
    const size_t ended = done_ + failed_;
    const double seconds = std::chrono::duration<double>(now - begin_).count();
    const double rate = seconds > 0 ? double(ended) / seconds : 0;
    char line[256];
    int n = std::snprintf(line, sizeof line, "[%zu/%zu] %zu done, %zu failed", ended, toRun, done_, failed_);
    if (ended > 0 && rate > 0) {
        n += std::snprintf(line + n, sizeof line - size_t(n), ", %.1f pictures/s", rate);
        const double left = double(toRun - std::min(toRun, ended)) / rate;
        if (ended < toRun && !stopping_) {
            if (left < 120) n += std::snprintf(line + n, sizeof line - size_t(n), ", about %.0f s left", left);
            else n += std::snprintf(line + n, sizeof line - size_t(n), ", about %.0f min left", left / 60);
        }
    }
    if (terminal_) {
        writeAll(2, "\r" + std::string(line) + "\x1b[K");
    } else if (finished && finished->state != Run::Stopped) {
        writeAll(2, std::string(line) + " (" + finished->picture + ": " +
                        (finished->state == Run::Done ? "done" : "failed") + ")\n");
    }
}

int Series::report() {
    if (terminal_) writeAll(2, "\r\x1b[K");
    std::string text;
    size_t stopped = 0;
    for (const Run& r : runs_) {
        if (r.state == Run::Failed) text += r.picture + ": " + r.failure + '\n';
        if (r.state == Run::Stopped || r.state == Run::Waiting) ++stopped;
    }
    if (skipped_ > 0) text += std::to_string(skipped_) + " skipped: their outputs are newer than them\n";
    if (interrupt_ != 0)
        text += "interrupted: " + std::to_string(stopped) + " not finished\n";
    else if (badLine_ && !options_.keepGoing)
        text += "stopped at a line bad in itself: " + std::to_string(stopped) + " not run (--keep-going runs them)\n";
    text += std::to_string(runs_.size()) + " pictures: " + std::to_string(done_ + skipped_) + " done, " +
            std::to_string(failed_) + " failed\n";
    writeAll(2, text);
    if (interrupt_ != 0) return 128 + interrupt_;
    if (badLine_) return 2;
    return failed_ > 0 ? 1 : 0;
}

// Two pictures that write the same file would overwrite each other's work.
std::string sharedOutput(const std::vector<Run>& runs) {
    std::map<std::string, const Run*> writer;
    for (const Run& r : runs) {
        for (const std::string& o : scriptOutputs(r.script)) {
            std::error_code failed;
            const std::string path = std::filesystem::absolute(o, failed).lexically_normal().string();
            const auto [at, added] = writer.emplace(path, &r);
            if (!added && at->second != &r)
                return at->second->picture + " and " + r.picture + " both write " + o +
                       ": name the outputs apart (@NAME@ is the picture's file name without extension)";
        }
    }
    return {};
}

int Series::run() {
    if (const std::string shared = sharedOutput(runs_); !shared.empty()) {
        writeAll(2, shared + '\n');
        return 2;
    }
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        writeAll(2, std::string("cannot run the series: ") + std::strerror(errno) + '\n');
        return 2;
    }
    struct sigaction action {};
    action.sa_handler = onSeriesSignal;
    sigemptyset(&action.sa_mask);
    for (int s : kInterrupts) ::sigaction(s, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    const unsigned jobs = jobs_;
    std::vector<pollfd> fds;
    std::vector<std::pair<Run*, int>> owners;
    for (;;) {
        while (!stopping_ && running_ < jobs && nextToStart_ < runs_.size()) {
            Run& r = runs_[nextToStart_++];
            if (r.state == Run::Waiting) start(r);
            if (r.state == Run::Failed) showProgress(&r);
        }
        passOutputs();
        if (running_ == 0 && (stopping_ || nextToStart_ == runs_.size())) break;

        fds.assign(1, pollfd{signalPipe[0], POLLIN, 0});
        owners.assign(1, {nullptr, 0});
        for (Run& r : runs_) {
            if (r.state != Run::Running) continue;
            for (int channel = 0; channel < 3; ++channel) {
                if (r.fds[channel] < 0) continue;
                fds.push_back({r.fds[channel], POLLIN, 0});
                owners.push_back({&r, channel});
            }
        }
        if (::poll(fds.data(), fds.size(), terminal_ ? 200 : -1) < 0 && errno != EINTR) break;
        if (fds[0].revents & POLLIN) {
            unsigned char signal = 0;
            while (::read(signalPipe[0], &signal, 1) == 1) {
                if (interrupt_ == 0) interrupt_ = signal;
            }
            stopAll(interrupt_);
        }
        for (size_t i = 1; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            Run& r = *owners[i].first;
            if (r.fds[owners[i].second] >= 0) readFrom(r, owners[i].second);
        }
        showProgress(nullptr);
    }
    for (int s : kInterrupts) ::signal(s, SIG_DFL);
    ::close(signalPipe[0]), ::close(signalPipe[1]);
    return report();
}

} // namespace

unsigned usableCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return unsigned(CPU_COUNT(&set));
    const long n = ::sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? unsigned(n) : 1;
}

int runSeries(const SeriesOptions& options, const std::string& scratchRoot) {
    // Each picture's scratch folder lies in the series' own: a picture looks
    // through its siblings, not through every program's, for leftovers.
    const ProgramScratch scratch(scratchRoot);
    Series series(options, scratch.folder());
    return series.run();
}

} // namespace cw
