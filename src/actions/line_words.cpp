#include "actions/line_words.h"

#include <cctype>
#include <cstdlib>

namespace cw {

bool splitWords(const std::string& line, Words& words) {
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

void need(const Words& w, size_t n) {
    if (w.size() != n) throw ScriptError("wrong number of arguments to " + w[0]);
}

long number(const std::string& s, long lo, long hi) {
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end != '\0') throw ScriptError("not a number: " + s);
    return v < lo ? lo : v > hi ? hi : v;
}

bool onOff(const std::string& s) {
    if (s == "on") return true;
    if (s == "off") return false;
    throw ScriptError("expected on or off: " + s);
}

} // namespace cw
