// Blur of the a and b channels of a Lab image.
#include "pipeline/detail_stages.h"

namespace dvk {

void blur_ab_channels(DVKLib* d, float* lab, unsigned width, unsigned height, int blurAB) {
    if (!blurAB) return;
    blur_channel(lab, width, height, 1, 1);
    blur_channel(lab, width, height, 1, 2);
}

}  // namespace dvk
