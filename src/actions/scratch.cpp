#include "actions/scratch.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "codecs/replacing_file.h"

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

std::vector<std::string> namesIn(int folder) {
    std::vector<std::string> names;
    const int copy = ::dup(folder);
    DIR* dir = copy < 0 ? nullptr : ::fdopendir(copy);
    if (!dir) {
        if (copy >= 0) ::close(copy);
        return names;
    }
    while (const dirent* e = ::readdir(dir))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
    ::closedir(dir);
    return names;
}

// Removes `name` from the folder open as `parent` through descriptors, so
// that no link on the way is followed; a folder goes with what it holds, down
// to a depth that keeps the descriptors open at once few.
static void removeEntry(int parent, const char* name, int depth) {
    if (::unlinkat(parent, name, 0) == 0 || errno != EISDIR || depth == 0) return;
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    for (const std::string& e : namesIn(fd)) removeEntry(fd, e.c_str(), depth - 1);
    ::close(fd);
    ::unlinkat(parent, name, AT_REMOVEDIR);
}

std::string scratchFile(const std::string& folder, const char* name) {
    if (!ensureScratchFolder(folder)) throw SaveError("scratch folder unusable: " + folder);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) throw SaveError("cannot open the scratch folder " + folder, errno);
    struct stat st;
    if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(st.st_mode)) removeEntry(fd, name, 32);
    ::close(fd);
    return scratchPath(folder, name);
}

} // namespace cw
