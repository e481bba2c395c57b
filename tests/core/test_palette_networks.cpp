#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "core/palette_networks.h"
#include "codecs/jpeg_decoder.h"
#include "test_support.h"

using namespace cw;
using cwtest::gray;

namespace {

std::optional<PaletteResult> colourBy(bool tabulated, int32_t code, uint32_t source, uint32_t current, int32_t marker) {
    return tabulated ? paletteColour(code, source, current, marker) : paletteColourDirect(code, source, current, marker);
}

} // namespace

// Raw results for a gray source pixel at levels 0, 128 and 255: the
// reference values of the weights.
TEST(PaletteColour, GivesTheCheckValuesOfEveryCodeTabulatedAndDirect) {
    const std::pair<int32_t, std::array<Rgb, 3>> rows[] = {
        {1, {{{25, 21, 0}, {167, 118, 108}, {256, 252, 250}}}},
        {2, {{{32, 24, -13}, {115, 148, 62}, {274, 242, 204}}}},
        {3, {{{1, 15, -7}, {65, 180, 25}, {270, 249, 220}}}},
        {4, {{{29, 0, -46}, {128, 134, 99}, {253, 250, 248}}}},
        {5, {{{-26, 41, 4}, {153, 142, 4}, {250, 231, 231}}}},
        {6, {{{13, -10, 14}, {2, 166, 251}, {245, 259, 214}}}},
        {7, {{{67, 21, 81}, {112, 112, 251}, {265, 249, 255}}}},
        {8, {{{11, 11, 59}, {128, 128, 139}, {258, 258, 234}}}},
        {9, {{{10, 39, 18}, {-10, 200, 131}, {242, 246, 274}}}},
        {10, {{{4, -10, 76}, {-4, 187, 223}, {254, 262, 252}}}},
        {11, {{{12, 14, 7}, {184, 122, 11}, {236, 246, 255}}}},
        {12, {{{5, 2, -5}, {162, 118, 90}, {255, 238, 251}}}},
        {13, {{{-1, -5, 20}, {169, 111, 93}, {259, 254, 249}}}},  // -4 / 3 = -1: toward zero
        {14, {{{-27, 23, 28}, {180, 124, 31}, {252, 250, 219}}}},
        {15, {{{3, -45, 315}, {79, 177, -15}, {290, 263, 119}}}},
        {16, {{{16, 10, 12}, {219, 67, 89}, {250, 321, 346}}}},
        {17, {{{6, 16, 6}, {2, 219, 2}, {246, 250, 246}}}},
        {18, {{{9, 17, 19}, {54, 159, 262}, {306, 426, 300}}}},
        {19, {{{11, 22, 1}, {160, 139, -1}, {259, 267, 236}}}},
        {20, {{{24, 3, 33}, {229, 55, 230}, {221, 241, 227}}}},
        {21, {{{59, -26, 16}, {113, 120, 220}, {254, 257, 221}}}},
        {22, {{{11, 10, 2}, {212, 110, 12}, {258, 249, 249}}}},
        {23, {{{5, 13, 13}, {-3, 191, 191}, {254, 257, 257}}}},
        {24, {{{-7, -9, 2}, {90, 140, 159}, {244, 255, 249}}}},
        {25, {{{-10, 17, 3}, {119, 141, 94}, {243, 259, 259}}}},
        {26, {{{8, -1, -4}, {141, 122, 116}, {263, 248, 232}}}},
        {27, {{{-27, 15, 29}, {162, 118, 90}, {252, 256, 240}}}},
        {28, {{{5, -11, 24}, {197, 116, 19}, {263, 269, 215}}}},
        {29, {{{-4, -15, 62}, {253, 77, 24}, {268, 254, 239}}}},
        {30, {{{-28, 5, 53}, {208, 106, 59}, {254, 269, 208}}}},
        {125, {{{0, 0, 0}, {128, 128, 128}, {255, 255, 255}}}},
    };
    const int levels[3] = {0, 128, 255};
    for (const auto& [code, want] : rows)
        for (int k = 0; k < 3; ++k)
            for (const bool tabulated : {true, false}) {
                const auto c = colourBy(tabulated, code, gray(levels[k]), 0, 0);
                ASSERT_TRUE(c) << "code " << code;
                EXPECT_EQ(c->rgb, want[k]) << "code " << code << " g " << levels[k];
                EXPECT_EQ(c->gray, levels[k]);
            }
}

TEST(PaletteColour, TablesEqualTheDirectEvaluationAtEveryLevelAndOnAColourPhoto) {
    std::vector<int32_t> codes = {88, 99, 124, 125};
    for (int32_t c = 1; c <= 30; ++c) codes.push_back(c);
    const Bitmap photo = decodeJpegFile(cwtest::testdata("photos/astronaut.jpg"));
    for (int32_t code : codes) {
        for (int g = 0; g < 256; ++g) {
            // A tinted current colour and marker so 88 and 99 are compared too.
            const uint32_t current = rgb(uint32_t(g), 255 - uint32_t(g), 40);
            EXPECT_EQ(paletteColour(code, gray(g), current, 0x102030 + g),
                      paletteColourDirect(code, gray(g), current, 0x102030 + g)) << "code " << code << " g " << g;
        }
        // Colour sources: code 13 mixes in each channel, 124 returns it.
        size_t mismatches = 0;
        for (size_t i = 0; i < photo.pixelCount(); i += 7) {
            const uint32_t s = photo.data()[i];
            mismatches += paletteColour(code, s, s, 0) != paletteColourDirect(code, s, s, 0);
        }
        EXPECT_EQ(mismatches, 0u) << "code " << code;
    }
}

// Special codes take their colour from the marker, the current colour or the
// source; code 13 on a coloured source picks the network's row by the gray
// (40 + 100 + 220) / 3 = 120 and mixes each channel with its own.
TEST(PaletteColour, SpecialCodesAndCodesOutsideTheDispatch) {
    const Rgb n = *evaluatePaletteNet(13, 120);
    struct Case { int32_t code; uint32_t source, current; int32_t marker; std::optional<PaletteResult> want; };
    std::vector<Case> cases = {
        {88, gray(10), gray(200), 0x0000FF, {{{255, 0, 0}, 85}}},  // marker 0x00BBGGRR
        {88, gray(10), gray(200), 0x123456, {{{0x56, 0x34, 0x12}, (0x56 + 0x34 + 0x12) / 3}}},
        {88, gray(10), gray(200), -1, {{{255, 255, 255}, 255}}},  // Make-up marker
        {99, gray(10), rgb(30, 60, 91), 0, {{{30, 60, 91}, 60}}},  // current, its own gray
        {124, rgb(10, 20, 30), gray(0), 0, {{{10, 20, 30}, 20}}}, {125, rgb(10, 20, 30), gray(0), 0, {{{20, 20, 20}, 20}}},
        {13, rgb(40, 100, 220), gray(0), 0, {{{(n.r + 80) / 3, (n.g + 200) / 3, (n.b + 440) / 3}, 120}}}};
    for (int32_t code : {0, 255, 256, 1000, -1, -13, -128, -129, INT32_MIN, INT32_MAX}) cases.push_back({code, gray(128), gray(3), 0xFF, {}});
    for (int32_t code = 31; code <= 128; ++code)
        if (code != 88 && code != 99 && code != 124 && code != 125) cases.push_back({code, gray(128), gray(3), 0xFF, {}});
    for (const Case& c : cases)
        for (const bool tabulated : {true, false})
            EXPECT_EQ(colourBy(tabulated, c.code, c.source, c.current, c.marker), c.want) << "code " << c.code;
    for (int32_t net = -2; net <= 33; ++net) {
        const bool isNet = (net >= 1 && net <= 13) || net == 15 || net == 17 || (net >= 19 && net <= 28) || net == 30;
        EXPECT_EQ(evaluatePaletteNet(net, 100).has_value(), isNet) << net;
    }
    EXPECT_FALSE(evaluatePaletteNet(2, -1) || evaluatePaletteNet(2, 256));
}
