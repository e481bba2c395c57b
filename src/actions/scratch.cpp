#include "actions/scratch.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace cw {

static bool makeDir(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) return true;
    if (errno != ENOENT) return false;
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return false;
    return makeDir(path.substr(0, slash)) && (::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST);
}

// A directory itself (not a link to one), ours, and closed to others.
static bool isPrivateFolder(const std::string& folder) {
    struct stat st;
    if (::lstat(folder.c_str(), &st) != 0) return false;
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
    return (st.st_mode & 0077) == 0 || ::chmod(folder.c_str(), 0700) == 0;
}

bool ensureScratchFolder(const std::string& folder) {
    if (folder.empty()) return false;
    // The folder it lies in is checked first: a link there would put the
    // folder somewhere else, and others who may write there could swap it.
    const auto slash = folder.find_last_of('/');
    if (slash != std::string::npos) {
        const std::string parent = slash == 0 ? "/" : folder.substr(0, slash);
        if (!makeDir(parent) || !isPrivateFolder(parent)) return false;
    }
    return makeDir(folder) && isPrivateFolder(folder);
}

std::string scratchPath(const std::string& folder, const char* name) {
    return folder + "/" + name;
}

} // namespace cw
