#pragma once
// The work on the open picture, written now and then while it has unsaved
// changes, so that a crash or a power cut loses only the last minutes. The
// caller's thread only copies the buffers; the autosave's own thread makes
// the buffers beforehand (mapping in a few hundred MB takes longer than
// copying into them) and compresses and writes the copy. Each running
// program has a file of its own in the folder, named as its scratch folder
// is, and a program that ends normally removes it. What a program that
// crashed left is offered at the next start.
#include <atomic>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace cw {

struct Document;
struct WorkCopy;

class Autosave {
public:
    explicit Autosave(std::string folder);
    ~Autosave();  // waits for the thread; the file stays (remove() takes it)
    Autosave(const Autosave&) = delete;
    Autosave& operator=(const Autosave&) = delete;

    // Called on the autosave's thread once buffers for the picture are
    // made, for the caller to start the round again on its own thread.
    void whenPrepared(std::function<void()> notify) { whenPrepared_ = std::move(notify); }
    // Copies the work and writes it on the autosave's thread. False when
    // the thread is busy (the round is left out), when buffers for the
    // picture are first being made (whenPrepared tells when), or when
    // memory is short.
    bool save(const Document& d);
    // Waits for the thread.
    void wait();
    // The work was saved or closed, or the program ends: its autosave and
    // the buffers go.
    void remove();
    // Takes over a file a crashed program left, as this program's own.
    bool adopt(const std::string& leftFile);
    const std::string& path() const { return path_; }
    const std::string& folder() const { return folder_; }
    // Whether the last write failed (a full disk): the next round tries again.
    bool failed() const { return failed_; }

private:
    // Runs `work` on the autosave's thread; when it returns true, whenPrepared is told.
    void start(std::function<bool()> work);

    std::string folder_, path_;
    std::thread thread_;
    std::atomic<bool> busy_{false}, failed_{false};
    std::shared_ptr<WorkCopy> copy_;
    std::function<void()> whenPrepared_;
};

// A file a program that no longer runs left behind.
struct LeftWork {
    std::string path;
    std::string pictureName;  // the picture the work is on
    std::time_t time = 0;     // when it was written
};
// Newest first.
std::vector<LeftWork> leftWork(const std::string& folder);

} // namespace cw
