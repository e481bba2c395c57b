#pragma once
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <sys/types.h>

namespace cw {

// A file could not be written. The file that was there before is untouched.
class SaveError : public std::runtime_error {
public:
    explicit SaveError(const std::string& why) : std::runtime_error(why) {}
};

// A file written beside `path` under a hidden temporary name and renamed over
// it only when complete, so `path` is either the old file or the whole new
// one. rename() replaces a symbolic link itself instead of writing through
// it, so this never follows a link. A regular file's permission bits (and,
// for a privileged user, its owner) are kept; a new file, or one replacing a
// link, gets 0666 & ~umask. Failures throw SaveError.
class ReplacingFile {
public:
    explicit ReplacingFile(const std::string& path);
    // Removes the temporary file unless committed.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Writes n bytes at `offset`; calls from several threads may overlap in time.
    void write(const void* data, size_t n, uint64_t offset);
    // Puts the file in place. `durable` flushes it to the disk first, as a
    // user's save must; a scratch copy that can be made again need not, and
    // without it the old file is removed just before the new one takes its
    // name (so a failure at that last step leaves neither).
    void commit(bool durable);
    const std::string& path() const { return path_; }

private:
    std::string path_, folder_, temp_;
    int fd_ = -1;
    mode_t mode_ = 0;
    int slot_ = -1;  // where removeUnfinishedFiles() finds the temporary file
    bool committed_ = false;
    bool replacing_ = false;
    uid_t oldUid_ = 0;
    gid_t oldGid_ = 0;
};

// Removes the temporary file of every ReplacingFile not yet committed or
// destroyed. Async-signal-safe: for a handler of SIGINT or SIGTERM, so that
// an interrupted program leaves no part-written file behind.
void removeUnfinishedFiles();

// The whole of `path` replaced by n bytes, durably, as above.
void writeWholeFile(const std::string& path, const void* data, size_t n);

} // namespace cw
