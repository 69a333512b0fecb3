// The application around the profiling workflow, for dvk-profile: one raw
// file opened at preview size and developed in place, file panels answered
// from the command line, the profile menu absent.
#pragma once

#include <deque>
#include <optional>
#include <string>

#include "pipeline/processor/raw_processor.h"
#include "profiling/profiling_workflow.h"

namespace dvk::profile_tool {

class ToolHost : public ProfilingHost {
public:
    explicit ToolHost(std::string support) : support_(std::move(support)) {}
    // Loads the file at half size as the open road does; 0 or LibRaw's code.
    int open(const std::string& path);

    RawProcessor* processor() override { return open_ ? &processor_ : nullptr; }
    unsigned previewWidth() const override { return processor_.imageWidth(); }
    unsigned previewHeight() const override { return processor_.imageHeight(); }
    bool showPrevious() const override { return false; }
    // The preview sequence of the apply road, on this thread.
    void runApply() override;
    void clearInfoReadouts() override {}
    void createProfileMenu() override {}
    void setCustomCameraProfile(const std::string& name) override;
    std::string applicationSupportFolder() const override { return support_; }

    RawProcessor& p() { return processor_; }

private:
    std::string support_;
    RawProcessor processor_;
    bool open_ = false;
};

// Panels answer with the paths queued for them; cancelled when none is.
class ToolPlatform : public ProfilingPlatform {
public:
    std::optional<std::string> runOpenPanel(const FilePanel&) override { return next(openAnswers); }
    std::optional<std::string> runSavePanel(const FilePanel&) override { return next(saveAnswers); }
    bool optionKeyHeld() override { return false; }
    void openWithSystem(const std::string&) override {}

    std::deque<std::string> openAnswers, saveAnswers;

private:
    static std::optional<std::string> next(std::deque<std::string>& answers) {
        if (answers.empty()) return std::nullopt;
        std::string a = answers.front();
        answers.pop_front();
        return a;
    }
};

}  // namespace dvk::profile_tool
