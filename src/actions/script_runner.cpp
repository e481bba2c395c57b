#include "actions/script_runner.h"

#include <cerrno>
#include <cstring>
#include <istream>
#include <ostream>
#include <streambuf>
#include <optional>
#include <utility>

#include <unistd.h>

#include "core/regular_file.h"
#include "actions/line_words.h"
#include "actions/script_run.h"
#include "actions/script_words.h"

namespace cw {

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

int runScript(std::istream& in, std::ostream& out, std::ostream& err, const std::string& scratchFolder,
              const ScriptOptions& options) {
    ScriptRun run(out, err, scratchFolder);
    if (!options.keepHistory) run.session.history.turnOff();
    std::string* const firstError = options.firstError;
    std::string line;
    Words words;
    // The line's own failure, after the error box it showed, if any.
    auto failed = [&](long n, const std::string& what, int errorsBefore) {
        if (!firstError || !firstError->empty()) return;
        const bool boxed = run.messages.errors != errorsBefore;
        *firstError = "line " + std::to_string(n) + ": " + (what.empty() ? run.messages.lastError : what);
        if (boxed && !what.empty()) *firstError += " (" + run.messages.lastError + ")";
    };
    for (long n = 1;; ++n) {
        const int errorsBefore = run.messages.errors;
        try {
            if (!nextLine(*in.rdbuf(), line)) break;
            if (!splitWords(line, words)) throw ScriptError("unterminated quote");
            if (words.empty() || words[0][0] == '#') continue;
            runWords(run, words);
            if (run.messages.errors != errorsBefore) failed(n, {}, errorsBefore);
        } catch (const OutputError& e) {
            out.flush();
            err << "line " << n << ": " << e.what() << '\n';
            run.outputFailed = true;
            failed(n, e.what(), errorsBefore);
        } catch (const PictureError& e) {
            out.flush();
            err << "line " << n << ": " << e.what() << '\n';
            failed(n, e.what(), errorsBefore);
            return options.pictureFailure;
        } catch (const std::exception& e) {
            out.flush();
            err << "line " << n << ": " << e.what() << '\n';
            failed(n, e.what(), errorsBefore);
            return 2;
        }
    }
    return run.outputFailed ? 1 : 0;
}

std::optional<std::string> readScriptText(const std::string& path, std::ostream& err) {
    constexpr size_t kMaxScriptBytes = size_t(64) << 20;
    std::string text;
    try {
        const bool standardInput = path == "-";
        struct Closed {
            int fd;
            ~Closed() {
                if (fd > 0) ::close(fd);
            }
        } const file{standardInput ? 0 : RegularFile(path).release()};
        ScriptSource source(file.fd, standardInput ? "standard input" : path);
        for (int c; (c = source.sbumpc()) != std::char_traits<char>::eof();) {
            if (text.size() == kMaxScriptBytes) throw ScriptError("cannot read " + path + ": longer than 64 MB");
            text += char(c);
        }
    } catch (const FileReadError& e) {
        err << "cannot read " << e.what() << '\n';
        return std::nullopt;
    } catch (const ScriptError& e) {
        err << e.what() << '\n';
        return std::nullopt;
    }
    return text;
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
