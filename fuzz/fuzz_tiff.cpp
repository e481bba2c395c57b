// libFuzzer target: the TIFF decoder (libtiff behind our checks) must refuse
// or decode, never misbehave.
#include <cstddef>
#include <cstdint>
#include <new>

#include "codecs/tiff_codec.h"
#include "core/image_error.h"

// Pictures whose memory would pass the fuzzer's own limit are refused as a
// machine short of memory refuses them.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    cw::setMemoryCeiling(512ull << 20);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        cw::Bitmap b = cw::decodeTiff(data, size);
        volatile uint32_t sink = b.pixelCount() ? b.data()[b.pixelCount() - 1] : 0;
        (void)sink;
    } catch (const cw::InvalidImage&) {
    } catch (const std::bad_alloc&) {
    }
    return 0;
}
