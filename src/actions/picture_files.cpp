#include "actions/picture_files.h"

#include <atomic>
#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>
#include <sys/stat.h>

#include "actions/picture_setup.h"
#include "actions/scratch.h"
#include "actions/session.h"
#include "actions/work_file.h"
#include "codecs/bmp_writer.h"
#include "codecs/jpeg_decoder.h"
#include "codecs/picture_formats.h"
#include "core/helper_threads.h"
#include "core/progress.h"
#include "core/workspace_builder.h"
#include "tools/tool.h"
#include "document/undo.h"

namespace cw {

static bool isRegularFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

static void finishLoad(Session& s) {
    s.progress.setAbortVisible(true);
    if (s.progress.visible()) s.progress.end();
    s.mainEnabled = true;
    s.host.mainWindowChanged();
}

void loadButtonClick(Session& s) {
    if (!s.imageWindowOpen)
        loadImage(s);
    else
        clearImage(s);
}

namespace {

// Decoding a JPEG file feeds the scratch bitmap and the workspace row by row
// on a second thread, so a large picture is ready soon after its last row is
// decoded. When the workspace cannot be allocated the picture is still
// decoded and written; the set-up then reports the shortage as usual.
class JpegLoad final : public JpegRowListener {
public:
    JpegLoad(Session& s, std::string scratch) : s_(s), scratchPath_(std::move(scratch)) {}

    void started(uint32_t* pixels, int32_t width, int32_t height) noexcept override {
        pixels_ = pixels;
        width_ = width;
        height_ = height;
        try {
            scratch_ = std::make_unique<BmpFileWriter>(scratchPath_, width, height);
        } catch (const std::exception&) {
            scratchFailed_ = true;
        }
        try {
            builder_ = std::make_unique<WorkspaceBuilder>(pixels, width, height, s_.controls.forceGray,
                                                          [this](int32_t y0, int32_t n) { writeScratch(y0, n); });
        } catch (const std::exception&) {
            builder_.reset();
        }
    }
    void rowsDecoded(int32_t rows) noexcept override {
        if (builder_) builder_->rowsArrived(rows);
        s_.progress.report(int(int64_t(rows) * 100 / height_));
    }
    void abandoned() noexcept override {
        builder_.reset();
        scratch_.reset();
    }

    // After the last row: the scratch bitmap is complete and in place.
    void commitScratch() {
        if (builder_) builder_->completeRows();
        else writeScratch(0, height_);
        if (scratchFailed_ || !scratch_) throw SaveError("cannot write " + scratchPath_);
        scratch_->commit(false);
    }
    WorkspaceBuilder* builder() { return builder_.get(); }

private:
    void writeScratch(int32_t y0, int32_t n) noexcept {
        if (scratchFailed_ || !scratch_) return;
        try {
            scratch_->writeRows(y0, n, pixels_ + size_t(y0) * size_t(width_));
        } catch (const std::exception&) {
            scratchFailed_ = true;
        }
    }

    Session& s_;
    std::string scratchPath_;
    uint32_t* pixels_ = nullptr;
    int32_t width_ = 0, height_ = 1;
    std::unique_ptr<BmpFileWriter> scratch_;
    std::atomic<bool> scratchFailed_{false};
    std::unique_ptr<WorkspaceBuilder> builder_;
};

} // namespace

// Restore reads a picture of another format than BMP again from a bitmap
// of its own, as for a JPEG file: writes it, and returns its name.
static std::string keepForRestore(const Session& s, const Bitmap& picture) {
    const std::string scratch = scratchFile(s.scratchFolder, kScratchBitmap);
    BmpFileWriter copy(scratch, picture.width(), picture.height());
    copy.writeRows(0, picture.height(), picture.data());
    copy.commit(false);
    return scratch;
}

static std::string fullPath(const std::string& name) {
    std::error_code ec;
    const auto path = std::filesystem::absolute(name, ec);
    return ec ? name : path.lexically_normal().string();
}

void loadImage(Session& s, bool fromScanner) {
    if (fromScanner && isRegularFile(s.openFileName)) {
        s.pictureName = kScannedPictureName;
    } else {
        const auto names = s.dialogs.openFiles({kOpenTitle, openDialogFilter(), ".", "bmp"});
        if (names.empty()) {
            finishLoad(s);
            return;
        }
        s.openFileName = names.front();  // only the first of several is loaded
        s.pictureName = fullPath(s.openFileName);
    }
    s.progress.begin(kPhaseInitialising, {.hideAbort = true});

    std::optional<Bitmap> decoded;
    std::unique_ptr<JpegLoad> jpeg;
    std::shared_ptr<const WorkState> work;
    try {
        s.host.createImageWindow();
        s.imageWindowOpen = true;
        const PictureFormat& format = formatOfName(s.openFileName);
        if (isWorkFileName(s.openFileName)) {
            // The original is set up as any picture (and kept for Restore),
            // then the work is put back onto it.
            OpenedWork opened = readWorkFile(s.openFileName);
            work = std::move(opened.work);
            decoded = std::move(opened.picture);
            s.openFileName = keepForRestore(s, *decoded);
            if (work) s.controls.forceGray = false;  // the original is already as it was set up
        } else if (format.id == FormatId::Jpeg) {
            const std::string scratch = scratchFile(s.scratchFolder, kScratchBitmap);
            jpeg = std::make_unique<JpegLoad>(s, scratch);
            decoded = decodeJpegFile(s.openFileName, jpeg.get());
            jpeg->commitScratch();
            s.openFileName = scratch;
        } else if (format.id != FormatId::Bitmap) {
            decoded = format.read(s.openFileName);
            s.openFileName = keepForRestore(s, *decoded);
        }
        s.host.showImageWindow();
    } catch (const std::exception&) {
        jpeg.reset();
        decoded.reset();
        s.messages.error(kInvalidImageMessage);
        if (s.progress.visible()) s.progress.end();
        if (s.imageWindowOpen) s.host.closeImageWindow();
        finishLoad(s);
        return;
    }
    // The decoded picture is what the scratch bitmap now holds; handing it
    // over saves reading back the file just written.
    if (setUpPicture(s, std::move(decoded), jpeg ? jpeg->builder() : nullptr) && work) {
        putBackWork(s, *work);
        s.history.start(*s.ws, History::Opened::Worked);  // the first step starts from the work as it was saved
        s.host.pictureChanged();
    }
    finishLoad(s);
}

bool settleUnsavedChanges(Session& s) {
    if (!s.imageWindowOpen || !s.ws || !(s.ws->imageModified || s.reworked)) return true;
    switch (s.messages.askToSave(kSaveChangesQuestion + s.pictureName + "?")) {
    case SaveChoice::Save: return saveImageAs(s);
    case SaveChoice::Discard: return true;
    case SaveChoice::Cancel: break;
    }
    return false;
}

bool clearImage(Session& s) {
    if (!settleUnsavedChanges(s)) return false;
    if (s.imageWindowOpen) s.host.closeImageWindow();
    finishLoad(s);
    return true;
}

void restoreImage(Session& s) {
    if (!s.imageWindowOpen || !settleUnsavedChanges(s)) return;
    settleHistory(s);  // the recorder must be done reading what this writes
    s.progress.begin(kPhaseInitialising, {.hideAbort = true});
    setUpPicture(s, std::nullopt, nullptr, SetUpKind::Rebuilt);
    s.progress.setAbortVisible(true);
    if (s.progress.visible()) s.progress.end();
    if (s.ws) s.ws->selectionActive = false;
    setCropPending(s, false);
}

std::string saveFailedMessage(const std::string& where, int error) {
    if (error == 0) return kSaveFailedMessage;
    return std::string(kSaveFailedMessage) + " " + where + ": " + std::strerror(error);
}

// How a save names a written format: the dialog's entry for it, beside the
// bitmap's designed one, and the refusal's list.
static std::string saveEntry(const PictureFormat& f) { return std::string(f.savedName) + " (" + filePatterns(f) + ")"; }

std::string openDialogFilter() {
    // Work files are read with the pictures: "All Supported ..." lists them too.
    std::string filter = openFilter();
    const std::string pattern = std::string(" *") + kWorkExtension;
    filter.insert(filter.find(')'), pattern);
    return filter + ";;" + kWorkFileEntry;
}

std::string saveFilter() {
    std::string filter = std::string(kSaveFilter) + ";;" + kWorkFileEntry;
    for (const PictureFormat& f : pictureFormats())
        if (f.write && f.id != FormatId::Bitmap) filter += ";;" + saveEntry(f);
    return filter;
}

// The format a dialog entry other than the first asks for.
static const PictureFormat* formatOfEntry(const std::string& entry) {
    for (const PictureFormat& f : pictureFormats())
        if (f.write && f.id != FormatId::Bitmap && saveEntry(f) == entry) return &f;
    return nullptr;
}

// The name a save writes: a name without an extension gets the chosen
// format's, or the first written format's. Empty when the name asks for a
// format no save writes (with the first entry chosen, the extension decides).
static std::string savedName(const std::string& name, const PictureFormat* chosen, bool work) {
    if (upperExtension(name).empty()) {
        if (name.empty() || name.back() == '/') return name;
        if (work) return name + kWorkExtension;
        return name + (chosen ? chosen : &pictureFormats()[0])->extensions[0];
    }
    if (chosen || work) return name;
    return (isPictureName(name) && formatOfName(name).write) || isWorkFileName(name) ? name : std::string();
}

std::string savedFileName(const std::string& name) { return savedName(name, nullptr, false); }

// The designed failure message, then why: the name asks for a format that
// no save writes.
static std::string formatRefusal(const std::string& name) {
    std::string formats;
    for (const PictureFormat& f : pictureFormats()) {
        if (f.write) formats += (formats.empty() ? "" : ", ") + saveEntry(f);
    }
    formats += std::string(", ") + kWorkFileEntry;
    return std::string(kSaveFailedMessage) + " " + name + ": Chromawell saves " + formats + " files only.";
}

bool saveImageAs(Session& s) {
    if (!s.imageWindowOpen || !s.ws) return false;
    const auto chosen = s.dialogs.saveFile({kSaveTitle, saveFilter(), ".", "bmp"});
    if (!chosen) return false;
    const PictureFormat* entry = formatOfEntry(chosen->filterEntry);
    const bool workEntry = chosen->filterEntry == kWorkFileEntry;
    const std::string name = savedName(chosen->path, entry, workEntry);
    if (name.empty()) {
        s.messages.error(formatRefusal(chosen->path));
        return false;
    }
    const PictureFormat& format = entry ? *entry : formatOfName(name);
    struct stat st;
    if (::stat(name.c_str(), &st) == 0 && !s.messages.confirm(kOverwriteQuestion)) return false;

    s.progress.begin(kPhaseSaving, {.hideGauge = true, .hideAbort = true});
    std::optional<std::string> failure;
    try {
        // The recording of the last change, if still under way, waits.
        const ForegroundWork saving;
        // The working picture: the display also holds the anchor marks and
        // the outlines drawn over it for the user.
        if (workEntry || (!entry && isWorkFileName(name))) writeWorkFile(s, name);
        else format.write(s.ws->colour, name);
    } catch (const SaveError& e) {
        failure = saveFailedMessage(name, e.error());
    } catch (const std::exception&) {
        failure = kSaveFailedMessage;
    }
    if (failure) {
        // The picture stays open and the old file, if any, untouched: the
        // user can save again elsewhere.
        s.messages.error(*failure);
        s.progress.setAbortVisible(true);
        s.progress.setGaugeVisible(true);
        if (s.progress.visible()) s.progress.end();
        s.mainEnabled = true;
        s.host.mainWindowChanged();
        return false;
    }
    s.ws->imageModified = false;
    s.reworked = false;
    s.progress.setGaugeVisible(true);
    s.progress.setAbortVisible(true);
    s.progress.setPhase(kPhaseWorking);
    s.progress.end();
    s.host.status(kSavedStatus + name);
    return true;
}

} // namespace cw
