// Deterministic test pixels shared by the colour tests.
#pragma once

#include <cstddef>
#include <vector>

namespace dvk::test {

// n RGB pixels spread over the unit cube (97 x 89 x 83 levels), the same for
// every call.
inline std::vector<float> cube_pixels(std::size_t n) {
    std::vector<float> px(3 * n);
    for (std::size_t i = 0; i < n; ++i) {
        px[3 * i] = float(i % 97) / 96.0f;
        px[3 * i + 1] = float(i / 97 % 89) / 88.0f;
        px[3 * i + 2] = float(i / (97 * 89) % 83) / 82.0f;
    }
    return px;
}

}  // namespace dvk::test
