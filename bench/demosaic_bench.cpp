// Demosaicing throughput on a 24-megapixel Bayer mosaic (6000 x 4000; set
// DVK_BENCH_MP to change the size), each method through the four-channel band
// runner with one thread and with one thread per core, with the overlaps and
// border fills of the conversion.
// Items are pixels, so items_per_second reads as pixels per second; the
// all-cores runs report their speed-up over the one-band run as "scale" and
// the processor time of their band workers against the one-band run as
// "cpu_ratio"; RunnerOnly is the runner's own share (block moves, threads).
//
//   build/bin/dvk-bench --benchmark_filter=Demosaic
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "core/band_runner.h"
#include "pipeline/demosaic/demosaic.h"
#include "core/dvklib.h"

namespace {

using namespace dvk;

struct Scene {
    unsigned w = 6000, h = 4000;
    std::vector<float> mosaic;
    DVKLib rec;

    Scene() {
        if (const char* mp = std::getenv("DVK_BENCH_MP")) {
            const double m = std::max(0.1, std::atof(mp));
            w = unsigned(std::sqrt(m * 1e6 * 1.5)) & ~1u;
            h = unsigned(m * 1e6 / w) & ~1u;
        }
        dvklib_new(&rec);
        rec.raw().imgdata.idata.filters = 0x94949494u;  // RGGB
        rec.raw().imgdata.idata.colors = 3;
        mosaic.assign(std::size_t(w) * h * 4, 0.0f);
        std::uint32_t seed = 1;
        for (unsigned y = 0; y < h; ++y)
            for (unsigned x = 0; x < w; ++x) {
                seed = seed * 1664525u + 1013904223u;
                const int f = rec.raw().fcol(int(y), int(x));
                const double base = 0.5 + 0.3 * std::sin(0.013 * x + 0.002 * y * f) * std::cos(0.011 * y);
                const double edge = ((x / 37 + y / 53) & 1) ? 0.15 : -0.15;
                mosaic[(std::size_t(y) * w + x) * 4 + f] =
                    float(std::clamp(base + edge + (seed >> 8) / double(1u << 24) * 0.05, 0.0, 1.0));
            }
    }
    ~Scene() { dvklib_delete(&rec); }
};

Scene& scene() {
    static Scene s;
    return s;
}

using Method = void (*)(DVKLib*, float*, unsigned, unsigned);
void run_vcd(DVKLib* d, float* b, unsigned w, unsigned h) { vcd_interpolate(d, b, w, h, 2.0f); }
void run_lmmse(DVKLib* d, float* b, unsigned w, unsigned h) { lmmse_interpolate(d, b, w, h); }
// The row forms, for bands whose overlap rows are copies of their own.
using RowMethod = void (*)(DVKLib*, float* const*, unsigned, unsigned);
void run_ahd_rows(DVKLib* d, float* const* r, unsigned w, unsigned h) { ahd_interpolate(d, r, w, h); }
void run_lmmse_rows(DVKLib* d, float* const* r, unsigned w, unsigned h) { lmmse_interpolate(d, r, w, h); }

std::map<std::string, double>& one_thread_rate() {
    static std::map<std::string, double> m;
    return m;
}
std::map<std::string, double>& one_thread_cpu() {
    static std::map<std::string, double> m;
    return m;
}

double thread_cpu_seconds() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

// With `rows` the bands run in place with private overlap rows (the row form
// of the method); else through the overlapping runner, which moves them.
void BM_Demosaic(benchmark::State& state, std::string name, Method m, RowMethod rows, unsigned overlap,
                 unsigned border, bool all_cores) {
    Scene& s = scene();
    const int n = all_cores ? int(std::max(1u, std::thread::hardware_concurrency())) : 1;
    // The image with the spare rows the overlapping runner lays its bands into.
    std::vector<float> work(s.mosaic.size() + std::size_t(n - 1) * 2 * overlap * s.w * 4);
    std::FILE* saved = stderr;  // LMMSE reports every band; keep the table readable
    double seconds = 0;
    int bands = 0;
    std::mutex cpu_lock;
    double band_cpu = 0;  // processor time of all band workers
    auto add_cpu = [&](double t) {
        std::lock_guard<std::mutex> g(cpu_lock);
        band_cpu += t;
    };
    for (auto _ : state) {
        // A fresh mosaic each round; the copy is not part of the measured work.
        std::memcpy(work.data(), s.mosaic.data(), s.mosaic.size() * sizeof(float));
        auto t0 = std::chrono::steady_clock::now();
        if (border) border_interpolate(&s.rec, border, work.data(), s.w, s.h);
        stderr = std::fopen("/dev/null", "w");
        if (rows) {
            const BandLayout lay = rgbg_overlap_layout(n, s.h);
            run_bands_with_private_overlaps(
                [&](float* const* r, unsigned count) {
                    const double c0 = thread_cpu_seconds();
                    rows(&s.rec, r, s.w, count);
                    add_cpu(thread_cpu_seconds() - c0);
                },
                lay, int(overlap), work.data(), s.w, 4);
            bands = lay.bands;
        } else
        bands = run_rgbg_bands_overlap(
                    [&](band_record* b) {
                        const double c0 = thread_cpu_seconds();
                        m(&s.rec, b->band_start, b->width, b->rows_with_overlap);
                        add_cpu(thread_cpu_seconds() - c0);
                        b->done = 1;
                    },
                    n, int(overlap), work.data(), s.w, s.h)
                    .bands;
        std::fclose(stderr);
        stderr = saved;
        const double dt = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.SetIterationTime(dt);
        seconds += dt;
        benchmark::DoNotOptimize(work.data());
    }
    const double pixels = double(s.w) * s.h;
    state.SetItemsProcessed(int64_t(state.iterations() * pixels));
    const double rate = pixels * state.iterations() / seconds / 1e6;
    state.counters["MP/s"] = rate;
    state.counters["bands"] = bands;
    // Processor time the band workers used per pixel, against one band: how
    // much work the split adds. On a busy machine "scale" falls short of the
    // thread count because the threads wait for a processor, not for work.
    const double cpu_per_mp = band_cpu / (pixels * state.iterations() / 1e6);
    if (!all_cores) {
        one_thread_rate()[name] = rate;
        one_thread_cpu()[name] = cpu_per_mp;
    } else if (one_thread_rate().count(name)) {
        state.counters["scale"] = rate / one_thread_rate()[name];
        state.counters["cpu_ratio"] = cpu_per_mp / one_thread_cpu()[name];
    }
}

void BM_Binning(benchmark::State& state) {
    Scene& s = scene();
    std::vector<float> work(s.mosaic.size());
    for (auto _ : state) {
        std::memcpy(work.data(), s.mosaic.data(), work.size() * sizeof(float));
        std::uint16_t w = std::uint16_t(std::min(s.w, 65535u)), h = std::uint16_t(std::min(s.h, 65535u));
        binn32_tr(&s.rec, work.data(), &w, &h);
        benchmark::DoNotOptimize(work.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations() * double(s.w) * s.h));
}

struct Entry {
    const char* name;
    Method m;
    unsigned overlap, border;
    RowMethod rows;  // the row form, when the method has one
};
// The band runner alone (block moves, threads, copy-back) with workers that do
// nothing: the part of every all-cores run that does not shrink with more cores.
void run_nothing(DVKLib*, float*, unsigned, unsigned) {}

const Entry kEntries[] = {
    {"RunnerOnly", run_nothing, 16, 0, nullptr},
    {"AHD", ahd_interpolate, 16, 6, run_ahd_rows},
    {"VCD", run_vcd, 16, 8, nullptr},
    {"VNG", vng_interpolate, 12, 0, nullptr},
    {"LMMSE", run_lmmse, 16, 0, run_lmmse_rows},
};

int register_all = [] {
    for (const Entry& e : kEntries)
        for (bool all : {false, true}) {
            if (!all && e.m == run_nothing) continue;  // one band moves nothing
            benchmark::RegisterBenchmark((std::string("Demosaic/") + e.name + (all ? "/all_cores" : "/one_thread")).c_str(),
                                         BM_Demosaic, std::string(e.name), e.m, nullptr, e.overlap, e.border, all)
                ->Unit(benchmark::kMillisecond)
                ->UseManualTime()
                ->MinTime(2.0);
            if (all && e.rows)
                benchmark::RegisterBenchmark((std::string("Demosaic/") + e.name + "/all_cores_in_place").c_str(),
                                             BM_Demosaic, std::string(e.name), e.m, e.rows, e.overlap, e.border, all)
                    ->Unit(benchmark::kMillisecond)
                    ->UseManualTime()
                    ->MinTime(2.0);
        }
    benchmark::RegisterBenchmark("Demosaic/Binn32Tr/one_thread", BM_Binning)->Unit(benchmark::kMillisecond)->UseRealTime();
    return 0;
}();

}  // namespace
