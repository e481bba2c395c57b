#pragma once
#include "core/bitmap.h"

#include <cstdint>
#include <stdexcept>
#include <sys/types.h>
#include <string>

namespace cw {

// A picture could not be saved. The file that was there before is untouched.
class SaveError : public std::runtime_error {
public:
    explicit SaveError(const std::string& why) : std::runtime_error(why) {}
};

// Saves `picture` as a 24-bit uncompressed bottom-up bitmap (40-byte header,
// 2835 pixels per metre = 72 dpi). The file is written beside `path` under a
// hidden temporary name and renamed over it only when complete, so `path` is
// either the old file or the whole new one. A regular file's permission bits
// are kept; a new file (or one replacing a symbolic link) gets 0666 & ~umask.
// Throws SaveError.
void writeBmp24(const Bitmap& picture, const std::string& path);

// The same file written piece by piece: rows may be handed over in any order,
// from several threads at once (each call writes its own part of the file).
// Nothing replaces `path` until commit(); a writer destroyed before that
// removes its temporary file.
class BmpFileWriter {
public:
    BmpFileWriter(const std::string& path, int32_t width, int32_t height);  // throws SaveError
    ~BmpFileWriter();
    BmpFileWriter(const BmpFileWriter&) = delete;
    BmpFileWriter& operator=(const BmpFileWriter&) = delete;

    // Writes rows [y0, y0 + count), counted from the top; `rows` points at
    // row y0 of a picture `width` words wide. Throws SaveError.
    void writeRows(int32_t y0, int32_t count, const uint32_t* rows);
    // Puts the file in place. `durable` flushes it to the disk first, as a
    // user's save must; a scratch copy that can be made again need not, and
    // without it the old file is removed just before the new one takes its
    // name (so a failure at that last step leaves neither).
    void commit(bool durable);

private:
    std::string path_, folder_, temp_;
    int fd_ = -1;
    int32_t width_, height_;
    uint64_t rowBytes_;
    mode_t mode_ = 0;
    bool committed_ = false;
    bool replacing_ = false;
    uid_t oldUid_ = 0;
    gid_t oldGid_ = 0;
};

} // namespace cw
