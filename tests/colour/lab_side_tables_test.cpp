// The tables between a Lab table profile and CIELab, built ahead of the
// conversions: the conversions find them built, the results are the same as
// with tables built on first use, and building them alongside conversions is
// safe.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <lcms2.h>

#include "colour/colour_convert.h"
#include "colour/colour_transform.h"
#include "colour/lut3d.h"
#include "colour/profile.h"
#include "colour/profile_lookup.h"
#include "core/band_runner.h"
#include "core/dvklib.h"
#include "tests/support/test_paths.h"
#include "tests/support/test_pixels.h"

namespace dvk {
namespace {

class ThreadCount {
public:
    explicit ThreadCount(int n) : saved_(band_thread_count) { band_thread_count = n; }
    ~ThreadCount() { band_thread_count = saved_; }

private:
    int saved_;
};

// A copy of the "Uplab" profile that no conversion has used yet: the same
// bytes under a profile object of its own, so that the transform cache holds
// nothing for it.
std::shared_ptr<const Profile> fresh_uplab() {
    auto uplab = getDVKProfileRef("Uplab", nullptr);
    if (!uplab) return nullptr;
    return Profile::from_bytes(uplab->bytes().data(), uplab->bytes().size());
}

// A matrix/TRC RGB profile (sRGB-like primaries, gamma 2.2).
cmsHPROFILE make_rgb_profile(double gamma) {
    cmsCIExyY white = {0.3127, 0.3290, 1.0};
    cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* g = cmsBuildGamma(nullptr, gamma);
    cmsToneCurve* curves[3] = {g, g, g};
    cmsHPROFILE p = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(g);
    return p;
}

// Lab values over the encoding and a little beyond (those take the exact
// transform), the same for every call.
std::vector<float> lab_pixels(std::size_t n) {
    std::vector<float> px(3 * n);
    for (std::size_t i = 0; i < n; ++i) {
        px[3 * i] = float(i % 103) * (101.0f / 102.0f);
        px[3 * i + 1] = float(i / 103 % 131) * 2.0f - 131.0f;
        px[3 * i + 2] = float(i / (103 * 131) % 127) * 2.0f - 127.0f;
    }
    return px;
}

std::shared_ptr<const ColourTransform> transform(const std::shared_ptr<const Profile>& src, int si,
                                                 const std::shared_ptr<const Profile>& dst, int di, PixelKind in,
                                                 PixelKind out) {
    std::string error;
    auto t = get_colour_transform(src, si, dst, di, in, out, &error);
    EXPECT_NE(t, nullptr) << error;
    return t;
}

// The two Lab-side transforms of `lab_table`, as the cache holds them.
std::shared_ptr<const ColourTransform> into_side(const std::shared_ptr<const Profile>& lab_table) {
    return transform(getDVKProfileRef("Lab", nullptr), INTENT_PERCEPTUAL, lab_table, INTENT_PERCEPTUAL,
                     PixelKind::Lab, PixelKind::Lab);
}
std::shared_ptr<const ColourTransform> out_of_side(const std::shared_ptr<const Profile>& lab_table) {
    return transform(lab_table, INTENT_PERCEPTUAL, getDVKProfileRef("Lab", nullptr), INTENT_PERCEPTUAL,
                     PixelKind::Lab, PixelKind::Lab);
}

bool same_bits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// The conversions into and out of `lab_table` through the fast forms (and
// its conversion to CIELab), on fixed pixels; all three results in one.
std::vector<float> convert_through(const std::shared_ptr<const Profile>& rgb,
                                   const std::shared_ptr<const Profile>& lab_table, std::size_t n) {
    auto to_lab = transform(rgb, INTENT_RELATIVE_COLORIMETRIC, lab_table, INTENT_PERCEPTUAL, PixelKind::Rgb,
                            PixelKind::Lab);
    auto to_rgb = transform(lab_table, INTENT_PERCEPTUAL, rgb, INTENT_PERCEPTUAL, PixelKind::Lab, PixelKind::Rgb);
    auto to_cielab = out_of_side(lab_table);
    if (!to_lab || !to_rgb || !to_cielab) return {};
    to_lab->prepare();
    to_rgb->prepare();
    to_cielab->prepare();
    std::vector<float> a = test::cube_pixels(n), b = lab_pixels(n), c = lab_pixels(n);
    to_lab->convert(a.data(), n);
    to_rgb->convert(b.data(), n);
    to_cielab->convert(c.data(), n);
    a.insert(a.end(), b.begin(), b.end());
    a.insert(a.end(), c.begin(), c.end());
    return a;
}

TEST(LabSideTables, ConversionsFindTheTablesBuiltAhead) {
    ThreadCount threads(4);
    auto rgb = Profile::adopt(make_rgb_profile(2.2));
    auto lab_table = fresh_uplab();
    ASSERT_NE(rgb, nullptr);
    ASSERT_NE(lab_table, nullptr);
    const std::size_t before = Lut3D::builds();
    prepare_lab_side_tables(lab_table);
    EXPECT_EQ(Lut3D::builds(), before + 2);  // one table each way
    prepare_lab_side_tables(lab_table);      // built already: nothing more
    EXPECT_EQ(Lut3D::builds(), before + 2);

    // The split forms into and out of the profile share the tables: they
    // build none of their own.
    auto to_lab = transform(rgb, INTENT_RELATIVE_COLORIMETRIC, lab_table, INTENT_PERCEPTUAL, PixelKind::Rgb,
                            PixelKind::Lab);
    auto to_rgb = transform(lab_table, INTENT_PERCEPTUAL, rgb, INTENT_PERCEPTUAL, PixelKind::Lab, PixelKind::Rgb);
    ASSERT_TRUE(to_lab && to_rgb);
    ASSERT_TRUE(to_lab->split());
    ASSERT_TRUE(to_rgb->split());
    EXPECT_EQ(Lut3D::builds(), before + 2);
    // Nor does the profile's own conversion to CIELab, once it pays back.
    const std::size_t n = 310000;
    std::vector<float> px = lab_pixels(n);
    auto to_cielab = out_of_side(lab_table);
    ASSERT_NE(to_cielab, nullptr);
    to_cielab->convert(px.data(), n);
    EXPECT_NE(to_cielab->table(), nullptr);
    EXPECT_EQ(Lut3D::builds(), before + 2);
}

// Without the tables built ahead, the first split form builds its side's
// table (the count above would have seen it).
TEST(LabSideTables, WithoutThemTheFirstConversionBuildsItsTable) {
    ThreadCount threads(4);
    auto rgb = Profile::adopt(make_rgb_profile(2.2));
    auto lab_table = fresh_uplab();
    ASSERT_TRUE(rgb && lab_table);
    const std::size_t before = Lut3D::builds();
    auto to_lab = transform(rgb, INTENT_RELATIVE_COLORIMETRIC, lab_table, INTENT_PERCEPTUAL, PixelKind::Rgb,
                            PixelKind::Lab);
    ASSERT_NE(to_lab, nullptr);
    ASSERT_TRUE(to_lab->split());
    EXPECT_EQ(Lut3D::builds(), before + 1);
}

// The tables built ahead are those built on first use, bit for bit, whatever
// the number of threads that build them; so are the conversions' results.
TEST(LabSideTables, TablesBuiltAheadAreTheTablesBuiltOnFirstUse) {
    auto rgb = Profile::adopt(make_rgb_profile(2.2));
    ASSERT_NE(rgb, nullptr);
    auto lazy = fresh_uplab(), ahead = fresh_uplab();
    ASSERT_TRUE(lazy && ahead);
    ASSERT_NE(lazy.get(), ahead.get());
    const std::size_t n = 20000;
    std::vector<float> lazy_result, ahead_result;
    {
        ThreadCount threads(4);
        lazy_result = convert_through(rgb, lazy, n);
    }
    {
        ThreadCount threads(3);
        prepare_lab_side_tables(ahead);
    }
    {
        ThreadCount threads(4);
        const std::size_t before = Lut3D::builds();
        ahead_result = convert_through(rgb, ahead, n);
        EXPECT_EQ(Lut3D::builds(), before);
    }
    ASSERT_EQ(lazy_result.size(), 9 * n);
    EXPECT_TRUE(same_bits(lazy_result, ahead_result));
    for (auto side : {into_side, out_of_side}) {
        auto a = side(lazy), b = side(ahead);
        ASSERT_TRUE(a && b);
        ASSERT_NE(a->table(), nullptr);
        ASSERT_NE(b->table(), nullptr);
        EXPECT_FALSE(a->table()->empty());
        EXPECT_TRUE(a->table()->identical(*b->table()));
    }
    // The check can fail: the two directions' tables differ.
    EXPECT_FALSE(into_side(lazy)->table()->identical(*out_of_side(lazy)->table()));
}

// Built ahead is not a use: small conversions still take the exact
// transform until a table would have paid back.
TEST(LabSideTables, SmallConversionsStillTakeTheExactTransform) {
    ThreadCount threads(2);
    auto lab_table = fresh_uplab();
    ASSERT_NE(lab_table, nullptr);
    prepare_lab_side_tables(lab_table);
    auto t = out_of_side(lab_table);
    ASSERT_NE(t, nullptr);
    const std::size_t n = 2000;
    std::vector<float> fast = lab_pixels(n), exact = fast;
    t->convert(fast.data(), n);
    t->convert_exact(exact.data(), n);
    EXPECT_TRUE(same_bits(fast, exact));
    // Once prepared for use, the table serves small calls too.
    t->prepare();
    fast = lab_pixels(n);
    t->convert(fast.data(), n);
    EXPECT_FALSE(same_bits(fast, exact));
}

TEST(LabSideTables, NothingForCIELabOrAnRgbProfile) {
    const std::size_t before = Lut3D::builds();
    prepare_lab_side_tables(getDVKProfileRef("Lab", nullptr));
    prepare_lab_side_tables(Profile::adopt(make_rgb_profile(1.8)));
    prepare_lab_side_tables(nullptr);
    EXPECT_EQ(Lut3D::builds(), before);
}

// The named entry point warms the tables of the "Uplab" conversions that
// the develop runs: conversions with a profile never used before build no
// table of their own.
TEST(LabSideTables, UplabConversionsFindTheirTablesBuilt) {
    ThreadCount threads(4);
    test::TempDir dir;
    const std::string path = (dir / "never_used.icc").string();
    cmsHPROFILE p = make_rgb_profile(2.4);
    ASSERT_TRUE(cmsSaveProfileToFile(p, path.c_str()));
    cmsCloseProfile(p);
    prepare_lab_tables(nullptr);
    const std::size_t before = Lut3D::builds();
    const unsigned w = 640, h = 480;  // past the point where a table pays back
    std::vector<float> px = test::cube_pixels(std::size_t(w) * h);
    ASSERT_EQ(match_rgb_to_lab_colorsync_t(nullptr, px.data(), w, h, path.c_str(), true, false), 1);
    ASSERT_EQ(match_lab_to_rgb_colorsync_t(nullptr, px.data(), w, h, path.c_str(), nullptr), 1);
    px = lab_pixels(std::size_t(w) * h);
    ASSERT_EQ(match_lab_to_lab_colorsync_t(nullptr, px.data(), w, h, nullptr), 1);
    EXPECT_EQ(Lut3D::builds(), before);
    // Those were the split forms (which would otherwise have built the tables).
    auto file = getDVKProfileRef(path.c_str(), nullptr);
    auto uplab = getDVKProfileRef("Uplab", nullptr);
    ASSERT_TRUE(file && uplab);
    EXPECT_TRUE(transform(file, INTENT_RELATIVE_COLORIMETRIC, uplab, INTENT_PERCEPTUAL, PixelKind::Rgb,
                          PixelKind::Lab)->split());
    EXPECT_TRUE(transform(uplab, INTENT_PERCEPTUAL, file, INTENT_PERCEPTUAL, PixelKind::Lab, PixelKind::Rgb)->split());
    EXPECT_EQ(Lut3D::builds(), before);
}

// Building ahead on one thread while others convert through the same
// tables (and wait for them): no deadlock, no race, the same results.
TEST(LabSideTables, BuildingAheadAlongsideConversionsIsSafe) {
    ThreadCount threads(2);
    auto rgb = Profile::adopt(make_rgb_profile(2.2));
    ASSERT_NE(rgb, nullptr);
    const std::size_t n = 4096;
    std::vector<float> reference;
    {
        auto lazy = fresh_uplab();
        ASSERT_NE(lazy, nullptr);
        reference = convert_through(rgb, lazy, n);
        ASSERT_EQ(reference.size(), 9 * n);
    }
    for (int round = 0; round < 3; ++round) {
        auto lab_table = fresh_uplab();
        ASSERT_NE(lab_table, nullptr);
        constexpr int kTasks = 5;
        std::vector<std::vector<float>> results(kTasks);
        const std::size_t before = Lut3D::builds();
        run_on_threads(kTasks, [&](int task) {
            if (task == round % kTasks)
                prepare_lab_side_tables(lab_table);
            else
                results[std::size_t(task)] = convert_through(rgb, lab_table, n);
        });
        EXPECT_EQ(Lut3D::builds(), before + 2) << round;  // each table built once
        for (int task = 0; task < kTasks; ++task) {
            if (task != round % kTasks) {
                EXPECT_TRUE(same_bits(results[std::size_t(task)], reference)) << task;
            }
        }
    }
}

}  // namespace
}  // namespace dvk
