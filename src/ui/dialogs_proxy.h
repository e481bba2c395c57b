#pragma once
// The main window's dialogs: the desktop's, except that a picture named on
// the command line or dropped on the window answers the next open dialog.
#include <optional>
#include <string>
#include <vector>

#include "actions/ports.h"

namespace cw {

struct DialogsProxy final : Dialogs {
    Dialogs* inner = nullptr;
    std::optional<std::string> nextOpen;
    std::vector<std::string> openFiles(const FileDialogRequest& request) override {
        if (nextOpen) return {*nextOpen};
        return inner->openFiles(request);
    }
    std::optional<ChosenFile> saveFile(const FileDialogRequest& request) override { return inner->saveFile(request); }
    std::optional<int32_t> pickColour() override { return inner->pickColour(); }
};

} // namespace cw
