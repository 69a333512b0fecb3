// Stages around the RGB-to-Lab conversion of float triples: the RGB range
// compression before it, profile and user saturation, the L stretch and the
// Lab optimisation after it.
#pragma once

#include <cstddef>

namespace dvk {

struct DVKLib;

// RGB range compression: v x 0.8 + 0.1 on every sample, unless the curve
// type skips it.
void compress_rgb_range(DVKLib* d, float* rgb, unsigned width, unsigned height);
// The compression itself on `pixels` float triples (no skip test), for
// folding into a colour conversion's pass.
void compress_rgb_triples(float* rgb, std::size_t pixels);
// Needs the colour module's profile lookup (lab_adjust_stage1.cpp).
void make_adjust_stage1(DVKLib* d, float* lab, unsigned width, unsigned height, int p1, int p2, int p3,
                        const char* profile, float saturation, float f1, float f2, float sharpnessRadius);
// What make_adjust_stage1 multiplies a and b by, found once for a pass that
// applies it row by row: the profile's factor, then the user's (each only
// when `has_*` is set).
struct Stage1Factors {
    bool has_profile = false, has_user = false;
    double profile = 1.0, user = 1.0;
};
Stage1Factors adjust_stage1_factors(DVKLib* d, const char* profile, float saturation);
void apply_adjust_stage1(float* lab, unsigned width, unsigned height, const Stage1Factors& f);
// The user-saturation factor: 0 for -1000, 255 / (255 - 2u) otherwise; a
// value whose factor would be infinite or negative (u >= 127.5) gives the
// largest finite factor instead.
double user_saturation_factor(double u);
// Multiplies a and b by f, limited to [-128, 127] (NaN becomes 127).
void scale_ab(float* lab, unsigned width, unsigned height, double f);
void make_adjust_stage2(DVKLib* d, float* lab, unsigned width, int height, float black, float white);
void lab_optimize(DVKLib* d, float* lab, unsigned width, unsigned height);

}  // namespace dvk
