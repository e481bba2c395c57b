// Checks what a batch scenario produced against the colouring rules, from the
// dumps it wrote: which pixels a tool may change, which codes they get, and
// the colour every code stands for. Prints "FAIL: ..." and exits 1 on the
// first violation.
//
//   within A.bmp B.bmp X1 Y1 X2 Y2                          A and B differ, only inside the rectangle
//   crop BEFORE.bmp AFTER.bmp X1 Y1                         AFTER is BEFORE's rectangle at X1 Y1
//   scaled A.bmp B.bmp F                                    B is A enlarged F times, nearest neighbour
//   anchors ANCHORS CODES WxH                               anchors on the picture, on uncoloured pixels
//   finished SOURCE CODES PICTURE STRENGTH DAMPER AMBIENT INTENSITY SATURATION LIGHTS INVERT
//       every coloured pixel has its code's colour; LIGHTS is five 0/1 digits
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "codecs/bmp_reader.h"
#include "core/bitmap.h"
#include "core/effects.h"
#include "core/palette_networks.h"

using namespace cw;

namespace {

[[noreturn]] void fail(const std::string& why) {
    std::printf("FAIL: %s\n", why.c_str());
    std::exit(1);
}

std::vector<uint8_t> readCodes(const std::string& path, const Bitmap& like) {
    std::ifstream f(path, std::ios::binary);
    std::vector<uint8_t> codes{std::istreambuf_iterator<char>(f), {}};
    if (codes.size() != like.pixelCount()) fail(path + ": not one code per pixel");
    return codes;
}

int32_t num(const char* s) { return int32_t(std::strtol(s, nullptr, 10)); }

std::string at(const Bitmap& b, size_t i) {
    return "(" + std::to_string(i % size_t(b.width())) + "," + std::to_string(i / size_t(b.width())) + ")";
}

bool unpainted(uint8_t c) { return c == 0 || c == 127; }

void within(char** a) {
    const Bitmap p = readBmp(a[0]), q = readBmp(a[1]);
    const int32_t x1 = num(a[2]), y1 = num(a[3]), x2 = num(a[4]), y2 = num(a[5]);
    if (p.width() != q.width() || p.height() != q.height()) fail("the pictures differ in size");
    size_t changed = 0;
    for (int32_t y = 0; y < p.height(); ++y)
        for (int32_t x = 0; x < p.width(); ++x) {
            if (p.at(x, y) == q.at(x, y)) continue;
            if (x < x1 || x > x2 || y < y1 || y > y2)
                fail("pixel (" + std::to_string(x) + "," + std::to_string(y) + ") changed outside the rectangle");
            ++changed;
        }
    if (changed == 0) fail("nothing changed");
    std::printf("changed %zu pixels\n", changed);
}

void crop(char** a) {
    const Bitmap before = readBmp(a[0]), after = readBmp(a[1]);
    const int32_t x1 = num(a[2]), y1 = num(a[3]);
    if (x1 + after.width() > before.width() || y1 + after.height() > before.height()) fail("the crop is too big");
    for (int32_t y = 0; y < after.height(); ++y)
        for (int32_t x = 0; x < after.width(); ++x)
            if (after.at(x, y) != before.at(x1 + x, y1 + y))
                fail("cropped pixel (" + std::to_string(x) + "," + std::to_string(y) + ") differs");
}

void scaled(char** a) {
    const Bitmap small = readBmp(a[0]), big = readBmp(a[1]);
    const int32_t f = num(a[2]);
    if (big.width() != small.width() * f || big.height() != small.height() * f) fail("the enlarged size is wrong");
    for (int32_t y = 0; y < big.height(); ++y)
        for (int32_t x = 0; x < big.width(); ++x)
            if (big.at(x, y) != small.at(x / f, y / f))
                fail("enlarged pixel (" + std::to_string(x) + "," + std::to_string(y) + ") differs");
}

void anchors(char** a) {
    std::ifstream f(a[0]);
    std::ifstream c(a[1], std::ios::binary);
    const std::vector<uint8_t> codes{std::istreambuf_iterator<char>(c), {}};
    int32_t w = 0, h = 0;
    {
        std::istringstream size(a[2]);
        char x;
        size >> w >> x >> h;
    }
    if (codes.size() != size_t(w) * size_t(h)) fail("the codes do not match the size");
    size_t shown = 0, records = 0;
    int32_t x, y, size, code, status;
    while (f >> x >> y >> size >> code >> status) {
        ++records;
        if (code != -1) fail("mark-up gave an anchor a code");
        if (status != 0) continue;
        if (x < 0 || y < 0 || x >= w || y >= h) fail("an anchor lies off the picture");
        if (codes[size_t(y) * size_t(w) + size_t(x)] != 0) fail("an anchor lies on a coloured pixel");
        ++shown;
    }
    if (shown == 0) fail("no anchors");
    std::printf("%zu anchors in %zu regions\n", shown, records);
}

void finished(char** a) {
    const Bitmap source = readBmp(a[0]), picture = readBmp(a[2]);
    const auto codes = readCodes(a[1], source);
    const int32_t strength = num(a[3]);
    const bool damper = num(a[4]) != 0;
    EffectSettings fx;
    fx.ambient = num(a[5]);
    fx.intensity = num(a[6]);
    fx.saturation = num(a[7]);
    const std::string lights = a[8];
    for (size_t k = 0; k < fx.lights.size() && k < lights.size(); ++k) fx.lights[k] = lights[k] == '1';
    fx.invertOn = num(a[9]) != 0;
    size_t coloured = 0;
    for (size_t i = 0; i < codes.size(); ++i) {
        const uint32_t s = source.data()[i];
        uint32_t want = s;
        if (!unpainted(codes[i])) {
            // Finish-up recolours from the code alone, mixed (with the Damper)
            // into the gray source, as nothing is layered then.
            const auto p = paletteColour(codes[i], s, s, 0);
            if (!p) fail("pixel " + at(source, i) + " has code " + std::to_string(codes[i]) + ", which has no colour");
            const Rgb e = applyEffects(p->rgb, p->gray, fx);
            const Rgb src = channelsOf(s);
            auto channel = [&](int32_t v, int32_t was) {
                v = std::clamp(v, 0, 255);
                if (damper) v = (was * strength + v) / (strength + 1);
                return uint32_t(fx.invertOn ? 255 - v : v);
            };
            want = rgb(channel(e.r, src.r), channel(e.g, src.g), channel(e.b, src.b));
            ++coloured;
        }
        if (picture.data()[i] != want)
            fail("pixel " + at(source, i) + " with code " + std::to_string(codes[i]) + " has the wrong colour");
    }
    std::printf("%zu of %zu pixels coloured\n", coloured, codes.size());
}

struct Command {
    const char* name;
    int args;
    void (*run)(char**);
};

const Command kCommands[] = {
    {"within", 6, within}, {"crop", 4, crop},
    {"scaled", 3, scaled}, {"anchors", 3, anchors}, {"finished", 10, finished},
};

} // namespace

int main(int argc, char** argv) {
    for (const Command& c : kCommands) {
        if (argc < 2 || std::string(argv[1]) != c.name) continue;
        if (argc - 2 != c.args) fail(std::string(c.name) + " takes " + std::to_string(c.args) + " arguments");
        try {
            c.run(argv + 2);
        } catch (const std::exception& e) {
            fail(e.what());
        }
        return 0;
    }
    fail("unknown check");
}
