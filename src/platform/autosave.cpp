#include "platform/autosave.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <new>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "actions/work_file.h"
#include "document/document.h"
#include "platform/program_scratch.h"

namespace cw {

Autosave::Autosave(std::string folder)
    : folder_(std::move(folder)), path_(folder_ + "/" + runningProgramName() + kWorkExtension) {}

Autosave::~Autosave() { wait(); }

void Autosave::wait() {
    if (thread_.joinable()) thread_.join();
}

void Autosave::start(std::function<bool()> work) {
    wait();
    busy_ = true;
    thread_ = std::thread([this, work = std::move(work)] {
        // Behind whatever the user does.
        ::setpriority(PRIO_PROCESS, pid_t(::syscall(SYS_gettid)), 10);
        const bool prepared = work();
        busy_ = false;
        if (prepared && whenPrepared_) whenPrepared_();
    });
}

bool Autosave::save(const Document& d) {
    if (busy_ || !d.ws) return false;
    const int32_t width = d.ws->width, height = d.ws->height;
    try {
        if (!copy_ || !copy_->fits(width, height)) {
            copy_.reset();
            start([this, width, height] {
                try {
                    copy_ = std::make_shared<WorkCopy>(width, height);
                    return true;
                } catch (const std::bad_alloc&) {
                    return false;
                }
            });
            return false;
        }
        wait();
        copyWork(d, *copy_);
        std::error_code ignored;
        std::filesystem::create_directories(folder_, ignored);
        ::chmod(folder_.c_str(), 0700);
        start([this] {
            try {
                writeWorkCopy(*copy_, path_);
                failed_ = false;
            } catch (const std::exception&) {
                failed_ = true;  // the last autosave, if any, is intact
            }
            return false;
        });
        return true;
    } catch (const std::exception&) {
        return false;  // no thread or no memory: the next round tries again
    }
}

void Autosave::remove() {
    wait();
    copy_.reset();
    ::unlink(path_.c_str());
}

bool Autosave::adopt(const std::string& leftFile) {
    wait();
    std::error_code ignored;
    std::filesystem::create_directories(folder_, ignored);
    return ::rename(leftFile.c_str(), path_.c_str()) == 0;
}

std::vector<LeftWork> leftWork(const std::string& folder) {
    std::vector<LeftWork> left;
    std::error_code failed;
    for (const auto& entry : std::filesystem::directory_iterator(folder, failed)) {
        const std::string name = entry.path().filename().string();
        if (!isWorkFileName(name)) continue;
        const std::string program = name.substr(0, name.size() - 4);
        struct stat st;
        if (programStillRuns(program) || ::lstat(entry.path().c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::geteuid())
            continue;
        left.push_back({entry.path().string(), workPictureName(entry.path().string()), st.st_mtime});
    }
    std::sort(left.begin(), left.end(), [](const LeftWork& a, const LeftWork& b) { return a.time > b.time; });
    return left;
}

} // namespace cw
