#pragma once
// SANE, bound at run time so that the program starts and runs where no SANE
// library is installed. <sane/sane.h> is included for its types only; every
// function is looked up with dlsym.
#include <string>

#include <sane/sane.h>

namespace cw {

inline constexpr const char* kSaneLibrary = "libsane.so.1";

struct SaneApi {
    decltype(&::sane_init) init = nullptr;
    decltype(&::sane_exit) exit = nullptr;
    decltype(&::sane_get_devices) get_devices = nullptr;
    decltype(&::sane_open) open = nullptr;
    decltype(&::sane_close) close = nullptr;
    decltype(&::sane_get_option_descriptor) get_option_descriptor = nullptr;
    decltype(&::sane_control_option) control_option = nullptr;
    decltype(&::sane_get_parameters) get_parameters = nullptr;
    decltype(&::sane_start) start = nullptr;
    decltype(&::sane_read) read = nullptr;
    decltype(&::sane_cancel) cancel = nullptr;
    decltype(&::sane_set_io_mode) set_io_mode = nullptr;
};

// The binding, loaded on first use and kept for the rest of the run; null
// when the library cannot be loaded or lacks one of the functions above.
// Safe to call from several threads.
const SaneApi* saneApi();

// Test hook: forget the current binding and load `name` on next use (a
// missing name simulates a system without SANE). The library loaded before
// stays mapped, since its backends may have left threads or handlers behind.
void setSaneLibraryName(const std::string& name);

} // namespace cw
