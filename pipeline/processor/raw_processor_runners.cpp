// RawProcessor: the band runners, the balance and curve stages with the curve
// worker, the mosaic sharpening worker, the image reset and the white balance
// measured on the image.
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/fast_paths.h"
#include "pipeline/stages/detail_stages.h"
#include "pipeline/stages/four_channel_ops.h"
#include "pipeline/stages/highlight_recovery.h"
#include "pipeline/stages/stage_support.h"
#include "pipeline/processor/raw_processor.h"
#include "pipeline/stages/tone_stages.h"

namespace dvk {

BandLayout RawProcessor::runRGBGSelectorInThreads(Worker worker, int threads, int overlap, float* image,
                                                  unsigned width, unsigned height) {
    return run_rgbg_bands_overlap([this, worker](band_record* b) { (this->*worker)(b); }, threads, overlap, image,
                                  width, height);
}

BandLayout RawProcessor::runRGBSelectorInThreads(Worker worker, int threads, int overlap, float* image,
                                                 unsigned width, unsigned height) {
    return run_rgb_bands_overlap([this, worker](band_record* b) { (this->*worker)(b); }, threads, overlap, image,
                                 width, height);
}

BandLayout RawProcessor::runRGBSelectorInThreads(Worker worker, int threads, float* image, unsigned width,
                                                 unsigned height) {
    return run_rgb_bands([this, worker](band_record* b) { (this->*worker)(b); }, threads, image, width, height);
}

void RawProcessor::rgbgImageApplyBalance(float* image) {
    const double r = std::exp2(red_ev_ + warm_cold_);
    const double g = std::exp2(green_ev_);
    const double b = std::exp2(blue_ev_ - warm_cold_);
    const double g2 = std::exp2(green2_ev_);
    const unsigned w = imageWidth(), h = imageHeight();
    if (highRecoveryEnabled_)
        recover_highlights(dvklib_, image, w, h, highRecoveryGuessTone_, static_cast<float>(std::exp2(highRecoveryEV_)),
                           static_cast<float>(r), static_cast<float>(g), static_cast<float>(b), static_cast<float>(g2));
    incProgressBy(5);
    multiply_channels(dvklib_, image, w, static_cast<int>(h), r, g, b, g2);
    incProgressBy(5);
}

void RawProcessor::rgbgImageApplyCurve(float* image) {
    run_rgbg_curve_bands([this](band_record* b) { runApplyCurveVecFInThread(b); }, band_thread_count, image,
                         imageWidth(), imageHeight());
    incProgressBy(5);
}

void RawProcessor::rgbgImageApplyBalanceAndCurve(float* image) {
    const double balance[4] = {std::exp2(red_ev_ + warm_cold_), std::exp2(green_ev_), std::exp2(blue_ev_ - warm_cold_),
                               std::exp2(green2_ev_)};
    const unsigned w = imageWidth(), h = imageHeight();
    if (highRecoveryEnabled_)
        recover_highlights(dvklib_, image, w, h, highRecoveryGuessTone_, static_cast<float>(std::exp2(highRecoveryEV_)),
                           static_cast<float>(balance[0]), static_cast<float>(balance[1]),
                           static_cast<float>(balance[2]), static_cast<float>(balance[3]));
    incProgressBy(5);
    run_rgbg_curve_bands([this, &balance](band_record* b) { applyCurveToBand(b, balance); }, band_thread_count, image,
                         w, h);
    incProgressBy(5);
    incProgressBy(5);
}

void RawProcessor::runApplyCurveVecFInThread(band_record* band) { applyCurveToBand(band, nullptr); }

void RawProcessor::applyCurveToBand(band_record* band, const double* balance) {
    // Every stage here works on single sites, so the band is run through all
    // of them a few rows at a time: the same pixels as whole-band passes,
    // with the rows still in cache from one stage to the next. The mosaic
    // stages count pattern rows from the chunk's first row: chunks of 12
    // rows keep the phase of every pattern, chunks of 2 (small enough for the
    // processor's second-level cache) that of the 2 x 2 patterns.
    const unsigned chunk_rows = curveChunkRows();
    const unsigned w = band->width, rows = band->rows_with_overlap;
    for (unsigned first = 0; first < rows; first += chunk_rows) {
        const unsigned n = rows - first < chunk_rows ? rows - first : chunk_rows;
        curveRows(band->band_start + static_cast<std::size_t>(first) * w * 4, w, n, balance);
    }
    band->done = 1;
}

void RawProcessor::curveRows(float* img, unsigned w, unsigned n, const double* balance) {
    const double shift = blackShift();
    const double e = std::exp2(ev_);
    const std::size_t pixels = static_cast<std::size_t>(w) * n;
    if (fast_paths_enabled() && shift == 0 && e == 1.0 && balance) {
        // The balance with the clamp after it (the exposure factor is 1);
        // the clamp the curve starts with then changes nothing.
        scale_and_clamp_rgbg(img, pixels, balance);
        if (hlCompression_ != 0) {
            compress_highlights(dvklib_, img, w, n, static_cast<float>(hlCompression_), static_cast<float>(hlRange_));
            apply_tone_curve(dvklib_, img, w, n, useSCurve_, static_cast<float>(brightness_),
                             static_cast<float>(contrast_), static_cast<float>(valueZ_));
        } else {
            apply_tone_curve_to_clamped(dvklib_, img, w, n, useSCurve_, static_cast<float>(brightness_),
                                        static_cast<float>(contrast_), static_cast<float>(valueZ_));
        }
        return;
    }
    if (balance) scale_channels(img, pixels, balance[0], balance[1], balance[2], balance[3]);
    if (shift != 0) black_shift(dvklib_, img, w, n, static_cast<float>(shift));
    scale_channels(img, pixels, e, e, e, e);
    clamp_rgbg_float(dvklib_, img, w, static_cast<int>(n));
    if (hlCompression_ != 0)
        compress_highlights(dvklib_, img, w, n, static_cast<float>(hlCompression_), static_cast<float>(hlRange_));
    apply_tone_curve(dvklib_, img, w, n, useSCurve_, static_cast<float>(brightness_), static_cast<float>(contrast_),
                     static_cast<float>(valueZ_));
}

bool RawProcessor::balanceCurveAndSharpenApplies() const {
    return fast_paths_enabled() && curveChunkRows() == 2 && mosaic_form(dvklib_);
}

void RawProcessor::balanceCurveAndSharpenInOnePass(int threads, float* image, unsigned width, unsigned height) {
    // rgbgImageApplyBalanceAndCurve, unsharpChannelsInBands and
    // mix_green_channels in one pass: each band's rows (and its copies of
    // its neighbours' rows) get the balance and the curve, two rows at a
    // time as the curve worker takes them, as the mask comes to them; the
    // mask writes each second green into the first green's channel as well.
    const double balance[4] = {std::exp2(red_ev_ + warm_cold_), std::exp2(green_ev_), std::exp2(blue_ev_ - warm_cold_),
                               std::exp2(green2_ev_)};
    if (highRecoveryEnabled_)
        recover_highlights(dvklib_, image, width, height, highRecoveryGuessTone_,
                           static_cast<float>(std::exp2(highRecoveryEV_)), static_cast<float>(balance[0]),
                           static_cast<float>(balance[1]), static_cast<float>(balance[2]),
                           static_cast<float>(balance[3]));
    incProgressBy(5);
    const unsigned radius = 2;
    const double amount = static_cast<double>(0.32f);
    const bool mix = mix_green_copies_second_greens(dvklib_);
    const std::size_t row_floats = static_cast<std::size_t>(width) * 4;
    // Two rows of a block, through the curve; a pair whose rows lie apart
    // goes through a copy.
    const auto curve_pair = [&](float* const* rows, unsigned n) {
        if (n == 2 && rows[1] != rows[0] + row_floats) {
            std::vector<float> pair(2 * row_floats);
            std::memcpy(pair.data(), rows[0], row_floats * sizeof(float));
            std::memcpy(pair.data() + row_floats, rows[1], row_floats * sizeof(float));
            curveRows(pair.data(), width, 2, balance);
            std::memcpy(rows[0], pair.data(), row_floats * sizeof(float));
            std::memcpy(rows[1], pair.data() + row_floats, row_floats * sizeof(float));
            return;
        }
        curveRows(rows[0], width, n, balance);
    };
    const BandLayout lay = rgbg_overlap_layout(threads, height);
    std::atomic<bool> greens_mixed{mix};
    const auto worker = [&](float* const* rows, unsigned count) {
        unsigned curved = 0;
        const auto ready = [&](unsigned, unsigned end) {
            while (curved < end) {
                const unsigned n = count - curved < 2 ? count - curved : 2;
                curve_pair(rows + curved, n);
                curved += n;
            }
        };
        if (!rgbg_unsharp_sites(dvklib_, rows, width, count, radius, amount, ready, mix)) {
            ready(0, count);
            rgbg_unsharp_channels(dvklib_, rows, width, count, radius, amount);
            greens_mixed = false;
        }
        ready(0, count);  // rows the mask never came to (its scratch could not be had)
    };
    const bool banded = run_bands_with_private_overlaps(worker, lay, 4, image, width, 4);
    // The rows no band holds (the last of an odd height; every row when the
    // bands could not be set up) get the curve alone, as the curve worker
    // gives them; without the bands, the mask as the runner gives it.
    unsigned covered = 0;
    if (banded)
        for (unsigned own : lay.own_rows) covered += own;
    for (unsigned first = covered; first < height; first += 2) {
        const unsigned n = height - first < 2 ? height - first : 2;
        curveRows(image + static_cast<std::size_t>(first) * row_floats, width, n, balance);
    }
    incProgressBy(5);
    incProgressBy(5);
    if (!banded) runRGBGSelectorInThreads(&RawProcessor::unsharpChannelsInThread, threads, 4, image, width, height);
    if (banded && greens_mixed)
        mix_green_channels(dvklib_, covered, height);
    else
        mix_green_channels(dvklib_);
}

unsigned RawProcessor::curveChunkRows() const {
    if (!fast_paths_enabled()) return 12;
    const DVKLib* d = dvklib_;
    if (!d || !d->libraw) return 12;
    const libraw_data_t& id = d->libraw->imgdata;
    if (id.rawdata.ioparams.shrink != 0 || id.idata.filters == 0) return 2;  // full-colour form: no pattern
    for (int r = 0; r < 48; ++r)
        for (int c = 0; c < 48; ++c)
            if (d->libraw->fcol(r, c) != d->libraw->fcol(r & 1, c & 1)) return 12;
    return 2;
}

void RawProcessor::unsharpChannelsInThread(band_record* band) {
    const unsigned radius = (isHalfSize() || cfa() == 0) ? 1 : 2;
    const double amount = static_cast<double>(0.32f);
    // The four channels blur independently: one pass does them all.
    rgbg_unsharp_channels(dvklib_, band->band_start, band->width, band->rows_with_overlap, radius, amount);
    band->done = 1;
}

void RawProcessor::unsharpChannelsInBands(int threads, int overlap, float* image, unsigned width, unsigned height) {
    const unsigned radius = (isHalfSize() || cfa() == 0) ? 1 : 2;
    const double amount = static_cast<double>(0.32f);
    // Only the sites' own samples matter before demosaicing: the mask of a
    // 2 x 2 pattern is taken at the sites alone (the same values there).
    const auto rows_worker = [&](float* const* rows, unsigned count) {
        if (!fast_paths_enabled() || !rgbg_unsharp_sites(dvklib_, rows, width, count, radius, amount))
            rgbg_unsharp_channels(dvklib_, rows, width, count, radius, amount);
    };
    if (!run_bands_with_private_overlaps(rows_worker, rgbg_overlap_layout(threads, height), overlap, image, width, 4))
        runRGBGSelectorInThreads(&RawProcessor::unsharpChannelsInThread, threads, overlap, image, width, height);
}

void RawProcessor::rgbgImageReset() {
    if (image32_) copy_rgbg_image(dvklib_, image32_.get());
    incProgressBy(5);
}

namespace {

// Truncated toward zero; a negative coordinate lies outside the image (as
// its unsigned wrap-around did), so nothing is measured there.
unsigned to_unsigned(double v) {
    if (v >= 0 && v < 4294967296.0) return static_cast<unsigned>(v);
    return v > -1 && v < 0 ? 0u : 0xFFFFFFFFu;
}

}  // namespace

void RawProcessor::rgbgImageCalcBalanceAtPoint(double x, double y, unsigned delta) {
    // A measurement that stores nothing leaves the previous values in place,
    // as the record keeps them.
    balance_at_point(dvklib_, to_unsigned(x), to_unsigned(y), delta);
    const float* p = dvklib_->area_wb_ev;
    setEvRed(static_cast<double>(p[0]) - p[1]);
    setEvGreen2(cfa() != 0 ? static_cast<double>(p[3]) - p[1] : 0.0);
    setEvGreen(static_cast<double>(p[1]) - p[1]);
    setEvBlue(static_cast<double>(p[2]) - p[1]);
}

void RawProcessor::rgbgImageCalcBalanceAtRect(double x, double y, double width, double height) {
    balance_at_rect(dvklib_, to_unsigned(x), to_unsigned(y), to_unsigned(width), to_unsigned(height));
    const float* p = dvklib_->area_wb_ev;
    setEvRed(static_cast<double>(p[0]) - p[1]);
    setEvGreen2(cfa() != 0 ? static_cast<double>(p[3]) - p[1] : 0.0);
    setEvGreen(static_cast<double>(p[1]) - p[1]);
    setEvBlue(static_cast<double>(p[2]) - p[1]);
}

}  // namespace dvk
