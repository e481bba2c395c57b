#pragma once
// The Print button's job: the displayed picture on one page, where the print
// options put it.
#include <QString>
#include <optional>

class QImage;
class QPrinter;
class QRect;

namespace cw {

struct Session;
class PrintWindow;

// The printer's own failure: where the job went (the file, or the printer's
// name) and why.
inline constexpr const char* kPrintFailed = "The picture could not be printed on %1: %2.";
// A job handed over: how many pages, and where to.
inline constexpr const char* kPrintedStatus = "Printed %1 page(s) to %2";

// Asks for the options, then prints the displayed picture as one page.
// Problems go to the session's messages, a done job to its status line.
void printDisplayedPicture(Session& s, PrintWindow& options, bool imageWindowVisible);

// Prints the picture stretched into `where` as one page; nothing when the
// job went through, else the message that says why it failed.
std::optional<QString> printPage(QPrinter& printer, const QImage& picture, const QRect& where);

} // namespace cw
