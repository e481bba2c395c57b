#include "actions/work_file.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstring>
#include <map>
#include <string_view>
#include <thread>
#include <vector>

#include "actions/setting_table.h"
#include "codecs/ora_file.h"
#include "codecs/picture_formats.h"
#include "core/helper_threads.h"
#include "core/image_error.h"
#include "core/palette_networks.h"
#include "document/document.h"
#include "tools/tool_choice.h"

namespace cw {

// The work as read, checked and waiting to be put back.
struct WorkState {
    Bitmap colour;
    std::optional<Bitmap> display;
    std::vector<uint8_t> codes;
    AnchorList anchors;
    std::map<std::string, long long, std::less<>> numbers;
    std::string caption;
};

OpenedWork::OpenedWork() = default;
OpenedWork::~OpenedWork() = default;
OpenedWork::OpenedWork(OpenedWork&&) noexcept = default;
OpenedWork& OpenedWork::operator=(OpenedWork&&) noexcept = default;

namespace {

constexpr std::string_view kFirstLine = "chromawell-work 1";
// The coloured picture is also the flattened one: the layer keeps its
// pixels in the merged picture's entry, stored once.
constexpr const char* kColourLayer = "mergedimage.png";
constexpr const char* kOriginalLayer = "data/original.png";
constexpr const char* kCodesLayer = "data/codes.png";
constexpr const char* kDisplayLayer = "data/shown.png";
// A caption is a menu item's; the state file holds a line for each anchor,
// and mark-up finds at most one anchor per pixel.
constexpr size_t kMaxCaption = 256;
constexpr size_t kStateBytesFixed = 64 * 1024;
constexpr size_t kAnchorLineBytes = 64;

// The document's values a work file keeps besides the setting table's, by
// the name they have in it, each with the range it may take: a value out of
// range is held to it, as a control would hold it.
template <typename D, typename Visit>
void eachValue(D& d, int32_t width, int32_t height, Visit&& v) {
    const int32_t maxPixels = int32_t(std::min<int64_t>(int64_t(width) * height, INT32_MAX));
    v("integration-step", d.controls.integrationStep, 1, kComplexityRange.max + 1);
    v("layered-shown", d.controls.layeredShown, 0, 1);
    v("image-span", d.imageSpan, 1, INT32_MAX);
    v("min-object-size", d.markUpSizes.minObjectSize, 0, INT32_MAX);
    v("min-anchor-separation", d.markUpSizes.minAnchorSeparation, 0, INT32_MAX);
    v("gray-step", d.markUpGrayStep, 1, 256);
    v("palette-code", d.palette.paletteCode, INT32_MIN, INT32_MAX);  // checked as a code on reading
    v("marker-colour", d.palette.markerColour, INT32_MIN, INT32_MAX);
    v("damper-checked", d.palette.damperChecked, 0, 1);
    v("damper-on", d.palette.damperOn, 0, 1);
    v("strength", d.palette.strength, 0, 9);
    v("blend-strength", d.palette.blendStrength, 1, 14);
    v("brush-width-now", d.tools.brushWidth, 2, 40);
    v("brush-height-now", d.tools.brushHeight, 2, 40);
    v("free-pixel-count", d.ws->freePixelCount, 0, maxPixels);
    v("current-pixel", d.ws->curPixelIndex, 0, maxPixels);
    v("selection-active", d.ws->selectionActive, 0, 1);
    v("selection-x1", d.ws->selectionRect.x1, 0, width);
    v("selection-y1", d.ws->selectionRect.y1, 0, height);
    v("selection-x2", d.ws->selectionRect.x2, 0, width);
    v("selection-y2", d.ws->selectionRect.y2, 0, height);
    v("crop-pending", d.cropPending, 0, 1);
    v("paint-limit-x1", d.pointer.paintLimitRect.x1, 0, width);
    v("paint-limit-y1", d.pointer.paintLimitRect.y1, 0, height);
    v("paint-limit-x2", d.pointer.paintLimitRect.x2, 0, width);
    v("paint-limit-y2", d.pointer.paintLimitRect.y2, 0, height);
}

// Codes a pixel or an anchor may carry: none, the eraser's, and those a
// palette answers to.
bool isPixelCode(int32_t code) {
    if (code == 0 || code == kCodeOriginal) return true;
    return code > 0 && code < 128 && paletteColourDirect(code, rgb(128, 128, 128), rgb(128, 128, 128), 0).has_value();
}

std::string stateText(const Document& d) {
    const Workspace& ws = *d.ws;
    std::string t = std::string(kFirstLine) + "\n";
    t += "width " + std::to_string(ws.width) + "\nheight " + std::to_string(ws.height) + "\n";
    t += "picture " + d.pictureName + "\n";
    for (const Setting& s : settings()) t += "set." + std::string(s.name) + " " + std::to_string(s.get(d)) + "\n";
    t += "current-tool " + std::to_string(d.tools.currentTool) + "\n";
    eachValue(d, ws.width, ws.height, [&](const char* key, const auto& value, long long, long long) {
        t += std::string(key) + " " + std::to_string(static_cast<long long>(value)) + "\n";
    });
    t += "caption " + d.palette.selectionCaption + "\n";
    for (const Anchor& a : ws.anchors) {
        t += "anchor " + std::to_string(a.x) + " " + std::to_string(a.y) + " " + std::to_string(a.size) + " " +
             std::to_string(a.code) + " " + std::to_string(a.status) + "\n";
    }
    return t;
}

[[noreturn]] void refuse() { throw InvalidImage("not a work file of this program"); }

long long numberIn(std::string_view s) {
    long long v = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (error != std::errc() || end != s.data() + s.size() || s.empty()) refuse();
    return v;
}

// The state file's lines; anything it does not know is refused, so that a
// damaged file is not half taken.
void readState(std::string_view text, int32_t width, int32_t height, WorkState& w) {
    if (!text.starts_with(kFirstLine)) refuse();
    bool sawWidth = false, sawHeight = false;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.empty() || line == kFirstLine) continue;
        const size_t space = line.find(' ');
        if (space == std::string_view::npos) refuse();
        const std::string_view key = line.substr(0, space), value = line.substr(space + 1);
        if (key == "picture") continue;
        if (key == "caption") {
            if (value.size() > kMaxCaption) refuse();
            w.caption = std::string(value);
        } else if (key == "anchor") {
            Anchor a;
            long long f[5];
            std::string_view rest = value;
            for (long long& x : f) {
                const size_t gap = std::min(rest.find(' '), rest.size());
                x = numberIn(rest.substr(0, gap));
                rest.remove_prefix(std::min(gap + 1, rest.size()));
            }
            if (!rest.empty() || f[0] < 0 || f[0] >= width || f[1] < 0 || f[1] >= height || f[2] < 0 ||
                f[2] > INT32_MAX || f[3] < -1 || f[3] > 127 || (f[3] != -1 && !isPixelCode(int32_t(f[3]))) ||
                (f[4] != 0 && f[4] != -1))
                refuse();
            a.x = int32_t(f[0]), a.y = int32_t(f[1]), a.size = int32_t(f[2]);
            a.code = int8_t(f[3]), a.status = int8_t(f[4]);
            w.anchors.push_back(a);
        } else {
            const long long n = numberIn(value);
            if (key == "width") sawWidth = n == width;
            if (key == "height") sawHeight = n == height;
            w.numbers[std::string(key)] = n;
        }
    }
    if (!sawWidth || !sawHeight) refuse();
    // The palette painted with: a palette's code, or the eraser's.
    if (auto code = w.numbers.find("palette-code");
        code != w.numbers.end() && (code->second == 0 || !isPixelCode(int32_t(std::clamp<long long>(code->second, -1, 255)))))
        refuse();
}

} // namespace

bool isWorkFileName(const std::string& name) { return upperExtension(name) == ".ORA"; }

// The planes a work file is written from: the document's own, or a copy.
struct WorkPlanes {
    int32_t width = 0, height = 0;
    const uint32_t* colour = nullptr;
    const uint32_t* display = nullptr;  // null where it equals the colour
    const uint32_t* original = nullptr; // null where the original is gray
    const uint8_t* grayOriginal = nullptr;
    const uint8_t* codes = nullptr;
    std::string state;
};

WorkCopy::WorkCopy(int32_t width, int32_t height)
    : colour(width, height), display(width, height), source(width, height), codes(size_t(width) * size_t(height)) {
    for (Bitmap* b : {&colour, &display, &source}) prefault(b->data(), b->pixelCount() * sizeof(uint32_t));
}

namespace {

// The original as a gray layer when it is gray (as a photo to colour is):
// a third of the bytes of an RGB one. Empty when it is not.
std::vector<uint8_t> grayLayerOf(const Bitmap& source) {
    const size_t n = source.pixelCount();
    const uint32_t* p = source.data();
    std::vector<uint8_t> gray;
    if (!std::all_of(p, p + n, [](uint32_t c) { return redOf(c) == greenOf(c) && greenOf(c) == blueOf(c); }))
        return gray;
    gray.resize(n);
    for (size_t i = 0; i < n; ++i) gray[i] = uint8_t(p[i]);
    return gray;
}

void writePlanes(const WorkPlanes& w, const std::string& path) {
    OraOut ora;
    ora.width = w.width;
    ora.height = w.height;
    ora.layers.push_back({"Colour", kColourLayer, true, w.colour, nullptr});
    if (w.display) ora.layers.push_back({"Shown", kDisplayLayer, false, w.display, nullptr});
    ora.layers.push_back({"Original", kOriginalLayer, false, w.original, w.grayOriginal});
    ora.layers.push_back({"Codes", kCodesLayer, false, nullptr, w.codes});
    ora.mergedFrom = 0;
    ora.extraFiles.push_back({kWorkStateEntry, w.state});
    writeOra(ora, path);
}

bool displayDiffers(const Workspace& ws) {
    return std::memcmp(ws.display.data(), ws.colour.data(), ws.pixelCount() * sizeof(uint32_t)) != 0;
}

} // namespace

void writeWorkFile(const Document& d, const std::string& path) {
    const Workspace& ws = *d.ws;
    const std::vector<uint8_t> gray = grayLayerOf(ws.source);
    WorkPlanes w{ws.width, ws.height, ws.colour.data(), displayDiffers(ws) ? ws.display.data() : nullptr,
                 gray.empty() ? ws.source.data() : nullptr, gray.empty() ? nullptr : gray.data(),
                 reinterpret_cast<const uint8_t*>(ws.codes.get()), stateText(d)};
    writePlanes(w, path);
}

void copyWork(const Document& d, WorkCopy& c) {
    // Copies only: what can be left out is found while the copy is written.
    const Workspace& ws = *d.ws;
    c.colour.copyFrom(ws.colour);
    c.display.copyFrom(ws.display);
    c.source.copyFrom(ws.source);
    std::memcpy(c.codes.data(), ws.codes.get(), ws.pixelCount());
    c.state = stateText(d);
}

void writeWorkCopy(const WorkCopy& c, const std::string& path) {
    const std::vector<uint8_t> gray = grayLayerOf(c.source);
    const bool displayDiffers =
        std::memcmp(c.display.data(), c.colour.data(), c.colour.pixelCount() * sizeof(uint32_t)) != 0;
    writePlanes({c.colour.width(), c.colour.height(), c.colour.data(), displayDiffers ? c.display.data() : nullptr,
                 gray.empty() ? c.source.data() : nullptr, gray.empty() ? nullptr : gray.data(), c.codes.data(), c.state},
                path);
}

OpenedWork readWorkFile(const std::string& path) {
    const OraReader ora(path);
    return readWork(ora, &path);
}

OpenedWork readWorkFile(const uint8_t* data, size_t size) {
    const OraReader ora(data, size);
    return readWork(ora);
}

OpenedWork readWork(const OraReader& ora, const std::string* path) {
    OpenedWork opened;
    if (!ora.has(kWorkStateEntry)) {
        opened.picture = ora.readMerged();
        return opened;
    }
    const int32_t width = ora.width(), height = ora.height();
    auto w = std::make_shared<WorkState>();
    const size_t stateBytes = kStateBytesFixed + size_t(width) * size_t(height) / 16 * kAnchorLineBytes;
    readState(ora.readFile(kWorkStateEntry, std::min<size_t>(stateBytes, size_t(1) << 30)), width, height, *w);
    // Every layer of ours, found by its place in the stack, not its name.
    bool hasColour = false, hasOriginal = false, hasCodes = false;
    for (const OraLayerIn& layer : ora.layers()) {
        if (layer.x != 0 || layer.y != 0) refuse();
        if (layer.src == kColourLayer) hasColour = true;
        if (layer.src == kOriginalLayer) hasOriginal = true;
        if (layer.src == kCodesLayer) hasCodes = true;
    }
    if (!hasColour || !hasOriginal || !hasCodes) refuse();
    // The colour, the largest layer, decoded on a second thread through a
    // reader of its own while this one decodes the rest.
    std::thread second;
    std::exception_ptr secondFailed;
    if (path && helperThreadsAllowed()) {
        try {
            second = std::thread([&] {
                try {
                    w->colour = OraReader(*path).readRgb(kColourLayer);
                } catch (...) {
                    secondFailed = std::current_exception();
                }
            });
        } catch (const std::system_error&) {
        }
    }
    try {
        if (!second.joinable()) w->colour = ora.readRgb(kColourLayer);
        w->codes = ora.readGray8(kCodesLayer);
        bool valid[256];
        for (int c = 0; c < 256; ++c) valid[c] = isPixelCode(int8_t(c));
        if (!std::all_of(w->codes.begin(), w->codes.end(), [&](uint8_t c) { return valid[c]; })) refuse();
        if (ora.has(kDisplayLayer)) w->display = ora.readRgb(kDisplayLayer);
        opened.picture = ora.readRgb(kOriginalLayer);
    } catch (...) {
        if (second.joinable()) second.join();
        throw;
    }
    if (second.joinable()) second.join();
    if (secondFailed) std::rethrow_exception(secondFailed);
    opened.work = std::move(w);
    return opened;
}

std::string workPictureName(const std::string& path) {
    try {
        const OraReader ora(path);
        const std::string state = ora.readFile(kWorkStateEntry, kStateBytesFixed + (size_t(64) << 20));
        const size_t at = state.find("\npicture ");
        if (at == std::string::npos) return {};
        const size_t end = state.find('\n', at + 1);
        return state.substr(at + 9, end == std::string::npos ? std::string::npos : end - at - 9);
    } catch (const std::exception&) {
        return {};
    }
}

void putBackWork(Document& d, const WorkState& w) {
    Workspace& ws = *d.ws;
    const size_t n = ws.pixelCount();
    std::memcpy(ws.colour.data(), w.colour.data(), n * sizeof(uint32_t));
    std::memcpy(ws.display.data(), (w.display ? *w.display : w.colour).data(), n * sizeof(uint32_t));
    std::memcpy(ws.codes.get(), w.codes.data(), n);
    ws.anchors = w.anchors;
    auto number = [&](std::string_view key) -> std::optional<long long> {
        const auto it = w.numbers.find(key);
        return it == w.numbers.end() ? std::nullopt : std::optional(it->second);
    };
    // The controls first, through their change rules, as the windows set
    // them; then what those rules derive, as it was when saved.
    for (const Setting& s : settings()) {
        if (const auto v = number("set." + std::string(s.name))) s.put(d, int32_t(std::clamp<long long>(*v, s.min, s.max)));
    }
    if (const auto tool = number("current-tool"); tool && *tool >= kToolBrush && *tool <= kToolRectangle)
        selectTool(d.tools, int32_t(*tool));
    eachValue(d, ws.width, ws.height, [&](const char* key, auto& value, long long lo, long long hi) {
        if (const auto v = number(key)) value = static_cast<std::remove_reference_t<decltype(value)>>(std::clamp(*v, lo, hi));
    });
    if (!w.caption.empty()) d.palette.selectionCaption = w.caption;
    ws.imageModified = false;
}

} // namespace cw
