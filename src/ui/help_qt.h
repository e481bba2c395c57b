#pragma once
// Help pages and the first-run record.
#include <QString>
#include <memory>

class QSettings;
class QWidget;

namespace cw {

inline constexpr const char* kHelpIndexPage = "cwdoc0.html";
inline constexpr const char* kFirstStepsPage = "cwdoc21.html";

// The help page beside the program (doc/), or where the installation put it.
QString helpPagePath(const char* page);
// Hands the page to the desktop's browser, or, where the desktop has none,
// shows it in a help window of ours, which lives as long as the window that
// `from` belongs to.
void openHelpPage(const char* page, QWidget* from);

// The program's settings between runs (the agreement, the autosave interval).
std::unique_ptr<QSettings> programSettings();

bool agreementAccepted();
void recordAgreementAccepted();

} // namespace cw
