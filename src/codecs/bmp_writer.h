#pragma once
#include "core/bitmap.h"

#include <cstdint>
#include <optional>
#include <string>

#include "codecs/replacing_file.h"

namespace cw {

// Saves `picture` as a 24-bit uncompressed bottom-up bitmap (40-byte header,
// 2835 pixels per metre = 72 dpi), through a ReplacingFile: `path` is either
// the old file or the whole new one. Throws SaveError.
void writeBmp24(const Bitmap& picture, const std::string& path);

// The same file written piece by piece: rows may be handed over in any order,
// from several threads at once (each call writes its own part of the file).
// Nothing replaces `path` until commit(); a writer destroyed before that
// removes its temporary file.
class BmpFileWriter {
public:
    BmpFileWriter(const std::string& path, int32_t width, int32_t height);  // throws SaveError
    BmpFileWriter(const BmpFileWriter&) = delete;
    BmpFileWriter& operator=(const BmpFileWriter&) = delete;

    // Writes rows [y0, y0 + count), counted from the top; `rows` points at
    // row y0 of a picture `width` words wide. Throws SaveError.
    void writeRows(int32_t y0, int32_t count, const uint32_t* rows);
    // The file will be committed durably: each piece is sent on to the disk
    // as soon as it is written (ReplacingFile::writeOutSoon).
    void writeOutAsWritten() { writeOutEarly_ = true; }
    // Puts the file in place; see ReplacingFile::commit.
    void commit(bool durable);

private:
    std::string path_;
    std::optional<ReplacingFile> file_;
    int32_t width_, height_;
    uint64_t rowBytes_;
    bool writeOutEarly_ = false;
};

} // namespace cw
