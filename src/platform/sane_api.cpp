#include "platform/sane_api.h"

#include <dlfcn.h>
#include <memory>
#include <mutex>
#include <vector>

namespace cw {

namespace {

std::mutex gMutex;
std::string gName = kSaneLibrary;
bool gTried = false;
std::unique_ptr<SaneApi> gApi;

template <typename F>
bool bind(void* lib, const char* symbol, F& fn) {
    fn = reinterpret_cast<F>(::dlsym(lib, symbol));
    return fn != nullptr;
}

std::unique_ptr<SaneApi> load(const std::string& name) {
    void* lib = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) return nullptr;
    auto api = std::make_unique<SaneApi>();
    const bool complete = bind(lib, "sane_init", api->init) && bind(lib, "sane_exit", api->exit) &&
                          bind(lib, "sane_get_devices", api->get_devices) && bind(lib, "sane_open", api->open) &&
                          bind(lib, "sane_close", api->close) &&
                          bind(lib, "sane_get_option_descriptor", api->get_option_descriptor) &&
                          bind(lib, "sane_control_option", api->control_option) &&
                          bind(lib, "sane_get_parameters", api->get_parameters) &&
                          bind(lib, "sane_start", api->start) && bind(lib, "sane_read", api->read) &&
                          bind(lib, "sane_cancel", api->cancel) && bind(lib, "sane_set_io_mode", api->set_io_mode);
    if (!complete) {
        // Nothing of it has run yet, so it can go.
        ::dlclose(lib);
        return nullptr;
    }
    return api;
}

} // namespace

const SaneApi* saneApi() {
    std::lock_guard lock(gMutex);
    if (!gTried) {
        gTried = true;
        gApi = load(gName);
    }
    return gApi.get();
}

void setSaneLibraryName(const std::string& name) {
    std::lock_guard lock(gMutex);
    gName = name;
    gTried = false;
    // A caller may still hold the old pointer; keep the table alive.
    static std::vector<std::unique_ptr<SaneApi>> retired;
    if (gApi) retired.push_back(std::move(gApi));
}

} // namespace cw
