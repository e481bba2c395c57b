#pragma once
// The image window without a window: for the batch runner and core tests.
#include "actions/picture_setup.h"
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
        beginPictureSetup(*session);
    }
    void closeImageWindow() override {
        ++closed;
        closePicture(*session);
    }
};

} // namespace cw
