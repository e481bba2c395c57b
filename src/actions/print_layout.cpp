#include "actions/print_layout.h"

#include <cctype>
#include <climits>
#include <cstdlib>

namespace cw {

std::optional<int> readPrintField(const std::string& text) {
    size_t b = 0, e = text.size();
    while (b < e && text[b] == ' ') ++b;
    while (e > b && text[e - 1] == ' ') --e;
    if (b == e) return std::nullopt;
    // Digits only: no field holds a sign.
    long v = 0;
    for (size_t i = b; i < e; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
        v = v * 10 + (text[i] - '0');
        if (v > INT_MAX / 4) return std::nullopt;
    }
    return int(v);
}

std::string notANumberMessage(const std::string& text) { return "'" + text + "' is not a valid integer value"; }

std::variant<PrintPlacement, std::string> placePicture(const PrintOptions& o, int w, int h, int pw, int ph) {
    const auto left = readPrintField(o.leftMargin);
    if (!left) return notANumberMessage(o.leftMargin);
    const auto top = readPrintField(o.topMargin);
    if (!top) return notANumberMessage(o.topMargin);
    int W = w, H = h;
    if (w <= 0 || h <= 0) return std::string("There is no picture to print.");
    const int a = pw - 1 - *left;
    const int b = ph - 1 - *top;
    // The fit divides by the room the margins leave; and a margin at or past
    // the page's edge leaves nothing of the page for the picture.
    if (o.fitPage && (a <= 0 || b <= 0)) return std::string(kMarginsTooLarge);
    if ((!o.centreHorizontally && *left >= pw) || (!o.centreVertically && *top >= ph))
        return std::string(kMarginsTooLarge);
    if (o.fitPage) {
        // Scales w x h by a whole factor so that `side` fits in `room`: up when
        // it is smaller, down when it is not.
        const auto fit = [&](int side, int room) {
            if (side < room) {
                const int k = room / side;
                W = k * w;
                H = k * h;
            } else {
                const int k = side / room;
                W = w / k;
                H = h / k;
            }
        };
        fit(w, a);
        if (H < 0) H = 0;
        if (H >= ph) {
            fit(h, b);
            if (W < 0) W = 0;
        }
    } else {
        const auto fx = readPrintField(o.horizontalFactor);
        if (!fx) return notANumberMessage(o.horizontalFactor);
        const auto fy = readPrintField(o.verticalFactor);
        if (!fy) return notANumberMessage(o.verticalFactor);
        if (*fx > 0) {
            if (o.enlargeHorizontally) W = w * *fx;
            else if (o.reduceHorizontally) W = w / *fx;
        }
        if (*fy > 0) {
            if (o.enlargeVertically) H = h * *fy;
            else if (o.reduceVertically) H = h / *fy;
        }
    }
    PrintPlacement p;
    p.width = W;
    p.height = H;
    p.x = o.centreHorizontally ? pw / 2 - W / 2 : *left;
    p.y = o.centreVertically ? ph / 2 - H / 2 : *top;
    return p;
}

} // namespace cw
