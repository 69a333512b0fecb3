// RawProcessor: the Lab band workers that need no colour conversion.
#include "pipeline/detail_stages.h"
#include "pipeline/lab_adjust.h"
#include "pipeline/raw_processor.h"

namespace dvk {

void RawProcessor::blurABsharpnessInThread(band_record* band) {
    blur_ab_and_sharpen_l(dvklib_, band->band_start, band->width, band->rows_with_overlap, blurAB_, useSharpness_,
                          static_cast<float>(sharpness_), 1.0f);
    band->done = 1;
}

void RawProcessor::localContrastInThread(band_record* band) {
    local_contrast(band->band_start, band->width, band->rows_with_overlap, useLocalContrast_,
                   static_cast<float>(localContrast_), sharpnessRadius_);
    band->done = 1;
}

void RawProcessor::makeAdjustStage2InThread(band_record* band) {
    make_adjust_stage2(dvklib_, band->band_start, band->width, static_cast<int>(band->rows_with_overlap),
                       static_cast<float>(decompressionBlackPoint_), static_cast<float>(decompressionWhitePoint_));
    band->done = 1;
}

}  // namespace dvk
