// Controller: the camera-profiling panel. The workflow (profiling/) holds its
// rules; the controller is its host (the open file's processor, the preview,
// the profile menu) and hands it the panel's actions once the apply worker
// leaves the processor alone.
#include "app/controller/controller.h"
#include "app/preview/preview_controller.h"
#include "app/desktop/profiling_platform.h"
#include "platform/user_defaults.h"
#include "profiling/profiling_workflow.h"

namespace dvk {

namespace {

class ControllerProfilingHost : public ProfilingHost {
public:
    explicit ControllerProfilingHost(Controller& c) : c_(c) {}
    RawProcessor* processor() override {
        RawProcessor* p = c_.rawProcessor();
        return p && c_.preview().fileLoaded() ? p : nullptr;
    }
    unsigned previewWidth() const override { return c_.preview().width(); }
    unsigned previewHeight() const override { return c_.preview().height(); }
    bool showPrevious() const override { return c_.preview().controls().showPrevious; }
    void runApply() override { c_.preview().runApplyInThread(); }
    void clearInfoReadouts() override { c_.preview().updateInfoFromX(-1, -1, 0, 0); }
    void createProfileMenu() override { c_.createProfileMenu(); }
    void setCustomCameraProfile(const std::string& name) override { c_.setCustomCameraProfile(name); }
    std::string applicationSupportFolder() const override { return c_.applicationSupportFolder(); }

private:
    Controller& c_;
};

}  // namespace

struct Controller::ProfilingState {
    explicit ProfilingState(Controller& c) : host(c), workflow(host, platform, c.defaults()) {}
    ControllerProfilingHost host;
    SystemProfilingPlatform platform;
    ProfilingWorkflow workflow;
};

ProfilingWorkflow& Controller::profiling() {
    if (!profiling_) profiling_ = std::make_shared<ProfilingState>(*this);
    return profiling_->workflow;
}

void Controller::showProfilingWindow() {
    // Opening puts the processor's settings into the measuring state.
    preview_->whenIdle([this] { profiling().showProfilingWindow(); });
}

void Controller::profilingWindowWillClose() {
    preview_->whenIdle([this] { profiling().windowWillClose(); });
}

void Controller::closeProfilingPanelIfOpen() {
    if (!profiling_) return;
    preview_->whenIdle([this] { profiling().closeProfilingWindow(); });
}

bool Controller::profilingPanelVisible() const { return profiling_ && profiling_->workflow.isVisible(); }

}  // namespace dvk
