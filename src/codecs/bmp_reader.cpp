#include "codecs/bmp_reader.h"

#include "codecs/bmp_header.h"
#include "codecs/bmp_rle.h"
#include "codecs/bmp_rows.h"
#include "core/image_error.h"
#include "core/regular_file.h"

#include <cstdint>
#include <memory>
#include <new>

namespace cw {

Bitmap decodeBmp(const uint8_t* data, size_t size) {
    bmp::Header header = bmp::readHeader(data, size);
    bmp::readPalette(header, data);
    const bmp::Layout& L = header.layout;

    // Every size is checked before the picture is allocated.
    const uint64_t available = size - header.offBits;
    uint64_t rowBytes = 0;
    if (!header.rle()) {
        rowBytes = bmp::rowBytesOf(L);
        const uint64_t needed = rowBytes * uint64_t(L.height);
        if (available < needed)
            bmp::refuse("pixel data is truncated: " + std::to_string(available) + " of " + std::to_string(needed) +
                        " bytes");
    }

    ensureMemoryFor(uint64_t(L.width) * uint64_t(L.height) * 4);
    Bitmap out(L.width, L.height);
    prefault(out.data(), out.pixelCount() * sizeof(uint32_t));
    if (header.rle())
        bmp::decodeRle(L, data + header.offBits, data + size, out);
    else
        bmp::decodeUncompressed(L, data + header.offBits, rowBytes, out);
    return out;
}

Bitmap readBmp(const std::string& path) {
    try {
        const RegularFile file(path);
        if (file.size() == 0) bmp::refuse("the file is empty");
        // Read, not mapped: a file another program cuts short while it is
        // mapped kills the reader (SIGBUS); a short read is just a damaged file.
        const size_t size = size_t(file.size());
        ensureMemoryFor(size);
        const std::unique_ptr<uint8_t[]> data(new uint8_t[size]);
        const size_t got = file.read(data.get(), size, 0);
        if (got < size)
            bmp::refuse(path + " ended after " + std::to_string(got) + " of its " + std::to_string(size) +
                        " bytes while it was read");
        return decodeBmp(data.get(), size);
    } catch (const FileReadError& e) {
        throw InvalidImage(e.what());
    }
}

} // namespace cw
