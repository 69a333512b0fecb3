// The AVX2 builds of the display interpolation, the histogram's counting and
// the diagram's plotting against their plain builds, on values chosen to sit
// on their edges (bin and slice bounds, NaN, infinities, range ends) and on
// row lengths that leave every tail length.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "app/preview/display_interpolation.h"
#include "app/preview/gamut_diagram.h"
#include "app/preview/histogram.h"
#include "core/cpu_features.h"

namespace dvk {
namespace {

struct Random {
    std::uint32_t seed;
    std::uint32_t next() { return (seed = seed * 1664525u + 1013904223u) >> 8; }
    float uniform(float lo, float hi) { return lo + (hi - lo) * static_cast<float>(next() % 100001) / 100000.0f; }
    template <class T>
    T pick(const std::vector<T>& v) { return v[next() % v.size()]; }
};

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

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

TEST(VectorBuilds, HistogramCountsMatchThePlainBuild) {
    if (!cpu_has_avx2()) GTEST_SKIP() << "no AVX2 here: the plain build is the only one";
    Random rnd{5};
    const std::vector<float> edges = {0.0f, -0.0f, -0.1f, 1.0f, 1.2f, 1.0f / 255.0f, 254.0f / 255.0f, 0.9999999f,
                                      kNaN, kInf, -kInf, 1e30f};
    const std::vector<float> lightness = {0.0f, 100.0f, 39.215687f, -5.0f, 150.0f, kNaN, kInf};
    for (unsigned width = 1; width <= 40; ++width) {
        std::vector<float> rgb(width * 3), lab(width * 3);
        for (float& v : rgb) v = rnd.next() % 4 == 0 ? rnd.pick(edges) : rnd.uniform(-0.05f, 1.05f);
        for (std::size_t i = 0; i < width; ++i)
            lab[3 * i] = rnd.next() % 4 == 0 ? rnd.pick(lightness) : rnd.uniform(0.0f, 100.0f);
        for (const float* l : {static_cast<const float*>(nullptr), static_cast<const float*>(lab.data())}) {
            HistogramTally fast, plain;
            fast.countRow(rgb.data(), l, width);
            plain.countRowPlain(rgb.data(), l, width);
            EXPECT_EQ(fast.bins, plain.bins) << width;
        }
    }
}

// The run laid on a diagram of marked cells: every cell a point reached shows
// the run's last colour there.
std::vector<std::uint8_t> laid(const DiagramRun& run) {
    std::vector<std::uint8_t> img(static_cast<std::size_t>(kDiagramSize) * kDiagramSize * 3, 255);
    run.layOn(img);
    return img;
}

TEST(VectorBuilds, DiagramPointsMatchThePlainBuild) {
    Random rnd{11};
    // Slice 127 (L* 50), 0 and -3 (L* -1): values of L* x 2.55 near their halves.
    for (const double diagramL : {50.0, 0.0, -1.0}) {
        DiagramInput in;
        in.diagramL = diagramL;
        const long slice = std::lround(diagramL * 2.55);
        std::vector<float> nearSlice;
        for (const double d : {-0.5, 0.5})
            for (const float v : {std::nextafter(static_cast<float>(slice + d), -kInf), static_cast<float>(slice + d),
                                  std::nextafter(static_cast<float>(slice + d), kInf)})
                nearSlice.push_back(v / 2.55f);
        // The plain build's slice rule is lround's.
        in.fullGamut = false;
        for (const float L : nearSlice) {
            DiagramRun one(in);
            const float lab[3] = {L, 1.0f, 1.0f}, rgb[3] = {0.5f, 0.5f, 0.5f};
            one.playRowPlain(rgb, lab, 1);
            const bool drawn = laid(one)[(127 * kDiagramSize + 129) * 3] != 255;
            EXPECT_EQ(drawn, std::lround(L * 2.55f) == slice) << L;
        }
        if (!cpu_has_avx2()) continue;
        const std::vector<float> ab = {-129.0f, -128.99f, -128.0f, -127.99f, 127.99f,
                                       128.0f,  128.99f,  129.0f,  kNaN,     kInf};
        // Plotted as 111 about 0.372, as 255 from about 0.998.
        const std::vector<float> colours = {0.0f, 1.0f, 1.2f, -0.3f, kNaN, 0.3725f, 0.3704f, 0.3747f};
        for (const bool full : {false, true}) {
            in.fullGamut = full;
            for (unsigned width : {1u, 7u, 8u, 9u, 64u, 1001u}) {
                std::vector<float> rgb(width * 3), lab(width * 3);
                for (std::size_t i = 0; i < width; ++i) {
                    lab[3 * i] = rnd.next() % 2 ? rnd.pick(nearSlice) : rnd.uniform(-3.0f, 101.0f);
                    // A few cells, so that points meet.
                    for (int k = 1; k < 3; ++k)
                        lab[3 * i + k] = rnd.next() % 8 == 0 ? rnd.pick(ab) : rnd.uniform(-3.0f, 3.0f);
                    for (int k = 0; k < 3; ++k)
                        rgb[3 * i + k] = rnd.next() % 4 == 0 ? rnd.pick(colours) : rnd.uniform(0.0f, 1.0f);
                }
                DiagramRun fast(in), plain(in);
                fast.playRow(rgb.data(), lab.data(), width);
                plain.playRowPlain(rgb.data(), lab.data(), width);
                EXPECT_EQ(laid(fast), laid(plain)) << width << (full ? " full" : " slice");
            }
        }
    }
}

}  // namespace
}  // namespace dvk
