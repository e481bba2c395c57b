#pragma once
// The document together with the ports the actions talk through: message
// boxes, dialogs, the image window's life and the scratch folder.
#include <string>

#include "actions/ports.h"
#include "document/document.h"

namespace cw {

struct Session : Document {
    Session(Progress& p, Messages& m, Dialogs& d, WindowHost& h, std::string scratch)
        : Document(p, h), messages(m), dialogs(d), host(h), scratchFolder(std::move(scratch)) {}

    Messages& messages;
    Dialogs& dialogs;
    WindowHost& host;
    std::string scratchFolder;
};

} // namespace cw
