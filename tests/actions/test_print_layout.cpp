#include <gtest/gtest.h>

#include <variant>

#include "actions/print_layout.h"

using namespace cw;

namespace {
PrintPlacement placed(const PrintOptions& o, int w, int h, int pw, int ph) {
    const auto r = placePicture(o, w, h, pw, ph);
    EXPECT_TRUE(std::holds_alternative<PrintPlacement>(r)) << std::get<std::string>(r);
    return std::holds_alternative<PrintPlacement>(r) ? std::get<PrintPlacement>(r) : PrintPlacement{};
}
std::string refused(const PrintOptions& o, int w, int h, int pw, int ph) {
    const auto r = placePicture(o, w, h, pw, ph);
    return std::holds_alternative<std::string>(r) ? std::get<std::string>(r) : "printed";
}
} // namespace

TEST(PrintLayout, FitToPageByWholeFactors) {
    PrintOptions fit;
    fit.fitPage = true;
    struct Row {
        int w, h, W, H;
    };
    for (const Row& r : {Row{400, 300, 2000, 1500}, Row{5000, 1000, 2500, 500}, Row{9000, 1000, 3000, 333},
                         Row{3000, 100, 3000, 100}, Row{100, 5000, 100, 5000}}) {
        const PrintPlacement p = placed(fit, r.w, r.h, 2400, 3200);
        EXPECT_EQ(std::pair(p.width, p.height), std::pair(r.W, r.H)) << r.w << " x " << r.h;
        EXPECT_EQ(std::pair(p.x, p.y), std::pair(0, 0));
    }
    // Margins count against the room: 2400 - 1 - 399 = 2000, so factor 5.
    fit.leftMargin = " 399";
    EXPECT_EQ(placed(fit, 400, 300, 2400, 3200).width, 2000);
    EXPECT_EQ(placed(fit, 400, 300, 2400, 3200).x, 399);
}

TEST(PrintLayout, CentringFactorsAndMargins) {
    PrintOptions o;
    o.centreHorizontally = true;
    EXPECT_EQ(placed(o, 1000, 10, 4800, 3200).x, 1900);
    o.centreVertically = true;
    EXPECT_EQ(placed(o, 1000, 11, 4800, 3201).y, 1600 - 5);

    PrintOptions f;
    f.enlargeHorizontally = true;
    f.horizontalFactor = " 3";
    f.reduceVertically = true;
    f.verticalFactor = "4 ";
    f.leftMargin = "  12";
    f.topMargin = "34  ";
    const PrintPlacement p = placed(f, 100, 90, 2400, 3200);
    EXPECT_EQ(p.width, 300);
    EXPECT_EQ(p.height, 22);
    EXPECT_EQ(std::pair(p.x, p.y), std::pair(12, 34));
    f.horizontalFactor = " 0";  // a factor of 0 leaves the size
    EXPECT_EQ(placed(f, 100, 90, 2400, 3200).width, 100);
}

TEST(PrintLayout, FieldsWithoutDigitsAreRefused) {
    PrintOptions o;
    o.leftMargin = "    ";
    EXPECT_EQ(refused(o, 10, 10, 100, 100), "'    ' is not a valid integer value");
    o.leftMargin = "0";
    o.horizontalFactor = "  ";
    EXPECT_EQ(refused(o, 10, 10, 100, 100), "'  ' is not a valid integer value");
}

TEST(PrintLayout, MarginsThatLeaveNoRoomAreRefused) {
    // A 10 x 10 picture on a 100 x 100 page: the fit divides by 99 - margin.
    struct Row {
        const char *left, *top;
        bool fit, centred, refused;
    };
    const Row rows[] = {{"  99", "0", true, false, true},   {"0", "  99", true, false, true},
                        {"  98", "  98", true, false, false}, {"  99", "  99", false, false, false},
                        {" 100", "0", false, false, true},  {"0", " 100", false, false, true},
                        {"9999", "9999", false, true, false}};
    for (const Row& r : rows) {
        PrintOptions o;
        o.leftMargin = r.left;
        o.topMargin = r.top;
        o.fitPage = r.fit;
        o.centreHorizontally = o.centreVertically = r.centred;
        const std::string why = refused(o, 10, 10, 100, 100);
        EXPECT_EQ(why, r.refused ? kMarginsTooLarge : "printed") << r.left << "," << r.top << " fit " << r.fit;
        if (!r.refused && !r.centred) {
            const PrintPlacement p = placed(o, 10, 10, 100, 100);
            EXPECT_EQ(std::pair(p.x, p.y), std::pair(*readPrintField(r.left), *readPrintField(r.top)));
        }
    }
}

TEST(PrintLayout, FieldsReadDigitsOnly) {
    const std::pair<const char*, std::optional<int>> rows[] = {
        {"  42 ", 42}, {"0042", 42}, {"4 2", std::nullopt}, {"-999", std::nullopt}, {"+5", std::nullopt}, {"1e3", std::nullopt}};
    for (const auto& [text, value] : rows) EXPECT_EQ(readPrintField(text), value) << text;
}
