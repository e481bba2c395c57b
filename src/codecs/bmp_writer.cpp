#include "codecs/bmp_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cw {
namespace {

constexpr size_t kHeaderBytes = 14 + 40;
constexpr size_t kChunkBytes = size_t(1) << 20;
constexpr uint32_t kPixelsPerMetre = 2835;

void put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    put16(p, v);
    put16(p + 2, v >> 16);
}

[[noreturn]] void fail(const std::string& what, const std::string& path, int err) {
    throw SaveError(what + " " + path + ": " + std::strerror(err));
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

void packRow(const uint32_t* src, size_t width, size_t rowBytes, uint8_t* dst) {
    for (size_t x = 0; x < width; ++x, dst += 3) {
        const uint32_t c = src[x];
        dst[0] = uint8_t(c);
        dst[1] = uint8_t(c >> 8);
        dst[2] = uint8_t(c >> 16);
    }
    for (size_t k = width * 3; k < rowBytes; ++k) *dst++ = 0;
}

} // namespace

BmpFileWriter::BmpFileWriter(const std::string& path, int32_t width, int32_t height)
    : path_(path), width_(width), height_(height) {
    if (width <= 0 || height <= 0) throw SaveError("there is no picture to save to " + path);
    rowBytes_ = (uint64_t(width) * 3 + 3) & ~uint64_t(3);
    const uint64_t imageBytes = rowBytes_ * uint64_t(height);
    if (kHeaderBytes + imageBytes > 0xffffffffu)
        throw SaveError("the picture is too large for a bitmap file: " + path);

    const size_t slash = path.rfind('/');
    folder_ = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") throw SaveError("not a file name: " + path);

    struct stat old;
    replacing_ = ::lstat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    mode_ = replacing_ ? (old.st_mode & 0777) : (0666 & ~currentUmask());
    if (replacing_) {
        oldUid_ = old.st_uid;
        oldGid_ = old.st_gid;
    }

    // The new picture is written to a hidden file in the same folder and
    // renamed over the target. rename() replaces a symbolic link itself
    // instead of writing through it, so saving never follows a link, and an
    // interrupted save leaves the old file whole.
    std::string pattern = (slash == std::string::npos ? "" : path.substr(0, slash + 1)) + "." +
                          name.substr(0, 200) + ".XXXXXX";
    std::vector<char> tempName(pattern.begin(), pattern.end());
    tempName.push_back('\0');
    fd_ = ::mkostemp(tempName.data(), O_CLOEXEC);
    if (fd_ < 0) fail("cannot create a file in folder", folder_, errno);
    temp_ = tempName.data();

    uint8_t h[kHeaderBytes];
    h[0] = 'B';
    h[1] = 'M';
    put32(h + 2, uint32_t(kHeaderBytes + imageBytes));
    put32(h + 6, 0);
    put32(h + 10, kHeaderBytes);
    put32(h + 14, 40);
    put32(h + 18, uint32_t(width));
    put32(h + 22, uint32_t(height));
    put16(h + 26, 1);
    put16(h + 28, 24);
    put32(h + 30, 0);
    put32(h + 34, uint32_t(imageBytes));
    put32(h + 38, kPixelsPerMetre);
    put32(h + 42, kPixelsPerMetre);
    put32(h + 46, 0);
    put32(h + 50, 0);
    writeAll(fd_, h, kHeaderBytes, 0, temp_);
}

BmpFileWriter::~BmpFileWriter() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !temp_.empty()) ::unlink(temp_.c_str());
}

void BmpFileWriter::writeRows(int32_t y0, int32_t count, const uint32_t* rows) {
    if (y0 < 0 || count <= 0 || y0 + count > height_) throw SaveError("rows outside the picture: " + path_);
    // Rows y0 .. y0+count-1 are one stretch of the bottom-up file, last row first.
    const size_t rowsPerChunk = std::max<size_t>(1, kChunkBytes / rowBytes_);
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[std::min<size_t>(rowsPerChunk, size_t(count)) * rowBytes_]);
    if (!buffer) throw SaveError("not enough memory to save " + path_);
    int32_t y = y0 + count;
    while (y > y0) {
        const int32_t n = int32_t(std::min<size_t>(rowsPerChunk, size_t(y - y0)));
        uint8_t* dst = buffer.get();
        for (int32_t k = 1; k <= n; ++k, dst += rowBytes_)
            packRow(rows + size_t(y - k - y0) * size_t(width_), size_t(width_), rowBytes_, dst);
        const uint64_t offset = kHeaderBytes + uint64_t(height_ - y) * rowBytes_;
        writeAll(fd_, buffer.get(), size_t(n) * rowBytes_, offset, temp_);
        y -= n;
    }
}

void BmpFileWriter::commit(bool durable) {
    if (replacing_ && (oldUid_ != ::geteuid() || oldGid_ != ::getegid())) {
        // Only possible for a privileged user; otherwise the saver owns the new file.
        if (::fchown(fd_, oldUid_, oldGid_) != 0) {}
    }
    if (::fchmod(fd_, mode_) != 0) fail("cannot set the permissions of", temp_, errno);
    if (durable && ::fsync(fd_) != 0) fail("cannot write", temp_, errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) fail("cannot write", temp_, errno);
    // ext4 and others write out a file renamed over an existing one at once,
    // so that a crash leaves the old data or the new; for a copy that need
    // not survive a crash that costs tens of milliseconds per large picture
    // for nothing, and taking the old file away first avoids it.
    if (!durable && replacing_) ::unlink(path_.c_str());
    if (::rename(temp_.c_str(), path_.c_str()) != 0) fail("cannot replace", path_, errno);
    committed_ = true;
    if (!durable) return;
    // Make the rename itself durable; the data is already safe either way.
    const int dir = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

void writeBmp24(const Bitmap& picture, const std::string& path) {
    if (picture.empty()) throw SaveError("there is no picture to save to " + path);
    BmpFileWriter writer(path, picture.width(), picture.height());
    writer.writeRows(0, picture.height(), picture.data());
    writer.commit(true);
}

} // namespace cw
