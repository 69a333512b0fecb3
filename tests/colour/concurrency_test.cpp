// Lookups and conversions from several threads at once, as band workers and
// the main thread make them.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "colour/camera_profile.h"
#include "colour/colour_convert.h"
#include "colour/profile.h"
#include "colour/profile_lookup.h"
#include "core/dvklib.h"

namespace dvk {
namespace {

TEST(ColourConcurrency, SimultaneousLookupsMakeOneProfilePerEntry) {
    const char* names[] = {"Leaf", "Sigma DP1", "BetaRGBSepia", "Canon 1D MkIIn Outdoors", "Canon 1D MkII"};
    constexpr int kThreads = 8;
    std::vector<std::vector<const Profile*>> seen(kThreads);
    std::vector<std::thread> pool;
    for (int t = 0; t < kThreads; ++t)
        pool.emplace_back([&, t] {
            for (const char* n : names) seen[std::size_t(t)].push_back(getDVKProfileRef(n, nullptr).get());
        });
    for (auto& th : pool) th.join();
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(seen[std::size_t(t)].size(), 5u);
        for (std::size_t i = 0; i < 5; ++i) {
            EXPECT_NE(seen[std::size_t(t)][i], nullptr);
            EXPECT_EQ(seen[std::size_t(t)][i], seen[0][i]) << names[i];
        }
    }
}

// Conversions of one record go on while another record loads new cameras:
// each conversion keeps the profile it started with.
TEST(ColourConcurrency, ConversionsSurviveNewCameraProfiles) {
    DVKLib a, b;
    ASSERT_TRUE(dvklib_new(&a));
    ASSERT_TRUE(dvklib_new(&b));
    const float cam_a[4][3] = {{0.6847f, -0.0614f, -0.1014f}, {-0.4669f, 1.2737f, 0.2139f},
                               {-0.1197f, 0.2488f, 0.6846f}, {0, 0, 0}};
    const float cam_b[4][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}};
    create_camera_matrix_profile(&a, "Camera A", cam_a);
    std::vector<float> reference(3 * 64 * 64);
    for (std::size_t i = 0; i < reference.size(); ++i) reference[i] = 0.1f + 0.8f * float(i % 97) / 96.0f;
    std::vector<float> expected = reference;
    ASSERT_NE(match_rgb_to_lab_colorsync_t(&a, expected.data(), 64, 64, "Built-in", true, false), 0);

    std::atomic<bool> stop{false};
    std::thread loader([&] {
        while (!stop) {
            create_camera_matrix_profile(&b, "Camera B", cam_b);
            create_camera_matrix_profile(&b, "Camera B2", cam_a);
        }
    });
    std::vector<std::thread> workers;
    std::atomic<int> mismatches{0};
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([&] {
            for (int k = 0; k < 5; ++k) {
                std::vector<float> px = reference;
                if (match_rgb_to_lab_colorsync_t(&a, px.data(), 64, 64, "Built-in", true, false) == 0 ||
                    px != expected)
                    ++mismatches;
            }
        });
    for (auto& w : workers) w.join();
    stop = true;
    loader.join();
    EXPECT_EQ(mismatches.load(), 0);
    dvklib_delete(&a);
    dvklib_delete(&b);
}

}  // namespace
}  // namespace dvk
