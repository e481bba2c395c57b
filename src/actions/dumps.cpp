#include "actions/dumps.h"

#include <cstring>
#include <sstream>
#include <string_view>

#include "codecs/bmp_writer.h"
#include "codecs/replacing_file.h"
#include "actions/line_words.h"
#include "actions/script_run.h"

namespace cw {

namespace {

std::string cannotWrite(const std::string& path, const SaveError& e) {
    return "cannot write " + path + (e.error() != 0 ? std::string(": ") + std::strerror(e.error()) : "");
}

// Dumps replace their file whole, as saves do: a failed one leaves the old file.
void writeBytes(const std::string& path, const void* data, size_t n) {
    try {
        writeWholeFile(path, data, n);
    } catch (const SaveError& e) {
        throw OutputError(cannotWrite(path, e));
    }
}

template <Bitmap Workspace::*Picture>
void dumpBitmap(ScriptRun& r, const std::string& path) {
    const Workspace& ws = r.picture();
    try {
        writeBmp24(ws.*Picture, path);
    } catch (const SaveError& e) {
        throw OutputError(cannotWrite(path, e));
    }
}

void dumpCodes(ScriptRun& r, const std::string& path) {
    const Workspace& ws = r.picture();
    writeBytes(path, ws.codes.get(), ws.pixelCount());
}

void dumpAnchors(ScriptRun& r, const std::string& path) {
    const Workspace& ws = r.picture();
    std::ostringstream f;
    for (const Anchor& a : ws.anchors)
        f << a.x << ' ' << a.y << ' ' << a.size << ' ' << int(a.code) << ' ' << int(a.status) << '\n';
    const std::string text = f.str();
    writeBytes(path, text.data(), text.size());
}

// The only dump without a picture: the settings stand before any load.
void dumpState(ScriptRun& run, const std::string& path) {
    const Session& s = run.session;
    const Workspace* ws = s.ws.get();
    auto rect = [](const Rect& r) {
        return std::to_string(r.x1) + "," + std::to_string(r.y1) + "," + std::to_string(r.x2) + "," +
               std::to_string(r.y2);
    };
    std::ostringstream f;
    f << "width=" << (ws ? ws->width : 0) << '\n'
      << "height=" << (ws ? ws->height : 0) << '\n'
      << "PaletteCode=" << s.palette.paletteCode << '\n'
      << "MarkerColour=" << s.palette.markerColour << '\n'
      << "BlendStrength=" << s.palette.blendStrength << '\n'
      << "DamperOn=" << int(s.palette.damperOn) << '\n'
      << "ShiftHeld=" << int(s.pointer.shiftHeld) << '\n'
      << "InvertOn=" << int(s.effects.invertOn) << '\n'
      << "CurrentTool=" << s.tools.currentTool << '\n'
      << "FreePixelCount=" << (ws ? ws->freePixelCount : 0) << '\n'
      << "SelectionActive=" << int(ws && ws->selectionActive) << '\n'
      << "PaintLimitRect=" << rect(s.pointer.paintLimitRect) << '\n'
      << "SelectionRect=" << rect(ws ? ws->selectionRect : Rect{}) << '\n'
      << "ImageModified=" << int(ws && ws->imageModified) << '\n'
      << "GrayStep=" << s.markUpGrayStep << '\n'
      << "IntegrationTolerance=" << s.controls.integration << '\n'
      << "MinObjectSize=" << s.markUpSizes.minObjectSize << '\n'
      << "MinAnchorSeparation=" << s.markUpSizes.minAnchorSeparation << '\n'
      << "SelectionCaption=" << s.palette.selectionCaption << '\n';
    const std::string text = f.str();
    writeBytes(path, text.data(), text.size());
}

struct Dump {
    std::string_view what;
    void (*write)(ScriptRun& r, const std::string& path);
};

const Dump kDumps[] = {
    {"display", dumpBitmap<&Workspace::display>},
    {"colour", dumpBitmap<&Workspace::colour>},
    {"source", dumpBitmap<&Workspace::source>},
    {"codes", dumpCodes},
    {"anchors", dumpAnchors},
    {"state", dumpState},
};

} // namespace

void dump(ScriptRun& r, const std::string& what, const std::string& path) {
    for (const Dump& d : kDumps)
        if (d.what == what) return d.write(r, path);
    // Without a picture, any other word is refused as the picture's dumps are.
    r.picture();
    throw ScriptError("unknown dump " + what);
}

} // namespace cw
