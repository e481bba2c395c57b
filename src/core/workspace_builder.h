#pragma once
// Builds the workspace of a picture while its rows are still arriving (from
// the JPEG decoder), on a second thread, so that the set-up of a large
// picture costs little more than its decoding.
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "core/workspace.h"

namespace cw {

class Progress;

class WorkspaceBuilder {
public:
    // Sees each block of rows [y0, y0 + count) as read, before Force Gray
    // changes it; it runs on either thread and must not throw.
    using RowSink = std::function<void(int32_t y0, int32_t count)>;

    // `pixels` is the picture's buffer (width x height, filled top-down by
    // the producer); it becomes the displayed picture. Allocates every other
    // buffer up front; throws std::bad_alloc.
    WorkspaceBuilder(uint32_t* pixels, int32_t width, int32_t height, bool forceGray, RowSink sink = {});
    ~WorkspaceBuilder();  // abandons the work and joins the thread
    WorkspaceBuilder(const WorkspaceBuilder&) = delete;
    WorkspaceBuilder& operator=(const WorkspaceBuilder&) = delete;

    // The producer has filled rows [0, rows).
    void rowsArrived(int32_t rows);
    // Stops at once; the buffer may be freed after this returns.
    void abandon();
    // All rows have arrived: processes what is left (the sink has then seen
    // every row).
    void completeRows();
    // All rows have arrived: finishes the work on both threads and returns
    // the workspace, whose displayed picture is `picture` (the same buffer).
    std::unique_ptr<Workspace> finish(Bitmap picture, Progress& progress);

private:
    static constexpr int32_t kBlockRows = 16;
    void workerLoop();
    bool claimAndProcess(bool wait);
    void processBlock(int32_t y0, int32_t count, int thread);
    void scatterHalf(int half);

    uint32_t* pixels_;
    int32_t width_, height_;
    int32_t split_;  // first row of the second half
    bool forceGray_;
    RowSink sink_;
    std::unique_ptr<Workspace> ws_;
    // Per thread, per half of the rows, the count of each gray level: the
    // halves are placed into the buckets in parallel and stay row-major.
    std::array<std::array<std::array<uint32_t, 256>, 2>, 2> counts_{};
    std::array<std::array<uint32_t, 256>, 2> next_{};

    std::mutex mutex_;
    std::condition_variable wake_;
    int32_t arrived_ = 0;    // guarded by mutex_
    int32_t claimed_ = 0;    // guarded by mutex_
    int32_t done_ = 0;       // rows processed, guarded by mutex_
    bool stop_ = false;      // guarded by mutex_
    std::condition_variable allDone_;
    std::thread worker_;
};

} // namespace cw
