#include "platform/sane_connection.h"

namespace cw {

bool SaneConnection::load() {
    api_ = saneApi();
    if (!api_) return false;
    state_ = ScanState::ManagerLoaded;
    return true;
}

SANE_Status SaneConnection::openManager() {
    SANE_Int version = 0;
    const SANE_Status st = api_->init(&version, nullptr);
    if (st != SANE_STATUS_GOOD) return st;
    inited_ = true;
    state_ = ScanState::ManagerOpen;
    return SANE_VERSION_MAJOR(version) == SANE_CURRENT_MAJOR ? SANE_STATUS_GOOD : SANE_STATUS_UNSUPPORTED;
}

SANE_Status SaneConnection::openDevice(const std::string& name) {
    SANE_Handle h = nullptr;
    const SANE_Status st = api_->open(name.c_str(), &h);
    if (st != SANE_STATUS_GOOD) return st;
    if (!h) return SANE_STATUS_INVAL;
    if (handle_) api_->close(handle_);
    handle_ = h;
    deviceName_ = name;
    state_ = ScanState::SourceOpen;
    return SANE_STATUS_GOOD;
}

void SaneConnection::endTransfers() {
    if (scanning_) api_->cancel(handle_);
    scanning_ = false;
    if (handle_) state_ = ScanState::SourceEnabled;
}

void SaneConnection::closeDown() {
    if (!api_) return;
    endTransfers();
    if (handle_) {
        state_ = ScanState::SourceOpen;
        api_->close(handle_);
        handle_ = nullptr;
        state_ = ScanState::ManagerOpen;
    }
    if (inited_) {
        api_->exit();
        inited_ = false;
    }
    // The library itself stays mapped for the next connection.
    state_ = ScanState::PreSession;
    api_ = nullptr;
}

} // namespace cw
