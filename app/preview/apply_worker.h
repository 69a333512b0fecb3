// ApplyWorker: the one thread that develops the preview again after a change.
//
// The main thread asks with request(); the worker runs `run` on its own
// thread, then `finish` runs on the main queue. Requests made while a run is
// going collapse into one more run, started from the main queue right after
// `finish` of the current run has returned, so the image of a run is shown
// before the next run begins and the last request is always served. The main
// thread never waits for the worker.
//
// While busy() the worker owns what `run` touches; the main thread keeps its
// hands off it and hands changes it wants to make to whenIdle(), which runs
// them after `finish` (before a pending run starts), or at once when idle.
//
// The object is made, asked and destroyed on the main thread; its destructor
// lets a running run end and joins the thread. At quit, waitForRunToEnd
// bounds the wait for a run first, so that a run that does not end cannot
// hold the process.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace dvk {

class ApplyWorker {
public:
    using Task = std::function<void()>;

    // `begin` runs on the main thread as each run starts, `run` on the
    // worker, `finish` on the main queue after it.
    ApplyWorker(Task begin, Task run, Task finish);
    ~ApplyWorker();
    ApplyWorker(const ApplyWorker&) = delete;
    ApplyWorker& operator=(const ApplyWorker&) = delete;

    // Starts a run, or marks one to follow the run that is going. `after`
    // (may be empty) runs on the main thread after the `finish` of the next
    // run to start, the one that sees everything changed before this call.
    void request(Task after = {});
    // True from the start of a run until its `finish` and its `after` tasks
    // have returned.
    bool busy() const { return busy_; }
    // True while the worker thread may be inside `run`: from the start of a
    // run until its `finish` begins. The main thread leaves the worker's
    // data alone meanwhile.
    bool running() const { return running_; }
    // True while another run is waiting for the current one.
    bool pending() const { return pending_; }
    // Runs `task` now when idle, else once the current run has finished.
    void whenIdle(Task task);
    // Runs completed since construction (main thread).
    unsigned long runs() const { return runs_; }
    // Waits at most `limit` while the worker thread is inside `run`; true
    // when it is not (any more). For the quit, once the main queue has
    // stopped: only then may the object be destroyed without a long wait.
    bool waitForRunToEnd(std::chrono::milliseconds limit);

private:
    void loop();
    void finished();
    void start();

    Task begin_, run_, finish_;
    // Main-thread state.
    bool busy_ = false;
    bool running_ = false;
    std::vector<Task> nextAfter_, currentAfter_;
    bool flushing_ = false;
    bool pending_ = false;
    unsigned long runs_ = 0;
    std::deque<Task> idleTasks_;
    // Shared with the thread.
    std::mutex mutex_;
    std::condition_variable cv_;
    bool go_ = false;
    bool stop_ = false;
    bool inRun_ = false;
    // Main-queue tasks queued by the thread check this token, so one that
    // arrives after the worker is gone does nothing.
    std::shared_ptr<int> lifeToken_ = std::make_shared<int>(0);
    std::thread thread_;
};

}  // namespace dvk
