#include "colour/colour_convert.h"

#include <cstring>
#include <string>

#include "colour/colour_transform.h"
#include "colour/profile.h"
#include "colour/profile_lookup.h"
#include "core/dvklib.h"
#include "core/vector_math.h"
#include "platform/log.h"

namespace dvk {

namespace {

constexpr float kSmallestNormal = 1.1754944e-38f;

// Runs one conversion: looks the two profiles up, builds (or reuses) the
// transform and converts width x height pixels in place. Logs the failure
// line with the function's own name and returns 0 when no transform results.
int run_conversion(const char* function, const DVKLib* d, float* image, unsigned width, unsigned height,
                   const std::shared_ptr<const Profile>& src, int src_intent, const std::shared_ptr<const Profile>& dst,
                   int dst_intent, PixelKind in, PixelKind out, bool clamp_rgb = false,
                   ColourTransform::PixelStep before = nullptr, bool exact = false) {
    std::string error;
    const std::size_t n = image ? std::size_t(width) * height : 0;
    std::shared_ptr<const ColourTransform> t;
    if (!src || !dst)
        error = "a profile was not found";
    else
        t = get_colour_transform(src, src_intent, dst, dst_intent, in, out, &error);
    if (!t) {
        if (before && n > 0) before(image, n);
        log_line("Exception in %s %s", function, error.c_str());
        return 0;
    }
    if (n > 0 && exact)
        t->convert_exact_counted(image, n, clamp_rgb ? clamp_rgb_float_triples : nullptr, before);
    else if (n > 0)
        t->convert(image, n, clamp_rgb ? clamp_rgb_float_triples : nullptr, before);
    return 1;
}

int rgb_to_lab(const char* function, const DVKLib* d, float* image, unsigned width, unsigned height,
               const char* rgb_profile, bool uplab, bool absolute, ColourTransform::PixelStep before,
               bool exact = false) {
    auto src = getDVKProfileRef(d, rgb_profile, nullptr);
    if (!src) {
        src = getDVKProfileRef("AdobeRGB2.2", nullptr);
        log_line("Profile not found. Substitute with AdobeRGB");
    }
    auto dst = getDVKProfileRef(d, uplab ? "Uplab" : "Lab", nullptr);
    int ok = run_conversion(function, d, image, width, height, src,
                            absolute ? INTENT_ABSOLUTE_COLORIMETRIC : INTENT_RELATIVE_COLORIMETRIC, dst,
                            INTENT_PERCEPTUAL, PixelKind::Rgb, PixelKind::Lab, false, before, exact);
    if (ok && legacy_colorsync && image) {
        // The legacy path clamps the normalised Lab result before scaling it.
        const std::size_t n = std::size_t(width) * height;
        for (std::size_t i = 0; i < n; ++i) {
            float* p = image + 3 * i;
            float l = p[0] * 0.01f, a = (p[1] + 128.0f) * 0.00390625f, b = (p[2] + 128.0f) * 0.00390625f;
            float v[3] = {l, a, b};
            clamp_rgb_float_triples(v, 1);
            p[0] = v[0] * 100.0f;
            p[1] = v[1] * 256.0f - 128.0f;
            p[2] = v[2] * 256.0f - 128.0f;
        }
    }
    return ok;
}

}  // namespace

DVK_SIMD_CLONES void clamp_rgb_float_triples(float* rgb, std::size_t pixels) {
    const std::size_t n = pixels * 3;
    for (std::size_t i = 0; i < n; ++i) {
        // Two selects that vectorise: NaN fails the first test and becomes 1.
        const float v = rgb[i];
        const float high = v < 1.0f ? v : 1.0f;
        rgb[i] = high > 0.0f ? high : kSmallestNormal;
    }
}

int match_lab_to_rgb_colorsync_t(const DVKLib* d, float* image, unsigned width, unsigned height,
                                 const char* rgb_profile, const char* lab_profile) {
    auto src = getDVKProfileRef(d, lab_profile ? lab_profile : "Uplab", nullptr);
    auto dst = getDVKProfileRef(d, rgb_profile, nullptr);
    return run_conversion("match_lab_to_rgb_colorsync_t", d, image, width, height, src, INTENT_PERCEPTUAL, dst,
                          INTENT_PERCEPTUAL, PixelKind::Lab, PixelKind::Rgb, true);
}

int match_rgb_to_lab_colorsync_t(const DVKLib* d, float* image, unsigned width, unsigned height,
                                 const char* rgb_profile, bool uplab, bool absolute) {
    return rgb_to_lab("match_rgb_to_lab_colorsync_t", d, image, width, height, rgb_profile, uplab, absolute, nullptr);
}

int match_rgb_to_lab_colorsync_exact(const DVKLib* d, float* image, unsigned width, unsigned height,
                                     const char* rgb_profile, bool uplab, bool absolute) {
    return rgb_to_lab("match_rgb_to_lab_colorsync_t", d, image, width, height, rgb_profile, uplab, absolute, nullptr,
                      true);
}

int match_rgb_to_lab_colorsync_with_step(const DVKLib* d, float* image, unsigned width, unsigned height,
                                         const char* rgb_profile, bool uplab, bool absolute,
                                         void (*before)(float* rgb, std::size_t pixels)) {
    return rgb_to_lab("match_rgb_to_lab_colorsync_t", d, image, width, height, rgb_profile, uplab, absolute, before);
}

int match_rgb_to_rgb_colorsync_t(const DVKLib* d, float* image, unsigned width, unsigned height,
                                 const char* src_profile, const char* dst_profile) {
    auto src = getDVKProfileRef(d, src_profile, nullptr);
    auto dst = getDVKProfileRef(d, dst_profile, nullptr);
    return run_conversion("match_rgb_to_rgb_colorsync_t", d, image, width, height, src, INTENT_PERCEPTUAL, dst,
                          INTENT_PERCEPTUAL, PixelKind::Rgb, PixelKind::Rgb, true);
}

int match_lab_to_lab_colorsync_t(const DVKLib* d, float* image, unsigned width, unsigned height,
                                 const char* profile) {
    auto src = getDVKProfileRef(d, profile ? profile : "Uplab", nullptr);
    auto dst = getDVKProfileRef(d, "Lab", nullptr);
    return run_conversion("match_lab_to_lab_colorsync_t", d, image, width, height, src, INTENT_PERCEPTUAL, dst,
                          INTENT_PERCEPTUAL, PixelKind::Lab, PixelKind::Lab);
}

void PartConversion::run(float* px, std::size_t n) const {
    if (transform_ && px && n > 0) transform_->convert_part(px, n, fast_, after_, before_);
}

PartConversion rgb_to_lab_parts(const DVKLib* d, std::size_t pixels, const char* rgb_profile, bool uplab,
                                bool absolute, void (*before)(float* rgb, std::size_t pixels)) {
    PartConversion c;
    if (legacy_colorsync) return c;
    auto src = getDVKProfileRef(d, rgb_profile, nullptr);
    if (!src) return c;
    auto dst = getDVKProfileRef(d, uplab ? "Uplab" : "Lab", nullptr);
    if (!dst) return c;
    std::string error;
    c.transform_ = get_colour_transform(src, absolute ? INTENT_ABSOLUTE_COLORIMETRIC : INTENT_RELATIVE_COLORIMETRIC,
                                        dst, INTENT_PERCEPTUAL, PixelKind::Rgb, PixelKind::Lab, &error);
    if (!c.transform_) return c;
    c.fast_ = pixels > 0 && c.transform_->choose_fast_form(pixels);
    c.before_ = before;
    return c;
}

PartConversion lab_to_rgb_parts(const DVKLib* d, std::size_t pixels, const char* rgb_profile,
                                const char* lab_profile) {
    PartConversion c;
    auto src = getDVKProfileRef(d, lab_profile ? lab_profile : "Uplab", nullptr);
    auto dst = getDVKProfileRef(d, rgb_profile, nullptr);
    if (!src || !dst) return c;
    std::string error;
    c.transform_ =
        get_colour_transform(src, INTENT_PERCEPTUAL, dst, INTENT_PERCEPTUAL, PixelKind::Lab, PixelKind::Rgb, &error);
    if (!c.transform_) return c;
    c.fast_ = pixels > 0 && c.transform_->choose_fast_form(pixels);
    c.after_ = clamp_rgb_float_triples;
    return c;
}

void scale_lab_to_cielab(float* lab, unsigned width, unsigned height) {
    const std::size_t n = std::size_t(width) * height;
    for (std::size_t i = 0; i < n; ++i) {
        float* p = lab + 3 * i;
        p[0] = p[0] * 100.0f;
        p[1] = p[1] * 256.0f - 128.0f;
        p[2] = p[2] * 256.0f - 128.0f;
    }
}

std::uint32_t get_profile_color_space(const Profile* profile) {
    if (!profile) return 0;
    const auto& b = profile->bytes();
    if (b.size() < 20) return profile->colour_space();
    return (std::uint32_t(b[16]) << 24) | (std::uint32_t(b[17]) << 16) | (std::uint32_t(b[18]) << 8) | b[19];
}

}  // namespace dvk
