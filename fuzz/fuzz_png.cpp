// libFuzzer target: the PNG decoder must refuse or decode, never misbehave.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include <zlib.h>

#include "codecs/png_codec.h"
#include "core/image_error.h"

// Pictures whose memory would pass the fuzzer's own limit are refused as a
// machine short of memory refuses them.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    cw::setMemoryCeiling(512ull << 20);
    return 0;
}

namespace {

void decode(const uint8_t* data, size_t size) {
    try {
        cw::Bitmap b = cw::decodePng(data, size);
        volatile uint32_t sink = b.pixelCount() ? b.data()[b.pixelCount() - 1] : 0;
        (void)sink;
    } catch (const cw::InvalidImage&) {
    } catch (const std::bad_alloc&) {
    }
}

// Almost every mutation breaks a chunk's CRC, which stops libpng at once; a
// copy with the CRCs made right again lets the fuzzer reach past them.
std::vector<uint8_t> withCrcsMended(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out(data, data + size);
    for (size_t at = 8; at + 12 <= size;) {
        const uint64_t length = uint64_t(out[at]) << 24 | out[at + 1] << 16 | out[at + 2] << 8 | out[at + 3];
        if (length > size - at - 12) break;
        const uint32_t crc = uint32_t(crc32(0, out.data() + at + 4, uInt(length + 4)));
        for (int k = 0; k < 4; ++k) out[at + 8 + length + k] = uint8_t(crc >> (24 - 8 * k));
        at += 12 + length;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    decode(data, size);
    const std::vector<uint8_t> mended = withCrcsMended(data, size);
    if (!std::equal(mended.begin(), mended.end(), data)) decode(mended.data(), mended.size());
    return 0;
}
