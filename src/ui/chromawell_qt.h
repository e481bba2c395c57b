#pragma once
// The program's start-up: the splash, the title and the long-lived windows.
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "ui/tform1.h"

namespace cw {

class TForm3;
class TForm5;
class TForm7;
class TEULAFrm;
class ProgramScratch;

inline constexpr const char* kApplicationTitle = "Chromawell 2.1";

struct ChromawellOptions {
    Form1Services services;
    bool splash = true;
};

class Chromawell {
public:
    using Options = ChromawellOptions;
    explicit Chromawell(Options options = {});
    ~Chromawell();

    // Shows the main window maximised; its first show runs the start-up checks.
    void showMain();

    TForm1& form1() { return *form1_; }
    TForm3& form3() { return *form3_; }
    TForm7& form7() { return *form7_; }
    TEULAFrm& eulaFrm() { return *eula_; }
    TForm5* splash() { return splash_; }
    // The long-lived windows by object name, in the order they were made.
    const std::vector<std::string>& creationOrder() const { return order_; }

private:
    // Outlives the windows, whose session writes into it.
    std::unique_ptr<ProgramScratch> scratch_;
    std::vector<std::string> order_;
    TForm5* splash_ = nullptr;
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<TForm3> form3_;
    std::unique_ptr<TForm7> form7_;
    std::unique_ptr<TEULAFrm> eula_;
};

} // namespace cw
