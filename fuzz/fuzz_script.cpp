// libFuzzer target: the batch script runner. Scripts run in a private folder
// and may only name files in it, so no input can write elsewhere.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <unistd.h>

#include "actions/script_runner.h"
#include "codecs/bmp_writer.h"
#include "core/image_error.h"

// Pictures whose memory would pass the fuzzer's own limit are refused as a
// machine short of memory refuses them.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    cw::setMemoryCeiling(512ull << 20);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string folder = [] {
        char name[] = "/tmp/cwfuzz-script-XXXXXX";
        const char* made = ::mkdtemp(name);
        if (made && ::chdir(made) != 0) std::abort();
        // A small picture for the scripts to load.
        cw::Bitmap b(16, 12);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x) b.at(x, y) = cw::rgb(x * 16, y * 20, (x + y) * 8);
        cw::writeBmp24(b, "pal8.bmp");
        return std::string(made ? made : "/tmp");
    }();
    const std::string script(reinterpret_cast<const char*>(data), size);
    if (script.find('/') != std::string::npos || script.find("..") != std::string::npos) return 0;
    // Pictures stay small, so each run is quick.
    if (script.size() > 4096) return 0;
    std::istringstream in(script);
    std::ostringstream out, err;
    cw::runScript(in, out, err, folder + "/scratch");
    return 0;
}
