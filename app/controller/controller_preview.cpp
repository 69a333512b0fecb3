// Controller: the main window's preview concern, and the open of the file the
// screenshot hook names.
#include "app/controller/controller.h"
#include "app/menus/filter_menu.h"
#include "app/preview/preview_controller.h"
#include "platform/modifier_keys.h"
#include "platform/panels.h"
#include "profiling/profiling_workflow.h"

namespace dvk {

void Controller::makePreviewController() {
    PreviewHooks hooks;
    hooks.setProgressMT = [this](double v) { setProgressMT(v); };
    hooks.modifierFlags = [] { return currentModifierFlags(); };
    hooks.updateFiltersButton = [this] { updateFiltersButton(); };
    hooks.dropVanishedFilter = [this] { dvk::dropVanishedFilter(*rawProcessor_, filterProfileRoot()); };
    hooks.selectedFilterTag = [this] { return selectedFilterTag(); };
    hooks.setCustomCameraProfile = [this](const std::string& name) { setCustomCameraProfile(name); };
    hooks.setWBToCustom = [this] { setWBToCustom(); };
    hooks.profilingPanelVisible = [this] { return profilingPanelVisible(); };
    hooks.targetSampling = [this](const RectD& r) { profiling().targetSampling(r.x, r.y, r.width, r.height); };
    hooks.chooseProfileFile = [](const std::optional<std::string>& startAt) -> std::optional<std::string> {
        OpenPanelRequest request;
        request.title = "Choose a profile";
        request.startPath = startAt.value_or(std::string());
        request.allowsMultipleSelection = false;
        request.canChooseDirectories = false;
        const auto chosen = runOpenPanel(request);
        if (!chosen || chosen->empty()) return std::nullopt;
        return chosen->front();
    };
    // Apply runs and setting changes wait while an open or a batch uses the RawProcessor.
    hooks.rawProcessorInUse = [this] { return rawProcessorInUse(); };
    hooks.whenRawProcessorFree = [this](std::function<void()> task) { whenRawProcessorFree(std::move(task)); };
    preview_ = std::make_unique<PreviewController>(*rawProcessor_, std::move(hooks));
    // Made here, on the main thread: the open thread reaches it too.
    menus();
}

void Controller::openCommandLineFile(const std::string& path, std::function<void(int)> done) {
    const std::string file = getRAWPathForTiffJpeg(path).value_or(path);
    const bool started = startOpen(file, [done](bool opened) {
        if (done) done(opened ? 0 : 1);
    });
    if (!started && done) done(1);
}

}  // namespace dvk
