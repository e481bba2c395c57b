#pragma once
// The image window without a window: for the batch runner and core tests.
#include "actions/image_window.h"
#include "actions/ports.h"
#include "actions/session.h"

namespace cw {

class HeadlessHost final : public WindowHost {
public:
    Session* session = nullptr;
    int created = 0, shown = 0, closed = 0;
    void createImageWindow() override { ++created; }
    void showImageWindow() override {
        ++shown;
        formShow(*session);
    }
    void closeImageWindow() override {
        ++closed;
        formClose(*session);
    }
};

} // namespace cw
