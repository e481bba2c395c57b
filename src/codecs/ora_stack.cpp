#include "codecs/ora_stack.h"

#include "core/image_error.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace cw::ora {
namespace {

constexpr auto npos = std::string_view::npos;

[[noreturn]] void refuse(const std::string& why) { throw InvalidImage("OpenRaster stack.xml: " + why); }

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The characters XML 1.0 allows, whether written out or as a reference.
bool isXmlChar(uint32_t c) {
    return c == 0x9 || c == 0xa || c == 0xd || (c >= 0x20 && c <= 0xd7ff) || (c >= 0xe000 && c <= 0xfffd) ||
           (c >= 0x10000 && c <= 0x10ffff);
}

void appendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xc0 | c >> 6);
        out += char(0x80 | (c & 0x3f));
    } else if (c < 0x10000) {
        out += char(0xe0 | c >> 12);
        out += char(0x80 | ((c >> 6) & 0x3f));
        out += char(0x80 | (c & 0x3f));
    } else {
        out += char(0xf0 | c >> 18);
        out += char(0x80 | ((c >> 12) & 0x3f));
        out += char(0x80 | ((c >> 6) & 0x3f));
        out += char(0x80 | (c & 0x3f));
    }
}

// "#38" or "#x26", the name of a character reference without & and ;.
uint32_t characterReference(std::string_view ref) {
    const bool hex = ref.size() > 1 && ref[1] == 'x';
    const std::string_view digits = ref.substr(hex ? 2 : 1);
    uint32_t c = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), c, hex ? 16 : 10);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || !isXmlChar(c))
        refuse("a bad character reference &" + std::string(ref) + ";");
    return c;
}

std::string attributeValue(std::string_view v) {
    std::string out;
    out.reserve(v.size());
    for (size_t i = 0; i < v.size();) {
        if (v[i] == '<') refuse("'<' in an attribute value");
        if (v[i] != '&') {
            out += v[i++];
            continue;
        }
        const size_t end = v.find(';', i);
        if (end == npos) refuse("an '&' that begins no entity");
        const std::string_view name = v.substr(i + 1, end - i - 1);
        if (name == "amp")
            out += '&';
        else if (name == "lt")
            out += '<';
        else if (name == "gt")
            out += '>';
        else if (name == "quot")
            out += '"';
        else if (name == "apos")
            out += '\'';
        else if (name.starts_with('#'))
            appendUtf8(out, characterReference(name));
        else
            refuse("the unknown entity &" + std::string(name) + ";");
        i = end + 1;
    }
    return out;
}

int32_t integer(std::string_view v, const char* what) {
    while (!v.empty() && isSpace(v.front())) v.remove_prefix(1);
    while (!v.empty() && isSpace(v.back())) v.remove_suffix(1);
    if (v.starts_with('+')) v.remove_prefix(1);
    int32_t n = 0;
    const auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), n);
    if (v.empty() || error != std::errc() || end != v.data() + v.size())
        refuse(std::string(what) + " \"" + std::string(v) + "\" is not a whole number within range");
    return n;
}

struct Tag {
    std::string_view name;
    std::vector<std::pair<std::string_view, std::string>> attributes;
    bool empty = false;  // <name ... />

    const std::string* find(std::string_view attribute) const {
        for (const auto& [n, v] : attributes)
            if (n == attribute) return &v;
        return nullptr;
    }
};

// The start tag at xml[at] == '<'; `at` moves past its '>'.
Tag startTag(std::string_view xml, size_t& at) {
    Tag tag;
    size_t i = at + 1;
    const auto nameEnd = [&](size_t k) { return k >= xml.size() || isSpace(xml[k]) || xml[k] == '/' || xml[k] == '>'; };
    while (!nameEnd(i) && xml[i] != '=') ++i;
    tag.name = xml.substr(at + 1, i - at - 1);
    if (tag.name.empty()) refuse("a '<' that begins no element");
    for (;;) {
        while (i < xml.size() && isSpace(xml[i])) ++i;
        if (i >= xml.size()) refuse("the file ends inside <" + std::string(tag.name) + ">");
        if (xml[i] == '>') {
            at = i + 1;
            return tag;
        }
        if (xml[i] == '/') {
            if (i + 1 >= xml.size() || xml[i + 1] != '>') refuse("a '/' inside <" + std::string(tag.name) + ">");
            tag.empty = true;
            at = i + 2;
            return tag;
        }
        const size_t nameAt = i;
        while (!nameEnd(i) && xml[i] != '=') ++i;
        const std::string_view name = xml.substr(nameAt, i - nameAt);
        while (i < xml.size() && isSpace(xml[i])) ++i;
        if (name.empty() || i >= xml.size() || xml[i] != '=')
            refuse("an attribute without a value in <" + std::string(tag.name) + ">");
        ++i;
        while (i < xml.size() && isSpace(xml[i])) ++i;
        const char quote = i < xml.size() ? xml[i] : '\0';
        const size_t end = quote == '"' || quote == '\'' ? xml.find(quote, i + 1) : npos;
        if (end == npos) refuse("the value of " + std::string(name) + " is not quoted");
        if (tag.find(name)) refuse("two attributes " + std::string(name) + " in one element");
        tag.attributes.emplace_back(name, attributeValue(xml.substr(i + 1, end - i - 1)));
        i = end + 1;
    }
}

size_t skipPast(std::string_view xml, size_t from, std::string_view end, const char* what) {
    const size_t at = xml.find(end, from);
    if (at == npos) refuse(std::string("the file ends inside ") + what);
    return at + end.size();
}

OraLayerIn layerOf(const Tag& tag) {
    OraLayerIn layer{"", "", true, 0, 0};
    const std::string* src = tag.find("src");
    if (!src || !isSafeEntryPath(*src))
        refuse("a layer's src \"" + (src ? *src : std::string()) + "\" is not a path in the file");
    layer.src = *src;
    if (const std::string* name = tag.find("name")) layer.name = *name;
    if (const std::string* visibility = tag.find("visibility")) layer.visible = *visibility != "hidden";
    if (const std::string* x = tag.find("x")) layer.x = integer(*x, "a layer's x");
    if (const std::string* y = tag.find("y")) layer.y = integer(*y, "a layer's y");
    return layer;
}

void readImageSize(const Tag& tag, Stack& stack) {
    const std::string* w = tag.find("w");
    const std::string* h = tag.find("h");
    if (!w || !h) refuse("<image> lacks its w or h");
    stack.width = integer(*w, "the image's w");
    stack.height = integer(*h, "the image's h");
    if (stack.width <= 0 || stack.height <= 0 || uint64_t(stack.width) * uint64_t(stack.height) > kMaxPixels)
        refuse("the image's size " + *w + " x " + *h + " is not one a picture can have");
}

void escapeInto(std::string& out, std::string_view v) {
    for (const char c : v) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        // Kept through a reader's attribute-value normalisation, which turns them into spaces.
        case '\t': out += "&#9;"; break;
        case '\n': out += "&#10;"; break;
        case '\r': out += "&#13;"; break;
        default:
            // The other control characters have no place in XML 1.0, written out or referred to.
            if (static_cast<unsigned char>(c) >= 0x20) out += c;
        }
    }
}

} // namespace

Stack parseStack(std::string_view xml) {
    if (xml.starts_with("\xef\xbb\xbf")) xml.remove_prefix(3);
    Stack stack;
    std::vector<std::string_view> open;
    bool rooted = false;
    for (size_t at = xml.find('<'); at != npos; at = xml.find('<', at)) {
        const std::string_view rest = xml.substr(at);
        if (rest.starts_with("<?")) {
            at = skipPast(xml, at + 2, "?>", "a processing instruction");
        } else if (rest.starts_with("<!--")) {
            at = skipPast(xml, at + 4, "-->", "a comment");
        } else if (rest.starts_with("<![CDATA[")) {
            if (open.empty()) refuse("CDATA outside the image");
            at = skipPast(xml, at + 9, "]]>", "CDATA");
        } else if (rest.starts_with("<!")) {
            // A DOCTYPE. Entities it might declare stay unknown here, and refused where they are used.
            at = skipPast(xml, at, ">", "a declaration");
        } else if (rest.starts_with("</")) {
            const size_t end = skipPast(xml, at, ">", "an end tag");
            std::string_view name = xml.substr(at + 2, end - at - 3);
            while (!name.empty() && isSpace(name.back())) name.remove_suffix(1);
            if (open.empty() || open.back() != name) refuse("</" + std::string(name) + "> closes no open element");
            open.pop_back();
            at = end;
        } else {
            const Tag tag = startTag(xml, at);
            if (open.empty()) {
                if (rooted) refuse("a second element outside <image>");
                if (tag.name != "image")
                    refuse("the outermost element is <" + std::string(tag.name) + ">, not <image>");
                rooted = true;
                readImageSize(tag, stack);
            } else if (tag.name == "layer") {
                stack.layers.push_back(layerOf(tag));
            }
            if (!tag.empty) open.push_back(tag.name);
        }
    }
    if (!rooted) refuse("no <image> element");
    if (!open.empty()) refuse("the file ends inside <" + std::string(open.back()) + ">");
    return stack;
}

std::string stackXml(const OraOut& ora) {
    std::string x = "<?xml version='1.0' encoding='UTF-8'?>\n<image version=\"0.0.3\" w=\"" +
                    std::to_string(ora.width) + "\" h=\"" + std::to_string(ora.height) + "\">\n <stack>\n";
    for (const OraLayerOut& layer : ora.layers) {
        x += "  <layer name=\"";
        escapeInto(x, layer.name);
        x += "\" src=\"";
        escapeInto(x, layer.src);
        x += layer.visible ? "\" visibility=\"visible\"" : "\" visibility=\"hidden\"";
        x += " x=\"0\" y=\"0\" opacity=\"1.0\" composite-op=\"svg:src-over\"/>\n";
    }
    return x + " </stack>\n</image>\n";
}

bool isSafeEntryPath(std::string_view src) {
    if (src.empty() || src.front() == '/' || src.find('\\') != npos || src.find('\0') != npos) return false;
    // A drive letter makes the path absolute where backslashes are not needed to say so.
    if (src.size() >= 2 && src[1] == ':') return false;
    for (size_t at = 0; at <= src.size();) {
        const size_t end = std::min(src.find('/', at), src.size());
        if (src.substr(at, end - at) == "..") return false;
        at = end + 1;
    }
    return true;
}

} // namespace cw::ora
