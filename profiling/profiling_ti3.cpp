// ProfilingWorkflow: the TI3 measurement file, imported and written.

#include <algorithm>
#include <cstdlib>

#include "core/dvklib.h"
#include "platform/user_defaults.h"
#include "pipeline/writers/output_naming.h"
#include "profiling/private_files.h"
#include "profiling/profiling_workflow.h"
#include "profiling/reference_files.h"

namespace dvk {

namespace {

// `path` with the extension `ext` added unless it already ends in ".ext"
// (any case), as a save panel restricted to that type answers.
std::string with_extension(const std::string& path, const char* ext) {
    const std::string dotted = std::string(".") + ext;
    if (path.size() > dotted.size()) {
        std::string tail = path.substr(path.size() - dotted.size());
        std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
        if (tail == dotted) return path;
    }
    return path + dotted;
}

}  // namespace

bool ProfilingWorkflow::refuseUnfinishedSampling() {
    if (patch_ != 0 && patch_ == static_cast<int>(cieValues_.size())) return false;
    logf("You have to sample all patches or import TI3 file before saving.\n");
    return true;
}

void ProfilingWorkflow::loadTI3File() {
    if (platform_.optionKeyHeld()) {
        ti3FileName_.clear();
        ti3Values_.clear();
        defaults_.setString("TI3File", "");
        defaults_.synchronize();
        changed(ProfilingChange::Fields);
        logf("Import TI3 cleared\n");
        return;
    }
    if (!fileOpenAndIdle()) return;
    ProfilingPlatform::FilePanel panel{{"ti3"}, "", ""};
    if (!ti3FileName_.empty()) {
        panel.directory = folder_of(ti3FileName_);
        panel.fileName = last_path_component(ti3FileName_);
    }
    if (auto path = platform_.runOpenPanel(panel)) readTI3File(*path);
}

bool ProfilingWorkflow::readTI3File(const std::string& path) {
    std::string error;
    cgats_ptr c = open_reference_cgats(path.c_str(), &error);
    if (!c) {
        logf("Error loading TI3 samples from: %s\n%s", path.c_str(), error.c_str());
        return false;
    }
    ti3Values_.clear();
    patch_ = 0;
    const auto fail = [&] {
        ti3FileName_.clear();
        ti3Values_.clear();
        patch_ = 0;
        changed(ProfilingChange::Fields);
        updatePatchToSelect();
        return false;
    };
    const int sets = c->table(0).nsets();
    for (int i = 0; i < sets; ++i) {
        TI3Patch patch;
        std::string why;
        if (!read_ti3_set(c.get(), i, &patch, &why)) {
            logf("Error loading TI3 set %d from: %s\n", i, path.c_str());
            logf("Set %d cannot be read: %s\n", i, why.c_str());
            return fail();
        }
        if (is_enforced_patch_id(patch.id)) continue;
        ti3Values_.push_back(std::move(patch));
        ++patch_;
    }
    std::string problem;
    if (!patch_ids_usable(ti3Values_, &problem)) {
        logf("Error loading TI3 samples from: %s\n%s\n", path.c_str(), problem.c_str());
        return fail();
    }
    ti3FileName_ = path;
    changed(ProfilingChange::Fields);
    logf("TI3 samples loaded from: %s\n", path.c_str());
    updatePatchToSelect();
    return true;
}

bool ProfilingWorkflow::setTI3FileName(const std::string& path) {
    if (file_writable_state(path.c_str()) == 0) {
        logf("Error - file %s is not writable\n", path.c_str());
        return false;
    }
    ti3FileName_ = path;
    changed(ProfilingChange::Fields);
    logf("Target information file (TI3) is set to: %s\n", path.c_str());
    return true;
}

void ProfilingWorkflow::saveTI3Button() {
    if (!fileOpenAndIdle() || refuseUnfinishedSampling()) return;
    ProfilingPlatform::FilePanel panel{{"ti3"}, "", ""};
    if (!ti3FileName_.empty()) {
        panel.directory = folder_of(ti3FileName_);
        panel.fileName = last_path_component(ti3FileName_);
    }
    auto chosen = platform_.runSavePanel(panel);
    if (!chosen) return;
    const std::string path = with_extension(*chosen, "ti3");
    if (!setTI3FileName(path)) return;
    defaults_.setString("TI3File", path);
    defaults_.synchronize();
    if (saveTI3File(std::nullopt)) logf("File %s written\n", path.c_str());
}

bool ProfilingWorkflow::saveTI3File(const std::optional<std::string>& given) {
    const std::string path = given ? *given : ti3FileName_;
    if (path.empty()) {
        logf("Please choose file to save target information to (TI3).\n");
        return false;
    }
    if (cieValues_.size() != ti3Values_.size()) {
        logf("Amount of sampled patches doesn't match loaded CIE file.\n");
        return false;
    }
    cgats_ptr c = new_ti3_cgats(effectiveDescription().c_str(), effectiveOriginator().c_str());
    if (!c) {
        logf("Error - can't allocate TI3 CGATS.\n");
        return false;
    }
    if (file_writable_state(path.c_str()) == 0) {
        logf("Error - file %s is not writable\n", path.c_str());
        return false;
    }
    for (std::size_t i = 0; i < cieValues_.size(); ++i) {
        const CIEPatch& reference = cieValues_[i];
        const TI3Patch& measured = ti3Values_[i];
        if (!patch_ids_equal(reference.id, measured.id)) {
            logf("Error - IDs of sampled patches and in CIE file don't match or not in the same order.\n");
            return false;
        }
        if (!add_ti3_set(c.get(), reference.id.c_str(), nullptr, reference.XYZ.data(), measured.RGB.data(),
                         measured.RGBStdDev.data())) {
            logf("Error - failed to add TI3 sample\n");
            return false;
        }
    }
    fillEnforcedWB();
    const auto add_enforced = [&](const CIEPatch& xyz, const TI3Patch& rgb) {
        return add_ti3_set(c.get(), xyz.id.c_str(), nullptr, xyz.XYZ.data(), rgb.RGB.data(), rgb.RGBStdDev.data());
    };
    if ((enforceBlack_ && !add_enforced(enfBlackXYZ_, enfBlackRGB_)) ||
        (enforceWhite_ && !add_enforced(enfWhiteXYZ_, enfWhiteRGB_))) {
        logf("Error - failed to add TI3 sample\n");
        return false;
    }
    // An existing file keeps its permissions; a new one gets the user's.
    if (!write_cgats_replacing(*c, path, mode_for_replacing(path))) {
        logf("Can't write TI3 file %s\n", path.c_str());
        return false;
    }
    return true;
}

void ProfilingWorkflow::fillEnforcedWB() {
    // Per channel, white takes the mean of the two largest deviations measured
    // and black the mean of the two smallest; one measured patch serves both
    // ends, none gives 0.1 (the deviation floor, scaled to 100).
    std::array<double, 3> white{}, black{};
    for (int c = 0; c < 3; ++c) {
        std::vector<double> list;
        for (const TI3Patch& p : ti3Values_) list.push_back(p.RGBStdDev[c]);
        std::sort(list.begin(), list.end());
        const std::size_t n = list.size();
        if (n == 0) {
            white[c] = black[c] = 0.1;
        } else if (n == 1) {
            white[c] = black[c] = list[0];
        } else {
            white[c] = (list[n - 1] + list[n - 2]) / 2;
            black[c] = (list[0] + list[1]) / 2;
        }
    }
    enfWhiteXYZ_ = {kEnforcedWhiteId, {96.42, 100.0, 82.491}};
    enfBlackXYZ_ = {kEnforcedBlackId, {0, 0, 0}};
    enfWhiteRGB_ = {enfWhiteXYZ_.id, {100.0, 100.0, 100.0}, white};
    enfBlackRGB_ = {enfBlackXYZ_.id, {0, 0, 0}, black};
}

}  // namespace dvk
