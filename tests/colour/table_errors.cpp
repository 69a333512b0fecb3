#include "tests/colour/table_errors.h"

#include <algorithm>
#include <cmath>

namespace dvk::test {

std::vector<double> sorted_table_errors(const Lut3D& lut, const Lut3D::Convert& exact, std::vector<float> px) {
    const std::size_t n = px.size() / 3;
    std::vector<float> want = px;
    exact(want.data(), n);
    std::vector<std::size_t> misses;
    lut.apply(px.data(), n, misses);
    for (std::size_t m : misses) exact(&px[3 * m], 1);
    std::vector<double> e(n);
    for (std::size_t i = 0; i < n; ++i) {
        const float* a = &px[3 * i];
        const float* b = &want[3 * i];
        e[i] = std::sqrt(double(a[0] - b[0]) * (a[0] - b[0]) + double(a[1] - b[1]) * (a[1] - b[1]) +
                         double(a[2] - b[2]) * (a[2] - b[2]));
    }
    std::sort(e.begin(), e.end());
    return e;
}

}  // namespace dvk::test
