// Damaged copies of the fixtures through the loader: truncated files and
// files with flipped bits must fail cleanly or load a sane image, never
// crash, never leak, and never disturb the previous image on failure.
// Bounded and seeded, so every run tries the same files.
//
// Each load runs in a child process. LibRaw 0.20 itself crashes on a few
// damaged TIFF directories (its own raw-identify does too); when the child
// dies, the same file is decoded by a bare LibRaw in another child, and only
// a crash that LibRaw alone does not reproduce counts against the loader.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "pipeline/load/raw_loader.h"
#include "tests/support/dng_writer.h"
#include "tests/support/test_paths.h"
#include "tests/support/test_record.h"

namespace dvk::test {
namespace {

constexpr int kCopiesPerKind = 100;

struct Kind {
    const char* name;
    DngLayout layout;
};
const Kind kKinds[] = {{"bayer", DngLayout::Bayer},
                       {"xtrans", DngLayout::XTrans},
                       {"linear", DngLayout::LinearRaw},
                       {"mono", DngLayout::Mono}};

// Loads `path` into a record that holds `good`; checks the outcome.
void load_damaged(const std::filesystem::path& good, const std::filesystem::path& path, int half) {
    TestRecord r;
    ASSERT_EQ(r.load(good), 0);
    const float* image = r->image.get();
    const unsigned iw = r.iwidth(), ih = r.iheight();
    const double wb[4] = {r->auto_wb[0], r->auto_wb[1], r->auto_wb[2], r->auto_wb[3]};
    const int ret = r.load(path, half);
    if (ret != 0) {
        EXPECT_EQ(r->image.get(), image);
        EXPECT_EQ(r.iwidth(), iw);
        EXPECT_EQ(r.iheight(), ih);
        for (int c = 0; c < 4; ++c) EXPECT_EQ(r->auto_wb[c], wb[c]);
        return;
    }
    ASSERT_NE(r->image, nullptr);
    ASSERT_GT(r.iwidth(), 0u);
    ASSERT_GT(r.iheight(), 0u);
    ASSERT_LE(working_image_bytes(r.iwidth(), r.iheight()), r->image_bytes);
    for (int c = 0; c < 4; ++c) {
        EXPECT_TRUE(r->chan_max[c] >= 0.0f && r->chan_max[c] <= 1.0f);
        EXPECT_TRUE(std::isfinite(r->norm_scale[c]));
    }
    // Touch every value: reads past the image would show under the sanitizers.
    double sum = 0;
    const std::size_t n = std::size_t(r.iwidth()) * r.iheight() * 4;
    for (std::size_t i = 0; i < n; ++i) sum += r->image[i];
    EXPECT_FALSE(std::isnan(sum));
}

constexpr int kChildFailed = 3;  // gtest failures in the child

// Runs fn in a child; returns its wait status.
template <typename Fn>
int in_child(Fn fn, bool quiet) {
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (quiet) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 2);
        }
        fn();
        std::exit(::testing::Test::HasFailure() ? kChildFailed : 0);  // exit(), so leak checks run
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

// The decode steps of the loader with a bare LibRaw, nothing of ours.
void bare_libraw(const std::filesystem::path& path, int half) {
    LibRaw_DVK raw;
    raw.imgdata.params.half_size = half;
    if (raw.open_file(path.c_str()) || raw.unpack() || raw.raw2image()) return;
    raw.subtract_black();
}

int libraw_only_crashes = 0;

void check_damaged(const std::filesystem::path& good, const std::filesystem::path& path, int half) {
    const int status = in_child([&] { load_damaged(good, path, half); }, false);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return;
    ASSERT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == kChildFailed) << "checks failed in the child";
    const int bare = in_child([&] { bare_libraw(path, half); }, true);
    ASSERT_FALSE(WIFEXITED(bare) && WEXITSTATUS(bare) == 0)
        << "the loader crashed or leaked (status " << status << ") where LibRaw alone does not";
    ++libraw_only_crashes;
}

class Fuzz : public ::testing::TestWithParam<Kind> {
protected:
    // The colour tables every load builds once per process are built here,
    // in the parent, so that each damaged copy's child inherits them instead
    // of building its own.
    static void SetUpTestSuite() {
        TempDir dir;
        DngSpec s = make_dng_spec(DngLayout::Bayer, 40, 32);
        fill_gradient(s, 17);
        ASSERT_TRUE(write_dng(dir / "warm.dng", s));
        TestRecord r;
        ASSERT_EQ(r.load(dir / "warm.dng"), 0);
    }
    void TearDown() override {
        if (libraw_only_crashes)
            std::printf("note: %d damaged copies crash LibRaw itself\n", libraw_only_crashes);
        libraw_only_crashes = 0;
    }
};

TEST_P(Fuzz, TruncatedCopies) {
    TempDir dir;
    DngSpec s = make_dng_spec(GetParam().layout, 40, 32);
    fill_gradient(s, 17);
    const auto good = dir / "good.dng";
    ASSERT_TRUE(write_dng(good, s));
    const auto bytes = read_bytes(good);
    std::mt19937 rng(1234);
    std::uniform_int_distribution<std::size_t> cut(0, bytes.size() - 1);
    for (int i = 0; i < kCopiesPerKind; ++i) {
        const std::size_t len = i < 8 ? std::size_t(i) : cut(rng);
        const auto path = dir / "cut.dng";
        ASSERT_TRUE(write_bytes(path, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + long(len))));
        SCOPED_TRACE(::testing::Message() << GetParam().name << " cut at " << len);
        check_damaged(good, path, i & 1);
        if (HasFatalFailure()) return;
    }
}

TEST_P(Fuzz, BitFlippedCopies) {
    TempDir dir;
    DngSpec s = make_dng_spec(GetParam().layout, 40, 32);
    fill_gradient(s, 19);
    const auto good = dir / "good.dng";
    ASSERT_TRUE(write_dng(good, s));
    const auto bytes = read_bytes(good);
    // The directories sit after the samples: aim most flips at the header and
    // the tail, where the structure is.
    const std::size_t tail = std::min<std::size_t>(bytes.size(), 1500);
    std::mt19937 rng(4321);
    for (int i = 0; i < kCopiesPerKind; ++i) {
        auto copy = bytes;
        const int flips = 1 + int(rng() % 8);
        for (int f = 0; f < flips; ++f) {
            const unsigned where = rng() % 10;
            std::size_t at;
            if (where == 0)
                at = rng() % 16;
            else if (where < 6)
                at = bytes.size() - tail + rng() % tail;
            else
                at = rng() % bytes.size();
            copy[at] ^= std::uint8_t(1u << (rng() % 8));
        }
        const auto path = dir / "flip.dng";
        ASSERT_TRUE(write_bytes(path, copy));
        SCOPED_TRACE(::testing::Message() << GetParam().name << " copy " << i);
        check_damaged(good, path, i & 1);
        if (HasFatalFailure()) return;
    }
}

INSTANTIATE_TEST_SUITE_P(AllKinds, Fuzz, ::testing::ValuesIn(kKinds),
                         [](const ::testing::TestParamInfo<Kind>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dvk::test
