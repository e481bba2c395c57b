#include <gtest/gtest.h>

#include "actions/print_layout.h"

using namespace cw;

// Each row: the dialog's fields, a w x h picture on a pw x ph page, then where and how big it prints, or why not.
TEST(PrintLayout, PlacesThePictureOrSaysWhyNot) {
    const std::string notANumber = "' is not a valid integer value", printed;
    const struct { bool fit, centreH, centreV; const char *left, *top, *hFactor, *vFactor; char hMode, vMode; int w, h, pw, ph;
                   PrintPlacement want; std::string refused; } rows[] = {
        // Fit to page scales by whole factors, up or down, to the width unless that is too tall.
        {true, 0, 0, "0", "0", "0", "0", 0, 0, 400, 300, 2400, 3200, {0, 0, 2000, 1500}, printed},
        {true, 0, 0, "0", "0", "0", "0", 0, 0, 5000, 1000, 2400, 3200, {0, 0, 2500, 500}, printed},
        {true, 0, 0, "0", "0", "0", "0", 0, 0, 9000, 1000, 2400, 3200, {0, 0, 3000, 333}, printed},
        {true, 0, 0, "0", "0", "0", "0", 0, 0, 3000, 100, 2400, 3200, {0, 0, 3000, 100}, printed},
        {true, 0, 0, "0", "0", "0", "0", 0, 0, 100, 5000, 2400, 3200, {0, 0, 100, 5000}, printed},
        {true, 0, 0, " 399", "0", "0", "0", 0, 0, 400, 300, 2400, 3200, {399, 0, 2000, 1500}, printed},  // 2400-1-399: factor 5
        {false, 1, 0, "0", "0", "0", "0", 0, 0, 1000, 10, 4800, 3200, {1900, 0, 1000, 10}, printed},
        {false, 1, 1, "0", "0", "0", "0", 0, 0, 1000, 11, 4800, 3201, {1900, 1595, 1000, 11}, printed},
        // Factors and margins are read between blanks; a factor of 0 leaves the size.
        {false, 0, 0, "  12", "34  ", " 3", "4 ", 'e', 'r', 100, 90, 2400, 3200, {12, 34, 300, 22}, printed},
        {false, 0, 0, "  12", "34  ", " 0", "4 ", 'e', 'r', 100, 90, 2400, 3200, {12, 34, 100, 22}, printed},
        {false, 0, 0, "0", "0", "2", "3", 'r', 'e', 100, 90, 2400, 3200, {0, 0, 50, 270}, printed},
        {false, 0, 0, "    ", "0", "0", "0", 0, 0, 10, 10, 100, 100, {}, "'    " + notANumber},
        {false, 0, 0, "0", "0", "  ", "0", 0, 0, 10, 10, 100, 100, {}, "'  " + notANumber},
        {false, 0, 0, "0", "x", "0", "0", 0, 0, 10, 10, 100, 100, {}, "'x" + notANumber},
        {false, 0, 0, "0", "0", "0", "-1", 0, 0, 10, 10, 100, 100, {}, "'-1" + notANumber},
        // The fit divides by 99 - margin; a margin at the page's edge leaves no room unless centred.
        {true, 0, 0, "  99", "0", "0", "0", 0, 0, 10, 10, 100, 100, {}, kMarginsTooLarge},
        {true, 0, 0, "0", "  99", "0", "0", 0, 0, 10, 10, 100, 100, {}, kMarginsTooLarge},
        {true, 0, 0, "  98", "  98", "0", "0", 0, 0, 10, 10, 100, 100, {98, 98, 1, 1}, printed},  // a room of 1
        {false, 0, 0, "  99", "  99", "0", "0", 0, 0, 10, 10, 100, 100, {99, 99, 10, 10}, printed},
        {false, 0, 0, " 100", "0", "0", "0", 0, 0, 10, 10, 100, 100, {}, kMarginsTooLarge},
        {false, 0, 0, "0", " 100", "0", "0", 0, 0, 10, 10, 100, 100, {}, kMarginsTooLarge},
        {false, 1, 1, "9999", "9999", "0", "0", 0, 0, 10, 10, 100, 100, {45, 45, 10, 10}, printed},
    };
    const auto placed = [](const PrintPlacement& p) { return std::tuple(p.x, p.y, p.width, p.height); };
    for (const auto& r : rows) {
        const PrintOptions o{r.centreH, r.centreV, r.left, r.top, r.fit, r.hMode == 'e', r.hMode == 'r', r.hFactor,
                             r.vMode == 'e', r.vMode == 'r', r.vFactor};
        const auto got = placePicture(o, r.w, r.h, r.pw, r.ph);
        const std::string row = std::string(r.left) + "|" + r.top + "|" + r.hFactor + "|" + r.vFactor + " " + std::to_string(r.w);
        const auto* p = std::get_if<PrintPlacement>(&got);
        EXPECT_EQ(p ? printed : std::get<std::string>(got), r.refused) << row;
        if (p) { EXPECT_EQ(placed(*p), placed(r.want)) << row; }
    }
    const std::pair<const char*, std::optional<int>> fields[] = {
        {"  42 ", 42}, {"0042", 42}, {"4 2", std::nullopt}, {"-999", std::nullopt}, {"+5", std::nullopt}, {"1e3", std::nullopt}};
    for (const auto& [text, value] : fields) EXPECT_EQ(readPrintField(text), value) << text;
}
