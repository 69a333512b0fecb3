// RawProcessor: the Lab band workers that need no colour conversion.
#include "pipeline/stages/detail_stages.h"
#include "pipeline/stages/lab_adjust.h"
#include "pipeline/processor/raw_processor.h"

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

void RawProcessor::blurABsharpnessInBands(int threads, int overlap, float* image, unsigned width, unsigned height) {
    const auto rows_worker = [&](float* const* rows, unsigned count) {
        blur_ab_and_sharpen_l(dvklib_, rows, width, count, blurAB_, useSharpness_, static_cast<float>(sharpness_), 1.0f);
    };
    if (!run_bands_with_private_overlaps(rows_worker, rgb_overlap_layout(threads, height), overlap, image, width, 3))
        runRGBSelectorInThreads(&RawProcessor::blurABsharpnessInThread, threads, overlap, image, width, height);
}

void RawProcessor::localContrastInBands(int threads, int overlap, float* image, unsigned width, unsigned height) {
    const auto rows_worker = [&](float* const* rows, unsigned count) {
        local_contrast(rows, width, count, useLocalContrast_, static_cast<float>(localContrast_), sharpnessRadius_);
    };
    if (!run_bands_with_private_overlaps(rows_worker, rgb_overlap_layout(threads, height), overlap, image, width, 3))
        runRGBSelectorInThreads(&RawProcessor::localContrastInThread, threads, overlap, image, width, height);
}

void RawProcessor::makeAdjustStage2InThread(band_record* band) {
    make_adjust_stage2(dvklib_, band->band_start, band->width, static_cast<int>(band->rows_with_overlap),
                       static_cast<float>(decompressionBlackPoint_), static_cast<float>(decompressionWhitePoint_));
    band->done = 1;
}

}  // namespace dvk
