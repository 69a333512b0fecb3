// RawProcessor: the conversion and preview sequences and their colour
// workers.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "colour/colour_convert.h"
#include "core/fast_paths.h"
#include "pipeline/stages/border_crop.h"
#include "pipeline/stages/detail_stages.h"
#include "core/buffer_conversions.h"
#include "core/colour_maths.h"
#include "pipeline/demosaic/demosaic.h"
#include "pipeline/stages/filters.h"
#include "pipeline/stages/four_channel_ops.h"
#include "pipeline/stages/lab_adjust.h"
#include "pipeline/load/raw_loader.h"
#include "pipeline/processor/raw_processor.h"
#include "pipeline/writers/save_formats.h"
#include "platform/log.h"
#include "platform/stage_timer.h"

namespace dvk {

namespace {

int colour_threads() { return legacy_colorsync ? band_thread_count : 1; }

// Rows an overlapping float RGB run of `height` rows needs in its buffer.
std::uint64_t rows_for_rgb_overlap(int threads, unsigned height, int overlap) {
    const int bands = rgb_overlap_layout(threads, height).bands;
    return static_cast<std::uint64_t>(height) + static_cast<std::uint64_t>(bands > 1 ? bands - 1 : 0) * 2u *
                                                    static_cast<std::uint64_t>(overlap > 0 ? overlap : 0);
}

// The largest overlap an overlapping float RGB run of `height` rows can use
// in a buffer of `rows` rows (the wanted overlap when it fits).
int clamp_rgb_overlap(int threads, unsigned height, std::uint64_t rows, int wanted) {
    const int bands = rgb_overlap_layout(threads, height).bands;
    if (bands <= 1 || wanted <= 0) return wanted;
    const std::uint64_t spare = rows > height ? rows - height : 0;
    const std::uint64_t fit = spare / (2u * static_cast<std::uint64_t>(bands - 1));
    return static_cast<int>(std::min<std::uint64_t>(static_cast<std::uint64_t>(wanted), fit));
}

// The rows each band of the local-contrast stage reads beyond its own: the
// stage's radius and a margin, never more than the image holds.
int local_contrast_overlap(double localContrast, double radius, unsigned height) {
    const double rows = (localContrast + 5.0) * radius;
    if (!(rows > 0)) return 0;
    return static_cast<int>(std::min(rows, static_cast<double>(height)));
}

}  // namespace

std::string RawProcessor::labFilterProfile() const {
    return lab_filter_profile(bwMode_, filterName(), uplab2labProfiles_);
}

// --- colour workers --------------------------------------------------------

void RawProcessor::rgb2labStage1InThread(band_record* band) {
    // The range compression runs in the conversion's own pass, a few
    // thousand pixels ahead of it (the same values as a pass of its own).
    const std::string profile = inputProfileName();
    if (skip_rgb_compression)
        match_rgb_to_lab_colorsync_t(dvklib_, band->band_start, band->width, band->rows_with_overlap,
                                     profile.c_str(), uplab_ != 0, true);
    else
        match_rgb_to_lab_colorsync_with_step(dvklib_, band->band_start, band->width, band->rows_with_overlap,
                                             profile.c_str(), uplab_ != 0, true, compress_rgb_triples);
    band->done = 1;
}

void RawProcessor::lab2rgbInThread(band_record* band) {
    // The Lab data is UPLab after an uplab input conversion and CIELab
    // otherwise; without a filter profile the decode follows that.
    const char* plain_lab = uplab_ ? nullptr : "Lab";
    if (bwModeRGB()) {
        const char* working = bwMode_ == 100 ? "AdobeRGB2.2" : "BetaRGB2.2";
        match_lab_to_rgb_colorsync_t(dvklib_, band->band_start, band->width, band->rows_with_overlap, working,
                                     plain_lab);
        if (const char* filter = rgb_filter_profile(bwMode_))
            match_rgb_to_rgb_colorsync_t(dvklib_, band->band_start, band->width, band->rows_with_overlap, filter,
                                         dvklib_->output_profile_name);
    } else {
        const std::string lab = labFilterProfile();
        match_lab_to_rgb_colorsync_t(dvklib_, band->band_start, band->width, band->rows_with_overlap,
                                     dvklib_->output_profile_name, lab.empty() ? plain_lab : lab.c_str());
    }
    band->done = 1;
}

void RawProcessor::lab2labInThread(band_record* band) {
    const std::string lab = labFilterProfile();
    const char* profile = !lab.empty() ? lab.c_str() : (uplab_ ? nullptr : "Lab");
    match_lab_to_lab_colorsync_t(dvklib_, band->band_start, band->width, band->rows_with_overlap, profile);
    band->done = 1;
}

void RawProcessor::rgb2labInThread(band_record* band) {
    match_rgb_to_lab_colorsync_t(dvklib_, band->band_start, band->width, band->rows_with_overlap,
                                 dvklib_->output_profile_name, false, false);
    band->done = 1;
}

void RawProcessor::betaRGB2labFloatInThread(band_record* band) {
    float* p = band->band_start;
    const std::size_t n = static_cast<std::size_t>(band->width) * band->rows_with_overlap;
    for (std::size_t i = 0; i < n; ++i, p += 3) {
        double rgb[3] = {p[0], p[1], p[2]};
        double xyz[3];
        rgb_to_xyz_gamma(kBetaRgbToXyzD50, rgb, 2.2, xyz);
        float lab[3];
        xyz_to_lab(xyz, kD50White, lab);
        p[0] = lab[0];
        p[1] = lab[1];
        p[2] = lab[2];
    }
    band->done = 1;
}

void RawProcessor::gamma22FloatInThread(band_record* band) {
    gamma_float(dvklib_, band->band_start, band->width, static_cast<int>(band->rows_with_overlap), 2.2f, 2.2f, 2.2f);
    band->done = 1;
}

// --- conversion --------------------------------------------------------------

bool RawProcessor::colourInOnePassApplies() const {
    // The common case: Lab stages that touch a pixel and its neighbours
    // within a row or two (the chroma blur), an RGB output without an RGB
    // filter. Sharpening and local contrast reach further and keep their
    // passes; so does the legacy colour path.
    if (!fast_paths_enabled() || legacy_colorsync || rawMode_) return false;
    if ((sharpness_ > 0 && useSharpness_) || (localContrast_ > 0 && useLocalContrast_)) return false;
    return !is_cielab_writer(dvklib_->save_writer) && !bwModeRGB();
}

bool RawProcessor::colourStagesInOnePass(int threads, float* image, unsigned width, unsigned height) {
    DVKLib* d = dvklib_;
    if (!colourInOnePassApplies() || !image || width == 0 || height == 0) return false;
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    const std::string profile = inputProfileName();
    const PartConversion to_lab = rgb_to_lab_parts(d, pixels, profile.c_str(), uplab_ != 0, true,
                                                   skip_rgb_compression ? nullptr : compress_rgb_triples);
    if (!to_lab.ok()) return false;
    const std::string lab = labFilterProfile();
    const PartConversion to_rgb = lab_to_rgb_parts(d, pixels, d->output_profile_name,
                                                   lab.empty() ? (uplab_ ? nullptr : "Lab") : lab.c_str());
    if (!to_rgb.ok()) return false;
    const Stage1Factors stage1 = adjust_stage1_factors(d, profile.c_str(), bwMode_ == 6 ? -1000.0f : float(saturation_));
    const float black = static_cast<float>(decompressionBlackPoint_), white = static_cast<float>(decompressionWhitePoint_);
    const bool optimize = labOptimize_ != 0, gamma = d->output_gamma == 1.0;
    const float* image_end = image + pixels * 3;
    // Each band: its rows (and the copies of its neighbours' rows the blur
    // reads) to Lab with the first adjustment as the blur comes to them;
    // each of its own rows, once blurred, through the second adjustment and
    // the output colour.
    const auto band = [&](float* const* rows, unsigned count) {
        const auto ready = [&](unsigned first, unsigned end) {
            for (unsigned y = first; y < end; ++y) {
                to_lab.run(rows[y], width);
                apply_adjust_stage1(rows[y], width, 1, stage1);
            }
        };
        const auto done = [&](unsigned y) {
            float* row = rows[y];
            if (row < image || row >= image_end) return;  // a neighbour's row: its own band finishes it
            make_adjust_stage2(d, row, width, 1, black, white);
            if (optimize) lab_optimize(d, row, width, 1);
            to_rgb.run(row, width);
            if (gamma) gamma_float(d, row, width, 1, 2.2f, 2.2f, 2.2f);
        };
        blur_ab_channels(d, rows, width, count, blurAB_, ready, done);
    };
    if (!run_bands_with_private_overlaps(band, rgb_overlap_layout(threads, height), blurAB_ ? 6 : 0, image, width, 3))
        return false;
    return true;
}

void RawProcessor::binWholeImage() {
    DVKLib* d = dvklib_;
    libraw_data_t& id = d->libraw->imgdata;
    band_record whole;
    whole.band_start = d->image_data();
    whole.width = imageWidth();
    whole.rows_with_overlap = imageHeight();
    Binn32TrInThread(&whole);
    id.sizes.iwidth = static_cast<unsigned short>(whole.width);
    id.sizes.iheight = static_cast<unsigned short>(whole.rows_with_overlap);
    setSharpnessRadius(1.0f);
}

bool RawProcessor::convertImage() {
    DVKLib* d = dvklib_;
    convertError_.clear();
    if (!d || !d->libraw || !d->image_data()) return false;
    libraw_data_t& id = d->libraw->imgdata;
    // Four-colour sensors are refused before anything changes the image.
    if (four_colour_pattern(d)) {
        convertError_ = kFourColourRefusal;
        return false;
    }
    const int N = band_thread_count > 0 ? band_thread_count : 1;
    const int K = colour_threads();
    auto W = [&] { return static_cast<unsigned>(id.sizes.iwidth); };
    auto H = [&] { return static_cast<unsigned>(id.sizes.iheight); };
    const bool halfSize = isHalfSize();
    const bool mosaic = id.idata.filters >= 1001;
    // So are images too small for the interpolation (a mosaic without a site
    // of every colour, fewer sites than binning reduces).
    convertError_ = too_small_to_develop(d, interpolation_, halfSize, W(), H());
    if (!convertError_.empty()) return false;

    const bool sharpen_mosaic = !rawMode_ && !halfSize && mosaic && interpolation_ != 5;
    if (sharpen_mosaic && !cleanDotNoise_ && balanceCurveAndSharpenApplies()) {
        StageTimer timer("balance, curve, mosaic unsharp, mix greens");
        balanceCurveAndSharpenInOnePass(N, d->image_data(), W(), H());
    } else {
        StageTimer timer("balance, curve");
        if (cleanDotNoise_) {
            rgbgImageApplyBalance(d->image_data());
            clean_dot_noise(d, d->image_data(), W(), H());
            rgbgImageApplyCurve(d->image_data());
        } else {
            rgbgImageApplyBalanceAndCurve(d->image_data());
        }
        timer.lap("mosaic unsharp");
        if (sharpen_mosaic) unsharpChannelsInBands(N, 4, d->image_data(), W(), H());
        timer.lap("mix greens");
        mix_green_channels(d);
    }
    StageTimer timer("demosaic");
    incProgressBy(5);

    if (id.idata.filters != 0) {
        // AHD, VCD and LMMSE bands start on even rows, VNG bands on multiples of 12.
        const int Neven = demosaic_band_threads(id.idata.filters, 2, N);
        const int N12 = demosaic_band_threads(id.idata.filters, 12, N);
        switch (interpolation_) {
        case 0:
            border_interpolate(d, 6, d->image_data(), W(), H());
            AHDInBands(Neven, 16, d->image_data(), W(), H());
            setSharpnessRadius(2.0f);
            break;
        case 1:
            // A multiple of 12 rows, so that the bands start on multiples of
            // the pattern's period. An image lower than that keeps its rows
            // and is interpolated whole (the band runner leaves the last row
            // of an odd height to the border fill, which VNG makes itself).
            if (H() >= 12) {
                id.sizes.iheight = static_cast<unsigned short>(12 * (H() / 12));
                runRGBGSelectorInThreads(&RawProcessor::VNGInThread, N12, 12, d->image_data(), W(), H());
            } else {
                vng_interpolate(d, d->image_data(), W(), H());
            }
            setSharpnessRadius(2.0f);
            break;
        case 2:
            setSharpnessRadius(1.0f);
            break;
        case 3:
            border_interpolate(d, 8, d->image_data(), W(), H());
            runRGBGSelectorInThreads(&RawProcessor::VCDInThread, Neven, 16, d->image_data(), W(), H());
            setSharpnessRadius(2.0f);
            break;
        case 4:
            // The border of 3 pixels is cropped; an image of 6 or fewer rows
            // or columns, which would keep nothing, is kept whole and
            // interpolated whole (every row, the last of an odd height too).
            if (W() > 6 && H() > 6) {
                LMMSEInBands(Neven, 16, d->image_data(), W(), H());
                crop_rgbg_border(d, 3);
            } else {
                lmmse_interpolate(d, d->image_data(), W(), H());
            }
            setSharpnessRadius(2.0f);
            break;
        case 5:
            binWholeImage();
            break;
        default:
            break;
        }
    } else if (interpolation_ == 5) {
        // An image without a pattern is reduced as well: the stages below
        // take the result as float RGB, as they take binning's.
        binWholeImage();
    } else {
        setSharpnessRadius(1.0f);
    }
    id.idata.filters = 0;
    incProgressBy(5);

    timer.lap("to RGB, flip");
    // The clamp of the float RGB image is done by the conversion to it (the
    // flip and the growth below only move pixels); binning's output is
    // clamped on its own further down.
    const bool clamped = interpolation_ != 5;
    if (interpolation_ != 5) {
        rotate_45_degree(d);
        incProgressBy(5);
        rgbg_to_clamped_rgb_float(d->image_data(), W(), H(), d->image_data(), halfSize ? 0 : 1);
    }

    if (rotation_ < 10 && id.sizes.flip != 0)
        flip_image(d, 0, static_cast<unsigned>(id.sizes.flip));
    else if (rotation_ >= 11)
        flip_image(d, 0, static_cast<unsigned>(rotation_ - 10));
    incProgressBy(5);

    // Room for the overlapping float RGB runner: the usual spare rows, or
    // more when a large local-contrast radius needs wider overlaps.
    std::uint64_t rows = static_cast<std::uint64_t>(H()) + kRgbSpareRowsPerThread * static_cast<unsigned>(N) -
                         kRgbSpareRowsPerThread;
    if (!rawMode_) {
        if (blurAB_ || sharpness_ > 0) rows = std::max(rows, rows_for_rgb_overlap(N, H(), 6));
        if (localContrast_ > 0) {
            const int overlap = local_contrast_overlap(localContrast_, sharpnessRadius_, H());
            rows = std::max(rows, rows_for_rgb_overlap(N, H(), overlap));
        }
    }
    const std::uint64_t bytes = round_up_to_multiple(W(), 16) * round_up_to_multiple(rows, 16) * 12;
    // The four-channel buffer of the load usually holds the float RGB image
    // with all its spare rows already; it is grown only when it does not.
    if (d->image_bytes < bytes && !realloc_image(d, static_cast<std::size_t>(bytes))) {
        log_line("Can't allocate %llu bytes for the float image of %s", static_cast<unsigned long long>(bytes),
                 fileName_.c_str());
        return false;
    }
    timer.lap("grow, clamp");
    if (!clamped) clamp_rgb_float(d->image_data(), W(), static_cast<int>(H()));

    if (!rawMode_) {
        fillDecompressionPoints();
        timer.lap(colourInOnePassApplies() ? "colour stages in one pass" : "to Lab");
        if (colourStagesInOnePass(N, d->image_data(), W(), H())) {
            // The progress of the stages it ran.
            incProgressBy(5);
            if (blurAB_ || sharpness_ > 0) incProgressBy(5);
            if (localContrast_ > 0) incProgressBy(5);
            incProgressBy(5);
            incProgressBy(10);
        } else {
            runRGBSelectorInThreads(&RawProcessor::rgb2labStage1InThread, K, d->image_data(), W(), H());
            timer.lap("adjust 1");
            runRGBSelectorInThreads(&RawProcessor::makeAdjustStage1InThread, N, d->image_data(), W(), H());
            incProgressBy(5);
            timer.lap("blur ab, sharpen");
            if (blurAB_ || sharpness_ > 0) {
                blurABsharpnessInBands(N, 6, d->image_data(), W(), H());
                incProgressBy(5);
            }
            timer.lap("local contrast");
            if (localContrast_ > 0) {
                localContrastInBands(N, local_contrast_overlap(localContrast_, sharpnessRadius_, H()), d->image_data(),
                                     W(), H());
                incProgressBy(5);
            }
            timer.lap("adjust 2");
            runRGBSelectorInThreads(&RawProcessor::makeAdjustStage2InThread, N, d->image_data(), W(), H());
            if (labOptimize_) lab_optimize(d, d->image_data(), W(), H());
            incProgressBy(5);

            timer.lap("output colour");
            if (!is_cielab_writer(d->save_writer)) {
                runRGBSelectorInThreads(&RawProcessor::lab2rgbInThread, K, d->image_data(), W(), H());
                incProgressBy(10);
                if (d->output_gamma == 1.0)
                    runRGBSelectorInThreads(&RawProcessor::gamma22FloatInThread, N, d->image_data(), W(), H());
            } else if (bwModeRGB()) {
                setOutputProfile(0);
                runRGBSelectorInThreads(&RawProcessor::lab2rgbInThread, K, d->image_data(), W(), H());
                runRGBSelectorInThreads(&RawProcessor::betaRGB2labFloatInThread, N, d->image_data(), W(), H());
            } else if (uplab_) {
                runRGBSelectorInThreads(&RawProcessor::lab2labInThread, K, d->image_data(), W(), H());
                incProgressBy(10);
            }
        }
    }
    incProgressBy(5);
    return true;
}

// --- preview -----------------------------------------------------------------

void RawProcessor::makePreview() {
    if (!image32_ || !preview_ || !labPreview_) return;
    const unsigned W = imageWidth(), H = imageHeight();
    const int N = band_thread_count > 0 ? band_thread_count : 1;
    const int K = colour_threads();
    float* pv = preview_.get();
    // Whole-image copies run on the band threads, row chunk by row chunk.
    const auto by_rows = [&](const std::function<void(std::size_t first, std::size_t count)>& fn) {
        run_row_chunks(H, N, [&](unsigned first, unsigned count) { fn(first, count); });
    };
    by_rows([&](std::size_t first, std::size_t count) {
        rgbg_to_rgb_float(image32_.get() + first * W * 4, W, static_cast<unsigned>(count), pv + first * W * 3, 32, 0);
    });
    if (rawMode_) return;
    // Rows the preview buffer holds at this width: the overlaps must fit in
    // its spare rows.
    const std::uint64_t rows = W ? previewFloats_ / (3u * static_cast<std::uint64_t>(W)) : 0;

    fillDecompressionPoints();
    runRGBSelectorInThreads(&RawProcessor::rgb2labStage1InThread, K, pv, W, H);
    runRGBSelectorInThreads(&RawProcessor::makeAdjustStage1InThread, N, pv, W, H);
    incProgressBy(5);
    if (blurAB_ || (sharpness_ > 0 && useSharpness_)) {
        runRGBSelectorInThreads(&RawProcessor::blurABsharpnessInThread, N, clamp_rgb_overlap(N, H, rows, 4), pv, W, H);
        incProgressBy(5);
    }
    if (localContrast_ > 0 && useLocalContrast_) {
        const int overlap = local_contrast_overlap(localContrast_, 1.0, H);
        runRGBSelectorInThreads(&RawProcessor::localContrastInThread, N, clamp_rgb_overlap(N, H, rows, overlap), pv, W,
                                H);
        incProgressBy(10);
    }
    runRGBSelectorInThreads(&RawProcessor::makeAdjustStage2InThread, N, pv, W, H);
    incProgressBy(10);
    const bool rgbFilter = bwModeRGB();
    const auto copy_preview = [&] {
        by_rows([&](std::size_t first, std::size_t count) {
            std::memcpy(labPreview_.get() + first * W * 3, pv + first * W * 3, count * W * 12);
        });
    };
    if (!rgbFilter) copy_preview();
    runRGBSelectorInThreads(&RawProcessor::lab2rgbInThread, K, pv, W, H);
    incProgressBy(10);
    if (rgbFilter) {
        copy_preview();
        runRGBSelectorInThreads(&RawProcessor::rgb2labInThread, K, labPreview_.get(), W, H);
    } else {
        runRGBSelectorInThreads(&RawProcessor::lab2labInThread, K, labPreview_.get(), W, H);
    }
    incProgressBy(10);
}

}  // namespace dvk
