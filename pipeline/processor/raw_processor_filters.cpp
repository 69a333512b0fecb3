// RawProcessor: filters and film looks, the custom input profile, the output
// profile with its gamut map, the decompression points and the grey strip.
#include <cmath>
#include <cstring>
#include <cerrno>

#include "colour/colour_convert.h"
#include "colour/input_profile_check.h"
#include "core/buffer_conversions.h"
#include "pipeline/stages/filters.h"
#include "pipeline/stages/four_channel_ops.h"
#include "pipeline/stages/gamut_map.h"
#include "pipeline/stages/lab_adjust.h"
#include "pipeline/processor/raw_processor.h"
#include "pipeline/stages/tone_stages.h"

namespace dvk {

// --- filters -----------------------------------------------------------------

void RawProcessor::setFilterName(const std::string& name) {
    setBwMode(filter_code_for_name(name, uplab2labProfiles_));
}

std::string RawProcessor::filterName() const { return filter_name_for_code(bwMode_, uplab2labProfiles_); }

bool RawProcessor::bwModeRGB() const { return filter_is_rgb(bwMode_); }

// --- input profile -----------------------------------------------------------

void RawProcessor::setCustomRawProfile(const std::string& value) {
    willChangeValueForKey("customRawProfile");
    customRawProfile_.clear();
    dvklib_->custom_profile_data = nullptr;
    dvklib_->custom_profile_size = 0;
    dvklib_->custom_profile_name = nullptr;
    customProfileName_.clear();
    customRawProfileError_.clear();
    if (!value.empty()) {
        // Only a regular file of a sane size that can serve as a camera
        // profile: a folder, a device, a FIFO or a file that is no RGB input
        // profile named here is refused, and says why.
        InputProfileFile file = read_input_profile_file(value);
        if (file) {
            customRawProfile_.assign(file.bytes->begin(), file.bytes->end());
            dvklib_->custom_profile_data = customRawProfile_.data();
            dvklib_->custom_profile_size = static_cast<std::uint32_t>(customRawProfile_.size());
        } else if (value.find('/') != std::string::npos) {
            // A path that names no usable profile keeps the reason for the
            // callers to say; meanwhile the camera's own profile serves (a
            // path is no built-in name).
            customRawProfileError_ = file.error;
        } else {
            // Any other value is a built-in profile name for the camera
            // profile choice (7-bit text); a file of that name that is there
            // but cannot serve is said too.
            if (file.errnum != ENOENT) customRawProfileError_ = file.error;
            for (char c : value) customProfileName_.push_back(static_cast<char>(c & 0x7f));
            dvklib_->custom_profile_name = customProfileName_.c_str();
        }
    }
    customRawProfilePath_ = value;
    didChangeValueForKey("customRawProfile");
}

// --- output profile ------------------------------------------------------------

void RawProcessor::setOutputProfile(int code) {
    willChangeValueForKey("outputProfile");
    const char* name = output_profile_name_for_code(code);
    const IccBytes out = builtin_icc_bytes(name);
    dvklib_->output_profile_name = name;
    dvklib_->output_profile_data = out.data;
    dvklib_->output_profile_size = out.data ? out.size + 1 : 0;
    const IccBytes lin = builtin_icc_bytes(kLinearProfileName);
    dvklib_->linear_profile_name = kLinearProfileName;
    dvklib_->linear_profile_data = lin.data;
    dvklib_->linear_profile_size = lin.data ? lin.size + 1 : 0;
    setGamutArr(name);
    didChangeValueForKey("outputProfile");
}

int RawProcessor::outputProfile() const {
    for (int code = 1; code < kOutputProfileCount; ++code) {
        const IccBytes b = builtin_icc_bytes(output_profile_name_for_code(code));
        if (b.data && b.data == dvklib_->output_profile_data) return code;
    }
    return 0;
}

void RawProcessor::setGamutArr(const char* profileName) {
    // The output profile names are static strings of the profile table.
    std::lock_guard<std::mutex> hold(gamutLock_);
    gamutArr_.reset();
    gamutProfilePending_ = profileName;
}

void RawProcessor::setGamutArr(AlignedBuffer<std::uint8_t> buffer) {
    std::lock_guard<std::mutex> hold(gamutLock_);
    gamutArr_ = std::move(buffer);
    gamutProfilePending_ = nullptr;
}

std::uint8_t* RawProcessor::gamutArr() const {
    std::lock_guard<std::mutex> hold(gamutLock_);
    if (gamutProfilePending_) {
        AlignedBuffer<std::uint8_t> map = allocate_aligned_zeroed<std::uint8_t>(kGamutMapBytes);
        if (map) fill_gamut_map(dvklib_, gamutProfilePending_, map.get());
        gamutArr_ = std::move(map);
        gamutProfilePending_ = nullptr;
    }
    return gamutArr_.get();
}

// --- decompression points and grey strip ---------------------------------------

void RawProcessor::fillDecompressionPoints() {
    // Two pixels, black and white; the rest of the 16-pixel row is padding
    // for conversions that work on whole padded rows.
    float px[16 * 3] = {0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f};
    compress_rgb_range(dvklib_, px, 2, 1);
    const std::string profile = inputProfileName();
    // Through the exact transform: the table, once some earlier conversion
    // has built it, would move the points by its interpolation error, and
    // the stretch of L they set would then depend on what ran before.
    match_rgb_to_lab_colorsync_exact(dvklib_, px, 2, 1, profile.c_str(), uplab_ != 0, true);
    setDecompressionBlackPoint(px[0]);
    setDecompressionWhitePoint(px[3]);
}

void RawProcessor::fillGrayScale() {
    constexpr unsigned kStrip = 65536, kUsed = 65535;
    AlignedBuffer<float> strip = allocate_aligned_zeroed<float>(static_cast<std::size_t>(kStrip) * 4);
    setGrayScale(AlignedBuffer<float>());
    if (!strip) return;
    float* g = strip.get();
    for (unsigned i = 0; i < kUsed; ++i) {
        const float v = static_cast<float>(i) / 65534.0f;
        g[4 * i] = g[4 * i + 1] = g[4 * i + 2] = g[4 * i + 3] = v;
    }
    const float r = static_cast<float>(std::exp2(red_ev_ + warm_cold_));
    const float gr = static_cast<float>(std::exp2(green_ev_));
    const float b = static_cast<float>(std::exp2(blue_ev_ - warm_cold_));
    const float g2 = static_cast<float>(std::exp2(green2_ev_));
    multiply_channels(dvklib_, g, kUsed, 1, r, gr, b, g2);
    black_shift(dvklib_, g, kUsed, 1, static_cast<float>(blackShift()));
    const double e = std::exp2(ev_);
    multiply_channels(dvklib_, g, kUsed, 1, e, e, e, e);
    clamp_rgbg_float(dvklib_, g, kUsed, 1);
    compress_highlights(dvklib_, g, kUsed, 1, static_cast<float>(hlCompression_), static_cast<float>(hlRange_));
    apply_tone_curve(dvklib_, g, kUsed, 1, useSCurve_, static_cast<float>(brightness_), static_cast<float>(contrast_),
                     static_cast<float>(valueZ_));
    rgbg_to_rgb_float(g, kUsed, 1, g, 32, 0);
    if (!rawMode_) {
        compress_rgb_range(dvklib_, g, kUsed, 1);
        const std::string profile = inputProfileName();
        match_rgb_to_lab_colorsync_t(dvklib_, g, kUsed, 1, profile.c_str(), uplab_ != 0, true);
        make_adjust_stage1(dvklib_, g, kUsed, 1, 0, 0, 0, profile.c_str(),
                           bwMode_ == 6 ? -1000.0f : static_cast<float>(saturation_), 0.0f, 0.0f, sharpnessRadius_);
        make_adjust_stage2(dvklib_, g, kUsed, 1, static_cast<float>(decompressionBlackPoint_),
                           static_cast<float>(decompressionWhitePoint_));
        for (unsigned i = 0; i < kUsed; ++i) LScale_[i] = g[3 * i];
        match_lab_to_rgb_colorsync_t(dvklib_, g, kUsed, 1, dvklib_->output_profile_name, uplab_ ? nullptr : "Lab");
    }
    setGrayScale(std::move(strip));
}

}  // namespace dvk
