#include "bench/bench_dng.h"

#include "tests/support/dng_writer.h"

namespace dvk::bench {

std::filesystem::path ensure_bench_dng(const std::filesystem::path& path) {
    if (!std::filesystem::exists(path)) {
        test::DngSpec s = test::make_dng_spec(test::DngLayout::Bayer, kBenchDngWidth, kBenchDngHeight);
        s.white_level = 16383;
        s.black_level = 512;
        test::fill_gradient(s, 24);
        test::write_dng(path, s);
    }
    return path;
}

}  // namespace dvk::bench
