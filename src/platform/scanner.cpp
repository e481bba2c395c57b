#include "platform/scanner.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <thread>

#include "core/image_error.h"
#include "platform/sane_api.h"

#include <sane/saneopts.h>

namespace cw {

namespace {

// Bounds on what a backend hands us, so that a broken one cannot make us
// walk an unterminated list or allocate without limit.
constexpr SANE_Int kMaxOptions = 4096;
constexpr size_t kMaxDevices = 4096;
constexpr size_t kMaxListEntries = 4096;
constexpr SANE_Int kMaxStringOption = 64 * 1024;
constexpr SANE_Int kReadChunk = 1 << 20;
constexpr size_t kDiscardChunk = 64 * 1024;
// A device that keeps answering "no data yet" is given about a minute.
constexpr int kMaxIdleReads = 60000;
constexpr auto kIdlePause = std::chrono::milliseconds(1);
constexpr double kMaxFixed = 32767.0;

std::string text(SANE_String_Const s) { return s ? s : ""; }

std::string lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

int channelsOf(FrameFormat f) { return f == FrameFormat::Rgb ? 3 : 1; }
bool isBand(FrameFormat f) { return f == FrameFormat::Red || f == FrameFormat::Green || f == FrameFormat::Blue; }
unsigned bandBit(FrameFormat f) {
    return f == FrameFormat::Red ? 1u : f == FrameFormat::Green ? 2u : f == FrameFormat::Blue ? 4u : 0u;
}

// Sample i of a line of one-sample pixels as 0..255.
inline uint32_t sampleAt(const uint8_t* line, size_t i, int depth) {
    if (depth == 8) return line[i];
    if (depth == 16) {
        uint16_t v;
        std::memcpy(&v, line + 2 * i, sizeof v);
        return v >> 8;
    }
    return ((line[i >> 3] >> (7 - (i & 7))) & 1u) ? 255u : 0u;
}

// Channel c of pixel x of an RGB line. Colour lineart comes in groups of
// eight pixels: a byte of their red bits, one of green, one of blue.
inline uint32_t rgbSampleAt(const uint8_t* line, size_t x, size_t c, int depth) {
    if (depth != 1) return sampleAt(line, x * 3 + c, depth);
    return ((line[(x >> 3) * 3 + c] >> (7 - (x & 7))) & 1u) ? 255u : 0u;
}

bool layoutOf(const SANE_Parameters& p, FrameLayout& f) {
    switch (p.format) {
    case SANE_FRAME_GRAY: f.format = FrameFormat::Gray; break;
    case SANE_FRAME_RGB: f.format = FrameFormat::Rgb; break;
    case SANE_FRAME_RED: f.format = FrameFormat::Red; break;
    case SANE_FRAME_GREEN: f.format = FrameFormat::Green; break;
    case SANE_FRAME_BLUE: f.format = FrameFormat::Blue; break;
    default: return false;  // compressed, infrared and text frames are not pictures we read
    }
    f.depth = p.depth;
    f.width = p.pixels_per_line;
    f.bytesPerLine = p.bytes_per_line;
    return frameLayoutValid(f);
}

enum class Transfer { Page, NoDocs, Cancelled, Failed };

} // namespace

bool isFeederSource(const std::string& source) {
    const std::string s = lower(source);
    return s.find("adf") != std::string::npos || s.find("feeder") != std::string::npos ||
           s.find("duplex") != std::string::npos;
}

bool frameLayoutValid(const FrameLayout& f) {
    if (f.depth != 1 && f.depth != 8 && f.depth != 16) return false;
    if (f.width < 1 || f.bytesPerLine < 1) return false;
    const uint64_t channels = uint64_t(channelsOf(f.format));
    const uint64_t needed = f.depth == 1 ? channels * ((uint64_t(f.width) + 7) / 8)
                                         : uint64_t(f.width) * channels * uint64_t(f.depth) / 8;
    return uint64_t(f.bytesPerLine) >= needed;
}

bool convertFrame(const FrameLayout& f, const uint8_t* data, int32_t rows, Bitmap& into) {
    if (!frameLayoutValid(f) || rows < 0 || !data || into.width() < f.width || into.height() < rows) return false;
    for (int32_t y = 0; y < rows; ++y) {
        const uint8_t* line = data + size_t(y) * size_t(f.bytesPerLine);
        uint32_t* out = into.row(y);
        switch (f.format) {
        case FrameFormat::Gray:
            for (int32_t x = 0; x < f.width; ++x) {
                uint32_t v = sampleAt(line, size_t(x), f.depth);
                if (f.depth == 1) v = 255 - v;  // lineart: a set bit is black
                out[x] = rgb(v, v, v);
            }
            break;
        case FrameFormat::Rgb:
            for (int32_t x = 0; x < f.width; ++x) {
                const size_t i = size_t(x);
                out[x] = rgb(rgbSampleAt(line, i, 0, f.depth), rgbSampleAt(line, i, 1, f.depth),
                             rgbSampleAt(line, i, 2, f.depth));
            }
            break;
        case FrameFormat::Red:
        case FrameFormat::Green:
        case FrameFormat::Blue: {
            const int shift = f.format == FrameFormat::Red ? 16 : f.format == FrameFormat::Green ? 8 : 0;
            const uint32_t keep = ~(0xffu << shift);
            for (int32_t x = 0; x < f.width; ++x)
                out[x] = 0xff000000u | (out[x] & keep) | (sampleAt(line, size_t(x), f.depth) << shift);
            break;
        }
        }
    }
    return true;
}

// One session with SANE. Every step moves the scanner's state; the
// destructor walks it back to the first state whatever happened.
class Scanner::Session {
public:
    explicit Session(Scanner& s) : s_(s) {}
    ~Session() { closeDown(); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool load() {
        api_ = saneApi();
        if (!api_) return false;
        s_.state_ = ScanState::ManagerLoaded;
        return true;
    }

    SANE_Status openManager() {
        SANE_Int version = 0;
        const SANE_Status st = api_->init(&version, nullptr);
        if (st != SANE_STATUS_GOOD) return st;
        inited_ = true;
        s_.state_ = ScanState::ManagerOpen;
        return SANE_VERSION_MAJOR(version) == SANE_CURRENT_MAJOR ? SANE_STATUS_GOOD : SANE_STATUS_UNSUPPORTED;
    }

    std::vector<ScanDevice> devices() {
        std::vector<ScanDevice> out;
        const SANE_Device** list = nullptr;
        if (api_->get_devices(&list, SANE_FALSE) != SANE_STATUS_GOOD || !list) return out;
        for (size_t i = 0; i < kMaxDevices && list[i]; ++i) {
            const SANE_Device* d = list[i];
            if (!d->name || !*d->name) continue;
            out.push_back({d->name, text(d->vendor), text(d->model), text(d->type)});
        }
        return out;
    }

    // Opens `name`; an open device is closed only once the new one is open.
    SANE_Status openDevice(const std::string& name) {
        SANE_Handle h = nullptr;
        const SANE_Status st = api_->open(name.c_str(), &h);
        if (st != SANE_STATUS_GOOD) return st;
        if (!h) return SANE_STATUS_INVAL;
        if (handle_) api_->close(handle_);
        handle_ = h;
        deviceName_ = name;
        s_.state_ = ScanState::SourceOpen;
        return SANE_STATUS_GOOD;
    }
    const std::string& deviceName() const { return deviceName_; }

    void enable() { s_.state_ = ScanState::SourceEnabled; }

    DeviceOffer offer() {
        DeviceOffer o;
        if (auto opt = settableOption(SANE_NAME_SCAN_MODE)) {
            o.modes = stringList(opt->desc);
            o.mode = stringValue(*opt);
        }
        if (auto opt = settableOption(SANE_NAME_SCAN_RESOLUTION)) o.resolution = resolutionOffer(*opt);
        if (auto opt = settableOption(SANE_NAME_SCAN_SOURCE)) {
            o.sources = stringList(opt->desc);
            o.source = stringValue(*opt);
        }
        return o;
    }

    SANE_Status apply(const ScanSettings& set) {
        SANE_Status st = SANE_STATUS_GOOD;
        if (!set.mode.empty() && (st = setText(SANE_NAME_SCAN_MODE, set.mode)) != SANE_STATUS_GOOD) return st;
        if (!set.source.empty() && (st = setText(SANE_NAME_SCAN_SOURCE, set.source)) != SANE_STATUS_GOOD) return st;
        for (const auto& [name, value] : set.options)
            if ((st = setText(name, value)) != SANE_STATUS_GOOD) return st;
        if (set.resolution > 0) {
            auto opt = settableOption(SANE_NAME_SCAN_RESOLUTION);
            if (!opt) return SANE_STATUS_UNSUPPORTED;
            if ((st = setNumber(*opt, set.resolution)) != SANE_STATUS_GOOD) return st;
        }
        return SANE_STATUS_GOOD;
    }

    std::string currentSource() {
        auto opt = option(SANE_NAME_SCAN_SOURCE);
        return opt && SANE_OPTION_IS_ACTIVE(opt->desc->cap) ? stringValue(*opt) : std::string();
    }

    // One picture: one frame, or the three bands of a three-pass scan.
    Transfer transferPage(Bitmap& out, int& status) {
        unsigned bands = 0;
        int frames = 0;
        int32_t height = 0;
        for (;;) {
            SANE_Status st = api_->start(handle_);
            if (st == SANE_STATUS_NO_DOCS && frames == 0) {
                status = st;
                return Transfer::NoDocs;
            }
            if (st == SANE_STATUS_CANCELLED) return Transfer::Cancelled;
            if (st != SANE_STATUS_GOOD) return failed(status, st);
            scanning_ = true;
            s_.state_ = ScanState::TransferReady;

            SANE_Parameters p{};
            if ((st = api_->get_parameters(handle_, &p)) != SANE_STATUS_GOOD) return failed(status, st);
            FrameLayout f;
            if (!layoutOf(p, f) || p.lines == 0 || p.lines < -1) return failed(status, SANE_STATUS_INVAL);
            if (frames == 0 && !isBand(f.format) && !p.last_frame) return failed(status, SANE_STATUS_UNSUPPORTED);
            if (frames > 0 && (!isBand(f.format) || (bands & bandBit(f.format)) || f.width != out.width()))
                return failed(status, SANE_STATUS_INVAL);
            if (p.lines > 0 && uint64_t(f.width) * uint64_t(p.lines) > kMaxPixels)
                return failed(status, SANE_STATUS_NO_MEM);

            s_.state_ = ScanState::Transferring;
            std::vector<uint8_t> raw;
            int32_t rows = 0;
            const Transfer t = readFrame(f, p.lines, raw, rows, status);
            if (t != Transfer::Page) return t;
            try {
                if (frames == 0) {
                    ensureMemoryFor(uint64_t(f.width) * uint64_t(rows) * 4);
                    out = Bitmap(f.width, rows);
                    if (isBand(f.format)) std::fill_n(out.data(), out.pixelCount(), 0xff000000u);
                    height = rows;
                }
            } catch (const std::bad_alloc&) {
                return failed(status, SANE_STATUS_NO_MEM);
            }
            height = std::min(height, rows);
            convertFrame(f, raw.data(), height, out);
            bands |= bandBit(f.format);
            ++frames;
            s_.state_ = ScanState::TransferReady;
            if (p.last_frame) break;
            if (frames == 3) return failed(status, SANE_STATUS_INVAL);  // a fourth band cannot belong to this picture
        }
        if (bands != 0 && bands != 7) return failed(status, SANE_STATUS_INVAL);
        if (height < out.height()) {
            Bitmap cropped(out.width(), height);
            std::memcpy(cropped.data(), out.data(), cropped.pixelCount() * sizeof(uint32_t));
            out = std::move(cropped);
        }
        return Transfer::Page;
    }

    // Ends the page sequence: the device stops feeding and is idle again.
    void endTransfers() {
        if (scanning_) api_->cancel(handle_);
        scanning_ = false;
        if (handle_) s_.state_ = ScanState::SourceEnabled;
    }

    void closeDown() {
        if (!api_) return;
        endTransfers();
        if (handle_) {
            s_.state_ = ScanState::SourceOpen;
            api_->close(handle_);
            handle_ = nullptr;
            s_.state_ = ScanState::ManagerOpen;
        }
        if (inited_) {
            api_->exit();
            inited_ = false;
        }
        // The library itself stays mapped for the next session.
        s_.state_ = ScanState::PreSession;
        api_ = nullptr;
    }

private:
    struct Option {
        SANE_Int index;
        const SANE_Option_Descriptor* desc;
    };

    static Transfer failed(int& status, SANE_Status st) {
        status = st;
        return Transfer::Failed;
    }

    std::optional<Option> option(const char* name) {
        SANE_Int count = 0;
        const SANE_Option_Descriptor* d0 = api_->get_option_descriptor(handle_, 0);
        if (!d0 || d0->type != SANE_TYPE_INT || d0->size != sizeof(SANE_Word)) return std::nullopt;
        if (api_->control_option(handle_, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD)
            return std::nullopt;
        count = std::min(count, kMaxOptions);
        for (SANE_Int i = 1; i < count; ++i) {
            const SANE_Option_Descriptor* d = api_->get_option_descriptor(handle_, i);
            if (d && d->name && std::strcmp(d->name, name) == 0) return Option{i, d};
        }
        return std::nullopt;
    }

    std::optional<Option> settableOption(const char* name) {
        auto opt = option(name);
        if (opt && SANE_OPTION_IS_ACTIVE(opt->desc->cap) && SANE_OPTION_IS_SETTABLE(opt->desc->cap)) return opt;
        return std::nullopt;
    }

    static bool scalar(const SANE_Option_Descriptor* d) { return d->size == SANE_Int(sizeof(SANE_Word)); }

    static std::vector<std::string> stringList(const SANE_Option_Descriptor* d) {
        std::vector<std::string> out;
        if (d->type != SANE_TYPE_STRING || d->constraint_type != SANE_CONSTRAINT_STRING_LIST ||
            !d->constraint.string_list)
            return out;
        for (size_t i = 0; i < kMaxListEntries && d->constraint.string_list[i]; ++i)
            out.emplace_back(d->constraint.string_list[i]);
        return out;
    }

    std::string stringValue(const Option& o) {
        const SANE_Option_Descriptor* d = o.desc;
        if (d->type != SANE_TYPE_STRING || d->size < 1 || d->size > kMaxStringOption) return {};
        std::vector<char> buf(size_t(d->size) + 1, '\0');  // the extra byte ends a backend's unterminated value
        if (api_->control_option(handle_, o.index, SANE_ACTION_GET_VALUE, buf.data(), nullptr) != SANE_STATUS_GOOD)
            return {};
        return buf.data();
    }

    double toDouble(const SANE_Option_Descriptor* d, SANE_Word w) const {
        return d->type == SANE_TYPE_FIXED ? SANE_UNFIX(w) : double(w);
    }

    ResolutionOffer resolutionOffer(const Option& o) {
        ResolutionOffer r;
        const SANE_Option_Descriptor* d = o.desc;
        if ((d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED) || !scalar(d)) return r;
        SANE_Word w = 0;
        if (api_->control_option(handle_, o.index, SANE_ACTION_GET_VALUE, &w, nullptr) != SANE_STATUS_GOOD) return r;
        r.current = toDouble(d, w);
        if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list) {
            const SANE_Int n = std::clamp<SANE_Int>(d->constraint.word_list[0], 0, SANE_Int(kMaxListEntries));
            for (SANE_Int i = 1; i <= n; ++i) r.values.push_back(toDouble(d, d->constraint.word_list[i]));
            if (r.values.empty()) return r;
        } else if (d->constraint_type == SANE_CONSTRAINT_RANGE && d->constraint.range) {
            r.min = toDouble(d, d->constraint.range->min);
            r.max = toDouble(d, d->constraint.range->max);
            r.step = toDouble(d, d->constraint.range->quant);
            if (r.max < r.min) return r;
        } else {
            r.min = 1;
            r.max = 9600;
            r.step = 1;
        }
        r.settable = true;
        return r;
    }

    SANE_Status control(const Option& o, void* value) {
        SANE_Int info = 0;
        return api_->control_option(handle_, o.index, SANE_ACTION_SET_VALUE, value, &info);
    }

    SANE_Status setNumber(const Option& o, double v) {
        const SANE_Option_Descriptor* d = o.desc;
        if (!scalar(d) || !std::isfinite(v)) return SANE_STATUS_INVAL;
        SANE_Word w;
        if (d->type == SANE_TYPE_INT) {
            if (std::fabs(v) > 2147483647.0) return SANE_STATUS_INVAL;
            w = SANE_Word(std::lround(v));
        } else if (d->type == SANE_TYPE_FIXED) {
            if (std::fabs(v) > kMaxFixed) return SANE_STATUS_INVAL;
            w = SANE_FIX(v);
        } else {
            return SANE_STATUS_INVAL;
        }
        return control(o, &w);
    }

    // Sets option `name` from text, checked against its type and, for a
    // string list, against the list, before the backend sees it.
    SANE_Status setText(const std::string& name, const std::string& value) {
        auto opt = settableOption(name.c_str());
        if (!opt) return SANE_STATUS_INVAL;
        const SANE_Option_Descriptor* d = opt->desc;
        switch (d->type) {
        case SANE_TYPE_BOOL: {
            if (!scalar(d)) return SANE_STATUS_INVAL;
            const std::string v = lower(value);
            SANE_Word w;
            if (v == "yes" || v == "true" || v == "on" || v == "1") w = SANE_TRUE;
            else if (v == "no" || v == "false" || v == "off" || v == "0") w = SANE_FALSE;
            else return SANE_STATUS_INVAL;
            return control(*opt, &w);
        }
        case SANE_TYPE_INT:
        case SANE_TYPE_FIXED: {
            char* end = nullptr;
            const double v = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0') return SANE_STATUS_INVAL;
            return setNumber(*opt, v);
        }
        case SANE_TYPE_STRING: {
            if (d->size < 1 || d->size > kMaxStringOption || value.size() + 1 > size_t(d->size))
                return SANE_STATUS_INVAL;
            const auto list = stringList(d);
            if (d->constraint_type == SANE_CONSTRAINT_STRING_LIST &&
                std::find(list.begin(), list.end(), value) == list.end())
                return SANE_STATUS_INVAL;
            std::vector<char> buf(size_t(d->size), '\0');
            std::memcpy(buf.data(), value.data(), value.size());
            return control(*opt, buf.data());
        }
        case SANE_TYPE_BUTTON:
            return control(*opt, nullptr);
        default:
            return SANE_STATUS_UNSUPPORTED;
        }
    }

    // Reads one frame until its end. With a known height the buffer is
    // made once; an unknown height (hand scanners) grows it up to the
    // largest picture we take. Data past the announced size is read and
    // dropped, up to a frame's worth: more means the device does not stop.
    Transfer readFrame(const FrameLayout& f, SANE_Int lines, std::vector<uint8_t>& buf, int32_t& rows, int& status) {
        const uint64_t bpl = uint64_t(f.bytesPerLine);
        const uint64_t maxBytes = lines > 0 ? bpl * uint64_t(lines) : bpl * (kMaxPixels / uint64_t(f.width));
        uint64_t filled = 0, excess = 0;
        int idle = 0;
        std::vector<uint8_t> discard;
        try {
            if (lines > 0) {
                ensureMemoryFor(maxBytes + uint64_t(f.width) * uint64_t(lines) * 4);
                buf.resize(size_t(maxBytes));
            }
            for (;;) {
                uint8_t* dst;
                SANE_Int ask;
                const bool keep = filled < buf.size();
                if (keep) {
                    dst = buf.data() + filled;
                    ask = SANE_Int(std::min<uint64_t>(buf.size() - filled, uint64_t(kReadChunk)));
                } else if (lines < 0) {
                    if (buf.size() >= maxBytes) return failed(status, SANE_STATUS_NO_MEM);
                    const uint64_t grown = std::min(maxBytes, std::max<uint64_t>(bpl * 64, uint64_t(buf.size()) * 2));
                    ensureMemoryFor(grown - buf.size());
                    buf.resize(size_t(grown));
                    continue;
                } else {
                    discard.resize(kDiscardChunk);
                    dst = discard.data();
                    ask = SANE_Int(discard.size());
                }
                SANE_Int len = 0;
                const SANE_Status st = api_->read(handle_, dst, ask, &len);
                if (st == SANE_STATUS_EOF) break;
                if (st == SANE_STATUS_CANCELLED) return Transfer::Cancelled;
                if (st != SANE_STATUS_GOOD) return failed(status, st);
                if (len < 0 || len > ask) return failed(status, SANE_STATUS_IO_ERROR);
                if (len == 0) {
                    if (++idle > kMaxIdleReads) return failed(status, SANE_STATUS_IO_ERROR);
                    std::this_thread::sleep_for(kIdlePause);
                    continue;
                }
                idle = 0;
                if (keep) {
                    filled += uint64_t(len);
                } else if ((excess += uint64_t(len)) > std::max(maxBytes, bpl)) {
                    return failed(status, SANE_STATUS_IO_ERROR);
                }
            }
        } catch (const std::bad_alloc&) {
            return failed(status, SANE_STATUS_NO_MEM);
        }
        rows = int32_t(filled / bpl);
        if (rows < 1) return failed(status, SANE_STATUS_IO_ERROR);
        return Transfer::Page;
    }

    Scanner& s_;
    const SaneApi* api_ = nullptr;
    bool inited_ = false;
    SANE_Handle handle_ = nullptr;
    std::string deviceName_;
    bool scanning_ = false;
};

bool Scanner::fail(ScanFault f, int status) {
    if (fault_ == ScanFault::None) {
        fault_ = f;
        lastStatus_ = status;
    }
    return false;
}

static size_t indexOf(const std::vector<ScanDevice>& devices, const std::string& name) {
    for (size_t i = 0; i < devices.size(); ++i)
        if (devices[i].name == name) return i;
    return 0;
}

bool Scanner::selectSource(ScanUi& ui) {
    fault_ = ScanFault::None;
    lastStatus_ = SANE_STATUS_GOOD;
    Session session(*this);
    if (!session.load()) return fail(ScanFault::ManagerNotLoaded, SANE_STATUS_UNSUPPORTED);
    if (const SANE_Status st = session.openManager(); st != SANE_STATUS_GOOD)
        return fail(ScanFault::ManagerNotOpened, st);
    const auto devices = session.devices();
    if (devices.empty()) return false;  // nothing to choose; the acquisition says so
    const auto chosen = ui.chooseDevice(devices, indexOf(devices, selected_));
    if (!chosen || *chosen >= devices.size()) return false;
    selected_ = devices[*chosen].name;
    return true;
}

bool Scanner::acquire(ScanUi& ui) {
    images_.clear();
    fault_ = ScanFault::None;
    lastStatus_ = SANE_STATUS_GOOD;
    Session session(*this);
    if (!session.load()) return fail(ScanFault::ManagerNotLoaded, SANE_STATUS_UNSUPPORTED);
    SANE_Status st = session.openManager();
    if (st != SANE_STATUS_GOOD) return fail(ScanFault::ManagerNotOpened, st);

    const auto devices = session.devices();
    if (devices.empty()) return fail(ScanFault::SourceFailed, SANE_STATUS_INVAL);
    if ((st = session.openDevice(devices[indexOf(devices, selected_)].name)) != SANE_STATUS_GOOD)
        return fail(ScanFault::SourceFailed, st);

    session.enable();
    // The dialog may keep a copy of the request; its device switch must not
    // reach this session once the dialog is over.
    auto live = std::make_shared<Session*>(&session);
    ScanDialogRequest request;
    request.devices = devices;
    request.device = indexOf(devices, session.deviceName());
    request.offer = session.offer();
    request.switchDevice = [live, devices](size_t i) -> std::optional<DeviceOffer> {
        Session* s = *live;
        if (!s || i >= devices.size() || s->openDevice(devices[i].name) != SANE_STATUS_GOOD) return std::nullopt;
        s->enable();
        return s->offer();
    };
    const auto settings = ui.scanDialog(request);
    *live = nullptr;
    if (!settings) return false;  // cancelled in the dialog: no fault

    if (settings->device != session.deviceName()) {
        const auto it = std::find_if(devices.begin(), devices.end(),
                                     [&](const ScanDevice& d) { return d.name == settings->device; });
        if (it == devices.end()) return fail(ScanFault::SourceFailed, SANE_STATUS_INVAL);
        if ((st = session.openDevice(it->name)) != SANE_STATUS_GOOD) return fail(ScanFault::SourceFailed, st);
        session.enable();
    }
    if ((st = session.apply(*settings)) != SANE_STATUS_GOOD) return fail(ScanFault::SourceFailed, st);

    const size_t capacity = std::clamp<size_t>(settings->maxImages, 1, kMaxScanImages);
    const bool feeder = isFeederSource(session.currentSource());
    while (images_.size() < capacity) {
        Bitmap page;
        int status = SANE_STATUS_GOOD;
        const Transfer t = session.transferPage(page, status);
        if (t == Transfer::Page) {
            images_.push_back(std::move(page));
            if (!feeder) break;
            continue;
        }
        if (t == Transfer::Failed || (t == Transfer::NoDocs && images_.empty()))
            fail(ScanFault::TransferFailed, status);
        break;
    }
    session.endTransfers();
    return !images_.empty();
}

Scanner& defaultScanner() {
    static Scanner scanner;
    return scanner;
}

} // namespace cw
