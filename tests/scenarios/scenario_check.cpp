// Checks what a batch scenario produced against the colouring rules, from the
// dumps it wrote. Prints "FAIL: ..." and exits 1 on the first violation.
//   within A.bmp B.bmp X1 Y1 X2 Y2    A and B differ, only inside the rectangle
//   crop BEFORE.bmp AFTER.bmp X1 Y1   AFTER is BEFORE's rectangle at X1 Y1
//   scaled A.bmp B.bmp F              B is A enlarged F times, nearest neighbour
//   anchors ANCHORS CODES WxH         anchors on the picture, on uncoloured pixels
//   finished SOURCE CODES PICTURE STRENGTH DAMPER AMBIENT INTENSITY SATURATION LIGHTS INVERT
//       every coloured pixel has its code's colour; LIGHTS is five 0/1 digits
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "codecs/bmp_reader.h"
#include "core/bitmap.h"
#include "core/effects.h"
#include "core/palette_networks.h"

using namespace cw;

namespace {

[[noreturn]] void fail(const std::string& why) { std::printf("FAIL: %s\n", why.c_str()), std::exit(1); }
std::vector<uint8_t> readCodes(const char* path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}
int32_t num(const char* s) { return int32_t(std::strtol(s, nullptr, 10)); }
std::string xy(int32_t x, int32_t y) { return "(" + std::to_string(x) + "," + std::to_string(y) + ")"; }
// Fails with `what` at the first pixel of `b` for which `bad` holds.
void each(const Bitmap& b, const char* what, const std::function<bool(int32_t, int32_t)>& bad) {
    for (int32_t y = 0; y < b.height(); ++y)
        for (int32_t x = 0; x < b.width(); ++x)
            if (bad(x, y)) fail(std::string(what) + " pixel " + xy(x, y));
}

void within(char** a) {
    const Bitmap p = readBmp(a[0]), q = readBmp(a[1]);
    const int32_t x1 = num(a[2]), y1 = num(a[3]), x2 = num(a[4]), y2 = num(a[5]);
    if (p.width() != q.width() || p.height() != q.height()) fail("the pictures differ in size");
    size_t changed = 0;
    each(p, "changed outside the rectangle:", [&](int32_t x, int32_t y) {
        if (p.at(x, y) == q.at(x, y)) return false;
        ++changed;
        return x < x1 || x > x2 || y < y1 || y > y2;
    });
    if (changed == 0) fail("nothing changed");
    std::printf("changed %zu pixels\n", changed);
}

void crop(char** a) {
    const Bitmap before = readBmp(a[0]), after = readBmp(a[1]);
    const int32_t x1 = num(a[2]), y1 = num(a[3]);
    if (x1 + after.width() > before.width() || y1 + after.height() > before.height()) fail("the crop is too big");
    each(after, "differing cropped", [&](int32_t x, int32_t y) { return after.at(x, y) != before.at(x1 + x, y1 + y); });
}

void scaled(char** a) {
    const Bitmap small = readBmp(a[0]), big = readBmp(a[1]);
    const int32_t f = num(a[2]);
    if (big.width() != small.width() * f || big.height() != small.height() * f) fail("the enlarged size is wrong");
    each(big, "differing enlarged", [&](int32_t x, int32_t y) { return big.at(x, y) != small.at(x / f, y / f); });
}

void anchors(char** a) {
    std::ifstream f(a[0]);
    const std::vector<uint8_t> codes = readCodes(a[1]);
    int32_t w = 0, h = 0, x, y, size, code, status;
    std::sscanf(a[2], "%dx%d", &w, &h);
    if (codes.size() != size_t(w) * size_t(h)) fail("the codes do not match the size");
    size_t shown = 0, records = 0;
    for (; f >> x >> y >> size >> code >> status; ++records) {
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
    const auto codes = readCodes(a[1]);
    if (codes.size() != source.pixelCount()) fail(std::string(a[1]) + ": not one code per pixel");
    const int32_t strength = num(a[3]);
    const bool damper = num(a[4]) != 0;
    EffectSettings fx;
    fx.ambient = num(a[5]), fx.intensity = num(a[6]), fx.saturation = num(a[7]), fx.invertOn = num(a[9]) != 0;
    for (size_t k = 0; k < fx.lights.size() && a[8][k]; ++k) fx.lights[k] = a[8][k] == '1';
    size_t coloured = 0;
    each(source, "wrongly coloured", [&](int32_t x, int32_t y) {
        const size_t i = size_t(y) * size_t(source.width()) + size_t(x);
        const uint32_t s = source.data()[i];
        uint32_t want = s;
        if (codes[i] != 0 && codes[i] != 127) {
            // Finish-up recolours from the code alone, mixed (with the Damper)
            // into the gray source, as nothing is layered then.
            const auto p = paletteColour(codes[i], s, s, 0);
            if (!p) fail("pixel " + xy(x, y) + " has code " + std::to_string(codes[i]) + ", which has no colour");
            const Rgb e = applyEffects(p->rgb, p->gray, fx), src = channelsOf(s);
            auto channel = [&](int32_t v, int32_t was) {
                v = std::clamp(v, 0, 255);
                if (damper) v = (was * strength + v) / (strength + 1);
                return uint32_t(fx.invertOn ? 255 - v : v);
            };
            want = rgb(channel(e.r, src.r), channel(e.g, src.g), channel(e.b, src.b));
            ++coloured;
        }
        return picture.data()[i] != want;
    });
    std::printf("%zu of %zu pixels coloured\n", coloured, codes.size());
}

struct Command { const char* name; int args; void (*run)(char**); };
const Command kCommands[] = {{"within", 6, within}, {"crop", 4, crop}, {"scaled", 3, scaled}, {"anchors", 3, anchors}, {"finished", 10, finished}};

} // namespace

int main(int argc, char** argv) {
    for (const Command& c : kCommands) {
        if (argc < 2 || std::string(argv[1]) != c.name) continue;
        if (argc - 2 != c.args) fail(std::string(c.name) + " takes " + std::to_string(c.args) + " arguments");
        try { c.run(argv + 2); } catch (const std::exception& e) { fail(e.what()); }
        return 0;
    }
    fail("unknown check");
}
