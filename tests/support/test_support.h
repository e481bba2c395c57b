#pragma once
// Shared by the core tests: test data paths, a recording progress meter, scripted messages and dialogs, a session.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "actions/headless_host.h"
#include "actions/ports.h"
#include "actions/session.h"
#include "core/palette_networks.h"
#include "core/progress.h"
#include "core/rect.h"

namespace cwtest {

inline std::string testdata(const std::string& rel) {
    const char* env = std::getenv("CW_TESTDATA");
    return std::string(env && *env ? env : CW_TESTDATA) + "/" + rel;
}

// A fresh empty folder under the system temp folder, removed at scope end even if a test left it read-only.
struct TempDir {
    std::filesystem::path path;
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "cwtest-XXXXXX").string();
        path = ::mkdtemp(tmpl.data()) ? tmpl : throw std::runtime_error("mkdtemp failed");
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path, ec);
    }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

inline std::vector<uint8_t> fileBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + p.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string fileText(const std::filesystem::path& p) {
    const std::vector<uint8_t> b = fileBytes(p);
    return {b.begin(), b.end()};
}

// The permission bits of a path itself (not of what a link points to); 0 when it is missing.
inline unsigned modeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

struct RecordingProgress : cw::Progress {
    int shows = 0, hides = 0, gaugeDraws = 0, pumps = 0;
    uint64_t abortAtPoll = 0;
    std::vector<std::string> phases;
    RecordingProgress() { hookEveryPoll(); }
    void showMeter() override { ++shows; }
    void hideMeter() override { ++hides; }
    void drawGauge() override { ++gaugeDraws; }
    void drawPhase() override { phases.push_back(phase()); }
    void processEvents() override { ++pumps; }
    void polled(uint64_t n) override { if (abortAtPoll && n == abortAtPoll) abortPressed(); }
    bool abortAwaitsPoll() const override { return abortAtPoll != 0; }
};

struct RecordingHost final : cw::WindowHost {
    std::vector<cw::Rect> changed;
    void createImageWindow() override {}
    void showImageWindow() override {}
    void closeImageWindow() override {}
    void displayChanged(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override { changed.push_back({x1, y1, x2, y2}); }
};

// Records the meter's calls in order and what it showed at every poll.
struct ProbeProgress : RecordingProgress {
    std::vector<std::string> events;
    uint64_t polls = 0;
    std::vector<int> gaugeAtPoll;
    bool gaugeSeenAtPoll = false, hiddenAtPoll = false, unlockedAtPoll = false;
    void showMeter() override { events.push_back("show"), RecordingProgress::showMeter(); }
    void hideMeter() override { events.push_back("hide"), RecordingProgress::hideMeter(); }
    void lockWindows(bool on) override { events.push_back(on ? "lock" : "unlock"); }
    void polled(uint64_t n) override {
        polls = n;
        gaugeAtPoll.push_back(progress());
        gaugeSeenAtPoll |= gaugeVisible() || gaugeTextVisible();
        hiddenAtPoll |= !gaugeVisible() || !gaugeTextVisible() || !abortVisible();
        unlockedAtPoll |= !locked();
        RecordingProgress::polled(n);
    }
};

struct ScriptedMessages : cw::Messages {
    std::vector<std::string> shown;
    bool answer = true;
    cw::SaveChoice choice = cw::SaveChoice::Discard;
    void info(const std::string& t) override { shown.push_back(t); }
    bool confirm(const std::string& t) override { return shown.push_back(t), answer; }
    void error(const std::string& t) override { shown.push_back(t); }
    cw::SaveChoice askToSave(const std::string& t) override { return shown.push_back(t), choice; }
};

// Answers the file dialogs from queues (an empty queue cancels) and the colour dialog with `colour`.
struct ScriptedDialogs : cw::Dialogs {
    std::deque<std::vector<std::string>> opens;
    std::deque<std::optional<cw::ChosenFile>> saves;
    std::vector<cw::FileDialogRequest> asked;
    std::optional<int32_t> colour;
    int colourAsked = 0;
    std::vector<std::string> openFiles(const cw::FileDialogRequest& request) override { return next(request, opens).value_or(std::vector<std::string>{}); }
    std::optional<cw::ChosenFile> saveFile(const cw::FileDialogRequest& request) override { return next(request, saves).value_or(std::nullopt); }
    std::optional<int32_t> pickColour() override { return ++colourAsked, colour; }
    template <class T> std::optional<T> next(const cw::FileDialogRequest& request, std::deque<T>& queue) {
        asked.push_back(request);
        if (queue.empty()) return std::nullopt;
        const T v = queue.front();
        return queue.pop_front(), v;
    }
};

inline bool samePixels(const cw::Bitmap& a, const cw::Bitmap& b) {
    return a.width() == b.width() && a.height() == b.height() && std::equal(a.data(), a.data() + a.pixelCount(), b.data());
}

// A session over scripted services, a HeadlessHost pointed at it, and, if named, a scratch folder in the rig's folder.
template <class ProgressT = RecordingProgress, class HostT = cw::HeadlessHost>
struct SessionRig {
    TempDir dir;
    ProgressT progress;
    ScriptedMessages messages;
    ScriptedDialogs dialogs;
    HostT host;
    cw::Session s;
    explicit SessionRig(const char* scratch = nullptr)
        : s{progress, messages, dialogs, host, scratch ? dir / scratch : std::string("/nonexistent")} {
        if constexpr (requires { host.session; }) host.session = &s;
    }
    cw::Workspace& ws() const { return *s.ws; }
    size_t at(int32_t x, int32_t y) const { return size_t(y) * size_t(s.ws->width) + size_t(x); }
    int8_t code(int32_t x, int32_t y) const { return s.ws->codes[at(x, y)]; }
    // Nothing (no outline, band or marker) is drawn over the working picture.
    bool displayIsColour() const { return samePixels(s.ws->display, s.ws->colour); }
};

// The smallest rectangle (inclusive) around the pixels with `code`; all -1 when none has it.
inline cw::Rect codeBox(const cw::Workspace& ws, int8_t code) {
    cw::Rect r{INT32_MAX, INT32_MAX, -1, -1};
    for (int32_t y = 0; y < ws.height; ++y)
        for (int32_t x = 0; x < ws.width; ++x)
            if (ws.codes[size_t(y) * size_t(ws.width) + size_t(x)] == code)
                r = {std::min(r.x1, x), std::min(r.y1, y), std::max(r.x2, x), std::max(r.y2, y)};
    return r.x2 < 0 ? cw::Rect{-1, -1, -1, -1} : r;
}

inline constexpr uint32_t gray(uint32_t g) { return cw::rgb(g, g, g); }

// The colour a network palette gives a source pixel, from the untabulated formulas, clamped as stored.
inline uint32_t networkColour(int32_t code, uint32_t source) {
    const cw::Rgb c = cw::paletteColourDirect(code, source, source, 0).value().rgb;
    return cw::rgb(uint32_t(std::clamp(c.r, 0, 255)), uint32_t(std::clamp(c.g, 0, 255)), uint32_t(std::clamp(c.b, 0, 255)));
}

} // namespace cwtest
