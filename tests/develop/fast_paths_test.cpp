// The special forms of the develop steps (core/fast_paths.h) against
// their general forms on the real chart DNG: the saved files are the same,
// byte for byte, for the settings each special form serves and for settings
// that send the develop back to the general forms part of the way.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "develop_test_support.h"
#include "tests/support/dng_writer.h"
#include "tests/support/engine_state.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

struct Case {
    const char* name;
    int format;
    int threads;
    std::function<void(RawProcessor&)> settings;
};

// The chart developed at full size by AHD with the special forms on or off.
std::vector<std::uint8_t> develop_chart(const Case& c, bool fast, const std::filesystem::path& dir) {
    test::FastPaths paths(fast);
    test::BandThreadCount threads(c.threads);
    RawProcessor p;
    p.setSaveFormat(c.format);
    p.setInterpolation(0);
    if (c.settings) c.settings(p);
    const std::filesystem::path out = dir / (std::string(c.name) + (fast ? "-fast.tiff" : "-general.tiff"));
    EXPECT_EQ(test::develop(p, test::chart_dng(), out.string()), 0) << c.name;
    return test::read_bytes(out);
}

TEST(FastPaths, ChartDevelopsToTheSameFiles) {
    test::TempDir dir;
    const Case cases[] = {
        // The save format of the speed comparisons, default settings: every
        // special form (site rows, one-pass balance and curve, site
        // sharpening, the Lab stages in one pass).
        {"srgb16", 22, 3, nullptr},
        // Float output (linear gamma step in the one pass), Lab optimisation,
        // no chroma blur, saturation, one band.
        {"float", 5, 1,
         [](RawProcessor& p) {
             p.setLabOptimize(1);
             p.setBlurAB(0);
             p.setSaturation(20);
         }},
        // Exposure, highlight compression and contrast (the curve worker's
        // general sequence), L sharpening (the Lab stages in passes).
        {"tone", 0, 4,
         [](RawProcessor& p) {
             p.setExposure(0.3);
             p.setHlCompression(0.5);
             p.setContrast(15);
             p.setSharpness(40);
         }},
    };
    for (const Case& c : cases) {
        const std::vector<std::uint8_t> fast = develop_chart(c, true, dir.path());
        const std::vector<std::uint8_t> general = develop_chart(c, false, dir.path());
        ASSERT_GT(fast.size(), 1000000u) << c.name;
        EXPECT_TRUE(fast == general) << c.name << ": the files differ";
    }
}

}  // namespace
}  // namespace dvk
