#include "batch.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <istream>
#include <stdexcept>
#include <streambuf>

#include <unistd.h>

#include "actions/action_table.h"
#include "actions/headless_host.h"
#include "actions/session.h"
#include "actions/setting_table.h"
#include "codecs/bmp_writer.h"
#include "codecs/replacing_file.h"
#include "core/catalogue.h"
#include "core/progress.h"
#include "core/regular_file.h"
#include "document/tool_settings.h"
#include "tools/interaction.h"
#include "tools/tool_choice.h"
#include "tools/tool_registry.h"

namespace cw {

bool splitWords(const std::string& line, std::vector<std::string>& words) {
    words.clear();
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        if (i >= line.size()) break;
        std::string word;
        if (line[i] == '"') {
            const auto close = line.find('"', i + 1);
            if (close == std::string::npos) return false;
            word = line.substr(i + 1, close - i - 1);
            i = close + 1;
        } else {
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) word += line[i++];
        }
        words.push_back(word);
    }
    return true;
}

namespace {

struct ScriptError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A dump that could not be written: the script goes on, and its status says
// that not every file was written.
struct OutputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class BatchMessages final : public Messages {
public:
    explicit BatchMessages(std::ostream& err) : err_(err) {}
    void info(const std::string& t) override { err_ << "message: " << t << '\n'; }
    bool confirm(const std::string& t) override {
        err_ << "message: " << t << '\n';
        return true;
    }
    void error(const std::string& t) override {
        err_ << "message: " << t << '\n';
        ++errors;
    }
    int errors = 0;

private:
    std::ostream& err_;
};

// Answers the next dialog with the path the command names.
class BatchDialogs final : public Dialogs {
public:
    std::optional<std::string> next;
    std::optional<int32_t> nextColour;
    std::optional<int32_t> pickColour() override {
        auto c = nextColour;
        nextColour.reset();
        return c;
    }
    std::vector<std::string> openFiles(const FileDialogRequest&) override {
        if (!next) return {};
        auto v = std::vector<std::string>{*next};
        next.reset();
        return v;
    }
    std::optional<std::string> saveFile(const FileDialogRequest&) override {
        auto v = next;
        next.reset();
        return v;
    }
};

class BatchProgress final : public Progress {
public:
    uint64_t abortAtPoll = 0;  // 0: never
    BatchProgress() { hookEveryPoll(); }

protected:
    void polled(uint64_t n) override {
        if (abortAtPoll != 0 && n == abortAtPoll) {
            abortPressed();
            abortAtPoll = 0;
        }
    }
};

class Runner {
public:
    Runner(std::ostream& out, std::ostream& err, const std::string& scratch)
        : out_(out), messages_(err), session_(progress_, messages_, dialogs_, host_, scratch) {
        host_.session = &session_;
        last_ = std::chrono::steady_clock::now();
    }

    bool outputFailed = false;  // a save or a dump did not write its file

    void run(const std::vector<std::string>& w) {
        const std::string& cmd = w[0];
        if (const Action* a = findAction(cmd); a && a->scripted) {
            const int errorsBefore = messages_.errors;
            runAction(*a, w);
            // SaveAs reports its failure in a message box and keeps the old file.
            if (cmd == "save" && messages_.errors != errorsBefore) outputFailed = true;
        } else if (cmd == "set") {
            need(w, 3);
            set(w[1], w[2]);
        } else if (cmd == "dump") {
            need(w, 3);
            dump(w[1], w[2]);
        } else if (cmd == "tool") {
            need(w, 2);
            tool(w[1]);
        } else if (cmd == "press" || cmd == "release") {
            const PointerWords p = pointerWords(w, "wrong number of arguments to " + cmd, buttonNamed);
            if (cmd == "press") pointerPress(session_, p.button, p.shift, p.x, p.y);
            else pointerUp(session_, p.button, p.shift, p.x, p.y);
        } else if (cmd == "move") {
            if (w.size() != 3 && !(w.size() == 4 && w[3] == "shift")) throw ScriptError("usage: move X Y [shift]");
            picture();
            pointerMove(session_, w.size() == 4, coordinate(w[1]), coordinate(w[2]));
        } else if (cmd == "click") {
            need(w, 1);
            picture();
            pointerClick(session_);
        } else if (cmd == "tap") {
            tap(w);
        } else if (cmd == "drag") {
            drag(w);
        } else if (cmd == "abort-after") {
            need(w, 2);
            const long poll = number(w[1], 0, INT32_MAX);
            if (poll < 1) throw ScriptError("abort-after needs a poll count of 1 or more: " + w[1]);
            progress_.abortAtPoll = uint64_t(poll);
        } else if (cmd == "time") {
            need(w, 2);
            const auto now = std::chrono::steady_clock::now();
            out_ << "time " << w[1] << ' '
                 << std::chrono::duration_cast<std::chrono::milliseconds>(now - last_).count() << '\n';
            last_ = now;
        } else {
            throw ScriptError("unknown command " + cmd);
        }
    }

private:
    static void need(const std::vector<std::string>& w, size_t n) {
        if (w.size() != n) throw ScriptError("wrong number of arguments to " + w[0]);
    }
    Workspace& picture() {
        if (!session_.imageWindowOpen || !session_.ws) throw ScriptError("no picture is open");
        return *session_.ws;
    }
    static long number(const std::string& s, long lo, long hi) {
        char* end = nullptr;
        const long v = std::strtol(s.c_str(), &end, 10);
        if (s.empty() || *end != '\0') throw ScriptError("not a number: " + s);
        return v < lo ? lo : v > hi ? hi : v;
    }
    static bool onOff(const std::string& s) {
        if (s == "on") return true;
        if (s == "off") return false;
        throw ScriptError("expected on or off: " + s);
    }

    static int32_t coordinate(const std::string& v) { return int32_t(number(v, INT32_MIN / 2, INT32_MAX / 2)); }
    static MouseButton buttonNamed(const std::string& b) {
        if (b == "left") return MouseButton::Left;
        if (b == "right") return MouseButton::Right;
        if (b == "middle") return MouseButton::Middle;
        throw ScriptError("not a button: " + b);
    }

    // The words a row's input takes, checked before its rule: a bad line
    // says what is wrong with it even when no picture is open.
    void runAction(const Action& a, const std::vector<std::string>& w) {
        std::string_view named;
        switch (a.input) {
        case ActionInput::None: need(w, 1); break;
        case ActionInput::OpenDialog:
        case ActionInput::SaveDialog: need(w, 2); break;
        case ActionInput::Named:
            if (a.name == "palette") {
                named = paletteNamed(w);
            } else {
                need(w, 2);
                named = w[1];
            }
            break;
        }
        if (!actionEnabled(a, session_)) throw ScriptError("no picture is open");
        if (a.input == ActionInput::OpenDialog || a.input == ActionInput::SaveDialog) dialogs_.next = w[1];
        if (!triggerAction(session_, a, named)) throw ScriptError(failure(a, w));
    }

    std::string failure(const Action& a, const std::vector<std::string>& w) const {
        if (a.name == "load") return "cannot load " + w[1];
        if (a.name == "restore") return "cannot restore " + session_.openFileName;
        if (a.name == "palette") return "no palette " + w[1];
        if (a.name == "quick-brush") return "no quick brush " + w[1];
        return "the picture could not be rebuilt";
    }

    // Custom takes its colour as the colour dialog's answer.
    std::string_view paletteNamed(const std::vector<std::string>& w) {
        if (w.size() < 2 || w.size() > 3) throw ScriptError("usage: palette CAPTION");
        if (w[1] == kCustomCaption) {
            if (w.size() != 3 || w[2].size() != 7 || w[2][0] != '#') throw ScriptError("usage: palette Custom #RRGGBB");
            // Six hex digits and nothing else: strtoul alone would take a sign or blanks.
            if (!std::all_of(w[2].begin() + 1, w[2].end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }))
                throw ScriptError("not a colour: " + w[2]);
            const unsigned long rgbValue = std::strtoul(w[2].c_str() + 1, nullptr, 16);
            dialogs_.nextColour = int32_t(((rgbValue >> 16) & 0xff) | (rgbValue & 0xff00) | ((rgbValue & 0xff) << 16));
        } else if (w.size() != 2) {
            throw ScriptError("usage: palette CAPTION");
        }
        return w[1];
    }

    void tool(const std::string& name) {
        const Tool* tool = toolNamed(name);
        if (!tool) throw ScriptError("unknown tool " + name);
        selectTool(session_.tools, *tool);
    }

    void tap(const std::vector<std::string>& w) {
        static const std::string usage = "usage: tap X Y [left|right] [shift]";
        const PointerWords p = pointerWords(w, usage, [](const std::string& b) {
            if (b == "left" || b == "right") return buttonNamed(b);
            throw ScriptError(usage);
        });
        pointerTap(session_, p.button, p.shift, p.x, p.y);
    }

    // `X Y [button] [shift]` after a pointer command, the button named as
    // `button` takes it; the picture must be open.
    struct PointerWords {
        int32_t x, y;
        MouseButton button = MouseButton::Left;
        bool shift = false;
    };
    PointerWords pointerWords(const std::vector<std::string>& w, const std::string& countError,
                              MouseButton (*button)(const std::string&)) {
        if (w.size() < 3 || w.size() > 5) throw ScriptError(countError);
        picture();
        PointerWords p{coordinate(w[1]), coordinate(w[2])};
        for (size_t i = 3; i < w.size(); ++i) {
            if (w[i] == "shift") p.shift = true;
            else p.button = button(w[i]);
        }
        return p;
    }

    void drag(std::vector<std::string> w) {
        const bool shift = w.back() == "shift";
        if (shift) w.pop_back();
        if (w.size() < 5 || (w.size() - 1) % 2 != 0) throw ScriptError("usage: drag X1 Y1 X2 Y2 [X3 Y3 ...] [shift]");
        picture();
        std::vector<std::pair<int32_t, int32_t>> points;
        for (size_t i = 1; i < w.size(); i += 2) points.emplace_back(coordinate(w[i]), coordinate(w[i + 1]));
        pointerPress(session_, MouseButton::Left, shift, points[0].first, points[0].second);
        for (size_t i = 1; i < points.size(); ++i) pointerMove(session_, shift, points[i].first, points[i].second);
        const auto [lx, ly] = points.back();
        pointerRelease(session_, MouseButton::Left, shift, lx, ly, insidePicture(session_, lx, ly));
    }

    void set(const std::string& key, const std::string& value) {
        const Setting* setting = findSetting(key);
        if (!setting) throw ScriptError("unknown setting " + key);
        setSetting(session_, *setting, settingValue(*setting, value));
    }

    static long settingValue(const Setting& setting, const std::string& value) {
        switch (setting.kind) {
        case SettingKind::Bool: return onOff(value);
        case SettingKind::Int: return number(value, setting.min, setting.max);
        case SettingKind::Choice: break;
        }
        std::string words;
        for (size_t i = 0; i < setting.choices.size(); ++i) {
            if (value == setting.choices[i]) return setting.min + long(i);
            words += std::string(i == 0 ? "" : " or ") + std::string(setting.choices[i]);
        }
        throw ScriptError(std::string(setting.name) + " is " + words);
    }

    void dump(const std::string& what, const std::string& path) {
        if (what == "state") return dumpState(path);
        if (what == "anchors") return dumpAnchors(path);
        Workspace& ws = picture();
        try {
            if (what == "display") writeBmp24(ws.display, path);
            else if (what == "colour") writeBmp24(ws.colour, path);
            else if (what == "source") writeBmp24(ws.source, path);
            else if (what == "codes") writeWholeFile(path, ws.codes.get(), ws.pixelCount());
            else throw ScriptError("unknown dump " + what);
        } catch (const SaveError& e) {
            throw OutputError(cannotWrite(path, e));
        }
    }

    static std::string cannotWrite(const std::string& path, const SaveError& e) {
        return "cannot write " + path + (e.error() != 0 ? std::string(": ") + std::strerror(e.error()) : "");
    }

    // Dumps replace their file whole, as saves do: a failed one leaves the old file.
    static void writeText(const std::string& path, const std::string& text) {
        try {
            writeWholeFile(path, text.data(), text.size());
        } catch (const SaveError& e) {
            throw OutputError(cannotWrite(path, e));
        }
    }

    void dumpAnchors(const std::string& path) {
        const Workspace& ws = picture();
        std::ostringstream f;
        for (const Anchor& a : ws.anchors)
            f << a.x << ' ' << a.y << ' ' << a.size << ' ' << int(a.code) << ' ' << int(a.status) << '\n';
        writeText(path, f.str());
    }

    void dumpState(const std::string& path) {
        const Session& s = session_;
        const Workspace* ws = s.ws.get();
        auto rect = [](const Rect& r) {
            return std::to_string(r.x1) + "," + std::to_string(r.y1) + "," + std::to_string(r.x2) + "," +
                   std::to_string(r.y2);
        };
        std::ostringstream f;
        f << "width=" << (ws ? ws->width : 0) << '\n'
          << "height=" << (ws ? ws->height : 0) << '\n'
          << "PaletteCode=" << s.palette.paletteCode << '\n'
          << "MarkerColour=" << s.palette.markerColour << '\n'
          << "BlendStrength=" << s.palette.blendStrength << '\n'
          << "DamperOn=" << int(s.palette.damperOn) << '\n'
          << "ShiftHeld=" << int(s.pointer.shiftHeld) << '\n'
          << "InvertOn=" << int(s.effects.invertOn) << '\n'
          << "CurrentTool=" << s.tools.currentTool << '\n'
          << "FreePixelCount=" << (ws ? ws->freePixelCount : 0) << '\n'
          << "SelectionActive=" << int(ws && ws->selectionActive) << '\n'
          << "PaintLimitRect=" << rect(s.pointer.paintLimitRect) << '\n'
          << "SelectionRect=" << rect(ws ? ws->selectionRect : Rect{}) << '\n'
          << "ImageModified=" << int(ws && ws->imageModified) << '\n'
          << "GrayStep=" << s.markUpGrayStep << '\n'
          << "IntegrationTolerance=" << s.controls.integration << '\n'
          << "MinObjectSize=" << s.markUpSizes.minObjectSize << '\n'
          << "MinAnchorSeparation=" << s.markUpSizes.minAnchorSeparation << '\n'
          << "SelectionCaption=" << s.palette.selectionCaption << '\n';
        writeText(path, f.str());
    }

    std::ostream& out_;
    BatchMessages messages_;
    BatchDialogs dialogs_;
    BatchProgress progress_;
    HeadlessHost host_;
    Session session_;
    std::chrono::steady_clock::time_point last_;
};

} // namespace

namespace {

// Longer lines are no script's: a runaway one is refused before it fills memory.
constexpr size_t kMaxLineBytes = size_t(1) << 20;

// The script read from a descriptor. A failed read throws rather than
// looking like the end of the script, which would drop the lines after it.
class ScriptSource final : public std::streambuf {
public:
    ScriptSource(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}

protected:
    int_type underflow() override {
        for (;;) {
            const ssize_t got = ::read(fd_, buffer_, sizeof buffer_);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) throw ScriptError("cannot read " + name_ + ": " + std::strerror(errno));
            if (got == 0) return traits_type::eof();
            setg(buffer_, buffer_, buffer_ + got);
            return traits_type::to_int_type(buffer_[0]);
        }
    }

private:
    int fd_;
    std::string name_;
    char buffer_[65536];
};

// The next line without its end of line; false once the script has ended.
bool nextLine(std::streambuf& in, std::string& line) {
    line.clear();
    int c = in.sbumpc();
    if (c == std::char_traits<char>::eof()) return false;
    for (; c != std::char_traits<char>::eof() && c != '\n'; c = in.sbumpc()) {
        if (c == 0) throw ScriptError("the line holds a NUL byte");
        if (line.size() == kMaxLineBytes) throw ScriptError("the line is longer than 1 MB");
        line += char(c);
    }
    return true;
}

} // namespace

int runScript(std::istream& in, std::ostream& out, std::ostream& err, const std::string& scratchFolder) {
    Runner runner(out, err, scratchFolder);
    std::string line;
    std::vector<std::string> words;
    for (long n = 1;; ++n) {
        try {
            if (!nextLine(*in.rdbuf(), line)) break;
            if (!splitWords(line, words)) throw ScriptError("unterminated quote");
            if (words.empty() || words[0][0] == '#') continue;
            runner.run(words);
        } catch (const OutputError& e) {
            out.flush();
            err << "line " << n << ": " << e.what() << '\n';
            runner.outputFailed = true;
        } catch (const std::exception& e) {
            out.flush();
            err << "line " << n << ": " << e.what() << '\n';
            return 2;
        }
    }
    return runner.outputFailed ? 1 : 0;
}

int runScriptFile(const std::string& path, std::ostream& out, std::ostream& err, const std::string& scratchFolder) {
    int fd = 0;
    if (path != "-") {
        try {
            fd = RegularFile(path).release();
        } catch (const FileReadError& e) {
            err << "cannot read " << e.what() << '\n';
            return 2;
        }
    }
    ScriptSource source(fd, path == "-" ? "standard input" : path);
    std::istream in(&source);
    const int status = runScript(in, out, err, scratchFolder);
    if (fd != 0) ::close(fd);
    return status;
}

} // namespace cw
