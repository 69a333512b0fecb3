#include "tools/dvk-develop/develop.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

// The save format first (it sets gamma, profile and raw mode of its own),
// then the options, the settings files and the --set values, which win over
// the format's.
bool configure(RawProcessor& p, const Options& opts, const std::string& path) {
    if (opts.format) {
        if (!save_format(*opts.format)) {
            tools::tool_print(stderr, "%s: no save format %d (0 to %d)\n", path.c_str(), *opts.format,
                         kSaveFormatCount - 1);
            return false;
        }
        p.setSaveFormat(*opts.format);
    }
    if (opts.interpolation) p.setInterpolation(*opts.interpolation);
    if (opts.filter) {
        if (*opts.filter != "Color" && filter_code_for_name(*opts.filter, p.uplab2labProfiles()) == 0) {
            tools::tool_print(stderr, "%s: unknown filter \"%s\"\n", path.c_str(), opts.filter->c_str());
            return false;
        }
        p.setFilterName(*opts.filter);
    }
    if (opts.profile) {
        // Taken as a settings file's value is ("Default": the camera's own);
        // a profile file named relative to the working folder is that file.
        std::string profile = *opts.profile;
        if (!profile.empty() && profile[0] != '/' && std::filesystem::is_regular_file(profile))
            profile = std::filesystem::absolute(profile).lexically_normal().string();
        if (auto failure = apply_setting_value(p, "customRawProfile", profile)) {
            tools::tool_print(stderr, "%s: %s\n", path.c_str(), failure->c_str());
            return false;
        }
    }
    for (const std::string& file : opts.settingsFiles) {
        if (auto failure = apply_settings_file(p, file)) {
            tools::tool_print(stderr, "%s: %s\n", path.c_str(), failure->c_str());
            return false;
        }
    }
    std::string error;
    for (const auto& [key, value] : opts.settings) {
        if (!apply_setting(p, key, value, &error)) {
            tools::tool_print(stderr, "%s: %s\n", path.c_str(), error.c_str());
            return false;
        }
    }
    // The profile in force as the window would take it; a file that cannot
    // be read or an unknown name would develop with a stand-in profile.
    if (auto failure = settle_custom_profile(p, applicationSupportFolder() + "/Profiles")) {
        tools::tool_print(stderr, "%s: %s\n", path.c_str(), failure->c_str());
        return false;
    }
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
    const std::string& file = *opts.printSettings;
    if (!configure(p, opts, file)) return 1;
    if (auto failure = apply_settings_file(p, file)) {
        tools::tool_print(stderr, "%s\n", failure->c_str());
        return 1;
    }
    // Values given on the command line win over the file's.
    std::string error;
    for (const auto& [key, value] : opts.settings) {
        if (!apply_setting(p, key, value, &error)) {
            tools::tool_print(stderr, "%s: %s\n", file.c_str(), error.c_str());
            return 1;
        }
    }
    if (auto failure = settle_custom_profile(p, applicationSupportFolder() + "/Profiles")) {
        tools::tool_print(stderr, "%s: %s\n", file.c_str(), failure->c_str());
        return 1;
    }
    tools::tool_print(stdout, "%s", p.getExportSettingsAsText().c_str());
    return 0;
}

int develop_file(const Options& opts, const std::string& path) {
    RawProcessor p;
    p.setFileName(path);
    if (!configure(p, opts, path)) return 1;
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
    if (opts.copyTags && !copy_tags_after_save(p)) return 1;
    return 0;
}

int preview_file(const Options& opts, const std::string& path) {
    RawProcessor p;
    if (!configure(p, opts, path)) return 1;
    if (!loaded(p, path, p.initFloatPreviewFromRawFile(path))) return 1;
    p.rgbgImageReset();
    p.rgbgImageApplyBalance(p.image32());
    p.rgbgImageApplyCurve(p.image32());
    p.makePreview();
    tools::tool_print(stdout, "%s: preview %u x %u\n", path.c_str(), p.imageWidth(), p.imageHeight());
    return 0;
}

}  // namespace dvk::develop
