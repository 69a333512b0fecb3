// The first Lab adjustment: the input profile's own chroma saturation, then
// the user's.
#include "colour/profile_lookup.h"
#include "core/dvklib.h"
#include "pipeline/stages/lab_adjust.h"

namespace dvk {

Stage1Factors adjust_stage1_factors(DVKLib* d, const char* profile, float saturation) {
    Stage1Factors f;
    int index = -1;
    if (profile && getDVKProfileRef(d, profile, &index)) {
        const double s = get_profile_saturation(static_cast<unsigned>(index));
        if (s != 0) {
            f.has_profile = true;
            f.profile = 255.0 / (255.0 - 2.0 * s);
        }
    }
    if (saturation != 0) {
        f.has_user = true;
        f.user = user_saturation_factor(saturation);
    }
    return f;
}

void apply_adjust_stage1(float* lab, unsigned width, unsigned height, const Stage1Factors& f) {
    if (f.has_profile) scale_ab(lab, width, height, f.profile);
    if (f.has_user) scale_ab(lab, width, height, f.user);
}

void make_adjust_stage1(DVKLib* d, float* lab, unsigned width, unsigned height, int p1, int p2, int p3,
                        const char* profile, float saturation, float f1, float f2, float sharpnessRadius) {
    if (!lab || width == 0 || height == 0) return;
    apply_adjust_stage1(lab, width, height, adjust_stage1_factors(d, profile, saturation));
}

}  // namespace dvk
