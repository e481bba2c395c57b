#pragma once
// Help pages and the first-run record.
#include <QString>

namespace cw {

inline constexpr const char* kHelpIndexPage = "cwdoc0.html";
inline constexpr const char* kFirstStepsPage = "cwdoc21.html";

// The help page beside the program (doc/), or where the installation put it.
QString helpPagePath(const char* page);
// Hands the page to the desktop's browser.
void openHelpPage(const char* page);

bool agreementAccepted();
void recordAgreementAccepted();

} // namespace cw
