// chromawell-batch SCRIPT | -, or a series: --each SCRIPT PICTURE...
#include <QCoreApplication>
#include <cerrno>
#include <cstdlib>
#include <unistd.h>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string_view>

#include "batch_usage.h"
#include "platform/interrupts.h"
#include "platform/program_scratch.h"
#include "platform/scratch_location_qt.h"
#include "platform/series.h"
#include "platform/usage_text.h"
#include "actions/script_runner.h"
#include "actions/script_series.h"

namespace {

int badArguments(const std::string& what) {
    std::cerr << "chromawell-batch: " << what << "\nTry 'chromawell-batch --help'.\n";
    return 2;
}

// The command line of a series; nullopt after reporting a bad one.
struct CommandLine {
    bool each = false, seriesOption = false;
    std::string script;
    cw::SeriesOptions series;
};

std::optional<unsigned> jobCount(std::string_view s) {
    unsigned n = 0;
    if (s.empty() || s.size() > 4) return std::nullopt;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + unsigned(c - '0');
    }
    if (n == 0) return std::nullopt;
    return n;
}

std::optional<CommandLine> parse(int argc, char** argv, std::string& error) {
    CommandLine c;
    std::vector<std::string> operands;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        // The value of an option: "--out DIR", "--out=DIR", "-j4".
        auto value = [&](std::string_view name, std::string& into) {
            if (a == name) {
                if (i + 1 >= argc) return error = std::string(name) + " needs a value", false;
                into = argv[++i];
                return true;
            }
            into = std::string(a.substr(name.size() + (name.starts_with("--") ? 1 : 0)));
            return true;
        };
        std::string v;
        if (a.starts_with("-j") || a.starts_with("--jobs") || a.starts_with("--out") || a == "--keep-going" ||
            a == "--skip-done")
            c.seriesOption = true;
        if (!options || a == "-" || !a.starts_with("-")) {
            operands.emplace_back(a);
        } else if (a == "--") {
            options = false;
        } else if (a == "--keep-going") {
            c.series.keepGoing = true;
        } else if (a == "--skip-done") {
            c.series.skipDone = true;
        } else if (a == "--each" || a.starts_with("--each=")) {
            if (!value("--each", c.script)) return std::nullopt;
            c.each = true;
        } else if (a == "--out" || a.starts_with("--out=")) {
            if (!value("--out", c.series.outFolder)) return std::nullopt;
            if (c.series.outFolder.empty()) return error = "--out needs a folder", std::nullopt;
        } else if (a == "-j" || a == "--jobs" || a.starts_with("--jobs=") || (a.starts_with("-j") && a.size() > 2)) {
            if (!value(a.starts_with("--") ? "--jobs" : "-j", v)) return std::nullopt;
            const auto n = jobCount(v);
            if (!n) return error = "the number of pictures at once is 1 to 9999, not '" + v + "'", std::nullopt;
            c.series.jobs = *n;
        } else {
            return error = "unknown option " + std::string(a), std::nullopt;
        }
    }
    if (c.each) {
        c.series.pictures = std::move(operands);
        if (c.series.pictures.empty()) return error = "--each needs the pictures to run the script on", std::nullopt;
    } else {
        if (c.seriesOption)
            return error = "-j, --out, --keep-going and --skip-done belong to a series (--each)", std::nullopt;
        if (operands.size() != 1) return error = "one script, or --each SCRIPT PICTURE...", std::nullopt;
        c.script = operands[0];
    }
    return c;
}

// A series' pictures are forked from this process: its symbols are bound
// once, here, rather than lazily again in every picture's process. Started
// again with LD_BIND_NOW when it was not; where that fails it goes on as it is.
void bindSymbolsOnce(char** argv) {
    if (std::getenv("LD_BIND_NOW")) return;
    ::setenv("LD_BIND_NOW", "1", 1);
    ::execv("/proc/self/exe", argv);
    ::unsetenv("LD_BIND_NOW");
}

int runSeries(CommandLine& c) {
    const auto script = cw::readScriptText(c.script, std::cerr);
    if (!script) return 2;
    c.series.script = *script;
    if (const std::string bad = cw::firstBadCommand(*script); !bad.empty()) {
        std::cerr << bad << '\n';
        return 2;
    }
    std::error_code failed;
    std::filesystem::create_directories(c.series.outFolder, failed);
    if (failed) {
        std::cerr << "cannot make the folder " << c.series.outFolder << ": " << failed.message() << '\n';
        return 2;
    }
    // No QCoreApplication: the pictures' processes are forked from this one,
    // which must hold no thread when it forks.
    cw::setApplicationIdentity();
    return cw::runSeries(c.series, cw::scratchFolderLocation());
}

} // namespace

int main(int argc, char** argv) {
    // A limit on the size of files makes a save fail with its message, as a full disk does.
    ::signal(SIGXFSZ, SIG_IGN);
    // --help and --version answer whatever else the line holds.
    for (int i = 1; i < argc && std::string_view(argv[i]) != "--"; ++i) {
        const std::string_view a = argv[i];
        if (a == "--help" || a == "-h") {
            std::cout << cw::plainUsage(kBatchUsage);
            return 0;
        }
        if (a == "--version") {
            std::cout << "chromawell-batch " CHROMAWELL_VERSION "\n";
            return 0;
        }
    }
    std::string error;
    auto c = parse(argc, argv, error);
    if (!c) return badArguments(error);
    if (c->each) {
        bindSymbolsOnce(argv);
        return runSeries(*c);
    }

    cw::removeTemporaryFilesOnInterrupt();  // first, on the main thread
    QCoreApplication app(argc, argv);
    cw::setApplicationIdentity();
    const cw::ProgramScratch scratch(cw::scratchFolderLocation());
    return cw::runScriptFile(c->script, std::cout, std::cerr, scratch.folder());
}
