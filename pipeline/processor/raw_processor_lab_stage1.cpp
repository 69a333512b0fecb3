// RawProcessor: the input profile name and the first Lab adjustment worker
// (both need the colour module's profile lookup).
#include "colour/camera_profile.h"
#include "pipeline/stages/lab_adjust.h"
#include "pipeline/processor/raw_processor.h"

namespace dvk {

std::string RawProcessor::inputProfileName() const {
    if (dvklib_ && dvklib_->custom_profile_data) return customRawProfilePath_;
    return camera_builtin_profile_name(dvklib_);
}

void RawProcessor::makeAdjustStage1InThread(band_record* band) {
    const std::string profile = inputProfileName();
    const float saturation = bwMode_ == 6 ? -1000.0f : static_cast<float>(saturation_);
    make_adjust_stage1(dvklib_, band->band_start, band->width, band->rows_with_overlap, 0, 0, 0, profile.c_str(),
                       saturation, 0.0f, 0.0f, sharpnessRadius_);
    band->done = 1;
}

}  // namespace dvk
