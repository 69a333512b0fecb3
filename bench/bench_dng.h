// The synthetic 24-megapixel Bayer DNG the load and window benchmarks read.
#pragma once

#include <filesystem>

namespace dvk::bench {

constexpr unsigned kBenchDngWidth = 6000, kBenchDngHeight = 4000;

// Writes the file at `path` unless a file is there already; returns `path`.
std::filesystem::path ensure_bench_dng(const std::filesystem::path& path);

}  // namespace dvk::bench
