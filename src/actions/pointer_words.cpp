#include "actions/pointer_words.h"

#include <cstdint>
#include <utility>

#include "actions/script_run.h"
#include "tools/interaction.h"

namespace cw {

namespace {

int32_t coordinate(const std::string& v) { return int32_t(number(v, INT32_MIN / 2, INT32_MAX / 2)); }

// move and drag read a point's Y before its X, and press, release and tap
// its X first, as each always has: a line with two bad coordinates keeps
// naming the one it named.
std::pair<int32_t, int32_t> point(const std::string& x, const std::string& y) {
    const int32_t py = coordinate(y);
    return {coordinate(x), py};
}

MouseButton buttonNamed(const std::string& b) {
    if (b == "left") return MouseButton::Left;
    if (b == "right") return MouseButton::Right;
    if (b == "middle") return MouseButton::Middle;
    throw ScriptError("not a button: " + b);
}

struct PointerWords {
    int32_t x, y;
    MouseButton button = MouseButton::Left;
    bool shift = false;
};

// `X Y [button] [shift]` after the command, the button read by `button`; the
// count is checked before the picture, so a bad line says what is wrong
// with it even when no picture is open.
PointerWords pointerWords(ScriptRun& r, const Words& w, const std::string& countError,
                          MouseButton (*button)(const std::string&)) {
    if (w.size() < 3 || w.size() > 5) throw ScriptError(countError);
    r.picture();
    PointerWords p{coordinate(w[1]), coordinate(w[2])};
    for (size_t i = 3; i < w.size(); ++i) {
        if (w[i] == "shift") p.shift = true;
        else p.button = button(w[i]);
    }
    return p;
}

} // namespace

void pressWord(ScriptRun& r, const Words& w) {
    const PointerWords p = pointerWords(r, w, "wrong number of arguments to " + w[0], buttonNamed);
    pointerPress(r.session, p.button, p.shift, p.x, p.y);
}

void releaseWord(ScriptRun& r, const Words& w) {
    const PointerWords p = pointerWords(r, w, "wrong number of arguments to " + w[0], buttonNamed);
    pointerUp(r.session, p.button, p.shift, p.x, p.y);
}

void moveWord(ScriptRun& r, const Words& w) {
    if (w.size() != 3 && !(w.size() == 4 && w[3] == "shift")) throw ScriptError("usage: move X Y [shift]");
    r.picture();
    const auto [x, y] = point(w[1], w[2]);
    pointerMove(r.session, w.size() == 4, x, y);
}

void clickWord(ScriptRun& r, const Words& w) {
    need(w, 1);
    r.picture();
    pointerClick(r.session);
}

// A tap is a click: the middle button has none.
void tapWord(ScriptRun& r, const Words& w) {
    static const std::string usage = "usage: tap X Y [left|right] [shift]";
    const PointerWords p = pointerWords(r, w, usage, [](const std::string& b) {
        if (b == "left" || b == "right") return buttonNamed(b);
        throw ScriptError(usage);
    });
    pointerTap(r.session, p.button, p.shift, p.x, p.y);
}

void dragWord(ScriptRun& r, const Words& line) {
    Words w = line;
    const bool shift = w.back() == "shift";
    if (shift) w.pop_back();
    if (w.size() < 5 || (w.size() - 1) % 2 != 0) throw ScriptError("usage: drag X1 Y1 X2 Y2 [X3 Y3 ...] [shift]");
    r.picture();
    std::vector<std::pair<int32_t, int32_t>> points;
    for (size_t i = 1; i < w.size(); i += 2) points.push_back(point(w[i], w[i + 1]));
    pointerPress(r.session, MouseButton::Left, shift, points[0].first, points[0].second);
    for (size_t i = 1; i < points.size(); ++i) pointerMove(r.session, shift, points[i].first, points[i].second);
    const auto [lx, ly] = points.back();
    pointerRelease(r.session, MouseButton::Left, shift, lx, ly, insidePicture(r.session, lx, ly));
}

} // namespace cw
