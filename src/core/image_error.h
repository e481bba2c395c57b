#pragma once
#include <stdexcept>
#include <string>

namespace cw {

// A picture file that is damaged, truncated, of an unsupported kind or of an
// absurd size. Running out of memory is reported as std::bad_alloc instead.
class InvalidImage : public std::runtime_error {
public:
    explicit InvalidImage(const std::string& why) : std::runtime_error(why) {}
};

// Throws std::bad_alloc when `bytes` more would not fit in the memory the
// system reports as available, so that a huge but well-formed picture is
// refused before the allocation rather than by the kernel's OOM killer.
void ensureMemoryFor(unsigned long long bytes);
// A lower limit than the system's, for harnesses that run under one.
void setMemoryCeiling(unsigned long long bytes);

} // namespace cw
