#include "core/natural_light.h"

#include <algorithm>
#include <cmath>

namespace cw {

namespace {

// D65 white in XYZ, Y = 1.
constexpr double kXn = 0.95047, kYn = 1.0, kZn = 1.08883;
constexpr double kEpsilon = 216.0 / 24389.0, kKappa = 24389.0 / 27.0;

double decode(double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); }
double encode(double c) { return c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1.0 / 2.4) - 0.055; }

struct Linear {
    std::array<double, 256> v{};
    Linear() {
        for (int i = 0; i < 256; ++i) v[size_t(i)] = decode(i / 255.0);
    }
};
const Linear& linear() {
    static const Linear table;
    return table;
}

double f(double t) { return t > kEpsilon ? std::cbrt(t) : (kKappa * t + 16.0) / 116.0; }
double fInverse(double t) {
    const double t3 = t * t * t;
    return t3 > kEpsilon ? t3 : (116.0 * t - 16.0) / kKappa;
}

struct LinearRgb {
    double r, g, b;
};

LinearRgb linearOf(const Lab& c) {
    const double fy = (c.l + 16.0) / 116.0;
    const double x = kXn * fInverse(fy + c.a / 500.0);
    const double y = kYn * fInverse(fy);
    const double z = kZn * fInverse(fy - c.b / 200.0);
    return {3.2404542 * x - 1.5371385 * y - 0.4985314 * z, -0.9692660 * x + 1.8760108 * y + 0.0415560 * z,
            0.0556434 * x - 0.2040259 * y + 1.0572252 * z};
}

bool inGamut(const LinearRgb& c) {
    constexpr double lo = -1e-9, hi = 1.0 + 1e-9;
    return c.r >= lo && c.r <= hi && c.g >= lo && c.g <= hi && c.b >= lo && c.b <= hi;
}

uint32_t pixelOf(const LinearRgb& c) {
    const auto channel = [](double v) {
        return uint32_t(std::lround(std::clamp(encode(std::clamp(v, 0.0, 1.0)), 0.0, 1.0) * 255.0));
    };
    return 0xff000000u | channel(c.r) << 16 | channel(c.g) << 8 | channel(c.b);
}

} // namespace

Lab labOf(uint32_t pixel) {
    const Linear& lin = linear();
    const double r = lin.v[(pixel >> 16) & 0xff], g = lin.v[(pixel >> 8) & 0xff], b = lin.v[pixel & 0xff];
    const double x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / kXn;
    const double y = (0.2126729 * r + 0.7151522 * g + 0.0721750 * b) / kYn;
    const double z = (0.0193339 * r + 0.1191920 * g + 0.9503041 * b) / kZn;
    const double fx = f(x), fy = f(y), fz = f(z);
    return {116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz)};
}

double lightnessOfGray(int gray) {
    return 116.0 * f(linear().v[size_t(std::clamp(gray, 0, 255))]) - 16.0;
}

uint32_t naturalColour(uint32_t colour, int gray) {
    const Lab c = labOf(colour);
    Lab out{lightnessOfGray(gray), c.a, c.b};
    LinearRgb rgb = linearOf(out);
    if (!inGamut(rgb)) {
        // The largest share of the chroma that fits, to well under one step
        // of an 8-bit channel; a share of 0 is the gray itself, always inside.
        double fits = 0.0, fails = 1.0;
        for (int i = 0; i < 16; ++i) {
            const double mid = (fits + fails) / 2;
            if (inGamut(linearOf({out.l, c.a * mid, c.b * mid}))) fits = mid;
            else fails = mid;
        }
        out.a = c.a * fits;
        out.b = c.b * fits;
        rgb = linearOf(out);
    }
    return pixelOf(rgb);
}

std::array<uint32_t, 256> naturalTable(const std::array<uint32_t, 256>& table) {
    std::array<uint32_t, 256> out{};
    for (int g = 0; g < 256; ++g) out[size_t(g)] = naturalColour(table[size_t(g)], g);
    return out;
}

} // namespace cw
