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

bool ensureScratchFolder(const std::string& folder) {
    if (folder.empty() || !makeDir(folder)) return false;
    struct stat st;
    if (::lstat(folder.c_str(), &st) != 0) return false;
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
    if ((st.st_mode & 0077) != 0 && ::chmod(folder.c_str(), 0700) != 0) return false;
    return true;
}

std::string scratchPath(const std::string& folder, const char* name) {
    return folder + "/" + name;
}

} // namespace cw
