// Controller: the busy test the roads, open events, drops, presets and the
// history window's batch share, and the threads of the roads. The roads that
// load into the controller's RawProcessor, and the save road that follows
// it, set its progress while they run; a progress of 0 (nothing started) or 100 and above (done) is idle.
// The roads of this controller also count themselves from their start on the
// main thread to their end there, so that a progress the stages push to 100
// mid-way does not end the busy time early.
#include "app/controller/controller.h"
#include "platform/log.h"

namespace dvk {

bool Controller::isBusy() const { return roadsRunning_.load() > 0 || !rawProcessor_->isNotInProgress(); }

std::shared_ptr<void> Controller::beginRoad(bool usesRawProcessor) {
    setProgressMT(1.0);
    ++roadsRunning_;
    if (usesRawProcessor) ++processorRoads_;
    auto activity = std::make_shared<ActivityTracker::Token>(activity_.begin());
    std::weak_ptr<int> alive = lifeToken_;
    return std::shared_ptr<void>(nullptr, [this, alive, activity, usesRawProcessor](void*) {
        // After the road's own tasks on the main queue (they were queued first).
        runOnMainQueue([this, alive, activity, usesRawProcessor] {
            if (!alive.lock()) return;
            --roadsRunning_;
            if (usesRawProcessor && --processorRoads_ == 0) runWhenRawProcessorFree();
        });
    });
}

bool Controller::rawProcessorInUse() const { return processorRoads_.load() > 0; }

void Controller::whenRawProcessorFree(std::function<void()> task) {
    if (!rawProcessorInUse()) {
        task();
        return;
    }
    waitingForRawProcessor_.push_back(std::move(task));
}

void Controller::runWhenRawProcessorFree() {
    std::vector<std::function<void()>> due;
    due.swap(waitingForRawProcessor_);
    for (auto& task : due) {
        if (rawProcessorInUse()) {
            waitingForRawProcessor_.push_back(std::move(task));
        } else {
            task();
        }
    }
}

bool Controller::startRoad(std::function<void()> work) {
    if (threads_.start(std::move(work))) return true;
    setProgressMT(0);
    return false;
}

void Controller::waitForRoads() { threads_.joinAll(); }

void Controller::stopRoads() {
    threads_.requestStop();
    threads_.joinAll();
}

}  // namespace dvk
