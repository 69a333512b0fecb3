// What the two AHD tile implementations share: the tile size, the three
// candidate directions, the green limit and the YCbCr weights. Included by
// ahd.cpp only (its tiles are inlined into each compiled version of it).
#pragma once

#include <algorithm>

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

constexpr double kYr = 0.299, kYb = 0.114;
constexpr double kYg = 1 - kYr - kYb;
constexpr double kCb = 1 - kYb, kCr = 1 - kYr;

}  // namespace dvk::ahd

// Every step is inlined into ahd_interpolate, so that each of its compiled
// versions (AVX2, baseline) holds the whole tile code.
#define AHD_STEP __attribute__((always_inline)) inline
