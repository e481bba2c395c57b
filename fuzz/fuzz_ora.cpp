// libFuzzer target: the OpenRaster reader (libzip, stack.xml, and libpng on
// the inflating entries) and the work file read through it must refuse or
// read, never misbehave.
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>

#include "actions/work_file.h"
#include "codecs/ora_file.h"
#include "core/image_error.h"

// Pictures whose memory would pass the fuzzer's own limit are refused as a
// machine short of memory refuses them.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    cw::setMemoryCeiling(512ull << 20);
    return 0;
}

namespace {

template <class Read>
void attempt(Read read) {
    try {
        read();
    } catch (const cw::InvalidImage&) {
    } catch (const std::bad_alloc&) {
    }
}

void touch(const cw::Bitmap& b) {
    volatile uint32_t sink = b.pixelCount() ? b.data()[b.pixelCount() - 1] : 0;
    (void)sink;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A work file: its state file, codes and anchors checked as opening does.
    attempt([&] { touch(cw::readWorkFile(data, size).picture); });
    attempt([&] {
        const cw::OraReader ora(data, size);
        for (const cw::OraLayerIn& layer : ora.layers()) {
            attempt([&] { touch(ora.readRgb(layer.src)); });
            attempt([&] {
                volatile size_t n = ora.readGray8(layer.src).size();
                (void)n;
            });
        }
        attempt([&] { touch(ora.readMerged()); });
        for (const char* entry : {"stack.xml", "mimetype", "Thumbnails/thumbnail.png", "chromawell/work.txt"})
            attempt([&] {
                volatile size_t n = ora.readFile(entry, 1 << 16).size();
                (void)n;
            });
    });
    return 0;
}
