#include "tools/dvk-develop/develop.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <libraw/libraw.h>

#include "pipeline/load/load_errors.h"
#include "pipeline/processor/raw_processor.h"
#include "pipeline/processor/settings_argument.h"
#include "pipeline/stages/filters.h"
#include "pipeline/writers/save_formats.h"
#include "platform/folders.h"
#include "tools/common/own_line.h"
#include "tools/dvk-develop/metadata.h"

namespace dvk::develop {

namespace {

// The settings files first (`files`, in order), then the options, then the
// --set values: what the command line says wins over what a file says. The
// save format comes before the other options (it sets gamma, profile and raw
// mode of its own). A failure is said with `path`, or with none when `path`
// is empty.
bool configure(RawProcessor& p, const Options& opts, const std::string& path, const std::vector<std::string>& files) {
    const auto say = [&path](const std::string& failure) {
        if (path.empty())
            tools::tool_print(stderr, "%s\n", failure.c_str());
        else
            tools::tool_print(stderr, "%s: %s\n", path.c_str(), failure.c_str());
        return false;
    };
    for (const std::string& file : files) {
        if (auto failure = apply_settings_file(p, file)) return say(*failure);
    }
    if (opts.format) {
        if (!save_format(*opts.format))
            return say("no save format " + std::to_string(*opts.format) + " (0 to " +
                       std::to_string(kSaveFormatCount - 1) + ")");
        p.setSaveFormat(*opts.format);
    }
    if (opts.interpolation) p.setInterpolation(*opts.interpolation);
    if (opts.filter) {
        if (*opts.filter != "Color" && filter_code_for_name(*opts.filter, p.uplab2labProfiles()) == 0)
            return say("unknown filter \"" + *opts.filter + "\"");
        p.setFilterName(*opts.filter);
    }
    if (opts.profile) {
        // Taken as a settings file's value is ("Default": the camera's own);
        // a profile file named relative to the working folder is that file.
        std::string profile = *opts.profile;
        if (!profile.empty() && profile[0] != '/' && std::filesystem::is_regular_file(profile))
            profile = std::filesystem::absolute(profile).lexically_normal().string();
        if (auto failure = apply_setting_value(p, "customRawProfile", profile)) return say(*failure);
    }
    std::string error;
    for (const auto& [key, value] : opts.settings) {
        if (!apply_setting(p, key, value, &error)) return say(error);
    }
    // The profile in force as the window would take it; a file that cannot
    // be read or an unknown name would develop with a stand-in profile.
    if (auto failure = settle_custom_profile(p, applicationSupportFolder() + "/Profiles")) return say(*failure);
    if (opts.out) p.setDestinationFile(*opts.out);
    return true;
}

// After a load that returned `rc`: false with the message when it failed;
// otherwise the white-balance mode takes its multipliers from the file just
// loaded and the progress starts again.
bool loaded(RawProcessor& p, const std::string& path, int rc) {
    if (rc != 0) {
        tools::tool_print(stderr, "%s\n", load_error_text(path, rc).c_str());
        return false;
    }
    p.setUseCameraWB(p.useCameraWB());
    p.setProgress(0);
    return true;
}

}  // namespace

bool apply_setting(RawProcessor& p, const std::string& key, const std::string& value, std::string* error) {
    if (auto failure = apply_setting_value(p, key, value)) {
        *error = *failure;
        return false;
    }
    return true;
}

int print_settings(const Options& opts) {
    RawProcessor p;
    std::vector<std::string> files = opts.settingsFiles;
    files.push_back(*opts.printSettings);
    if (!configure(p, opts, std::string(), files)) return 1;
    tools::tool_print(stdout, "%s", p.getExportSettingsAsText().c_str());
    return 0;
}

int develop_file(const Options& opts, const std::string& path, std::vector<std::string>* written) {
    RawProcessor p;
    p.setFileName(path);
    if (!configure(p, opts, path, opts.settingsFiles)) return 1;
    // Not over what this run wrote for an earlier file (one --out file for
    // several raw files, raw files of one name in a folder).
    if (written && !written->empty()) {
        const auto writtenBefore = [written](const std::string& candidate) {
            return std::find(written->begin(), written->end(), candidate) != written->end();
        };
        if (std::optional<std::string> free = p.destinationForWriting(nullptr, writtenBefore))
            p.setDestinationFile(*free);
    }
    std::string dest, reason;
    if (!p.isDestinationFileWritable(&dest, &reason)) {
        tools::tool_print(stderr, "%s: cannot write %s%s%s\n", path.c_str(),
                          dest.empty() ? p.makeFullDestinationFileName().c_str() : dest.c_str(),
                          reason.empty() ? "" : ": ", reason.c_str());
        return 1;
    }
    if (!loaded(p, path, p.initDoubleImageFromRawFile(path, p.interpolation() == 2 ? 1 : 0))) return 1;
    if (!p.convertImage()) {
        if (!p.convertError().empty())
            tools::tool_print(stderr, "%s: cannot develop: %s\n", path.c_str(), p.convertError().c_str());
        else
            tools::tool_print(stderr, "%s: out of memory while developing\n", path.c_str());
        return 1;
    }
    const int saved = p.saveImage();
    if (saved != 0) {
        tools::tool_print(stderr, "%s: cannot save %s: %s\n", path.c_str(), p.destinationFile().c_str(),
                          p.saveError().c_str());
        return 1;
    }
    tools::tool_print(stdout, "%s\n", p.destinationFile().c_str());
    std::fflush(stdout);
    if (written) written->push_back(p.destinationFile());
    if (opts.copyTags && !copy_tags_after_save(p)) return 1;
    return 0;
}

int preview_file(const Options& opts, const std::string& path) {
    RawProcessor p;
    if (!configure(p, opts, path, opts.settingsFiles)) return 1;
    if (!loaded(p, path, p.initFloatPreviewFromRawFile(path))) return 1;
    p.rgbgImageReset();
    p.rgbgImageApplyBalance(p.image32());
    p.rgbgImageApplyCurve(p.image32());
    p.makePreview();
    tools::tool_print(stdout, "%s: preview %u x %u\n", path.c_str(), p.imageWidth(), p.imageHeight());
    return 0;
}

}  // namespace dvk::develop
