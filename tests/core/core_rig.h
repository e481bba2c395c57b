#pragma once
// One picture in a session as the image window holds it, for the engine tests.
#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "actions/fast_markup_command.h"
#include "actions/finishup_command.h"
#include "actions/headless_host.h"
#include "actions/markup_command.h"
#include "actions/session.h"
#include "codecs/jpeg_decoder.h"
#include "core/anchor.h"
#include "core/colour_mag.h"
#include "core/markup.h"
#include "test_support.h"
#include "tools/colouring.h"

namespace coretest {
using namespace cw;
using cwtest::gray;

inline Bitmap picture(int w, int h, auto level) {
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.at(x, y) = cwtest::gray(uint32_t(level(x, y)) & 255);
    return b;
}
inline Bitmap flat(int w, int h, uint32_t g = 100) { return picture(w, h, [g](int, int) { return g; }); }
inline Bitmap ramp(int w, int h) { return picture(w, h, [](int x, int y) { return x * 17 + y * 29; }); }
inline Bitmap photo(const char* name) { return decodeJpegFile(cwtest::testdata(std::string("photos/") + name)); }

// Each record as "x,y size code status".
inline std::vector<std::string> describe(const AnchorList& list) {
    std::vector<std::string> v;
    for (const Anchor& a : list)
        v.push_back(std::to_string(a.x) + "," + std::to_string(a.y) + " " + std::to_string(a.size) + " " +
                    std::to_string(a.code) + " " + std::to_string(a.status));
    return v;
}

template <class P = cwtest::RecordingProgress, class H = HeadlessHost>
struct Scene : cwtest::SessionRig<P, H> {
    using cwtest::SessionRig<P, H>::s, cwtest::SessionRig<P, H>::ws, cwtest::SessionRig<P, H>::progress;
    explicit Scene(Bitmap pic) {
        s.ws = buildWorkspace(std::move(pic), false, progress);
        s.imageWindowOpen = true;
        s.tools.currentTool = kToolTouch;  // no skip rule while the scene is painted
        progress.phases.clear();
    }
    int w() const { return s.ws->width; }
    ColourMagContext ctx() { return colouring(s); }
    void mag(int32_t code, int32_t x = 1, int32_t y = 1) {
        ws().curPixelIndex = int32_t(int64_t(y) * w() + x);  // as callers set it; wraps off the picture
        colourMag(ctx(), code, x, y);
    }
    // A stroke as the paint tools leave it: the colour of the code and the code.
    void paint(int x, int y, int code) {
        mag(code, x, y);
        ws().codes[size_t(y) * w() + x] = int8_t(code);
    }
    std::vector<int8_t> codes() { return {ws().codes.get(), ws().codes.get() + ws().pixelCount()}; }
    Rgb rgbAt(int32_t x = 1, int32_t y = 1) const { return channelsOf(s.ws->colour.at(x, y)); }
    std::vector<uint32_t> colours() { return {ws().colour.data(), ws().colour.data() + ws().pixelCount()}; }
    size_t count(int8_t code) { return size_t(std::count(ws().codes.get(), ws().codes.get() + ws().pixelCount(), code)); }
    std::vector<std::string> anchors() { return describe(ws().anchors); }
    void setAnchors(std::initializer_list<std::array<int, 4>> xySizeStatus) {
        ws().anchors.clear();
        for (const auto& [x, y, size, status] : xySizeStatus)
            ws().anchors.push_back({.x = x, .y = y, .size = size, .status = int8_t(status)});
    }
    std::vector<int> anchorValues(int32_t Anchor::*field = &Anchor::size) {
        std::vector<int> v(ws().anchors.size());
        std::ranges::transform(ws().anchors, v.begin(), field);
        return v;
    }
};

} // namespace coretest

using namespace coretest;
