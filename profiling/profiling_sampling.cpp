// ProfilingWorkflow: measuring the patches one selection after another.
#include <cmath>
#include <mutex>

#include "core/dvklib.h"
#include "pipeline/processor/raw_processor.h"
#include "profiling/patch_sampling.h"
#include "profiling/profiling_workflow.h"

namespace dvk {

namespace {

// Two samples never interleave, whichever workflow takes them.
std::mutex& sampling_token() {
    static std::mutex token;
    return token;
}

// A coordinate of the selection truncated to whole pixels.
long whole_pixels(double v) {
    if (!std::isfinite(v)) return 0;
    return static_cast<long>(std::trunc(std::fmax(-1e9, std::fmin(1e9, v))));
}

}  // namespace

void ProfilingWorkflow::targetSampling(double x, double y, double w, double h) {
    std::lock_guard lock(sampling_token());
    if (cieFileName_.empty()) {
        appendToProfTextView(
            "Please load CIE reference value definitions for the test chart (usually .cie or .q60 file).\n", true);
        return;
    }
    if (cieValues_.empty()) return;
    const int count = static_cast<int>(cieValues_.size());
    if (patch_ >= count) {
        logf("Patch samples are complete. Press Restart if you want to sample again.\n");
        return;
    }
    // After an import was cleared the next sample still lands right after the
    // measured ones, never past them.
    if (patch_ > static_cast<int>(ti3Values_.size())) patch_ = static_cast<int>(ti3Values_.size());
    const CIEPatch& reference = cieValues_[static_cast<std::size_t>(patch_)];

    RawProcessor* p = host_.processor();
    const unsigned width = host_.previewWidth(), height = host_.previewHeight();
    const long wi = std::max(0L, whole_pixels(w)), hi = std::max(0L, whole_pixels(h));
    double mean[3], stdev[3];
    const bool fits = p && p->preview() && static_cast<std::size_t>(width) * height * 3 <= p->previewFloats();
    if (!fits || !sample_patch(p->preview(), width, height, whole_pixels(x), whole_pixels(y),
                               static_cast<unsigned>(wi), static_cast<unsigned>(hi), skip_rgb_compression, mean,
                               stdev)) {
        logf("%s: nothing to measure in this selection; the patch is not measured.\n", reference.id.c_str());
        updatePatchToSelect();
        return;
    }

    TI3Patch measured;
    measured.id = reference.id;
    for (int c = 0; c < 3; ++c) {
        measured.RGB[c] = mean[c] * 100;
        measured.RGBStdDev[c] = stdev[c] * 100;
    }
    if (patch_ == static_cast<int>(ti3Values_.size()))
        ti3Values_.push_back(measured);
    else
        ti3Values_[static_cast<std::size_t>(patch_)] = measured;
    logf("%s\n     XYZ[%9.4lf,%9.4lf,%9.4lf]\n     RGB[%9.4lf,%9.4lf,%9.4lf]\n  StdDev[%9.4lf,%9.4lf,%9.4lf]\n",
         measured.id.c_str(), reference.XYZ[0], reference.XYZ[1], reference.XYZ[2], measured.RGB[0],
         measured.RGB[1], measured.RGB[2], measured.RGBStdDev[0], measured.RGBStdDev[1], measured.RGBStdDev[2]);
    ++patch_;
    updatePatchToSelect();
    if (patch_ == count) logf("All patches are sampled.\n");
}

void ProfilingWorkflow::resetSampler() {
    patch_ = 0;
    ti3Values_.clear();
    updatePatchToSelect();
}

void ProfilingWorkflow::stepPatchBack() {
    if (patch_ >= 1) --patch_;
    updatePatchToSelect();
}

void ProfilingWorkflow::updatePatchToSelect() {
    if (!cieValues_.empty() && patch_ < static_cast<int>(cieValues_.size())) {
        const CIEPatch& next = cieValues_[static_cast<std::size_t>(patch_)];
        patchToSelect_ = next.id;
        updatePatchImage(next.XYZ[0] / 100, next.XYZ[1] / 100, next.XYZ[2] / 100);
    } else {
        patchToSelect_.clear();
    }
    changed(ProfilingChange::PatchToSelect);
}

void ProfilingWorkflow::updatePatchImage(double X, double Y, double Z) {
    double rgb[3];
    patch_color_to_rgb(rgb, kSwatchXYZToRGB, kSwatchExponent, X, Y, Z);
    for (int c = 0; c < 3; ++c) swatch_.rgb[c] = static_cast<std::uint16_t>(rgb[c] * 65535);
    swatch_.shown = true;
    changed(ProfilingChange::Swatch);
}

}  // namespace dvk
