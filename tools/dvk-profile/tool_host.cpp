#include "tools/dvk-profile/tool_host.h"

namespace dvk::profile_tool {

int ToolHost::open(const std::string& path) {
    const int rc = processor_.initFloatPreviewFromRawFile(path);
    if (rc != 0) return rc;
    // The white-balance mode takes its multipliers from the file just loaded.
    processor_.setUseCameraWB(processor_.useCameraWB());
    processor_.setProgress(0);
    open_ = true;
    return 0;
}

void ToolHost::runApply() {
    processor_.setProgress(1);
    processor_.rgbgImageReset();
    processor_.rgbgImageApplyBalance(processor_.image32());
    processor_.rgbgImageApplyCurve(processor_.image32());
    processor_.makePreview();
    processor_.setProgress(0);
}

void ToolHost::setCustomCameraProfile(const std::string& name) {
    processor_.setCustomRawProfile(support_ + "/" + ProfilingWorkflow::kProfileFolderName + "/" + name);
}

}  // namespace dvk::profile_tool
