// What the two AHD tile implementations share: the tile size, the three
// candidate directions, the green limit and the YCbCr weights. Included by
// ahd.cpp only (its tiles are inlined into each compiled version of it).
#pragma once

#include <algorithm>
#include <cmath>

namespace dvk::ahd {

constexpr int TS = 256;  // tile size
constexpr int kDirs = 3;
constexpr int kRows = 4;  // scratch rows: the pipeline spans four tile rows

// std::max, std::min and std::clamp by value: the same comparisons, but g++
// vectorises these as selects of values where the standard ones (which
// return references) become selects of addresses and single loads.
template <typename T>
__attribute__((always_inline)) inline T max_of(T a, T b) {
    return a < b ? b : a;
}
template <typename T>
__attribute__((always_inline)) inline T min_of(T a, T b) {
    return b < a ? b : a;
}
template <typename T>
__attribute__((always_inline)) inline T clamp_to(T v, T lo, T hi) {
    return v < lo ? lo : (hi < v ? hi : v);
}

__attribute__((always_inline)) inline float limit_between(float v, float a, float b) {
    return clamp_to(v, min_of(a, b), max_of(a, b));
}

// The locally selected green of a site from its horizontal and vertical
// candidates and its four green neighbours: the candidate that differs less
// from its neighbours, on a tie the mean when both or neither overshoot, else
// the one that does not. Every choice is computed and one is selected without
// branches: which one wins changes from site to site.
__attribute__((always_inline)) inline double choose_green(double hg, double vg, double gl, double gr, double gu,
                                                            double gd) {
    const double dh = std::fabs(hg - gr) + std::fabs(hg - gl);
    const double dv = std::fabs(vg - gu) + std::fabs(vg - gd);
    const double diff = dh - dv;
    const double hprod = (hg - gl) * (hg - gr), vprod = (vg - gu) * (vg - gd);
    const double avg = (hg + vg) * 0.5;
    const double tie = hprod * vprod >= 0 ? avg : (hprod > 0 ? vg : hg);
    return diff == 0 ? tie : (diff > 0 ? vg : hg);
}

constexpr double kYr = 0.299, kYb = 0.114;
constexpr double kYg = 1 - kYr - kYb;
constexpr double kCb = 1 - kYb, kCr = 1 - kYr;

}  // namespace dvk::ahd

// Every step is inlined into ahd_interpolate, so that each of its compiled
// versions (AVX2, baseline) holds the whole tile code.
#define AHD_STEP __attribute__((always_inline)) inline
