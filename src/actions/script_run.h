#pragma once
// One script's run: the document with the ports a script answers in place of
// the windows, and what the run remembers between lines.
#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "actions/headless_host.h"
#include "actions/ports.h"
#include "actions/session.h"
#include "core/progress.h"

namespace cw {

// Every box goes to standard error; a confirmation is answered Yes.
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
        lastError = t;
    }
    int errors = 0;
    std::string lastError;

private:
    std::ostream& err_;
};

// Answers the next dialog with what the line names.
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
    // A script's save names the format by its extension, as the dialog's
    // first entry does.
    std::optional<ChosenFile> saveFile(const FileDialogRequest&) override {
        auto v = next;
        next.reset();
        if (!v) return std::nullopt;
        return ChosenFile(*v);
    }
};

// Abort is pressed at the poll `abort-after` names, once.
class BatchProgress final : public Progress {
public:
    uint64_t abortAtPoll = 0;  // 0: never
    // Polls are seen one by one only while Abort waits for one of them:
    // otherwise they run in batches, reading the clock once a batch.
    void abortAt(uint64_t poll) {
        abortAtPoll = poll;
        hookEveryPoll(true);
    }
    bool abortAwaitsPoll() const override { return abortAtPoll != 0; }

protected:
    void polled(uint64_t n) override {
        if (abortAtPoll != 0 && n == abortAtPoll) {
            abortPressed();
            abortAtPoll = 0;
            hookEveryPoll(false);
        }
    }
};

struct ScriptRun {
    ScriptRun(std::ostream& out, std::ostream& err, const std::string& scratch)
        : out(out), messages(err), session(progress, messages, dialogs, host, scratch) {
        host.session = &session;
    }
    ScriptRun(const ScriptRun&) = delete;
    ScriptRun& operator=(const ScriptRun&) = delete;

    // The open picture; a line that needs one stops the script without it.
    Workspace& picture();

    std::ostream& out;
    BatchMessages messages;
    BatchDialogs dialogs;
    BatchProgress progress;
    HeadlessHost host;
    Session session;
    std::chrono::steady_clock::time_point lastTime = std::chrono::steady_clock::now();
    bool outputFailed = false;  // a save or a dump did not write its file
};

} // namespace cw
