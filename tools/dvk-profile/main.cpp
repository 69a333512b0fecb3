// dvk-profile: a camera profile from a chart shot, made through the profiling
// workflow exactly as the panel drives it, with the panel's log on standard
// output.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "colour/profile_lookup.h"
#include "core/dvklib.h"
#include "pipeline/load/load_errors.h"
#include "pipeline/load/raw_probe.h"
#include "pipeline/processor/settings_argument.h"
#include "platform/folders.h"
#include "platform/usable_cpus.h"
#include "platform/user_defaults.h"
#include "tools/common/own_line.h"
#include "tools/dvk-profile/evaluate.h"
#include "tools/dvk-profile/options.h"
#include "tools/dvk-profile/tool_host.h"

namespace fs = std::filesystem;
using namespace dvk;
using namespace dvk::profile_tool;

namespace {

// A scratch folder of the tool's own, removed at exit: its defaults store
// keeps the workflow's choices away from the user's.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = temporaryDirectory() + "/dvk-profile-XXXXXX";
        if (mkdtemp(pattern.data())) path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string absolute(const std::string& path) {
    std::error_code ec;
    const fs::path p = fs::absolute(path, ec);
    return ec ? path : p.lexically_normal().string();
}

// The brightest channel's mean over a rectangle of the RGB preview.
double brightest_channel(RawProcessor& p, const Rect& r) {
    const unsigned width = p.imageWidth(), height = p.imageHeight();
    double sum[3] = {0, 0, 0};
    long n = 0;
    for (long y = std::max(0L, static_cast<long>(r.y)); y < std::min<long>(height, static_cast<long>(r.y + r.h)); ++y)
        for (long x = std::max(0L, static_cast<long>(r.x)); x < std::min<long>(width, static_cast<long>(r.x + r.w));
             ++x, ++n)
            for (int c = 0; c < 3; ++c) sum[c] += p.preview()[(static_cast<std::size_t>(y) * width + x) * 3 + c];
    return n ? std::max({sum[0], sum[1], sum[2]}) / static_cast<double>(n) : 0;
}

// Sets the exposure so that the brightest channel of `r` reads 0.85 in the
// measuring preview (secant steps on its logarithm). The value reached.
double expose_for(ToolHost& host, const Rect& r) {
    constexpr double target = 0.85;
    RawProcessor& p = host.p();
    double e = p.exposure();
    host.runApply();
    double v = brightest_channel(p, r);
    double slope = 0.5;  // d log2(v) / d exposure, refined as we go
    for (int i = 0; i < 30 && std::fabs(v - target) > 0.003; ++i) {
        double step;
        if (v >= 0.999) step = -0.5;  // clipped: no slope to follow
        else if (v <= 1e-4) step = 1;
        else step = std::clamp(std::log2(target / v) / slope, -2.0, 2.0);
        const double previous = v;
        e += step;
        p.setExposure(e);
        host.runApply();
        v = brightest_channel(p, r);
        if (previous > 1e-4 && previous < 0.999 && v > 1e-4 && v < 0.999 && std::fabs(step) > 1e-6) {
            const double s = std::log2(v / previous) / step;
            if (s > 0.05 && s < 5) slope = s;
        }
    }
    return v;
}

int run(const Options& opts) {
    std::vector<Rect> rects;
    std::string error;
    if (!read_patch_file(opts.patches, &rects, &error)) {
        tools::tool_print(stderr, "dvk-profile: %s\n", error.c_str());
        return 1;
    }
    if (opts.exposePatch > static_cast<int>(rects.size())) {
        tools::tool_print(stderr, "dvk-profile: --expose-patch %d, but there are %zu rectangles\n", opts.exposePatch,
                     rects.size());
        return 1;
    }
    ScratchFolder scratch;
    if (scratch.path().empty()) {
        tools::tool_print(stderr, "dvk-profile: cannot make a scratch folder in %s\n", temporaryDirectory().c_str());
        return 1;
    }
    UserDefaults defaults(scratch.path() + "/defaults.plist");

    ToolHost host(applicationSupportFolder());
    if (const int rc = host.open(opts.raw); rc != 0) {
        tools::tool_print(stderr, "dvk-profile: %s\n", load_error_text(opts.raw, rc).c_str());
        return 1;
    }
    RawProcessor& p = host.p();
    for (const auto& [key, value] : opts.settings)
        if (auto failure = apply_setting_value(p, key, value)) {
            tools::tool_print(stderr, "dvk-profile: %s\n", failure->c_str());
            return 1;
        }
    if (opts.wbRect) {
        const Rect& r = *opts.wbRect;
        p.rgbgImageCalcBalanceAtRect(r.x, r.y, r.w, r.h);
        p.setUseCameraWB(0);  // the user's own values from now on
    }
    host.runApply();

    ToolPlatform platform;
    ProfilingWorkflow workflow(host, platform, defaults);
    std::size_t printed = 0;
    workflow.setChangeListener([&](ProfilingChange change) {
        if (change != ProfilingChange::Log) return;
        const std::string& log = workflow.log();
        if (log.size() < printed) printed = 0;  // cleared
        tools::tool_print(stdout, "%s", log.c_str() + printed);
        std::fflush(stdout);
        printed = log.size();
    });

    if (!workflow.showProfilingWindow()) {
        tools::tool_print(stderr, "dvk-profile: the profiling panel cannot open on %s\n", opts.raw.c_str());
        return 1;
    }
    if (opts.reference) {
        platform.openAnswers.push_back(*opts.reference);
        workflow.selectReferenceItem(static_cast<int>(workflow.referenceItems().size()) - 1);
        if (workflow.cieFileName() != *opts.reference) return 1;  // the log said why
    }
    const std::vector<CIEPatch> reference = workflow.cieValues();
    if (reference.empty()) return 1;
    if (rects.size() != reference.size()) {
        tools::tool_print(stderr, "dvk-profile: %zu rectangles for the %zu patches of the reference\n", rects.size(),
                     reference.size());
        return 1;
    }
    if (opts.exposePatch > 0) {
        const double v = expose_for(host, rects[static_cast<std::size_t>(opts.exposePatch - 1)]);
        tools::tool_print(stdout, "exposure %.3f: brightest channel of patch %d at %.3f\n", p.exposure(), opts.exposePatch, v);
        if (std::fabs(v - 0.85) > 0.03) {
            tools::tool_print(stderr, "dvk-profile: patch %d cannot be brought to 0.85\n", opts.exposePatch);
            return 1;
        }
    }

    workflow.resetSampler();
    for (const Rect& r : rects) workflow.targetSampling(r.x, r.y, r.w, r.h);
    workflow.setEnforceWhite(opts.enforceWhite);
    workflow.setEnforceBlack(opts.enforceBlack);
    if (opts.ti3) {
        platform.saveAnswers.push_back(*opts.ti3);
        workflow.saveTI3Button();
        if (defaults.stringForKey("TI3File").empty()) return 1;
    }
    platform.saveAnswers.push_back(opts.out);
    workflow.saveProfile();
    workflow.waitForProfileRun();
    // The workflow remembers a profile only once colprof made a good one.
    const std::string profile = defaults.stringForKey("ProfileFile");
    workflow.closeProfilingWindow();
    if (profile.empty()) return 1;

    if (opts.evaluate) {
        // Closing kept the white balance and exposure found for measuring.
        // The baseline is what the file gets by default: the camera profile
        // the camera rule chooses when the user chooses none.
        const auto measure = [&](const std::string& inputProfile) {
            p.setCustomRawProfile(inputProfile);
            host.runApply();
            std::vector<std::array<double, 3>> lab;
            for (const Rect& r : rects) lab.push_back(mean_lab(p.labPreview(), p.imageWidth(), p.imageHeight(), r));
            return de2000(lab, reference);
        };
        const DeltaE standard = measure("");
        const std::string name = p.inputProfileName();
        if (!getDVKProfileRef(p.dvklib(), name.c_str(), nullptr))
            tools::tool_print(stdout, "the default profile \"%s\" is not found: AdobeRGB2.2 stands in\n", name.c_str());
        const DeltaE own = measure(profile);
        tools::tool_print(stdout, "dE2000 default \"%s\" mean %.2f max %.2f\n", name.c_str(), standard.mean,
                          standard.max);
        tools::tool_print(stdout, "dE2000 profile \"%s\" mean %.2f max %.2f\n", profile.c_str(), own.mean, own.max);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    tools::track_engine_messages();
    Options opts;
    const int status = parse_options(argc, argv, &opts);
    if (status >= 0) return status;
    for (std::string* path : {&opts.patches, &opts.out, &opts.raw}) *path = absolute(*path);
    if (opts.reference) opts.reference = absolute(*opts.reference);
    if (opts.ti3) opts.ti3 = absolute(*opts.ti3);
    band_thread_count = usable_cpu_count();
    use_raw_probe_beside_executable();
    return run(opts);
}
