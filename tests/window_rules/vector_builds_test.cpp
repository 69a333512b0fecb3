// The AVX2 build of the display interpolation against its plain build, on
// values chosen to sit on its edges and on row lengths that leave every tail
// length.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "app/display_interpolation.h"
#include "pipeline/cpu_features.h"

namespace dvk {
namespace {

struct Random {
    std::uint32_t seed;
    std::uint32_t next() { return (seed = seed * 1664525u + 1013904223u) >> 8; }
    float uniform(float lo, float hi) { return lo + (hi - lo) * static_cast<float>(next() % 100001) / 100000.0f; }
    template <class T>
    T pick(const std::vector<T>& v) { return v[next() % v.size()]; }
};

TEST(VectorBuilds, DisplayInterpolationMatchesThePlainBuild) {
    if (!cpu_has_avx2()) GTEST_SKIP() << "no AVX2 here: the plain build is the only one";
    Random rnd{3};
    std::vector<float> table(static_cast<std::size_t>(kDisplayGrid) * kDisplayGrid * kDisplayGrid * 4);
    for (float& v : table) v = rnd.uniform(-10.0f, 265.0f);  // beyond both ends: the clamps count
    const std::vector<std::uint16_t> edges = {0, 1, 2047, 2048, 4095, 32767, 32768, 63487, 65534, 65535};
    for (unsigned width = 1; width <= 40; ++width) {
        std::vector<std::uint16_t> px(width * 3);
        for (std::uint16_t& v : px) v = rnd.next() % 3 == 0 ? rnd.pick(edges) : static_cast<std::uint16_t>(rnd.next());
        std::vector<std::uint32_t> fast(width), plain(width);
        interpolateDisplayRow(table.data(), px.data(), fast.data(), width);
        interpolateDisplayRowPlain(table.data(), px.data(), plain.data(), width);
        EXPECT_EQ(fast, plain) << width;
    }
}

}  // namespace
}  // namespace dvk
