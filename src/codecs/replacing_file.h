#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <sys/types.h>

namespace cw {

// A file could not be written. The file that was there before is untouched.
class SaveError : public std::runtime_error {
public:
    // `error`: the errno the system refused with, 0 when the cause was not the system's.
    explicit SaveError(const std::string& why, int error = 0) : std::runtime_error(why), error_(error) {}
    int error() const { return error_; }

private:
    int error_;
};

// A file written beside `path` under a hidden temporary name and renamed over
// it only when complete, so `path` is either the old file or the whole new
// one. Where `path` is a symbolic link, the file it names is the one
// replaced, whether or not it exists yet, as editors write through a link.
// A regular file's permission bits (and, for a privileged user, its owner)
// are kept; a new file gets 0666 & ~umask. A file its mode keeps from the
// user is not replaced, even where the folder would allow it. Failures throw
// SaveError.
class ReplacingFile {
public:
    explicit ReplacingFile(const std::string& path);
    // Removes the temporary file unless committed.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Writes n bytes at `offset`; calls from several threads may overlap in time.
    void write(const void* data, size_t n, uint64_t offset);
    // For a file to be committed durably: starts sending n bytes at `offset`
    // on to the disk now, and every few megabytes has a thread of the file's
    // own flush what was sent, so that the disk writes the file while the
    // rest is being made and the flush at the commit finds little left. A
    // hint only; calls from several threads may overlap in time.
    void writeOutSoon(size_t n, uint64_t offset);
    // Puts the file in place. `durable` flushes it to the disk first, as a
    // user's save must; a scratch copy that can be made again need not, and
    // without it the old file is removed just before the new one takes its
    // name (so a failure at that last step leaves neither).
    void commit(bool durable);
    const std::string& path() const { return path_; }

private:
    class Flusher;
    // Waits for the early flushes; throws when one failed.
    void finishFlushing();
    std::string path_, target_, folder_, temp_;
    int fd_ = -1;
    mode_t mode_ = 0;
    int slot_ = -1;  // where removeUnfinishedFiles() finds the temporary file
    bool committed_ = false;
    bool replacing_ = false;
    uid_t oldUid_ = 0;
    gid_t oldGid_ = 0;
    std::atomic<uint64_t> sentOn_{0};  // bytes writeOutSoon() was told of
    std::mutex flusherLock_;
    std::unique_ptr<Flusher> flusher_;
};

// Removes the temporary file of every ReplacingFile not yet committed or
// destroyed. Async-signal-safe: for a handler of SIGINT or SIGTERM, so that
// an interrupted program leaves no part-written file behind.
void removeUnfinishedFiles();

// The whole of `path` replaced by n bytes, durably, as above.
void writeWholeFile(const std::string& path, const void* data, size_t n);

} // namespace cw
