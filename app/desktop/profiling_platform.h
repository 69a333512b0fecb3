// The profiling workflow's platform: the program's file panels, the Alt key
// of the modifier-key query and the desktop's opener, each the injectable
// layer of platform/ (tests script them there).
#pragma once

#include "profiling/profiling_workflow.h"

namespace dvk {

class SystemProfilingPlatform : public ProfilingPlatform {
public:
    // One file, no folders, of the panel's types, starting in its folder
    // (beside its file when it names one).
    std::optional<std::string> runOpenPanel(const FilePanel& panel) override;
    std::optional<std::string> runSavePanel(const FilePanel& panel) override;
    bool optionKeyHeld() override;
    void openWithSystem(const std::string& path) override;
};

}  // namespace dvk
