#include "app/desktop/profiling_platform.h"

#include "platform/log.h"
#include "platform/modifier_keys.h"
#include "platform/panels.h"
#include "platform/url_opener.h"

namespace dvk {

std::optional<std::string> SystemProfilingPlatform::runOpenPanel(const FilePanel& panel) {
    OpenPanelRequest request;
    request.startPath =
        panel.fileName.empty() || panel.directory.empty() ? panel.directory : panel.directory + "/" + panel.fileName;
    request.allowsMultipleSelection = false;
    request.canChooseFiles = true;
    request.canChooseDirectories = false;
    request.fileTypes = panel.types;
    const std::optional<std::vector<std::string>> chosen = dvk::runOpenPanel(request);
    if (!chosen || chosen->empty()) return std::nullopt;
    return chosen->front();
}

std::optional<std::string> SystemProfilingPlatform::runSavePanel(const FilePanel& panel) {
    SavePanelRequest request;
    request.directory = panel.directory;
    request.fileName = panel.fileName;
    request.fileTypes = panel.types;
    return dvk::runSavePanel(request);
}

bool SystemProfilingPlatform::optionKeyHeld() { return (currentModifierFlags() & kAlternateKeyMask) != 0; }

void SystemProfilingPlatform::openWithSystem(const std::string& path) {
    if (!url_opener()->openUrl(fileUrlForPath(path))) log_line("Nothing could open %s", path.c_str());
}

}  // namespace dvk
