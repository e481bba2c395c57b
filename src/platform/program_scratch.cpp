#include "platform/program_scratch.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "actions/scratch.h"

namespace cw {

namespace {

// Field 22 of /proc/PID/stat; nothing where there is no such file.
std::optional<unsigned long long> startTime(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return std::nullopt;
    // The command name, field 2, may hold blanks and parentheses: count from its last ")".
    const auto close = line.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::istringstream rest(line.substr(close + 1));
    std::string skipped;
    for (int field = 3; field < 22; ++field) rest >> skipped;
    unsigned long long ticks = 0;
    if (!(rest >> ticks)) return std::nullopt;
    return ticks;
}

std::string nameOf(pid_t pid) { return std::to_string(pid) + "-" + std::to_string(startTime(pid).value_or(0)); }

struct Owner {
    pid_t pid;
    unsigned long long start;
};

// "<pid>-<start time>" in digits: a folder of ours; any other name is not.
std::optional<Owner> ownerOf(const char* name) {
    const char* dash = std::strchr(name, '-');
    if (!dash || dash == name || !dash[1]) return std::nullopt;
    unsigned long long pid = 0, start = 0;
    for (const char* c = name; c != dash; ++c) {
        if (*c < '0' || *c > '9' || pid > 99999999ULL) return std::nullopt;
        pid = pid * 10 + unsigned(*c - '0');
    }
    for (const char* c = dash + 1; *c; ++c) {
        if (*c < '0' || *c > '9' || start > 0xffffffffffffULL) return std::nullopt;
        start = start * 10 + unsigned(*c - '0');
    }
    if (pid == 0) return std::nullopt;
    return Owner{pid_t(pid), start};
}

// A process of that id runs and, where its start time can be read, started
// when the folder's owner did. An unreadable start time counts as a match:
// a folder is kept rather than taken from a program that still uses it.
// A program that ended but whose parent has not yet taken its status (a
// zombie) has ended all the same: a crash followed at once by a new start.
bool ended(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    const auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && (line[close + 2] == 'Z' || line[close + 2] == 'X');
}

bool stillRuns(const Owner& o) {
    if (::kill(o.pid, 0) == -1 && errno == ESRCH) return false;
    if (ended(o.pid)) return false;
    const auto now = startTime(o.pid);
    return !now || *now == o.start;
}

// Removes the folder `name` in `parent` with the files in it, through
// descriptors so that no link is followed; a folder inside it is not ours to
// remove, and keeps it.
void removeFolder(int parent, const char* name) {
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    struct stat st;
    if (::fstat(fd, &st) == 0 && st.st_uid == ::geteuid()) {
        for (const std::string& e : namesIn(fd)) ::unlinkat(fd, e.c_str(), 0);  // refuses a folder
        ::unlinkat(parent, name, AT_REMOVEDIR);
    }
    ::close(fd);
}

void removeLeftovers(const std::string& privateFolder, const std::string& own) {
    const int fd = ::open(privateFolder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    for (const std::string& name : namesIn(fd)) {
        const auto owner = ownerOf(name.c_str());
        struct stat st;
        if (!owner || name == own || ::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && !stillRuns(*owner)) removeFolder(fd, name.c_str());
    }
    ::close(fd);
}

// What a signal handler removes: built before it is armed, read only after.
struct InterruptRemoval {
    std::atomic<bool> armed{false};
    char folder[4096];
    char files[3][4096];
};
InterruptRemoval interruptRemoval;

bool copyName(char (&to)[4096], const std::string& from) {
    if (from.size() >= sizeof to) return false;
    std::memcpy(to, from.c_str(), from.size() + 1);
    return true;
}

} // namespace

std::string runningProgramName() { return nameOf(::getpid()); }

bool programStillRuns(const std::string& name) {
    const auto owner = ownerOf(name.c_str());
    return !owner || stillRuns(*owner);
}

ProgramScratch::ProgramScratch(const std::string& privateFolder)
    : privateFolder_(privateFolder), name_(nameOf(::getpid())), folder_(privateFolder + "/" + name_) {
    // Only a folder of our own is ever emptied, by a signal or otherwise.
    if (!ensureScratchFolder(folder_)) return;
    removeLeftovers(privateFolder_, name_);
    InterruptRemoval& r = interruptRemoval;
    if (copyName(r.folder, folder_) && copyName(r.files[0], scratchPath(folder_, kScratchBitmap)) &&
        copyName(r.files[1], scratchPath(folder_, kScanBitmap)) &&
        copyName(r.files[2], scratchPath(folder_, kResampleBitmap)))
        r.armed.store(true);
}

ProgramScratch::~ProgramScratch() {
    interruptRemoval.armed.store(false);
    // The folders of the programs started from this one that ended without
    // removing theirs (a series' pictures, each in a process of its own).
    removeLeftovers(folder_, {});
    const int fd = ::open(privateFolder_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    removeFolder(fd, name_.c_str());
    ::close(fd);
}

void removeProgramScratch() {
    const InterruptRemoval& r = interruptRemoval;
    if (!r.armed.load()) return;
    for (const char* file : r.files) ::unlink(file);
    ::rmdir(r.folder);
}

} // namespace cw
