#include "app/preview/preview_controller.h"

#include "pipeline/processor/raw_processor.h"
#include "pipeline/settings/undo_manager.h"
#include "platform/dispatch.h"
#include "platform/log.h"

namespace dvk {

PreviewController::PreviewController(RawProcessor& rawProcessor, PreviewHooks hooks)
    : rp_(rawProcessor), hooks_(std::move(hooks)) {
    for (const char* name : {"infoX", "infoY", "infoR", "infoG", "infoB", "infoL", "infoa", "infob", "infoDR",
                             "infoDG", "infoDB", "infoDL"})
        controls_.infos[name].assign(1, '0');
    fileLoaded_ = rp_.isFileNameDefined() && rp_.image32();
    worker_ = std::make_unique<ApplyWorker>([this] { applyBegin(); }, [this] { applyRun(); },
                                            [this] { applyFinish(); });
}

PreviewController::~PreviewController() {
    // Joins the worker first: a run still going finishes on the processor.
    worker_.reset();
    if (heldUndoManager_) rp_.setUndoManager(heldUndoManager_);
}

void PreviewController::setProgressMT(double value) {
    if (hooks_.setProgressMT) {
        hooks_.setProgressMT(value);
        return;
    }
    std::weak_ptr<int> alive = lifeToken_;
    runOnMainQueue([this, alive, value] {
        if (!alive.expired()) rp_.setProgress(value);
    });
}

unsigned PreviewController::modifierFlags() const {
    return hooks_.modifierFlags ? hooks_.modifierFlags() : currentModifierFlags();
}

bool PreviewController::hasWorkingImage() const {
    if (worker_->running()) return hadWorkingImage_;
    return rp_.dvklib() && rp_.dvklib()->image_data();
}

void PreviewController::whenIdle(std::function<void()> task) {
    if (hooks_.rawProcessorInUse && hooks_.whenRawProcessorFree && hooks_.rawProcessorInUse()) {
        hooks_.whenRawProcessorFree([this, task = std::move(task)]() mutable { whenIdle(std::move(task)); });
        return;
    }
    worker_->whenIdle(std::move(task));
}

bool PreviewController::isBusy() const { return !rp_.isNotInProgress() || worker_->running(); }

void PreviewController::setWBToCustom() {
    if (hooks_.setWBToCustom)
        hooks_.setWBToCustom();
    else
        rp_.setUseCameraWB(0);
}

void PreviewController::setCustomCameraProfile(const std::string& name) {
    if (hooks_.setCustomCameraProfile) {
        hooks_.setCustomCameraProfile(name);
        return;
    }
    rp_.setCustomRawProfile(name == "Default" ? std::string() : name);
}

void PreviewController::setSetting(const std::string& key, const SettingsValue& value) {
    whenIdle([this, key, value] {
        try {
            rp_.setValueForKey(key, value);
        } catch (const std::exception& e) {
            log_line("Setting %s refused: %s", key.c_str(), e.what());
        }
    });
}

void PreviewController::changeSetting(const std::string& key, const SettingsValue& value,
                                      const std::string& controlTitle) {
    setSetting(key, value);
    apply(ApplySender::control(controlTitle));
}

std::shared_ptr<UndoManager> PreviewController::windowWillReturnUndoManager(WindowKind window) {
    if (window != WindowKind::Main && window != WindowKind::None) return nullptr;
    if (!undoManager_) undoManager_ = std::make_shared<UndoManager>();
    return undoManager_;
}

void PreviewController::undo() {
    whenIdle([this] {
        if (rp_.undoManager() && rp_.undoManager()->undo()) apply(ApplySender::none());
    });
}

void PreviewController::redo() {
    whenIdle([this] {
        if (rp_.undoManager() && rp_.undoManager()->redo()) apply(ApplySender::none());
    });
}

bool PreviewController::clippingStateForImage(const DisplayImage* image) {
    const auto it = image ? clippingStates_.find(image->serial) : clippingStates_.end();
    if (it == clippingStates_.end()) {
        log_line("Unknown clippingStateForImage %p", static_cast<const void*>(image));
        return false;
    }
    return it->second;
}

void PreviewController::setClippingState(bool state, const DisplayImage* image) {
    if (!image) return;
    // States of images no longer shown or kept are dropped.
    for (auto it = clippingStates_.begin(); it != clippingStates_.end();) {
        bool kept = (shown_ && shown_->serial == it->first) || (latest_ && latest_->serial == it->first);
        for (const PrevEntry& e : prev_) kept = kept || (e.preview && e.preview->serial == it->first);
        it = kept ? std::next(it) : clippingStates_.erase(it);
    }
    clippingStates_[image->serial] = state;
}

std::vector<std::uint8_t> PreviewController::outputProfileBytes() const {
    const DVKLib* d = rp_.dvklib();
    if (!d || !d->output_profile_data || d->output_profile_size <= 1) return {};
    const auto* p = reinterpret_cast<const std::uint8_t*>(d->output_profile_data);
    return std::vector<std::uint8_t>(p, p + d->output_profile_size - 1);
}

}  // namespace dvk
