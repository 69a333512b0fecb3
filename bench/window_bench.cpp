// The main window's preview road on the half-size preview of a synthetic
// 24-megapixel DNG (3000 x 2000 pixels), on 8 band threads. Items are
// preview pixels.
//
// BM_ApplyRoundTrip: one change of a setting to its image on screen through
// the apply worker (reset, balance, curve, preview stages, the 16-bit image,
// histogram, previous-state entry). "x_develop" is its time over the
// engine's develop steps alone (reset, balance and curve, makePreview),
// measured in the same run: what the worker, the image and the readouts add.
// BM_DisplayHistogramDiagram: the conversion of the image to the screen, the
// histogram (its grey scale included) and the gamut diagram of all pixels, as
// the window draws them after a develop (one walk for both).
// "x_copy" is its time over one copy of the float preview.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "app/preview/display_conversion.h"
#include "app/preview/display_image.h"
#include "app/preview/gamut_diagram.h"
#include "app/preview/histogram.h"
#include "app/preview/preview_census.h"
#include "app/preview/preview_controller.h"
#include "bench/bench_dng.h"
#include "core/dvklib.h"
#include "pipeline/processor/raw_processor.h"
#include "platform/dispatch.h"

namespace {

const std::filesystem::path& benchFile() {
    static const std::filesystem::path path =
        dvk::bench::ensure_bench_dng(std::filesystem::temp_directory_path() / "dvk-window-bench-24mp.dng");
    return path;
}

// The main thread's queue, drained by the benchmark's thread.
struct MainQueue {
    dvk::ManualMainQueue queue;
    MainQueue() {
        dvk::markMainThread();
        dvk::setMainExecutor(queue.executor());
    }
    ~MainQueue() { dvk::setMainExecutor({}); }
    void settle(dvk::PreviewController& pc) {
        while (true) {
            queue.drain();
            if (!pc.applyWorker().busy() && queue.pending() == 0) return;
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }
};

struct Opened {
    MainQueue main;
    dvk::RawProcessor rp;
    dvk::PreviewController pc{rp};
    bool ok = false;
    Opened() {
        dvk::band_thread_count = 8;
        int result = -1;
        pc.openFileForPreview(benchFile().string(), [&](int r) { result = r; });
        main.settle(pc);
        ok = result == 0;
    }
};

double developSeconds(dvk::RawProcessor& rp, int runs) {
    double total = 0;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        rp.rgbgImageReset();
        rp.rgbgImageApplyBalanceAndCurve(rp.image32());
        rp.makePreview();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    return total / runs;
}

void BM_ApplyRoundTrip(benchmark::State& state) {
    Opened o;
    if (!o.ok) {
        state.SkipWithError("the benchmark file does not open");
        return;
    }
    double exposure = 0;
    double total = 0;
    for (auto _ : state) {
        exposure = exposure == 0 ? -0.5 : 0;
        const auto t0 = std::chrono::steady_clock::now();
        o.pc.changeSetting("exposure", dvk::SettingsValue(exposure), "Exposure");
        o.main.settle(o.pc);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    const std::int64_t pixels = std::int64_t(o.pc.width()) * o.pc.height();
    state.SetItemsProcessed(state.iterations() * pixels);
    state.counters["x_develop"] = (total / double(state.iterations())) / developSeconds(o.rp, 3);
}
BENCHMARK(BM_ApplyRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

void BM_DisplayHistogramDiagram(benchmark::State& state) {
    Opened o;
    if (!o.ok || !o.pc.shownImage()) {
        state.SkipWithError("the benchmark file does not open");
        return;
    }
    const unsigned w = o.pc.width(), h = o.pc.height();
    const std::shared_ptr<dvk::DisplayImage> image = o.pc.shownImage();
    dvk::DisplayConverter converter;
    std::vector<std::uint32_t> screen(std::size_t(w) * h);
    dvk::HistogramInput hist;
    hist.preview = o.rp.preview();
    hist.labPreview = o.rp.labPreview();
    hist.width = w, hist.height = h;
    hist.histR = hist.histG = hist.histB = hist.histL = true;
    dvk::DiagramInput diag;
    diag.preview = o.rp.preview();
    diag.labPreview = o.rp.labPreview();
    diag.width = w, diag.height = h;
    diag.gamutArr = o.rp.gamutArr();
    diag.fullGamut = true;
    double total = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        converter.convert(*image, screen.data(), w);
        o.rp.fillGrayScale();
        hist.grayScale = o.rp.grayScale();
        benchmark::DoNotOptimize(dvk::renderHistogramAndDiagram(hist, diag));
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(w) * h);
    // Baseline: one copy of the float preview.
    std::vector<float> copy(std::size_t(w) * h * 3);
    const auto t0 = std::chrono::steady_clock::now();
    std::memcpy(copy.data(), o.rp.preview(), copy.size() * sizeof(float));
    const double copySeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    benchmark::DoNotOptimize(copy.data());
    state.counters["x_copy"] = (total / double(state.iterations())) / copySeconds;
}
BENCHMARK(BM_DisplayHistogramDiagram)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

}  // namespace
