#pragma once
// A script line's words and the values they may hold, and the two ways a
// line goes wrong.
#include <stdexcept>
#include <string>
#include <vector>

namespace cw {

using Words = std::vector<std::string>;

// A bad line: the script stops at it with status 2.
struct ScriptError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A line that fails because of the picture it works on (a damaged or
// missing file, a picture too large to rebuild) rather than because of its
// words. A script run alone stops at it as at any bad line; in a series it
// fails that picture only.
struct PictureError : ScriptError {
    using ScriptError::ScriptError;
};

// A dump that could not be written: the script goes on, and its status says
// that not every file was written.
struct OutputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Splits a line into words; a word may be double-quoted. Returns false on an
// unterminated quote.
bool splitWords(const std::string& line, Words& words);

// A line of exactly `n` words, its command included.
void need(const Words& w, size_t n);
// A decimal number, held to lo..hi as the control it goes to holds it.
long number(const std::string& s, long lo, long hi);
bool onOff(const std::string& s);

} // namespace cw
