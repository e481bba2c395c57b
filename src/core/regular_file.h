#pragma once
// Opening a file that is to be read: a picture or a script.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace cw {

// A file that could not be opened or read; what() names it and gives the
// system's words for why.
class FileReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A regular file open for reading. Opening never waits on what the name
// turns out to be (a FIFO nobody writes, a terminal, a device), and anything
// but a regular file is refused before a byte of it is read.
class RegularFile {
public:
    explicit RegularFile(const std::string& path);  // throws FileReadError
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    // Its size when it was opened; another program may shrink or grow it since.
    uint64_t size() const { return size_; }
    // Reads from `offset` until n bytes are in or the file ends, and returns
    // how many were read. Throws FileReadError when the system fails the read.
    size_t read(void* to, size_t n, uint64_t offset) const;
    // The descriptor, for the caller to read from and close.
    int release();

private:
    std::string path_;
    int fd_ = -1;
    uint64_t size_ = 0;
};

} // namespace cw
