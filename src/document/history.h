#pragma once
// The undo history: every change to the picture, its codes or its anchors as
// a step that can be taken back and done again. A step keeps only the tiles
// it changed (the version not in the picture now, which undo and redo swap
// with the picture's), or, for a step that replaced the picture, the other
// picture. The history is limited by a count of steps and by bytes, the
// oldest steps going first.
//
// It also holds the Un-do button's snapshot (the coloured picture at the
// last press) the same way: only the tiles that changed since are kept.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/anchor.h"
#include "core/bitmap.h"
#include "core/picture_tiles.h"
#include "core/rect.h"

namespace cw {

struct Workspace;

struct HistoryStep {
    std::string name;
    std::vector<PlanePatches> tiles;
    bool anchorsChanged = false;
    AnchorList otherAnchors;
    int32_t otherFreePixelCount = 0;
    std::unique_ptr<Workspace> otherPicture;  // a step that replaced the picture
    size_t bytes = 0;
};

// What becomes of a change to the display alone (no step either way): the
// markers a command draws are kept as where the next step starts; a rubber
// band a gesture leaves pending is left out, so that no step gives it back.
enum class DisplayAlone { Kept, LeftOut };

enum class Recorded {
    Nothing,   // nothing the history keeps had changed
    Step,      // a new step
    TooLarge,  // a change larger than the whole budget: kept by no step, and the history cleared
    Pending,   // being recorded on the recorder's thread: settle() tells which of the above
};

// Finding what a change changed reads the touched tiles of every plane and
// copies what differs: on a change over the whole picture that costs about
// what the change did. So it runs on a thread of its own, the recorder,
// while the picture is shown: nothing may change the picture, its codes or
// its anchors until settle() has waited for it. Every call that changes the
// history settles first; a writer of the picture settles before it writes
// (a gesture, an action). Reading the picture meanwhile is safe: the
// recorder only reads it.
class History {
public:
    static constexpr size_t kMaxSteps = 200;
    // A quarter of the machine's memory, at most 4 GB.
    static size_t defaultBudget();

    explicit History(size_t budget = defaultBudget()) : budget_(budget) {
        shadow(Plane::Display).follows(&shadow(Plane::Colour));
    }
    History(const History&) = delete;
    History& operator=(const History&) = delete;
    ~History();

    // A picture was opened: nothing to undo; what it shows now is where the
    // first step starts from. Just set up, its colour and display are its
    // source and its codes zero: nothing needs copying.
    enum class Opened { JustSetUp, Worked };
    void start(Workspace& ws, Opened how);
    // For a run that never undoes (a series' script with no undo in it): no
    // copy is taken and no step recorded from now on, so neither the steps
    // nor the Un-do button's snapshot can be used.
    void turnOff() {
        clear();
        off_ = true;
    }
    bool off() const { return off_; }
    // The picture was closed; `keepRoom` when another is about to be opened:
    // the memory of the copies stays for it.
    void clear(bool keepRoom = false);
    // The picture is about to be replaced by a rebuilt one (a crop, a scale,
    // a restore): the next step holds it, and starts from the new picture.
    void replacing(std::unique_ptr<Workspace> old);

    // Something drew into the picture within `area` (exclusive bounds), into
    // the planes `planes` holds (planeBit): only those are looked at there.
    void touched(const Rect& area, uint8_t planes = kEveryPlane);
    // Ends the change under way: whatever changed since the last step
    // becomes a step named `name`. A change to the display alone (markers,
    // a rubber band) is no step. Pending when the recorder took it on.
    Recorded record(Workspace& ws, std::string_view name, DisplayAlone alone = DisplayAlone::Kept);
    // Whether the picture changed since the last recording began: if not,
    // recording now would keep nothing, and need not wait for the recorder.
    bool changedSince(const Workspace& ws) const;
    // Waits for the recorder, and says how the recording it had ended
    // (Nothing when it had none); its step's name is settledName().
    Recorded settle();
    bool recording() const { return launched_; }
    std::string_view settledName() const { return settledName_; }
    // Called on the recorder's thread when it has finished a recording, so
    // that the windows can settle it on theirs.
    void whenRecorded(std::function<void()> notify) { whenRecorded_ = std::move(notify); }

    // The steps kept so far: a step being recorded shows once it is settled.
    bool canUndo() const { return position_ > 0; }
    bool canRedo() const { return position_ < steps_.size(); }
    std::string_view undoName() const { return canUndo() ? std::string_view(steps_[position_ - 1].name) : ""; }
    std::string_view redoName() const { return canRedo() ? std::string_view(steps_[position_].name) : ""; }
    // One step back or forward. Returns the area of the picture that changed;
    // when the step replaced the picture, `ws` is swapped for the other one
    // and the area is the whole of it.
    Rect undo(std::unique_ptr<Workspace>& ws);
    Rect redo(std::unique_ptr<Workspace>& ws);

    // The Un-do button's snapshot: the coloured picture as it is now.
    void takeSnapshot(Workspace& ws);
    // Exchanges the coloured picture with the snapshot, which then holds the
    // picture as it was: the tiles that differ change places.
    void exchangeSnapshot(Workspace& ws);
    // The same exchange without waiting for the recording under way, which
    // goes on from the planes it was reading: the picture gets a colour plane
    // of its own (or shows its source's pixels, when the exchange gives back
    // the picture as set up), and its display shows the same pixels, until
    // the recording is settled (their own planes take them meanwhile).
    // False when nothing is being recorded (or no memory is to be had):
    // settle() and exchangeSnapshot() then.
    bool exchangeSnapshotAhead(Workspace& ws);
    // After exchangeSnapshotAhead(), until the exchange is recorded: the next
    // recording goes behind the one under way, without waiting for it.
    bool recordsBehind() const { return exchangedAhead_; }

    // Whether a step of this many bytes would be kept.
    bool keeps(size_t bytes) const { return bytes <= budget_; }
    // The bytes the steps hold and their count, once the recorder is done.
    size_t bytes() { settle(); return bytes_; }
    size_t budget() const { return budget_; }
    size_t steps() { settle(); return steps_.size(); }

private:
    // A recording handed to the recorder: what it was given, what it found.
    struct Pending {
        bool active = false;
        bool adopting = false;  // taking a new picture's shadows, no step
        bool failed = false;    // out of memory
        std::string name;
        DisplayAlone alone = DisplayAlone::Kept;
        std::vector<uint32_t> candidates[std::size(kPlanes)];  // ascending, a list a plane
        bool anchorsChanged = false;
        AnchorList anchors;
        int32_t freePixelCount = 0, fromFreePixelCount = 0;  // as it ends, and as it starts
        bool changed = false;
        PlanePatches patches[std::size(kPlanes)];
        // The planes it reads, as the picture had them when it was handed
        // over; and, when the picture has had others since, those it had.
        PlaneView planes[std::size(kPlanes)];
        Bitmap heldColour, heldDisplay;
        // The snapshot was exchanged meanwhile: nothing is kept in it, and
        // the display's plane, once read, takes the pixels the picture shows
        // (`shown`), and so does the colour's when the picture shows its
        // source (under snapshotLock_).
        bool keepsNothing = false;
        const uint32_t* shown = nullptr;
        bool colourShown = false, planesTaken = false;
        // Its candidates went on to the recording behind it.
        bool handedOn = false;
    };

    // Takes the shadows of a picture in place: where the next step starts;
    // the copying on the recorder's thread unless `now`.
    void adopt(Workspace& ws, bool now = false, Opened how = Opened::Worked);
    void takeShadows(Workspace& ws);
    Recorded keep(Workspace& ws, std::string_view name, DisplayAlone alone);
    // The recorder's part of a step: what changed in the candidate tiles.
    void findChanges(Pending& p);
    // What a recording that goes behind another takes from it: the tiles
    // of the colour it changed (those an exchange of the snapshot touched
    // meanwhile), and its candidates when it found nothing.
    static void handOn(Pending& earlier, Pending& later);
    Recorded settleRecording();
    // The step the recorder found, added to the history.
    Recorded finish();
    Recorded add(HistoryStep step);
    // Runs `work` on the recorder's thread (here when no thread can start),
    // after the work handed over before; a failure to get memory marks `p`.
    void launch(std::function<void()> work, Pending& p);
    void recorderLoop();
    void wait();
    // A picture the history was never shown (one built without a set-up)
    // starts it afresh.
    void follow(Workspace& ws);
    Rect exchange(HistoryStep& step, std::unique_ptr<Workspace>& ws);
    void touched(std::span<const uint32_t> tiles, uint8_t planes);
    void trim();
    PlaneShadow& shadow(Plane p) { return shadow_[size_t(p)]; }

    size_t budget_;
    bool off_ = false;
    std::vector<HistoryStep> steps_;
    size_t position_ = 0;  // steps_[0 .. position_) are done
    size_t bytes_ = 0;

    const Workspace* followed_ = nullptr;
    TileGrid grid_;
    PlaneShadow shadow_[std::size(kPlanes)];
    AnchorList shadowAnchors_;
    int32_t shadowFreePixelCount_ = 0;
    // The tiles something drew into since the last step (the planes drawn
    // into, a bit each), and their list: a stroke across the picture marks
    // the tiles along it, not its bounds.
    std::vector<uint8_t> touched_;
    std::vector<uint32_t> touchedList_;
    std::unique_ptr<Workspace> replaced_;
    // The snapshot: the colour's tiles as they were before their first change
    // since it was taken; a tile not kept is the colour shadow's.
    TileKeeper snapshot_;

    // The recorder: one thread for the history's life, handed one piece of
    // work at a time.
    std::thread recorder_;
    std::mutex lock_;
    std::condition_variable wake_, done_;
    std::deque<std::function<void()>> work_;
    bool busy_ = false, stopping_ = false;  // under lock_
    bool launched_ = false;  // work handed over and not yet settled
    Pending pending_;
    Pending next_;  // a recording behind pending_
    bool exchangedAhead_ = false;
    // The picture whose display shows its colour's pixels since an exchange
    // made ahead: given its own plane back once the recorder is done.
    Workspace* sharing_ = nullptr;
    // Held by the recorder while it retakes the colour (and keeps tiles in
    // the snapshot), and by an exchange of the snapshot made meanwhile.
    std::mutex snapshotLock_;
    std::string settledName_;
    std::function<void()> whenRecorded_;
};

} // namespace cw
