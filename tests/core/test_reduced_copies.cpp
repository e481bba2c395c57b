#include "core/reduced_copies.h"
#include "core_rig.h"

namespace {
using namespace cw;

// Channel by channel, rounded to nearest, an odd last column or row paired with itself.
Bitmap halvedOracle(const Bitmap& from) {
    Bitmap to((from.width() + 1) / 2, (from.height() + 1) / 2);
    for (int y = 0; y < to.height(); ++y)
        for (int x = 0; x < to.width(); ++x) {
            uint32_t out = 0;
            for (int shift : {0, 8, 16, 24}) {
                uint32_t sum = 2;
                for (int dy : {0, 1})
                    for (int dx : {0, 1})
                        sum += (from.at(std::min(2 * x + dx, from.width() - 1), std::min(2 * y + dy, from.height() - 1)) >> shift) & 255;
                out |= (sum / 4) << shift;
            }
            to.at(x, y) = out;
        }
    return to;
}

bool same(const Bitmap& a, const Bitmap& b) {
    return a.width() == b.width() && a.height() == b.height() && std::equal(a.data(), a.data() + a.pixelCount(), b.data());
}

} // namespace

// Each copy is the halved copy before it, also after changes to rectangles of
// the picture that are brought in one by one, several together, or skipped at
// the lower levels until a higher one is asked for.
TEST(ReducedCopies, EachCopyHalvesTheOneBeforeAfterEveryChange) {
    std::mt19937 random(7);
    for (auto [w, h] : {std::pair{1001, 517}, {130, 129}, {4096, 3}}) {
        Bitmap pic(w, h);
        for (size_t i = 0; i < pic.pixelCount(); ++i) pic.data()[i] = random() | 0xff000000u;
        ReducedCopies copies;
        copies.reset(w, h);
        for (int round = 0; round < 6; ++round) {
            const int level = round == 2 ? 1 : copies.levels();
            copies.bringUpToDate(pic, level);
            Bitmap expected = halvedOracle(pic);
            for (int k = 1; k <= level; expected = halvedOracle(expected), ++k)
                ASSERT_TRUE(same(copies.copy(k), expected)) << w << "x" << h << " copy " << k << " round " << round;
            for (int n = 0; n < 1 + round % 3; ++n) {
                const int x1 = int(random() % unsigned(w)), y1 = int(random() % unsigned(h));
                const Rect r{x1, y1, std::min(w, x1 + 1 + int(random() % 300)), std::min(h, y1 + 1 + int(random() % 200))};
                for (int y = r.y1; y < r.y2; ++y)
                    for (int x = r.x1; x < r.x2; ++x) pic.at(x, y) = random() | 0xff000000u;
                copies.changed(r);
            }
        }
        if (h > 500) {
            EXPECT_LE(copies.bytes() * 3, pic.pixelCount() * 4) << "at most a third of the picture";
        }
        EXPECT_LE(std::max(copies.copy(copies.levels()).width(), copies.copy(copies.levels()).height()), ReducedCopies::kSmallestSide);
    }
}
