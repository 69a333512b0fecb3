// Raw loading of a synthetic 24-megapixel DNG at full and half size.
//
// Items are sensor sites. Each benchmark also times LibRaw's own decode of the
// same file (open, unpack, raw2image, black subtraction: the part of the load
// that is not ours) in the same run and reports the ratio as "x_libraw".
// DVK_BENCH_DNG=path keeps the generated file there (bench/compare_load.sh
// uses it for the whole-process comparison).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "bench/bench_dng.h"
#include "core/dvklib.h"
#include "pipeline/load/load_raw_file.h"

namespace {

constexpr unsigned kWidth = dvk::bench::kBenchDngWidth, kHeight = dvk::bench::kBenchDngHeight;

const std::filesystem::path& bench_file() {
    static const std::filesystem::path path = [] {
        const char* keep = std::getenv("DVK_BENCH_DNG");
        return dvk::bench::ensure_bench_dng(keep ? std::filesystem::path(keep)
                                                 : std::filesystem::temp_directory_path() / "dvk-load-bench-24mp.dng");
    }();
    return path;
}

double libraw_decode_seconds(int half, int runs) {
    double total = 0;
    for (int i = 0; i < runs; ++i) {
        auto raw = std::make_unique<dvk::LibRaw_DVK>();
        raw->imgdata.params.half_size = half;
        const auto t0 = std::chrono::steady_clock::now();
        if (raw->open_file(bench_file().c_str()) == 0 && raw->unpack() == 0 && raw->raw2image() == 0)
            raw->subtract_black();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    return total / runs;
}

void BM_LoadRawFile(benchmark::State& state) {
    const int half = int(state.range(0));
    dvk::DVKLib d;
    dvk::dvklib_new(&d);
    const auto& path = bench_file();
    double ours = 0;
    std::int64_t runs = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        if (dvk::load_raw_file(&d, path.c_str(), half) != 0) state.SkipWithError("load failed");
        ours += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ++runs;
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(kWidth) * kHeight);
    if (runs) state.counters["x_libraw"] = (ours / double(runs)) / libraw_decode_seconds(half, 3);
    dvk::dvklib_delete(&d);
}
BENCHMARK(BM_LoadRawFile)->Arg(0)->Arg(1)->ArgName("half")->Unit(benchmark::kMillisecond)->UseRealTime();

// LibRaw's unpack of the file against unpack_on_threads (its samples read
// on the band threads), opened afresh each time; x_libraw is ours / LibRaw's.
void BM_Unpack(benchmark::State& state) {
    const auto& path = bench_file();
    const auto unpack_seconds = [&](bool ours) {
        dvk::LibRaw_DVK raw;
        if (raw.open_file(path.c_str()) != 0) return -1.0;
        const auto t0 = std::chrono::steady_clock::now();
        const int r = ours ? raw.unpack_on_threads() : raw.unpack();
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        return r == 0 ? s : -1.0;
    };
    double ours = 0, theirs = 0;
    for (auto _ : state) {
        const double a = unpack_seconds(true), b = unpack_seconds(false);
        if (a < 0 || b < 0) state.SkipWithError("unpack failed");
        state.SetIterationTime(a);
        ours += a;
        theirs += b;
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(kWidth) * kHeight);
    if (theirs > 0) state.counters["x_libraw"] = ours / theirs;
}
BENCHMARK(BM_Unpack)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace
