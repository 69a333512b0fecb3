// A method whose scratch memory cannot be had reports it and leaves the band
// as it was.
#include <gtest/gtest.h>

#include <string>

#include "pipeline/demosaic/demosaic.h"
#include "tests/demosaic/mosaic_fixture.h"

// Under AddressSanitizer an impossible allocation must return null as it does
// in the normal build, not abort the test.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

namespace dvk::test {
namespace {

TEST(AllocationFailure, LmmseReportsAndLeavesTheBand) {
    PatternRecord rec(kRGGB);
    std::vector<float> img(64, 0.25f);
    ::testing::internal::CaptureStderr();
    // Claims a band far larger than memory; the buffer given is never touched.
    lmmse_interpolate(rec.get(), img.data(), 1u << 30, 1u << 14);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("cannot allocate"), std::string::npos) << err;
    EXPECT_NE(err.find("elapsed time"), std::string::npos) << err;
    for (float v : img) EXPECT_EQ(v, 0.25f);
}

TEST(AllocationFailure, VngReportsAndLeavesTheBand) {
    PatternRecord rec(kRGGB);
    std::vector<float> img(64, 0.25f);
    ::testing::internal::CaptureStderr();
    vng_interpolate(rec.get(), img.data(), 1u << 31, 5);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("cannot allocate"), std::string::npos) << err;
    for (float v : img) EXPECT_EQ(v, 0.25f);
}

}  // namespace
}  // namespace dvk::test
