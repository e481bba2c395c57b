#pragma once
// What the core asks of the windows. The Qt windows implement these over
// QMessageBox, QFileDialog and the MDI frame; tests and the batch runner plug
// in their own.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "document/observer.h"

namespace cw {

// The answers to the question asked before unsaved changes go.
enum class SaveChoice { Save, Discard, Cancel };

class Messages {
public:
    virtual ~Messages() = default;
    virtual void info(const std::string& text) = 0;
    virtual bool confirm(const std::string& text) = 0;  // Yes/No; true for Yes
    virtual void error(const std::string& text) = 0;
    // The scanner's own box: its title and an exclamation mark, owned by no window.
    virtual void scanError(const std::string& text) { error(text); }
    // Save, Discard or Cancel. Without windows nobody is asked, and the work
    // goes as a script says.
    virtual SaveChoice askToSave(const std::string& /*text*/) { return SaveChoice::Discard; }
};

struct FileDialogRequest {
    std::string title;
    std::string filter;      // Qt filter syntax, ";;" between entries
    std::string folder;      // initial folder
    std::string defaultSuffix;
};

// What a save dialog gave: the name, and the entry of its filter that was
// chosen (empty for the first, the default).
struct ChosenFile {
    std::string path;
    std::string filterEntry;
    ChosenFile(std::string p, std::string entry = {}) : path(std::move(p)), filterEntry(std::move(entry)) {}
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Empty when cancelled; several names when several files were selected.
    virtual std::vector<std::string> openFiles(const FileDialogRequest& request) = 0;
    virtual std::optional<ChosenFile> saveFile(const FileDialogRequest& request) = 0;
    // The colour dialog: a confirmed colour as 0x00BBGGRR, or nothing.
    virtual std::optional<int32_t> pickColour() { return std::nullopt; }
};

// Steps of the image window's view scale.
enum class ViewScale { ZoomIn, ZoomOut, Fit, Actual };

// The image window's life as the actions drive it.
class WindowHost : public DocumentObserver {
public:
    virtual void createImageWindow() = 0;  // may throw std::bad_alloc
    virtual void showImageWindow() = 0;    // runs the image window's show handler
    virtual void closeImageWindow() = 0;   // runs its close handler, destroys it
    virtual void fitImageWindow() {}       // size it to the main window's client area
    virtual void popupPaletteMenu(int /*x*/, int /*y*/) {}
    // Only windows have a view to scale.
    virtual void scaleView(ViewScale /*step*/) {}
    // Printing needs the print options dialog and a printer, scanning the
    // scanner's own dialogs: only a host with windows has them, and one
    // without does nothing.
    virtual void printPicture() {}
    virtual void scanImage() {}
    // A passing note on what a command did ("Saved ..."); a host without a
    // status line drops it.
    virtual void status(const std::string& /*text*/) {}
    // The help and information button, and closing the main window.
    virtual void showHelp() {}
    virtual void quitProgram() {}
};

} // namespace cw
