#pragma once
// The program's start-up: the splash, the title and the long-lived windows.
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "ui/main_window.h"

namespace cw {

class PrintWindow;
class AboutWindow;
class ProgressWindow;
class AgreementWindow;
class ProgramScratch;

inline constexpr const char* kApplicationTitle = "Chromawell 2.1";

struct ChromawellOptions {
    MainWindowServices services;
    bool splash = true;
};

class Chromawell {
public:
    using Options = ChromawellOptions;
    explicit Chromawell(Options options = {});
    ~Chromawell();

    // Shows the main window maximised; its first show runs the start-up checks.
    void showMain();

    MainWindow& mainWindow() { return *mainWindow_; }
    PrintWindow& printWindow() { return *printWindow_; }
    ProgressWindow& progressWindow() { return *progressWindow_; }
    AgreementWindow& agreementWindow() { return *agreement_; }
    AboutWindow* splash() { return splash_; }
    // The long-lived windows by object name, in the order they were made.
    const std::vector<std::string>& creationOrder() const { return order_; }

private:
    // Outlives the windows, whose session writes into it.
    std::unique_ptr<ProgramScratch> scratch_;
    std::vector<std::string> order_;
    AboutWindow* splash_ = nullptr;
    std::unique_ptr<MainWindow> mainWindow_;
    std::unique_ptr<PrintWindow> printWindow_;
    std::unique_ptr<ProgressWindow> progressWindow_;
    std::unique_ptr<AgreementWindow> agreement_;
};

} // namespace cw
