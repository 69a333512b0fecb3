// RawProcessor: the demosaicing and binning band workers.
#include "pipeline/demosaic/demosaic.h"
#include "pipeline/processor/raw_processor.h"

namespace dvk {

void RawProcessor::AHDInThread(band_record* band) {
    ahd_interpolate(dvklib_, band->band_start, band->width, band->rows_with_overlap);
    band->done = 1;
}

void RawProcessor::AHDInBands(int threads, int overlap, float* image, unsigned width, unsigned height) {
    const auto rows_worker = [&](float* const* rows, unsigned count) { ahd_interpolate(dvklib_, rows, width, count); };
    if (!ahd_takes_rows(dvklib_) ||
        !run_bands_with_private_overlaps(rows_worker, rgbg_overlap_layout(threads, height), overlap, image, width, 4))
        runRGBGSelectorInThreads(&RawProcessor::AHDInThread, threads, overlap, image, width, height);
}

void RawProcessor::LMMSEInBands(int threads, int overlap, float* image, unsigned width, unsigned height) {
    const auto rows_worker = [&](float* const* rows, unsigned count) { lmmse_interpolate(dvklib_, rows, width, count); };
    if (!run_bands_with_private_overlaps(rows_worker, rgbg_overlap_layout(threads, height), overlap, image, width, 4))
        runRGBGSelectorInThreads(&RawProcessor::LMMSEInThread, threads, overlap, image, width, height);
}

void RawProcessor::VCDInThread(band_record* band) {
    vcd_interpolate(dvklib_, band->band_start, band->width, band->rows_with_overlap, 2.0f);
    band->done = 1;
}

void RawProcessor::LMMSEInThread(band_record* band) {
    lmmse_interpolate(dvklib_, band->band_start, band->width, band->rows_with_overlap);
    band->done = 1;
}

void RawProcessor::VNGInThread(band_record* band) {
    vng_interpolate(dvklib_, band->band_start, band->width, band->rows_with_overlap);
    band->done = 1;
}

void RawProcessor::Binn32TrInThread(band_record* band) {
    // The binning works on 16-bit sizes; larger images cannot be binned.
    std::uint16_t w = band->width > 0xFFFF ? 0xFFFF : static_cast<std::uint16_t>(band->width);
    std::uint16_t h = band->rows_with_overlap > 0xFFFF ? 0xFFFF : static_cast<std::uint16_t>(band->rows_with_overlap);
    binn32_tr(dvklib_, band->band_start, &w, &h);
    band->width = w;
    band->rows_with_overlap = h;
    band->done = 1;
}

}  // namespace dvk
