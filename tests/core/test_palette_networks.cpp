#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "codecs/jpeg_decoder.h"
#include "core/bitmap.h"
#include "core/palette_networks.h"
#include "test_support.h"

using namespace cw;

namespace {

constexpr uint32_t gray(int g) { return rgb(uint32_t(g), uint32_t(g), uint32_t(g)); }

struct CheckRow {
    int32_t code;
    Rgb atLevels[3];  // g = 0, 128, 255
};

// Raw results for a gray source pixel, the reference values of the weights.
const CheckRow kCheckValues[] = {
    {1, {{25, 21, 0}, {167, 118, 108}, {256, 252, 250}}},
    {2, {{32, 24, -13}, {115, 148, 62}, {274, 242, 204}}},
    {3, {{1, 15, -7}, {65, 180, 25}, {270, 249, 220}}},
    {4, {{29, 0, -46}, {128, 134, 99}, {253, 250, 248}}},
    {5, {{-26, 41, 4}, {153, 142, 4}, {250, 231, 231}}},
    {6, {{13, -10, 14}, {2, 166, 251}, {245, 259, 214}}},
    {7, {{67, 21, 81}, {112, 112, 251}, {265, 249, 255}}},
    {8, {{11, 11, 59}, {128, 128, 139}, {258, 258, 234}}},
    {9, {{10, 39, 18}, {-10, 200, 131}, {242, 246, 274}}},
    {10, {{4, -10, 76}, {-4, 187, 223}, {254, 262, 252}}},
    {11, {{12, 14, 7}, {184, 122, 11}, {236, 246, 255}}},
    {12, {{5, 2, -5}, {162, 118, 90}, {255, 238, 251}}},
    {13, {{-1, -5, 20}, {169, 111, 93}, {259, 254, 249}}},
    {14, {{-27, 23, 28}, {180, 124, 31}, {252, 250, 219}}},
    {15, {{3, -45, 315}, {79, 177, -15}, {290, 263, 119}}},
    {16, {{16, 10, 12}, {219, 67, 89}, {250, 321, 346}}},
    {17, {{6, 16, 6}, {2, 219, 2}, {246, 250, 246}}},
    {18, {{9, 17, 19}, {54, 159, 262}, {306, 426, 300}}},
    {19, {{11, 22, 1}, {160, 139, -1}, {259, 267, 236}}},
    {20, {{24, 3, 33}, {229, 55, 230}, {221, 241, 227}}},
    {21, {{59, -26, 16}, {113, 120, 220}, {254, 257, 221}}},
    {22, {{11, 10, 2}, {212, 110, 12}, {258, 249, 249}}},
    {23, {{5, 13, 13}, {-3, 191, 191}, {254, 257, 257}}},
    {24, {{-7, -9, 2}, {90, 140, 159}, {244, 255, 249}}},
    {25, {{-10, 17, 3}, {119, 141, 94}, {243, 259, 259}}},
    {26, {{8, -1, -4}, {141, 122, 116}, {263, 248, 232}}},
    {27, {{-27, 15, 29}, {162, 118, 90}, {252, 256, 240}}},
    {28, {{5, -11, 24}, {197, 116, 19}, {263, 269, 215}}},
    {29, {{-4, -15, 62}, {253, 77, 24}, {268, 254, 239}}},
    {30, {{-28, 5, 53}, {208, 106, 59}, {254, 269, 208}}},
    {125, {{0, 0, 0}, {128, 128, 128}, {255, 255, 255}}},
};

// Every code that gives a colour, and every way a code can fall outside them.
const std::vector<int32_t> kColourCodes = [] {
    std::vector<int32_t> v;
    for (int32_t c = 1; c <= 30; ++c) v.push_back(c);
    for (int32_t c : {88, 99, 124, 125}) v.push_back(c);
    return v;
}();

} // namespace

TEST(PaletteColour, GivesTheCheckValuesOfEveryCodeAtLevels0_128_255) {
    ASSERT_EQ(std::size(kCheckValues), 31u);
    const int levels[3] = {0, 128, 255};
    for (const CheckRow& row : kCheckValues) {
        for (int k = 0; k < 3; ++k) {
            const int g = levels[k];
            for (const bool tabulated : {true, false}) {
                const auto c = tabulated ? paletteColour(row.code, gray(g), 0, 0)
                                         : paletteColourDirect(row.code, gray(g), 0, 0);
                ASSERT_TRUE(c) << "code " << row.code;
                EXPECT_EQ(c->rgb, row.atLevels[k])
                    << "code " << row.code << " g " << g << (tabulated ? " (table)" : " (direct)")
                    << ": got " << c->rgb.r << "," << c->rgb.g << "," << c->rgb.b;
                EXPECT_EQ(c->gray, g);
            }
        }
    }
}

TEST(PaletteColour, TablesEqualTheDirectEvaluationAtAll256LevelsOfEveryCode) {
    for (int32_t code : kColourCodes) {
        for (int g = 0; g < 256; ++g) {
            // A tinted current colour and marker so 88 and 99 are compared too.
            const uint32_t current = rgb(uint32_t(g), 255 - uint32_t(g), 40);
            const int32_t marker = 0x102030 + g;
            EXPECT_EQ(paletteColour(code, gray(g), current, marker),
                      paletteColourDirect(code, gray(g), current, marker))
                << "code " << code << " g " << g;
        }
    }
}

TEST(PaletteColour, TablesEqualTheDirectEvaluationOnEveryPixelOfAColourPhoto) {
    // Colour sources: code 13 mixes in each channel, 124 returns it, and the
    // gray level is the channels' mean.
    const Bitmap photo = decodeJpegFile(cwtest::testdata("photos/astronaut.jpg"));
    for (int32_t code : {1, 6, 13, 14, 16, 18, 29, 124, 125}) {
        size_t mismatches = 0;
        for (size_t i = 0; i < photo.pixelCount(); i += 7) {
            const uint32_t s = photo.data()[i];
            if (paletteColour(code, s, s, 0) != paletteColourDirect(code, s, s, 0)) ++mismatches;
        }
        EXPECT_EQ(mismatches, 0u) << "code " << code;
    }
}

TEST(PaletteColour, Code13MixesNetwork13WithTheSourceChannels) {
    EXPECT_EQ(paletteColour(29, gray(128), 0, 0)->rgb, (Rgb{253, 77, 24}));
    EXPECT_EQ(paletteColour(13, gray(128), 0, 0)->rgb, (Rgb{169, 111, 93}));
    // A coloured source: gray (40 + 100 + 220) / 3 = 120 picks the row; each
    // channel mixes with its own source channel.
    const Rgb n = *evaluatePaletteNet(13, 120);
    const auto c = paletteColour(13, rgb(40, 100, 220), 0, 0);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->gray, 120);
    EXPECT_EQ(c->rgb, (Rgb{(n.r + 80) / 3, (n.g + 200) / 3, (n.b + 440) / 3}));
}

TEST(PaletteColour, NegativeChannelsDivideTowardZero) {
    // Code 14 at g = 0: networks 5 (-26, 41, 4) and 30 (-28, 5, 53); -54 / 2 = -27.
    EXPECT_EQ(paletteColour(14, gray(0), 0, 0)->rgb, (Rgb{-27, 23, 28}));
    // Code 13 at g = 0 mixes (-4, -15, 62) with 0: -4 / 3 = -1, -15 / 3 = -5.
    EXPECT_EQ(paletteColour(13, gray(0), 0, 0)->rgb, (Rgb{-1, -5, 20}));
}

TEST(PaletteColour, SpecialCodesTakeTheirColourFromMarkerCurrentOrSource) {
    struct Case {
        int32_t code;
        uint32_t source, current;
        int32_t marker;
        PaletteResult want;
    };
    const Case cases[] = {
        {88, gray(10), gray(200), 0x0000FF, {{255, 0, 0}, 85}},            // marker 0x00BBGGRR
        {88, gray(10), gray(200), 0x123456, {{0x56, 0x34, 0x12}, (0x56 + 0x34 + 0x12) / 3}},
        {88, gray(10), gray(200), -1, {{255, 255, 255}, 255}},             // Make-up marker
        {99, gray(10), rgb(30, 60, 91), 0, {{30, 60, 91}, 60}},            // current, its own gray
        {124, rgb(10, 20, 30), gray(0), 0, {{10, 20, 30}, 20}},
        {125, rgb(10, 20, 30), gray(0), 0, {{20, 20, 20}, 20}},
    };
    for (const Case& c : cases) {
        for (const bool tabulated : {true, false}) {
            const auto got = tabulated ? paletteColour(c.code, c.source, c.current, c.marker)
                                       : paletteColourDirect(c.code, c.source, c.current, c.marker);
            ASSERT_TRUE(got) << c.code;
            EXPECT_EQ(*got, c.want) << "code " << c.code << " marker " << c.marker;
        }
    }
}

TEST(PaletteColour, CodesOutsideTheDispatchGiveNoColour) {
    std::vector<int32_t> none = {0, 31, 87, 89, 98, 100, 123, 126, 127, 128, 255, 256, 1000,
                                 -1, -13, -128, -129, INT32_MIN, INT32_MAX};
    for (int32_t c = 31; c <= 127; ++c)
        if (c != 88 && c != 99 && c != 124 && c != 125) none.push_back(c);
    for (int32_t code : none) {
        EXPECT_FALSE(paletteColour(code, gray(128), gray(3), 0x0000FF)) << code;
        EXPECT_FALSE(paletteColourDirect(code, gray(128), gray(3), 0x0000FF)) << code;
    }
}

TEST(PaletteColour, OnlyTheListedNetworksEvaluate) {
    for (int32_t n = -2; n <= 33; ++n) {
        const bool isNet = (n >= 1 && n <= 13) || n == 15 || n == 17 || (n >= 19 && n <= 28) || n == 30;
        EXPECT_EQ(evaluatePaletteNet(n, 100).has_value(), isNet) << n;
    }
    EXPECT_FALSE(evaluatePaletteNet(2, -1));
    EXPECT_FALSE(evaluatePaletteNet(2, 256));
}
