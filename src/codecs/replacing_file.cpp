#include "codecs/replacing_file.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/helper_threads.h"

namespace cw {
namespace {

[[noreturn]] void fail(const std::string& what, const std::string& path, int err) {
    throw SaveError(what + " " + path + ": " + std::strerror(err), err);
}

// Where a file written to `path` lands: through every symbolic link, to the
// name the last one gives, which need not exist yet.
std::string linkTarget(const std::string& path) {
    std::string target = path;
    for (int hops = 0;; ++hops) {
        struct stat st;
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return target;
        if (hops == 40) fail("cannot write", path, ELOOP);
        char link[PATH_MAX];
        const ssize_t n = ::readlink(target.c_str(), link, sizeof link);
        if (n < 0) fail("cannot write", path, errno);
        if (size_t(n) == sizeof link) fail("cannot write", path, ENAMETOOLONG);
        const std::string named(link, size_t(n));
        const size_t slash = target.rfind('/');
        target = named[0] == '/' || slash == std::string::npos ? named : target.substr(0, slash + 1) + named;
    }
}

// Whether the user who saves may not change the file, by its mode, as an
// editor decides: the folder may let the file be replaced all the same. The
// super-user may write anything, so for it a file without any write bit is
// the one kept.
bool writeProtected(const std::string& path, const struct stat& st) {
    if (::geteuid() == 0) return (st.st_mode & 0222) == 0;
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES;
}

// Read from /proc rather than by umask(0)/umask(old), which would briefly
// change the mask for every other thread of the program.
mode_t currentUmask() {
    if (std::FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, f)) found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(f);
        if (found) return mode_t(mask);
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

void writeAll(int fd, const uint8_t* p, size_t n, uint64_t offset, const std::string& path) {
    while (n > 0) {
        const ssize_t done = ::pwrite(fd, p, n, off_t(offset));
        if (done < 0) {
            if (errno == EINTR) continue;
            fail("cannot write", path, errno);
        }
        if (done == 0) fail("cannot write", path, EIO);
        p += done;
        n -= size_t(done);
        offset += uint64_t(done);
    }
}

// The temporary files being written, for removeUnfinishedFiles(). A slot is
// free, being filled, or holds a name; a handler reads only the last kind.
// More files at once than slots are written all the same, just not removed
// on an interrupt.
constexpr int kSlots = 32;
enum SlotState : int { kFree, kFilling, kHeld };
struct Slot {
    std::atomic<int> state{kFree};
    char path[4096];
};
Slot slots[kSlots];

int holdName(const std::string& temp) {
    if (temp.size() >= sizeof Slot::path) return -1;
    for (int k = 0; k < kSlots; ++k) {
        int expected = kFree;
        if (!slots[k].state.compare_exchange_strong(expected, kFilling)) continue;
        std::memcpy(slots[k].path, temp.c_str(), temp.size() + 1);
        slots[k].state.store(kHeld);
        return k;
    }
    return -1;
}

void releaseName(int k) {
    if (k >= 0) slots[k].state.store(kFree);
}

// Holds SIGINT, SIGTERM and SIGHUP back in this thread while it lives.
class InterruptsHeld {
public:
    InterruptsHeld() {
        sigset_t interrupts;
        sigemptyset(&interrupts);
        for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&interrupts, signal);
        ::pthread_sigmask(SIG_BLOCK, &interrupts, &was_);
    }
    ~InterruptsHeld() { ::pthread_sigmask(SIG_SETMASK, &was_, nullptr); }
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;

private:
    sigset_t was_;
};

// Taking the last name from a large file frees its blocks there and then,
// tens of milliseconds for a picture's. Held open, the file is freed when it
// is closed instead, which a thread of its own then does.
class OldFileHeld {
public:
    explicit OldFileHeld(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK)) {}
    ~OldFileHeld() {
        if (fd_ < 0) return;
        try {
            std::thread([fd = fd_] { ::close(fd); }).detach();
        } catch (const std::system_error&) {
            ::close(fd_);
        }
    }
    OldFileHeld(const OldFileHeld&) = delete;
    OldFileHeld& operator=(const OldFileHeld&) = delete;

private:
    int fd_;
};

// How much of a file is sent on to the disk between two early flushes.
constexpr uint64_t kFlushEvery = uint64_t(16) << 20;

} // namespace

// Flushes the file to the disk on request, on a thread of its own: a flush
// waits for the disk, which meanwhile can take what was sent so far while
// the rest of the file is being made. Requests made during a flush ask for
// one more.
class ReplacingFile::Flusher {
public:
    explicit Flusher(int fd) : fd_(fd), thread_([this] { run(); }) {}
    ~Flusher() { stop(); }
    Flusher(const Flusher&) = delete;
    Flusher& operator=(const Flusher&) = delete;

    void request() {
        {
            const std::lock_guard hold(lock_);
            wanted_ = true;
        }
        wake_.notify_one();
    }
    // Waits for the flush under way, if any, and says why one failed (0
    // when none did). A failed flush has reported the disk's error once and
    // for all: the commit's own flush would not see it again.
    int stop() {
        {
            const std::lock_guard hold(lock_);
            stopping_ = true;
        }
        wake_.notify_one();
        if (thread_.joinable()) thread_.join();
        return error_;
    }

private:
    void run() {
        std::unique_lock hold(lock_);
        for (;;) {
            wake_.wait(hold, [this] { return wanted_ || stopping_; });
            if (stopping_) return;  // the commit flushes whatever is left
            wanted_ = false;
            hold.unlock();
            const int failed = ::fdatasync(fd_) == 0 ? 0 : errno;
            hold.lock();
            if (failed != 0 && error_ == 0) error_ = failed;
        }
    }

    int fd_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool wanted_ = false, stopping_ = false;
    int error_ = 0;
    std::thread thread_;  // last: it runs once the rest is in place
};

void removeUnfinishedFiles() {
    for (Slot& slot : slots)
        if (slot.state.load() == kHeld) ::unlink(slot.path);
}

ReplacingFile::ReplacingFile(const std::string& path) : path_(path), target_(linkTarget(path)) {
    const size_t slash = target_.rfind('/');
    folder_ = slash == std::string::npos ? "." : slash == 0 ? "/" : target_.substr(0, slash);
    const std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") throw SaveError("not a file name: " + path, EISDIR);

    struct stat old;
    replacing_ = ::lstat(target_.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    if (replacing_ && writeProtected(target_, old)) fail("cannot replace", path, EACCES);
    mode_ = replacing_ ? (old.st_mode & 0777) : (0666 & ~currentUmask());
    if (replacing_) {
        oldUid_ = old.st_uid;
        oldGid_ = old.st_gid;
    }

    std::string pattern = (slash == std::string::npos ? "" : target_.substr(0, slash + 1)) + "." +
                          name.substr(0, 200) + ".XXXXXX";
    std::vector<char> tempName(pattern.begin(), pattern.end());
    tempName.push_back('\0');
    // An interrupt between creating the file and recording its name would
    // leave it behind: the signals that remove it wait until both are done.
    {
        const InterruptsHeld held;
        fd_ = ::mkostemp(tempName.data(), O_CLOEXEC);
        if (fd_ < 0) fail("cannot create a file in folder", folder_, errno);
        temp_ = tempName.data();
        slot_ = holdName(temp_);
    }
}

ReplacingFile::~ReplacingFile() {
    flusher_.reset();  // before the file it flushes is closed
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !temp_.empty()) ::unlink(temp_.c_str());
    releaseName(slot_);
}

void ReplacingFile::write(const void* data, size_t n, uint64_t offset) {
    writeAll(fd_, static_cast<const uint8_t*>(data), n, offset, temp_);
}

void ReplacingFile::writeOutSoon(size_t n, uint64_t offset) {
    ::sync_file_range(fd_, off_t(offset), off_t(n), SYNC_FILE_RANGE_WRITE);
    const uint64_t before = sentOn_.fetch_add(n);
    if (before / kFlushEvery == (before + n) / kFlushEvery) return;
    const std::lock_guard hold(flusherLock_);
    if (!flusher_) {
        try {
            flusher_ = std::make_unique<Flusher>(fd_);
        } catch (const std::system_error&) {
            return;  // no thread to be had: the commit flushes the whole file
        } catch (const std::bad_alloc&) {
            return;
        }
    }
    flusher_->request();
}

void ReplacingFile::finishFlushing() {
    std::unique_ptr<Flusher> flusher;
    {
        const std::lock_guard hold(flusherLock_);
        flusher = std::move(flusher_);
    }
    if (!flusher) return;
    if (const int failed = flusher->stop()) fail("cannot write", temp_, failed);
}

void ReplacingFile::commit(bool durable) {
    if (replacing_ && (oldUid_ != ::geteuid() || oldGid_ != ::getegid())) {
        // Only possible for a privileged user; otherwise the saver owns the new file.
        if (::fchown(fd_, oldUid_, oldGid_) != 0) {}
    }
    if (::fchmod(fd_, mode_) != 0) fail("cannot set the permissions of", temp_, errno);
    if (durable) {
        const ForegroundWaits onTheDisk;
        finishFlushing();
        if (::fsync(fd_) != 0) fail("cannot write", temp_, errno);
    } else {
        finishFlushing();
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) fail("cannot write", temp_, errno);
    // ext4 and others write out a file renamed over an existing one at once,
    // so that a crash leaves the old data or the new; for a copy that need
    // not survive a crash that costs tens of milliseconds per large picture
    // for nothing, and taking the old file away first avoids it.
    std::optional<OldFileHeld> old;
    if (replacing_) old.emplace(target_);
    if (!durable && replacing_) ::unlink(target_.c_str());
    if (::rename(temp_.c_str(), target_.c_str()) != 0) fail("cannot replace", path_, errno);
    committed_ = true;
    releaseName(slot_);
    slot_ = -1;
    if (!durable) return;
    // Make the rename itself durable; the data is already safe either way.
    const int dir = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

void writeWholeFile(const std::string& path, const void* data, size_t n) {
    ReplacingFile file(path);
    file.write(data, n, 0);
    file.commit(true);
}

} // namespace cw
