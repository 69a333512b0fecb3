// Branch-free single-precision log and exp that g++ vectorises (the loops
// calling them become SIMD code at -O3), for the tone stages' per-sample
// curves. Accuracy is within a few units in the last place; special values
// follow the C library: log(0) = -inf, log(<0) = NaN, exp(-inf) = 0; exp
// never returns a denormal (those results are 0), which keeps the stages
// off the processor's slow denormal paths.
#pragma once

#include <cstdint>
#include <cstring>
#include <limits>

// Loops over samples compiled twice, for AVX2 and for the baseline, chosen
// at load time. Both give identical results (no fused multiply-adds).
#if defined(__SANITIZE_THREAD__)
// ThreadSanitizer cannot run the load-time choice (it comes before its runtime).
#define DVK_SIMD_CLONES
#else
#define DVK_SIMD_CLONES __attribute__((target_clones("avx2", "default")))
#endif

namespace dvk::vm {

__attribute__((always_inline)) inline float bits_to_float(std::int32_t i) {
    float f;
    std::memcpy(&f, &i, sizeof f);
    return f;
}

__attribute__((always_inline)) inline std::int32_t float_to_bits(float f) {
    std::int32_t i;
    std::memcpy(&i, &f, sizeof i);
    return i;
}

// a when cond holds, else b, by bit masks: g++ vectorises these in every
// target where plain selects on a loaded value can turn into branches.
__attribute__((always_inline)) inline float select(bool cond, float a, float b) {
    const std::int32_t m = -static_cast<std::int32_t>(cond);
    return bits_to_float((float_to_bits(a) & m) | (float_to_bits(b) & ~m));
}

// Natural logarithm.
__attribute__((always_inline)) inline float log(float x) {
    const bool tiny = x < 1.17549435e-38f;  // denormals are scaled by 2^23 first
    const float xs = tiny ? x * 8388608.0f : x;
    const std::int32_t ix = float_to_bits(xs);
    std::int32_t e = ((ix >> 23) & 0xff) - (tiny ? 150 : 127);
    float m = bits_to_float((ix & 0x007fffff) | 0x3f800000);  // [1, 2)
    const bool high = m > 1.41421356f;
    m = high ? m * 0.5f : m;
    e = high ? e + 1 : e;
    const float f = m - 1.0f;
    const float z = f * f;
    float p = 7.0376836292e-2f;
    p = p * f - 1.1514610310e-1f;
    p = p * f + 1.1676998740e-1f;
    p = p * f - 1.2420140846e-1f;
    p = p * f + 1.4249322787e-1f;
    p = p * f - 1.6668057665e-1f;
    p = p * f + 2.0000714765e-1f;
    p = p * f - 2.4999993993e-1f;
    p = p * f + 3.3333331174e-1f;
    const float fe = static_cast<float>(e);
    float y = p * f * z;
    y += -2.12194440e-4f * fe;
    y += -0.5f * z;
    float r = f + y;
    r += 0.693359375f * fe;
    // Special values by bit masks (g++ keeps these loops vectorised where
    // selects on x would turn into branches).
    const std::int32_t zero = -static_cast<std::int32_t>(x == 0.0f);
    const std::int32_t nan = -static_cast<std::int32_t>((x < 0.0f) | (x != x));
    const std::int32_t inf = -static_cast<std::int32_t>(x == std::numeric_limits<float>::infinity());
    std::int32_t rb = float_to_bits(r);
    rb = (rb & ~zero) | (static_cast<std::int32_t>(0xff800000u) & zero);
    rb = (rb & ~inf) | (0x7f800000 & inf);
    rb = (rb & ~nan) | (0x7fc00000 & nan);
    return bits_to_float(rb);
}

// Natural exponential.
__attribute__((always_inline)) inline float exp(float x) {
    float xc = x < 88.7228f ? x : 88.7228f;
    xc = xc > -103.9f ? xc : -103.9f;  // NaN lands here and is put back at the end
    const float t = xc * 1.44269504088896341f + 0.5f;
    const std::int32_t it = static_cast<std::int32_t>(t);
    const float ft = static_cast<float>(it);
    const std::int32_t i = it - static_cast<std::int32_t>(t < ft);  // floor
    const float fx = static_cast<float>(i);
    float r = xc - fx * 0.693359375f;
    r = r - fx * -2.12194440e-4f;
    const float z = r * r;
    float y = 1.9875691500e-4f;
    y = y * r + 1.3981999507e-3f;
    y = y * r + 8.3334519073e-3f;
    y = y * r + 4.1665795894e-2f;
    y = y * r + 1.6666665459e-1f;
    y = y * r + 5.0000001201e-1f;
    y = y * z + r + 1.0f;
    const std::int32_t i1 = i >> 1, i2 = i - i1;  // two halves keep both scales normal
    y = y * bits_to_float((i1 + 127) << 23) * bits_to_float((i2 + 127) << 23);
    // Overflow to infinity, results below the smallest normal flushed to 0,
    // NaN kept: by bit masks, which g++ keeps vectorised.
    const std::int32_t over = -static_cast<std::int32_t>(xc >= 88.7228f);
    const std::int32_t under = -static_cast<std::int32_t>(xc < -87.33654f);
    const std::int32_t nan = -static_cast<std::int32_t>(x != x);
    std::int32_t yb = float_to_bits(y);
    yb = (yb & ~over) | (0x7f800000 & over);
    yb = yb & ~under;
    yb = (yb & ~nan) | (0x7fc00000 & nan);
    return bits_to_float(yb);
}

// log2 as ln divided by -(-ln 2).
__attribute__((always_inline)) inline float log2(float x) { return log(x) / 0.6931472f; }
// x^y for x > 0 (x = 0 gives 0 for y > 0).
__attribute__((always_inline)) inline float pow(float x, float y) { return exp(log(x) * y); }

}  // namespace dvk::vm
