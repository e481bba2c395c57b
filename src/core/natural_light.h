#pragma once
// Natural light: a colour moved to the lightness of the photo's own pixel.
// The colour keeps its hue and chroma (CIE L*a*b*, sRGB, D65) and takes the
// lightness of the source's gray level, as the "Color" blend mode of layered
// editors does; where that lightness cannot carry the chroma inside sRGB, the
// chroma is reduced and the hue kept.
#include <array>
#include <cstdint>

namespace cw {

struct Lab {
    double l = 0, a = 0, b = 0;
};

// sRGB (0xffRRGGBB, alpha ignored) to CIE L*a*b*, D65.
Lab labOf(uint32_t pixel);
// L* of the gray (g, g, g).
double lightnessOfGray(int gray);

// `colour` with the lightness of gray level `gray`: 0xffRRGGBB.
uint32_t naturalColour(uint32_t colour, int gray);

// naturalColour over a table of colours by gray level: entry g becomes
// naturalColour(table[g], g).
std::array<uint32_t, 256> naturalTable(const std::array<uint32_t, 256>& table);

} // namespace cw
