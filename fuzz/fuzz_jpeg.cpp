// libFuzzer target: the JPEG decoder (through a file, as loads read it).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <unistd.h>

#include "codecs/jpeg_decoder.h"
#include "core/image_error.h"

// Pictures whose memory would pass the fuzzer's own limit are refused as a
// machine short of memory refuses them.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    cw::setMemoryCeiling(512ull << 20);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = [] {
        char name[] = "/tmp/cwfuzz-jpeg-XXXXXX";
        const int fd = ::mkstemp(name);
        if (fd >= 0) ::close(fd);
        return std::string(name);
    }();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    try {
        cw::Bitmap b = cw::decodeJpegFile(path);
        volatile uint32_t sink = b.pixelCount() ? b.data()[0] : 0;
        (void)sink;
    } catch (const cw::InvalidImage&) {
    } catch (const std::bad_alloc&) {
    }
    return 0;
}
