#include "document/history.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <functional>
#include <new>
#include <system_error>
#include <unistd.h>
#include <utility>

#include "core/helper_threads.h"
#include "core/image_error.h"
#include "core/workspace.h"

namespace cw {

namespace {

constexpr size_t kMaxBudget = size_t(4) << 30;

Rect unite(const Rect& a, const Rect& b) {
    if (a.x1 >= a.x2 || a.y1 >= a.y2) return b;
    if (b.x1 >= b.x2 || b.y1 >= b.y2) return a;
    return {std::min(a.x1, b.x1), std::min(a.y1, b.y1), std::max(a.x2, b.x2), std::max(a.y2, b.y2)};
}

size_t pictureBytes(const Workspace& ws) { return ws.pixelCount() * kWorkspaceBytesPerPixel; }

} // namespace

size_t History::defaultBudget() {
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return kMaxBudget / 4;
    return std::min(kMaxBudget, size_t(pages) * size_t(pageSize) / 4);
}

void History::start(Workspace& ws, Opened how) {
    if (off_) return;
    clear(true);  // the last picture's copies serve this one's
    adopt(ws, false, how);
}

void History::clear(bool keepRoom) {
    wait();
    pending_ = {};
    next_ = {};
    exchangedAhead_ = false;
    steps_.clear();
    position_ = 0;
    bytes_ = 0;
    replaced_.reset();
    for (PlaneShadow& s : shadow_) s.clear(keepRoom);
    followed_ = nullptr;
    shadowAnchors_.clear();
    if (keepRoom) snapshot_.clear();
    else snapshot_ = TileKeeper{};
    grid_ = {};
    touched_.clear();
    touchedList_.clear();
}

void History::replacing(std::unique_ptr<Workspace> old) {
    if (off_) return;
    settle();
    // The command that rebuilds it may already have drawn on it (erased a
    // band or the markers, without a word, as the picture was about to go):
    // the step keeps it as the last step left it.
    if (old.get() == followed_) {
        for (Plane p : kPlanes) shadow(p).copyInto(planeOf(*old, p), grid_);
        old->anchors = shadowAnchors_;
        old->freePixelCount = shadowFreePixelCount_;
    }
    // The selection the rebuild consumed is not pending when it comes back.
    old->selectionActive = false;
    old->selectionRect = Rect{};
    replaced_ = std::move(old);
}

void History::follow(Workspace& ws) {
    if (off_ || &ws == followed_ || replaced_) return;
    try {
        start(ws, Opened::Worked);
        settle();
    } catch (const std::bad_alloc&) {
        clear();  // no history for this picture: nothing is recorded
    }
}

void History::adopt(Workspace& ws, bool now, Opened how) {
    followed_ = &ws;
    grid_ = TileGrid(ws.width, ws.height);
    shadowAnchors_ = ws.anchors;
    shadowFreePixelCount_ = ws.freePixelCount;
    snapshot_.start(grid_, size_t(kTileSide) * kTileSide * 4);
    touched_.assign(grid_.count(), 0);
    touchedList_.clear();
    if (how == Opened::JustSetUp) {
        for (Plane p : kPlanes) shadow(p).takeSetUp(setUpPlaneOf(ws, p), grid_);
        return;
    }
    if (now) return takeShadows(ws);
    pending_ = {};
    pending_.active = pending_.adopting = true;
    launch([this, &ws] { takeShadows(ws); }, pending_);
}

void History::takeShadows(Workspace& ws) {
    // The colour first: the display's follows it.
    for (Plane p : kPlanes) shadow(p).take(planeOf(ws, p), grid_);
}

History::~History() {
    wait();
    if (!recorder_.joinable()) return;
    {
        const std::lock_guard hold(lock_);
        stopping_ = true;
    }
    wake_.notify_one();
    recorder_.join();
}

void History::launch(std::function<void()> work, Pending& p) {
    auto run = [&p, work = std::move(work)] {
        try {
            work();
        } catch (const std::bad_alloc&) {
            p.failed = true;
        }
    };
    if (!recorder_.joinable()) {
        try {
            recorder_ = std::thread([this] { recorderLoop(); });
        } catch (const std::system_error&) {
            return run();  // no thread to be had: recorded here, settled at once as well
        }
    }
    {
        const std::lock_guard hold(lock_);
        work_.push_back(std::move(run));
        busy_ = true;
    }
    launched_ = true;
    wake_.notify_one();
}

void History::recorderLoop() {
    std::unique_lock hold(lock_);
    for (;;) {
        wake_.wait(hold, [this] { return !work_.empty() || stopping_; });
        if (work_.empty()) return;
        std::function<void()> work = std::move(work_.front());
        work_.pop_front();
        hold.unlock();
        work();
        hold.lock();
        if (!work_.empty()) continue;
        hold.unlock();
        if (whenRecorded_) whenRecorded_();
        hold.lock();
        if (!work_.empty()) continue;
        busy_ = false;
        done_.notify_all();
    }
}

void History::wait() {
    if (!launched_) return;
    const BackgroundAwaited awaited;  // the recorder gives way to nothing now
    std::unique_lock hold(lock_);
    done_.wait(hold, [this] { return !busy_; });
    launched_ = false;
    hold.unlock();
    if (!sharing_) return;
    // The picture shows pixels it does not own no more: its own planes
    // again, which the recorder gave the same ones (unless it stopped short).
    Workspace& ws = *std::exchange(sharing_, nullptr);
    auto takeBack = [&](Bitmap& plane, Bitmap& own) {
        if (!pending_.planesTaken) own.copyFrom(plane);
        plane = std::move(own);
    };
    takeBack(ws.display, pending_.heldDisplay);
    if (pending_.colourShown) takeBack(ws.colour, pending_.heldColour);
}

Recorded History::settle() {
    wait();
    if (exchangedAhead_) {
        // The snapshot was exchanged while this was recorded, and nothing
        // recorded the exchange yet: the tiles of the colour the recording
        // found changed were touched by it.
        exchangedAhead_ = false;
        if (pending_.active && !pending_.failed)
            for (const TilePatch& p : pending_.patches[size_t(Plane::Colour)].patches) touched(std::span(&p.tile, 1), kEveryPlane);
    }
    const Recorded first = settleRecording();
    if (!next_.active) return first;
    const std::string firstName = settledName_;
    pending_ = std::move(next_);
    next_ = {};
    const Recorded second = settleRecording();
    if (first == Recorded::TooLarge) {
        settledName_ = firstName;
        return first;
    }
    return second == Recorded::Nothing ? first : second;
}

Recorded History::settleRecording() {
    if (!pending_.active) return Recorded::Nothing;
    if (pending_.failed) {
        // What was taken so far is of no use: no step of this picture can be
        // undone now, and none is recorded until the next picture.
        const bool step = !pending_.adopting;
        settledName_ = pending_.name;
        clear();
        return step ? Recorded::TooLarge : Recorded::Nothing;
    }
    if (pending_.adopting) {
        pending_ = {};
        return Recorded::Nothing;
    }
    return finish();
}

void History::touched(std::span<const uint32_t> tiles, uint8_t planes) {
    if (off_) return;
    for (uint32_t t : tiles) {
        if (!touched_[t]) touchedList_.push_back(t);
        touched_[t] |= planes;
    }
}

void History::touched(const Rect& area, uint8_t planes) {
    if (off_) return;
    // Whatever drew here waited for the recorder before it drew, but for an
    // exchange of the snapshot made ahead.
    assert(!recording() || exchangedAhead_);
    grid_.forEachTileIn(area, [&](uint32_t t) {
        if (!touched_[t]) touchedList_.push_back(t);
        touched_[t] |= planes;
    });
}

bool History::changedSince(const Workspace& ws) const {
    if (off_) return false;
    if (&ws != followed_ || replaced_ || !touchedList_.empty() || exchangedAhead_) return true;
    // A step being recorded already holds the anchors and the count it saw.
    const bool stepPending = pending_.active && !pending_.adopting;
    const AnchorList& anchors = stepPending && pending_.anchorsChanged ? pending_.anchors : shadowAnchors_;
    return ws.anchors != anchors || ws.freePixelCount != (stepPending ? pending_.freePixelCount : shadowFreePixelCount_);
}

Recorded History::record(Workspace& ws, std::string_view name, DisplayAlone alone) {
    if (off_) return Recorded::Nothing;
    if (!exchangedAhead_) settle();
    try {
        follow(ws);
        return keep(ws, name, alone);
    } catch (const std::bad_alloc&) {
        // What was taken so far is of no use: no step of this picture can be
        // undone now, and none is recorded until the next picture.
        clear();
        return Recorded::TooLarge;
    }
}

Recorded History::keep(Workspace& ws, std::string_view name, DisplayAlone alone) {
    if (grid_.count() == 0 && !replaced_) return Recorded::Nothing;
    if (replaced_) {
        // The picture was rebuilt: the step holds the old one whole, and the
        // next starts from the new one.
        HistoryStep step;
        step.name = name;
        step.bytes = pictureBytes(*replaced_);
        step.otherPicture = std::move(replaced_);
        const Recorded kept = add(std::move(step));
        adopt(ws);
        if (!recording()) settle();
        return kept;
    }
    // Behind a recording still under way (an exchange of the snapshot made
    // meanwhile), this one starts where that one ends.
    const bool behind = exchangedAhead_;
    exchangedAhead_ = false;
    const bool earlierAnchors = behind && pending_.anchorsChanged;
    const AnchorList& fromAnchors = earlierAnchors ? pending_.anchors : shadowAnchors_;
    const int32_t fromFreePixelCount = behind ? pending_.freePixelCount : shadowFreePixelCount_;
    std::vector<uint32_t> tiles = std::move(touchedList_);
    touchedList_.clear();
    const bool anchorsChanged = ws.anchors != fromAnchors;
    if (!behind && tiles.empty() && !anchorsChanged && ws.freePixelCount == fromFreePixelCount) return Recorded::Nothing;
    std::sort(tiles.begin(), tiles.end());
    Pending& p = behind ? next_ : pending_;
    p = {};
    for (uint32_t t : tiles) {
        for (Plane plane : kPlanes)
            if (touched_[t] & planeBit(plane)) p.candidates[size_t(plane)].push_back(t);
        touched_[t] = 0;
    }
    p.active = true;
    p.name = name;
    p.alone = alone;
    p.anchorsChanged = anchorsChanged;
    if (anchorsChanged) p.anchors = ws.anchors;
    p.freePixelCount = ws.freePixelCount;
    p.fromFreePixelCount = fromFreePixelCount;
    for (Plane plane : kPlanes) p.planes[size_t(plane)] = planeOf(ws, plane);
    if (behind) {
        launch(
            [this] {
                if (pending_.failed) return;  // settled as a failure: no step of this picture is kept
                handOn(pending_, next_);
                findChanges(next_);
            },
            next_);
        return Recorded::Pending;
    }
    launch(
        [this] {
            findChanges(pending_);
            // The planes the picture had before an exchange made meanwhile
            // take what the picture shows (the colour's goes when the
            // picture has one of its own).
            Bitmap colour;
            const uint32_t* shown = nullptr;
            {
                const std::lock_guard hold(snapshotLock_);
                shown = pending_.shown;
                if (!pending_.colourShown) colour = std::move(pending_.heldColour);
            }
            if (!shown) return;
            for (Bitmap* plane : {&pending_.heldDisplay, &pending_.heldColour})
                if (!plane->empty()) std::memcpy(plane->data(), shown, plane->pixelCount() * sizeof(uint32_t));
            const std::lock_guard hold(snapshotLock_);
            pending_.planesTaken = true;
        },
        pending_);
    return recording() ? Recorded::Pending : settle();
}

void History::handOn(Pending& earlier, Pending& later) {
    auto add = [](std::vector<uint32_t>& to, const std::vector<uint32_t>& tiles) {
        const size_t had = to.size();
        to.insert(to.end(), tiles.begin(), tiles.end());
        std::inplace_merge(to.begin(), to.begin() + std::ptrdiff_t(had), to.end());
        to.erase(std::unique(to.begin(), to.end()), to.end());
    };
    std::vector<uint32_t> changed;
    for (const TilePatch& p : earlier.patches[size_t(Plane::Colour)].patches) changed.push_back(p.tile);
    for (Plane plane : kPlanes) add(later.candidates[size_t(plane)], changed);
    if (earlier.changed || earlier.alone != DisplayAlone::LeftOut) return;
    for (Plane plane : kPlanes) add(later.candidates[size_t(plane)], earlier.candidates[size_t(plane)]);
    earlier.handedOn = true;
}

void History::findChanges(Pending& p) {
    PlanePatches& display = p.patches[size_t(Plane::Display)];
    const PlaneView displayPlane = p.planes[size_t(Plane::Display)];
    auto retake = [&](Plane plane, TileKeeper* keeper, const std::function<void(const PlanePatches&)>& beforeWriting = {}) {
        p.patches[size_t(plane)] = shadow(plane).retake(p.planes[size_t(plane)], grid_, p.candidates[size_t(plane)], keeper, beforeWriting);
        p.patches[size_t(plane)].plane = plane;
        return !p.patches[size_t(plane)].empty();
    };
    // The display first: where it showed the colours, what it was is found
    // in the colour's shadow, which the colour's retake then changes (but
    // where the display did not change: kept apart first).
    retake(Plane::Display, nullptr);
    std::unique_lock snapshotHold(snapshotLock_);
    const bool colour = retake(Plane::Colour, p.keepsNothing ? nullptr : &snapshot_, [&](const PlanePatches& changed) {
        shadow(Plane::Display).keepApart(displayPlane, grid_, changed, &display);
    });
    snapshotHold.unlock();
    const bool codes = retake(Plane::Codes, nullptr);
    p.changed = colour || codes || p.anchorsChanged || p.freePixelCount != p.fromFreePixelCount;
    if (!p.changed && p.alone == DisplayAlone::LeftOut) {
        display = {};  // a rubber band: the display's shadow stays as it was
        return;
    }
    // The markers a command drew stay as where the next step starts.
    shadow(Plane::Display).follow(displayPlane, grid_, display);
    if (!p.changed) return;
    display.shareMasks(p.patches[size_t(Plane::Colour)]);
    p.patches[size_t(Plane::Codes)].shareMasks(p.patches[size_t(Plane::Colour)]);
}

Recorded History::finish() {
    Pending p = std::move(pending_);
    pending_ = {};
    settledName_ = p.name;
    if (!p.changed) {
        // A rubber band a gesture left pending is looked at again next time.
        if (p.alone == DisplayAlone::LeftOut && !p.handedOn)
            for (Plane plane : kPlanes) touched(p.candidates[size_t(plane)], planeBit(plane));
        return Recorded::Nothing;
    }
    HistoryStep step;
    step.name = std::move(p.name);
    for (PlanePatches& patches : p.patches)
        if (!patches.empty()) {
            step.bytes += patches.bytes();
            step.tiles.push_back(std::move(patches));
        }
    if (p.anchorsChanged) {
        step.anchorsChanged = true;
        step.otherAnchors = std::move(shadowAnchors_);
        shadowAnchors_ = std::move(p.anchors);
        step.bytes += step.otherAnchors.size() * sizeof(Anchor);
    }
    step.otherFreePixelCount = shadowFreePixelCount_;
    shadowFreePixelCount_ = p.freePixelCount;
    return add(std::move(step));
}

Recorded History::add(HistoryStep step) {
    // A new step after some were undone drops the ones that could be redone.
    for (size_t i = position_; i < steps_.size(); ++i) bytes_ -= steps_[i].bytes;
    steps_.erase(steps_.begin() + std::ptrdiff_t(position_), steps_.end());
    if (step.bytes > budget_) {
        // Steps before it can no longer be undone either: they would undo
        // into a picture this one changed.
        steps_.clear();
        position_ = 0;
        bytes_ = 0;
        return Recorded::TooLarge;
    }
    bytes_ += step.bytes;
    steps_.push_back(std::move(step));
    position_ = steps_.size();
    trim();
    return Recorded::Step;
}

void History::trim() {
    size_t drop = 0;
    size_t bytes = bytes_;
    while (drop < steps_.size() && (steps_.size() - drop > kMaxSteps || bytes > budget_)) bytes -= steps_[drop++].bytes;
    if (drop == 0) return;
    steps_.erase(steps_.begin(), steps_.begin() + std::ptrdiff_t(drop));
    bytes_ = bytes;
    position_ -= std::min(position_, drop);
}

Rect History::exchange(HistoryStep& step, std::unique_ptr<Workspace>& ws) {
    if (step.otherPicture) {
        std::swap(ws, step.otherPicture);
        try {
            adopt(*ws, true);
        } catch (const std::bad_alloc&) {
            clear();
        }
        return {0, 0, ws->width, ws->height};
    }
    Rect area;
    const PlanePatches* of[std::size(kPlanes)] = {};
    for (const PlanePatches& tiles : step.tiles) of[size_t(tiles.plane)] = &tiles;
    // The display's shadow keeps its own copy of what the step exchanges,
    // and of what it found in the colour's where the colour's changes.
    for (const PlanePatches* tiles : {of[size_t(Plane::Display)], of[size_t(Plane::Colour)]})
        if (tiles) shadow(Plane::Display).keepApart(planeOf(*ws, Plane::Display), grid_, *tiles);
    for (PlanePatches& tiles : step.tiles) {
        const bool colour = tiles.plane == Plane::Colour;
        shadow(tiles.plane).exchange(planeOf(*ws, tiles.plane), grid_, tiles, colour ? &snapshot_ : nullptr);
        for (const TilePatch& p : tiles.patches) area = unite(area, grid_.bounds(p.tile));
    }
    if (step.anchorsChanged) {
        std::swap(ws->anchors, step.otherAnchors);
        shadowAnchors_ = ws->anchors;
    }
    std::swap(ws->freePixelCount, step.otherFreePixelCount);
    shadowFreePixelCount_ = ws->freePixelCount;
    return area;
}

Rect History::undo(std::unique_ptr<Workspace>& ws) {
    settle();
    if (!ws) return {};
    follow(*ws);
    if (!canUndo()) return {};
    return exchange(steps_[--position_], ws);
}

Rect History::redo(std::unique_ptr<Workspace>& ws) {
    settle();
    if (!ws) return {};
    follow(*ws);
    if (!canRedo()) return {};
    return exchange(steps_[position_++], ws);
}

void History::takeSnapshot(Workspace& ws) {
    if (off_) return;
    settle();
    follow(ws);
    snapshot_.clear();
}

bool History::exchangeSnapshotAhead(Workspace& ws) {
    if (off_ || !launched_ || exchangedAhead_ || sharing_ || next_.active || &ws != followed_ || replaced_ ||
        !pending_.active || pending_.adopting)
        return false;
    {
        const std::lock_guard hold(lock_);
        if (!busy_) return false;  // recorded already: settling costs nothing
    }
    const std::lock_guard hold(snapshotLock_);
    const ForegroundWork foreground;  // the recorder pauses meanwhile
    // Each tile as the snapshot holds it: kept apart; or, where the recording
    // under way may find it changed, as the colour's shadow holds it; or, the
    // same, as the picture holds it.
    const PlaneView now = planeOf(ws, Plane::Colour), setUp = setUpPlaneOf(ws, Plane::Colour);
    auto rowsIn = [&](const PlaneView& plane, const Rect& b) {
        return TileRows{plane.pixels + (size_t(b.y1) * size_t(plane.width) + size_t(b.x1)) * 4, size_t(plane.width) * 4};
    };
    std::vector<TileRows> rows(grid_.count());
    for (size_t t = 0; t < rows.size(); ++t) rows[t] = rowsIn(now, grid_.bounds(t));
    for (uint32_t t : pending_.candidates[size_t(Plane::Colour)])
        rows[t] = shadow(Plane::Colour).rowsOf(now, t, grid_.bounds(t));
    std::vector<uint32_t> kept;
    snapshot_.forEachKept([&](uint32_t t, const uint8_t* bytes) {
        const Rect b = grid_.bounds(t);
        rows[t] = bytes ? TileRows{bytes, size_t(b.x2 - b.x1) * 4} : rowsIn(setUp, b);
        kept.push_back(t);
    });
    // The picture as it was set up (the first change to it undone) is its
    // source's: shown as it is. Any other is put together in a plane of its
    // own.
    bool asSetUp = true;
    for (size_t t = 0; t < rows.size() && asSetUp; ++t) asSetUp = rows[t].first == rowsIn(setUp, grid_.bounds(t)).first;
    Bitmap colour;
    if (asSetUp) {
        colour = Bitmap::sharing(ws.source);
    } else {
        try {
            ensureMemoryFor(uint64_t(ws.pixelCount()) * sizeof(uint32_t));
            colour = Bitmap(ws.width, ws.height);
        } catch (const std::bad_alloc&) {
            return false;
        }
        drawTiles(grid_, rows, {PlaneView{reinterpret_cast<uint8_t*>(colour.data()), ws.width, ws.height, 4}});
    }
    // As exchangeSnapshot(): the tiles the snapshot held are touched, and
    // the step that records the exchange keeps the picture it replaced.
    touched(kept, kEveryPlane);
    snapshot_.clear();
    pending_.keepsNothing = true;
    std::swap(ws.colour, colour);
    pending_.heldColour = std::move(colour);
    pending_.heldDisplay = std::move(ws.display);
    ws.display = Bitmap::sharing(ws.colour);
    pending_.shown = ws.colour.data();
    pending_.colourShown = asSetUp;
    sharing_ = &ws;
    exchangedAhead_ = true;
    return true;
}

void History::exchangeSnapshot(Workspace& ws) {
    if (off_) return;
    settle();
    follow(ws);
    const PlaneView colour = planeOf(ws, Plane::Colour);
    // The tiles change places when the exchange is recorded: the step that
    // records it keeps the picture it replaced in the snapshot.
    snapshot_.forEachKept([&](uint32_t t, const uint8_t* bytes) {
        if (bytes) copyTileIn(colour, grid_.bounds(t), bytes);
        else copyTileAcross(setUpPlaneOf(ws, Plane::Colour), colour, grid_.bounds(t));
        touched(grid_.bounds(t));
    });
    snapshot_.clear();
}

} // namespace cw
