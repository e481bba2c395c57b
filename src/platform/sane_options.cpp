#include "platform/sane_options.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <sane/saneopts.h>

namespace cw {

namespace {

// Bounds on what a backend hands us, so that a broken one cannot make us
// walk an unterminated list or allocate without limit.
constexpr SANE_Int kMaxOptions = 4096;
constexpr size_t kMaxListEntries = 4096;
constexpr SANE_Int kMaxStringOption = 64 * 1024;
constexpr double kMaxFixed = 32767.0;

std::string lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool scalar(const SANE_Option_Descriptor* d) { return d->size == SANE_Int(sizeof(SANE_Word)); }

std::vector<std::string> stringList(const SANE_Option_Descriptor* d) {
    std::vector<std::string> out;
    if (d->type != SANE_TYPE_STRING || d->constraint_type != SANE_CONSTRAINT_STRING_LIST ||
        !d->constraint.string_list)
        return out;
    for (size_t i = 0; i < kMaxListEntries && d->constraint.string_list[i]; ++i)
        out.emplace_back(d->constraint.string_list[i]);
    return out;
}

double toDouble(const SANE_Option_Descriptor* d, SANE_Word w) {
    return d->type == SANE_TYPE_FIXED ? SANE_UNFIX(w) : double(w);
}

} // namespace

bool isFeederSource(const std::string& source) {
    const std::string s = lower(source);
    return s.find("adf") != std::string::npos || s.find("feeder") != std::string::npos ||
           s.find("duplex") != std::string::npos;
}

DeviceOffer DeviceOptions::offer() {
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

SANE_Status DeviceOptions::apply(const ScanSettings& set) {
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

std::string DeviceOptions::currentSource() {
    auto opt = option(SANE_NAME_SCAN_SOURCE);
    return opt && SANE_OPTION_IS_ACTIVE(opt->desc->cap) ? stringValue(*opt) : std::string();
}

std::optional<DeviceOptions::Option> DeviceOptions::option(const char* name) {
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

std::optional<DeviceOptions::Option> DeviceOptions::settableOption(const char* name) {
    auto opt = option(name);
    if (opt && SANE_OPTION_IS_ACTIVE(opt->desc->cap) && SANE_OPTION_IS_SETTABLE(opt->desc->cap)) return opt;
    return std::nullopt;
}

std::string DeviceOptions::stringValue(const Option& o) {
    const SANE_Option_Descriptor* d = o.desc;
    if (d->type != SANE_TYPE_STRING || d->size < 1 || d->size > kMaxStringOption) return {};
    std::vector<char> buf(size_t(d->size) + 1, '\0');  // the extra byte ends a backend's unterminated value
    if (api_->control_option(handle_, o.index, SANE_ACTION_GET_VALUE, buf.data(), nullptr) != SANE_STATUS_GOOD)
        return {};
    return buf.data();
}

ResolutionOffer DeviceOptions::resolutionOffer(const Option& o) {
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

SANE_Status DeviceOptions::control(const Option& o, void* value) {
    SANE_Int info = 0;
    return api_->control_option(handle_, o.index, SANE_ACTION_SET_VALUE, value, &info);
}

SANE_Status DeviceOptions::setNumber(const Option& o, double v) {
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
SANE_Status DeviceOptions::setText(const std::string& name, const std::string& value) {
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

} // namespace cw
