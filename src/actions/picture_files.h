#pragma once
// Load Image / Clear Image, Restore and SaveAs.
#include <string>

namespace cw {

struct Session;

inline constexpr const char* kInvalidImageMessage =
    "In-valid/ un-supported Image-type, or out of real memory!";
inline constexpr const char* kSaveFailedMessage =
    "Unable to Save Picture: out of disk space, or an un-known error occured.";
inline constexpr const char* kOverwriteQuestion = "Specified file exists; overwrite?";
inline constexpr const char* kPhaseInitialising = "Initialising Image....";
inline constexpr const char* kPhaseSaving = "Saving Image to disk....";
inline constexpr const char* kOpenTitle = "Select Image to load";
inline constexpr const char* kSaveTitle = "Save Current Image to disk";
// The save dialog's first entry, its default; the other written formats follow.
inline constexpr const char* kSaveFilter = "MS Windows SPF 24bit bitmap (*.bmp)";
std::string saveFilter();
// The open dialog's filter: the pictures and the work files.
std::string openDialogFilter();
// The name of a picture that came from the scanner, which has no file of its own.
inline constexpr const char* kScannedPictureName = "Scanned image";
inline constexpr const char* kSavedStatus = "Saved ";
// Asked before unsaved colouring goes: the question names the picture.
inline constexpr const char* kSaveChangesQuestion = "Save the changes to ";

// The designed message, followed by what the system said about `where` when
// it gave an errno (`error`), so that a cause other than a full disk is named.
std::string saveFailedMessage(const std::string& where, int error);

// The Load button: loads while it reads "Load Image", otherwise clears.
void loadButtonClick(Session& s);
// Load Image. fromScanner takes the open file name without a dialog when
// that file exists.
void loadImage(Session& s, bool fromScanner = false);
// Clear Image; false when the user kept the picture.
bool clearImage(Session& s);
void restoreImage(Session& s);
// SaveAs; true when the picture was written.
bool saveImageAs(Session& s);
// The file a save of `name` writes with the first dialog entry chosen (a
// name without extension gets the bitmap's); empty where it writes none.
std::string savedFileName(const std::string& name);

// Before the open picture goes: unsaved changes are offered for saving, and
// Save runs SaveAs. True when the caller may go on (nothing unsaved, the
// changes discarded, or saved); false when the user kept the picture.
bool settleUnsavedChanges(Session& s);

} // namespace cw
