#pragma once
#include <sstream>
#include <string>

#include "actions/line_words.h"
#include "actions/script_run.h"
#include "actions/script_words.h"
#include "core/workspace.h"
#include "test_support.h"

namespace cwtest {
using namespace cw;

// One script's run, line by line, so that the same document can also be driven as the windows drive it.
struct RunnerRig {
    cwtest::TempDir dir;
    std::ostringstream out, err;
    ScriptRun r{out, err, dir / "scratch"};
    // What stopped the lines, or "" when they all ran.
    std::string lines(const std::string& script) {
        std::istringstream in(script);
        Words w;
        try {
            for (std::string line; std::getline(in, line);)
                if (splitWords(line, w) && !w.empty()) runWords(r, w);
        } catch (const std::exception& e) { return e.what(); }
        return {};
    }
    // What stopped the lines, then everything a script can read of the document after them: its state dump, its
    // pictures, codes and anchors.
    std::string after(const std::string& script) {
        std::string all = lines(script);
        all += lines("dump state \"" + (dir / "state") + "\"");
        all += cwtest::fileText(dir / "state");
        if (const Workspace* ws = r.session.ws.get()) {
            for (const Bitmap* b : {&ws->colour, &ws->display, &ws->source})
                all.append(reinterpret_cast<const char*>(b->data()), b->pixelCount() * sizeof(uint32_t));
            all.append(reinterpret_cast<const char*>(ws->codes.get()), ws->pixelCount());
            for (const Anchor& a : ws->anchors)
                all += std::to_string(a.x) + ' ' + std::to_string(a.y) + ' ' + std::to_string(a.size) + ' ' + std::to_string(a.code) + '\n';
        }
        return all;
    }
};

} // namespace cwtest
