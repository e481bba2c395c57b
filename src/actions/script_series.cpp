#include "actions/script_series.h"

#include "actions/line_words.h"
#include "actions/picture_files.h"
#include "actions/script_words.h"

#include <algorithm>

namespace cw {

namespace {

void replaceAll(std::string& s, const std::string& what, const std::string& with) {
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + with.size()))
        s.replace(at, what.size(), with);
}

} // namespace

std::string scriptForPicture(const std::string& script, const std::string& picture, const std::string& outFolder) {
    std::string name = picture.substr(picture.find_last_of('/') + 1);
    if (const size_t dot = name.find_last_of('.'); dot != std::string::npos && dot > 0) name.resize(dot);
    std::string text = script;
    replaceAll(text, "@PICTURE@", picture);
    replaceAll(text, "@NAME@", name);
    replaceAll(text, "@OUT@", outFolder);
    return text;
}

std::string unusablePictureName(const std::string& picture) {
    if (picture.find_first_of("\n\r") != std::string::npos) return "its name holds a line break";
    if (picture.find('"') != std::string::npos) return "its name holds a double quote";
    return {};
}

namespace {

// Calls `each(n, words)` for every line but blank and comment lines; a line
// whose quote is not closed comes with no words.
template <typename Each> void forEachLine(const std::string& script, Each each) {
    Words words;
    long n = 1;
    for (size_t at = 0; at < script.size(); ++n) {
        const size_t end = std::min(script.find('\n', at), script.size());
        if (!splitWords(script.substr(at, end - at), words)) words.clear(), each(n, words);
        else if (!words.empty() && words[0][0] != '#') each(n, words);
        at = end + 1;
    }
}

} // namespace

std::string firstBadCommand(const std::string& script) {
    std::string bad;
    forEachLine(script, [&](long n, const Words& words) {
        if (!bad.empty()) return;
        if (words.empty()) bad = "line " + std::to_string(n) + ": unterminated quote";
        else if (!isScriptCommand(words[0])) bad = "line " + std::to_string(n) + ": unknown command " + words[0];
    });
    return bad;
}

bool scriptUndoes(const std::string& script) {
    bool undoes = false;
    forEachLine(script, [&](long, const Words& words) {
        if (!words.empty() && (words[0] == "undo" || words[0] == "history-undo" || words[0] == "history-redo"))
            undoes = true;
    });
    return undoes;
}

std::vector<std::string> scriptOutputs(const std::string& script) {
    std::vector<std::string> outputs;
    forEachLine(script, [&](long, const Words& words) {
        if (words.size() == 2 && words[0] == "save") outputs.push_back(savedFileName(words[1]));
        if (words.size() == 3 && words[0] == "dump") outputs.push_back(words[2]);
    });
    return outputs;
}

} // namespace cw
