// Demosaicing throughput on a 24-megapixel Bayer mosaic (6000 x 4000; set
// DVK_BENCH_MP to change the size), each method with one band and with one
// band per core, cut with the four-channel runner's band heights and overlaps.
// Items are pixels, so items_per_second reads as pixels per second; the
// all-cores runs report their speed-up over the one-band run as "scale".
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "pipeline/demosaic/demosaic.h"
#include "pipeline/dvklib.h"

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

// Band blocks laid out as the four-channel runner lays them, one thread each.
class Bands {
public:
    Bands(unsigned w, unsigned h, unsigned n, unsigned overlap) : w_(w) {
        const unsigned h2 = h & ~1u;
        if (h2 / n < 150) n = std::max(1u, h2 / 150);
        const unsigned other = n > 1 ? 12 * ((h2 / n) / 12) : 0;
        const unsigned first = h2 - (n - 1) * other;
        for (unsigned b = 0; b < n; ++b) {
            Band band;
            band.own_start = b == 0 ? 0 : first + (b - 1) * other;
            band.own_rows = b == 0 ? first : other;
            band.above = b == 0 ? 0 : overlap;
            const unsigned below = (b + 1 == n) ? 0 : overlap;
            band.rows = band.above + band.own_rows + below;
            band.block.resize(std::size_t(band.rows) * w * 4);
            bands_.push_back(std::move(band));
        }
    }

    void run(Method m, DVKLib* d, const float* src, float* dst) {
        const std::size_t rf = std::size_t(w_) * 4;
        std::vector<std::thread> threads;
        for (Band& b : bands_)
            threads.emplace_back([&, bp = &b] {
                std::memcpy(bp->block.data(), src + (bp->own_start - bp->above) * rf, bp->block.size() * sizeof(float));
                m(d, bp->block.data(), w_, bp->rows);
                std::memcpy(dst + bp->own_start * rf, bp->block.data() + bp->above * rf,
                            std::size_t(bp->own_rows) * rf * sizeof(float));
            });
        for (auto& t : threads) t.join();
    }
    std::size_t count() const { return bands_.size(); }

private:
    struct Band {
        unsigned own_start, own_rows, above, rows;
        std::vector<float> block;
    };
    unsigned w_;
    std::vector<Band> bands_;
};

std::map<std::string, double>& one_thread_rate() {
    static std::map<std::string, double> m;
    return m;
}

void BM_Demosaic(benchmark::State& state, std::string name, Method m, unsigned overlap, unsigned border,
                 bool all_cores) {
    Scene& s = scene();
    const unsigned n = all_cores ? std::max(1u, std::thread::hardware_concurrency()) : 1;
    Bands bands(s.w, s.h, n, overlap);
    std::vector<float> work = s.mosaic, out(s.mosaic.size());
    std::FILE* saved = stderr;  // LMMSE reports every band; keep the table readable
    double seconds = 0;
    for (auto _ : state) {
        // A fresh mosaic each round; the copy is not part of the measured work.
        std::memcpy(work.data(), s.mosaic.data(), work.size() * sizeof(float));
        auto t0 = std::chrono::steady_clock::now();
        if (border) border_interpolate(&s.rec, border, work.data(), s.w, s.h);
        stderr = std::fopen("/dev/null", "w");
        bands.run(m, &s.rec, work.data(), out.data());
        std::fclose(stderr);
        stderr = saved;
        const double dt = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.SetIterationTime(dt);
        seconds += dt;
        benchmark::DoNotOptimize(out.data());
    }
    const double pixels = double(s.w) * s.h;
    state.SetItemsProcessed(int64_t(state.iterations() * pixels));
    const double rate = pixels * state.iterations() / seconds / 1e6;
    state.counters["MP/s"] = rate;
    state.counters["bands"] = double(bands.count());
    if (!all_cores)
        one_thread_rate()[name] = rate;
    else if (one_thread_rate().count(name))
        state.counters["scale"] = rate / one_thread_rate()[name];
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
};
const Entry kEntries[] = {
    {"AHD", ahd_interpolate, 16, 6},
    {"VCD", run_vcd, 16, 8},
    {"VNG", vng_interpolate, 12, 0},
    {"LMMSE", run_lmmse, 16, 0},
};

int register_all = [] {
    for (const Entry& e : kEntries)
        for (bool all : {false, true})
            benchmark::RegisterBenchmark((std::string("Demosaic/") + e.name + (all ? "/all_cores" : "/one_thread")).c_str(),
                                         BM_Demosaic, std::string(e.name), e.m, e.overlap, e.border, all)
                ->Unit(benchmark::kMillisecond)
                ->UseManualTime()
                ->MinTime(2.0);
    benchmark::RegisterBenchmark("Demosaic/Binn32Tr/one_thread", BM_Binning)->Unit(benchmark::kMillisecond)->UseRealTime();
    return 0;
}();

}  // namespace
