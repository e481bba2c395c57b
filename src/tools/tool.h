#pragma once
// A tool of the tool bar: its own part of the pointer gestures on the
// picture, and how it presents itself. What every gesture does whatever the
// tool, and the order of press, moves, click and release, live in
// tools/interaction.h; the windows and the script runner never ask which
// tool is current.
#include <cstdint>
#include <string_view>

#include "core/rect.h"
#include "document/tool_settings.h"

namespace cw {

struct Document;
struct Workspace;

// A pending rectangular selection makes the image window's Re-set crop.
void setCropPending(Document& s, bool pending);

// Pointer shapes over the picture, whatever the windows make of them.
enum class ToolCursor { Crosshair, PointingHand, Drag };

// The picture on the tool's button and in the main window's "Tool" read-out.
enum class ToolGlyph { Brush, Wand, FilledRectangle, DashedFrame };

// What choosing the tool does to Overwrite and Layered.
enum class SwitchesOnSelect { Cleared, Checked, Kept };

struct ToolTraits {
    int32_t id;        // what ToolSettings::currentTool stores (and scripts dump)
    const char* name;  // the script runner's word for it
    const char* hint;  // its button's hint
    const char* stepName;  // what the undo history calls what it did
    ToolGlyph glyph;
    ToolCursor cursor;
    ToolGroups groups;  // the tool bar's groups it shows
    SwitchesOnSelect switches;
    // Whether checking Overwrite unchecks Layered and the other way round.
    bool overwriteExcludesLayered;
    // Whether a left press starts a drag that lasts until the release.
    bool drags;
    // Whether it leaves a pixel that already has the code alone, unless Overwrite.
    bool skipsSameCode;
};

// One pointer event's effect on the displayed picture. What it restores or
// outlines is gathered and reported as one repaint when the event is done,
// so a brush move repaints two small windows, not the picture. Needs an
// open picture.
class Gesture {
public:
    explicit Gesture(Document& s);
    ~Gesture();
    Gesture(const Gesture&) = delete;
    Gesture& operator=(const Gesture&) = delete;

    Document& doc;
    Workspace& ws;
    GestureState& state;

    // Shows the working picture again over r (erases outlines).
    void restore(const Rect& r);
    void outline(const Rect& r, bool rounded);
    // r (in the corner order of a tool rectangle) needs repainting.
    void changed(const Rect& r);
    // The same for an outline over the picture: repainted, but nothing the
    // history keeps (a band left pending is not part of the picture a step
    // gives back).
    void shown(const Rect& r);

private:
    Rect dirty_;
    bool any_ = false;
};

class Tool {
public:
    constexpr explicit Tool(const ToolTraits& traits) : traits_(traits) {}
    virtual ~Tool() = default;
    Tool(const Tool&) = delete;
    Tool& operator=(const Tool&) = delete;

    int32_t id() const { return traits_.id; }
    std::string_view name() const { return traits_.name; }
    std::string_view stepName() const { return traits_.stepName; }
    const char* hint() const { return traits_.hint; }
    ToolGlyph glyph() const { return traits_.glyph; }
    ToolCursor cursor() const { return traits_.cursor; }
    ToolGroups groups() const { return traits_.groups; }
    SwitchesOnSelect switchesOnSelect() const { return traits_.switches; }
    bool overwriteExcludesLayered() const { return traits_.overwriteExcludesLayered; }
    bool drags() const { return traits_.drags; }
    bool skipsSameCode() const { return traits_.skipsSameCode; }

    // A left press at (x, y) in picture coordinates, possibly off the
    // picture. For a tool that drags the drag has begun: Dragging is set,
    // PickedColour is the colour under the press and the brush size is
    // clamped.
    virtual void press(Gesture&, int32_t /*x*/, int32_t /*y*/) const {}
    // A move while dragging: PrevToolRect and SelectionRect hold the
    // ToolRect the last event left.
    virtual void move(Gesture&, int32_t /*x*/, int32_t /*y*/) const {}
    // The left button released over the picture, at PointerPoint, before the
    // release. True when it painted: the whole picture is shown again.
    virtual bool click(Document&) const { return false; }
    // The left release that ends a drag: ToolRect is clamped to the picture
    // and SelectionRect equals it.
    virtual void release(Gesture&) const {}
    // A drag given up before its release: only what it put on screen for the
    // drag goes; nothing is painted or selected because of it.
    virtual void cancel(Gesture&) const {}

private:
    ToolTraits traits_;
};

} // namespace cw
