// Checks what a batch scenario produced against the colouring rules, from the
// dumps it wrote: which pixels a tool may change, which codes they get, and
// the colour every code stands for. Prints "FAIL: ..." and exits 1 on the
// first violation.
//
//   touch-wide SOURCE CODES0 CODES1 X Y CODE STEP TOL       image-wide Touch-paint, Overwrite on
//   touch-connected SOURCE CODES0 CODES1 X Y CODE STEP TOL  connected Touch-paint
//   within A.bmp B.bmp X1 Y1 X2 Y2                          A and B differ, only inside the rectangle
//   same A.bmp B.bmp                                        equal pictures
//   crop BEFORE.bmp AFTER.bmp X1 Y1                         AFTER is BEFORE's rectangle at X1 Y1
//   scaled A.bmp B.bmp F                                    B is A enlarged F times, nearest neighbour
//   masked SOURCE CODES DISPLAY CODE MARKER                 code's pixels show source XOR marker
//   sound CODES MIN_UNCOLOURED                              no negative code; at least that many uncoloured
//   anchors ANCHORS CODES WxH                               anchors on the picture, on uncoloured pixels
//   finished SOURCE CODES PICTURE STRENGTH DAMPER AMBIENT INTENSITY SATURATION LIGHTS INVERT
//       every coloured pixel has its code's colour; LIGHTS is five 0/1 digits
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
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

int32_t bucketOf(const Bitmap& source, size_t i, int32_t step) {
    return grayOf(channelsOf(source.data()[i])) / step * step;
}

bool unpainted(uint8_t c) { return c == 0 || c == 127; }

// Codes may change only on `painted`, and there to `code`.
void expectCodes(const Bitmap& source, const std::vector<uint8_t>& before, const std::vector<uint8_t>& after,
                 const std::vector<bool>& painted, int32_t code) {
    size_t count = 0;
    for (size_t i = 0; i < after.size(); ++i) {
        if (painted[i]) {
            if (after[i] != code) fail("pixel " + at(source, i) + " should have code " + std::to_string(code));
            ++count;
        } else if (after[i] != before[i]) {
            fail("pixel " + at(source, i) + " changed its code outside the fill");
        }
    }
    if (count == 0) fail("nothing was painted");
    std::printf("painted %zu pixels\n", count);
}

void touchWide(char** a) {
    const Bitmap source = readBmp(a[0]);
    const auto before = readCodes(a[1], source), after = readCodes(a[2], source);
    const int32_t x = num(a[3]), y = num(a[4]), code = num(a[5]), step = num(a[6]), tol = num(a[7]);
    const size_t seed = size_t(y) * size_t(source.width()) + size_t(x);
    const int32_t q = bucketOf(source, seed, step);
    std::vector<bool> painted(after.size());
    for (size_t i = 0; i < painted.size(); ++i) painted[i] = std::abs(bucketOf(source, i, step) - q) <= tol;
    painted[seed] = true;
    expectCodes(source, before, after, painted, code);
}

void touchConnected(char** a) {
    const Bitmap source = readBmp(a[0]);
    const auto before = readCodes(a[1], source), after = readCodes(a[2], source);
    const int32_t x = num(a[3]), y = num(a[4]), code = num(a[5]), step = num(a[6]), tol = num(a[7]);
    const int32_t w = source.width(), h = source.height();
    const size_t seed = size_t(y) * size_t(w) + size_t(x);
    const int32_t q = bucketOf(source, seed, step);
    // Every unpainted pixel 8-connected to the seed through unpainted pixels
    // whose bucket lies strictly within the tolerance.
    std::vector<bool> painted(after.size()), seen(after.size());
    std::deque<size_t> queue{seed};
    seen[seed] = true;
    painted[seed] = unpainted(before[seed]);
    while (!queue.empty()) {
        const size_t i = queue.front();
        queue.pop_front();
        const int32_t cx = int32_t(i % size_t(w)), cy = int32_t(i / size_t(w));
        for (int32_t dy = -1; dy <= 1; ++dy)
            for (int32_t dx = -1; dx <= 1; ++dx) {
                const int32_t nx = cx + dx, ny = cy + dy;
                if ((dx == 0 && dy == 0) || nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
                const size_t n = size_t(ny) * size_t(w) + size_t(nx);
                if (seen[n] || !unpainted(before[n]) || std::abs(bucketOf(source, n, step) - q) >= tol) continue;
                seen[n] = painted[n] = true;
                queue.push_back(n);
            }
    }
    expectCodes(source, before, after, painted, code);
}

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

void same(char** a) {
    const Bitmap p = readBmp(a[0]), q = readBmp(a[1]);
    if (p.width() != q.width() || p.height() != q.height()) fail("the pictures differ in size");
    for (size_t i = 0; i < p.pixelCount(); ++i)
        if (p.data()[i] != q.data()[i]) fail("pixel " + at(p, i) + " differs");
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

void sound(char** a) {
    std::ifstream f(a[0], std::ios::binary);
    const std::vector<uint8_t> codes{std::istreambuf_iterator<char>(f), {}};
    size_t uncoloured = 0;
    for (uint8_t c : codes) {
        if (c >= 128) fail("a negative code survived: " + std::to_string(int(int8_t(c))));
        uncoloured += unpainted(c);
    }
    if (uncoloured < size_t(num(a[1]))) fail("only " + std::to_string(uncoloured) + " pixels left uncoloured");
    std::printf("%zu uncoloured\n", uncoloured);
}

void masked(char** a) {
    const Bitmap source = readBmp(a[0]), display = readBmp(a[2]);
    const auto codes = readCodes(a[1], source);
    const int32_t code = num(a[3]);
    const uint32_t marker = fromBGR(num(a[4]));  // 0x00BBGGRR, as the palette holds it
    size_t count = 0;
    for (size_t i = 0; i < codes.size(); ++i) {
        if (codes[i] != code) continue;
        if (display.data()[i] != ((source.data()[i] ^ marker) | 0xff000000u))
            fail("masked pixel " + at(source, i) + " is not its source XOR the marker");
        ++count;
    }
    if (count == 0) fail("no pixel has the masked code");
    std::printf("%zu masked pixels\n", count);
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
    {"touch-wide", 8, touchWide}, {"touch-connected", 8, touchConnected},
    {"within", 6, within},        {"same", 2, same},
    {"crop", 4, crop},            {"masked", 5, masked},
    {"scaled", 3, scaled},        {"sound", 2, sound},
    {"anchors", 3, anchors},      {"finished", 10, finished},
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
