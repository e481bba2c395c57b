#include "core/regular_file.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cw {

static std::string failure(const std::string& path, int err) { return path + ": " + std::strerror(err); }

RegularFile::RegularFile(const std::string& path) : path_(path) {
    // Opening a FIFO for reading without O_NONBLOCK waits for a writer, for ever if none comes.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd_ < 0) throw FileReadError(failure(path, errno));
    struct stat st;
    if (::fstat(fd_, &st) != 0) {
        const int err = errno;
        ::close(fd_);
        throw FileReadError(failure(path, err));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd_);
        throw FileReadError(S_ISDIR(st.st_mode) ? failure(path, EISDIR) : path + ": not a regular file");
    }
    // Only now is it known that reads cannot block; the flag goes so that a
    // descriptor handed on reads like any other.
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags != -1) ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
    size_ = uint64_t(st.st_size);
}

RegularFile::~RegularFile() {
    if (fd_ >= 0) ::close(fd_);
}

size_t RegularFile::read(void* to, size_t n, uint64_t offset) const {
    auto* p = static_cast<char*>(to);
    size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd_, p + done, n - done, off_t(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw FileReadError(failure(path_, errno));
        if (got == 0) break;
        done += size_t(got);
    }
    return done;
}

int RegularFile::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

} // namespace cw
