// The first Lab adjustment: the input profile's own chroma saturation, then
// the user's.
#include "colour/profile_lookup.h"
#include "pipeline/dvklib.h"
#include "pipeline/stages/lab_adjust.h"

namespace dvk {

void make_adjust_stage1(DVKLib* d, float* lab, unsigned width, unsigned height, int p1, int p2, int p3,
                        const char* profile, float saturation, float f1, float f2, float sharpnessRadius) {
    if (!lab || width == 0 || height == 0) return;
    int index = -1;
    if (profile && getDVKProfileRef(d, profile, &index)) {
        const double s = get_profile_saturation(static_cast<unsigned>(index));
        if (s != 0) scale_ab(lab, width, height, 255.0 / (255.0 - 2.0 * s));
    }
    if (saturation != 0) scale_ab(lab, width, height, user_saturation_factor(saturation));
}

}  // namespace dvk
