// Colour conversion throughput: camera RGB to UPLab (the input stage) and
// UPLab to output RGB (the output stage) on a 3.8-megapixel image, through the
// conversions' fast path (cached 3D lookup table on band_thread_count
// threads) against the plain LittleCMS float transform of the same profiles
// on one thread, measured in the same run. Items are pixels.
//
// The image is a photograph of the test data (a 16-bit sRGB TIFF, tiled),
// turned into the camera RGB of a camera matrix profile and range-compressed
// as the input stage gets it; "Cube" runs use uniformly random camera RGB
// instead, most of which lies far outside any real colour.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "colour/camera_profile.h"
#include "colour/colour_convert.h"
#include "colour/colour_transform.h"
#include "colour/profile.h"
#include "colour/profile_lookup.h"
#include "core/dvklib.h"
#include "tests/support/test_paths.h"

#include <tiffio.h>

namespace {

using namespace dvk;

constexpr unsigned kWidth = 2400, kHeight = 1600;

// The 16-bit RGB photograph of the test data, or nothing.
std::vector<float> read_photo(unsigned* w, unsigned* h) {
    std::vector<float> out;
    const auto path = test::testdata_dir() / "groundtruth" / "flower_756x504_16bit.tif";
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif) return out;
    std::uint32_t width = 0, height = 0;
    std::uint16_t bits = 0, spp = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    if (bits == 16 && spp >= 3) {
        std::vector<std::uint16_t> row(TIFFScanlineSize(tif) / 2 + 1);
        out.reserve(std::size_t(width) * height * 3);
        for (std::uint32_t y = 0; y < height; ++y) {
            if (TIFFReadScanline(tif, row.data(), y) < 0) break;
            for (std::uint32_t x = 0; x < width; ++x)
                for (int c = 0; c < 3; ++c) out.push_back(row[std::size_t(x) * spp + c] / 65535.0f);
        }
    }
    TIFFClose(tif);
    *w = width;
    *h = height;
    if (out.size() != std::size_t(width) * height * 3) out.clear();
    return out;
}

struct ColourScene {
    DVKLib rec;
    std::vector<float> camera_rgb, uplab, cube_rgb, cube_uplab;

    ColourScene() {
        band_thread_count = int(std::max(1u, std::thread::hardware_concurrency()));
        dvklib_new(&rec);
        const float cam[4][3] = {{0.6847f, -0.0614f, -0.1014f}, {-0.4669f, 1.2737f, 0.2139f},
                                 {-0.1197f, 0.2488f, 0.6846f}, {0, 0, 0}};
        create_camera_matrix_profile(&rec, "Bench Camera", cam);
        const std::size_t n = std::size_t(kWidth) * kHeight;
        // Camera RGB as the input stage gets it: 0.1 .. 0.9 after range compression.
        std::mt19937 rng(3);
        std::uniform_real_distribution<float> u(0.1f, 0.9f);
        cube_rgb.resize(n * 3);
        for (float& v : cube_rgb) v = u(rng);
        unsigned pw = 0, ph = 0;
        std::vector<float> photo = read_photo(&pw, &ph);
        if (photo.empty()) {
            camera_rgb = cube_rgb;
        } else {
            camera_rgb.resize(n * 3);
            for (unsigned y = 0; y < kHeight; ++y)
                for (unsigned x = 0; x < kWidth; ++x)
                    for (int c = 0; c < 3; ++c)
                        camera_rgb[(std::size_t(y) * kWidth + x) * 3 + c] =
                            photo[(std::size_t(y % ph) * pw + x % pw) * 3 + c];
            match_rgb_to_rgb_colorsync_t(&rec, camera_rgb.data(), kWidth, kHeight, "sRGBwithBPC2.2", "Built-in");
            for (float& v : camera_rgb) v = v * 0.8f + 0.1f;
        }
        uplab = camera_rgb;
        match_rgb_to_lab_colorsync_t(&rec, uplab.data(), kWidth, kHeight, "Built-in", true, false);
        cube_uplab = cube_rgb;
        match_rgb_to_lab_colorsync_t(&rec, cube_uplab.data(), kWidth, kHeight, "Built-in", true, false);
    }
};

ColourScene& scene() {
    static ColourScene s;
    return s;
}

std::shared_ptr<const ColourTransform> transform_for(bool input_stage, const char* output) {
    ColourScene& s = scene();
    std::string error;
    if (input_stage)
        return get_colour_transform(getDVKProfileRef(&s.rec, "Built-in", nullptr), INTENT_RELATIVE_COLORIMETRIC,
                                    getDVKProfileRef("Uplab", nullptr), INTENT_PERCEPTUAL, PixelKind::Rgb,
                                    PixelKind::Lab, &error);
    return get_colour_transform(getDVKProfileRef("Uplab", nullptr), INTENT_PERCEPTUAL,
                                getDVKProfileRef(output, nullptr), INTENT_PERCEPTUAL, PixelKind::Lab, PixelKind::Rgb,
                                &error);
}

void run(benchmark::State& state, bool input_stage, const char* output, bool fast, int threads = 0,
         bool cube = false) {
    ColourScene& s = scene();
    const int saved_threads = band_thread_count;
    if (threads > 0) band_thread_count = threads;
    const std::vector<float>& source =
        input_stage ? (cube ? s.cube_rgb : s.camera_rgb) : (cube ? s.cube_uplab : s.uplab);
    auto t = transform_for(input_stage, output);
    if (!t) {
        state.SkipWithError("no transform");
        return;
    }
    const std::size_t n = std::size_t(kWidth) * kHeight;
    std::vector<float> work(source.size());
    if (fast) t->prepare();  // the fast form is built once, before timing
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(work.data(), source.data(), source.size() * sizeof(float));
        state.ResumeTiming();
        if (fast)
            t->convert(work.data(), n);
        else
            t->convert_exact(work.data(), n);
        benchmark::DoNotOptimize(work.data());
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(n));
    state.counters["threads"] = fast ? band_thread_count : 1;
    band_thread_count = saved_threads;
    if (fast) {
        state.counters["exact_cells"] = t->exact_cell_share();
        state.counters["split"] = t->split() ? 1 : 0;
    }
    state.counters["MPix/s"] = benchmark::Counter(double(state.iterations()) * double(n) / 1e6,
                                                  benchmark::Counter::kIsRate);
}

void BM_CameraToUplab_LittleCmsOneThread(benchmark::State& state) { run(state, true, nullptr, false); }
void BM_CameraToUplab_Fast(benchmark::State& state) { run(state, true, nullptr, true, int(state.range(0))); }
void BM_CameraToUplab_Cube_Fast(benchmark::State& state) { run(state, true, nullptr, true, 0, true); }
void BM_UplabToBetaRGB_LittleCmsOneThread(benchmark::State& state) { run(state, false, "BetaRGB2.2", false); }
void BM_UplabToBetaRGB_Fast(benchmark::State& state) {
    run(state, false, "BetaRGB2.2", true, int(state.range(0)));
}
void BM_UplabToBetaRGB_Cube_Fast(benchmark::State& state) { run(state, false, "BetaRGB2.2", true, 0, true); }
void BM_UplabToSrgb_LittleCmsOneThread(benchmark::State& state) { run(state, false, "sRGBwithBPC2.2", false); }
void BM_UplabToSrgb_Fast(benchmark::State& state) { run(state, false, "sRGBwithBPC2.2", true); }

// The film looks, through a table of the whole transform: a Lab look (UPLab to
// CIELab) and an RGB look into the output space.
void BM_LabLook_WholeCall(benchmark::State& state) {
    ColourScene& s = scene();
    std::vector<float> work(s.uplab.size());
    const std::size_t n = std::size_t(kWidth) * kHeight;
    match_lab_to_lab_colorsync_t(&s.rec, work.data(), 1000, 100, "V50v2");  // builds the table
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(work.data(), s.uplab.data(), s.uplab.size() * sizeof(float));
        state.ResumeTiming();
        match_lab_to_lab_colorsync_t(&s.rec, work.data(), kWidth, kHeight, "V50v2");
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(n));
    state.counters["MPix/s"] = benchmark::Counter(double(state.iterations()) * double(n) / 1e6,
                                                  benchmark::Counter::kIsRate);
}

void BM_RgbLook_WholeCall(benchmark::State& state) {
    ColourScene& s = scene();
    std::vector<float> work(s.camera_rgb.size());
    const std::size_t n = std::size_t(kWidth) * kHeight;
    match_rgb_to_rgb_colorsync_t(&s.rec, work.data(), 1000, 100, "BetaRGBSepia", "BetaRGB2.2");
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(work.data(), s.camera_rgb.data(), s.camera_rgb.size() * sizeof(float));
        state.ResumeTiming();
        match_rgb_to_rgb_colorsync_t(&s.rec, work.data(), kWidth, kHeight, "BetaRGBSepia", "BetaRGB2.2");
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(n));
    state.counters["MPix/s"] = benchmark::Counter(double(state.iterations()) * double(n) / 1e6,
                                                  benchmark::Counter::kIsRate);
}

// The whole conversion call as the pipeline makes it (lookup, transform
// cache, conversion, clamp).
void BM_MatchLabToRgb_WholeCall(benchmark::State& state) {
    ColourScene& s = scene();
    std::vector<float> work(s.uplab.size());
    const std::size_t n = std::size_t(kWidth) * kHeight;
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(work.data(), s.uplab.data(), s.uplab.size() * sizeof(float));
        state.ResumeTiming();
        match_lab_to_rgb_colorsync_t(&s.rec, work.data(), kWidth, kHeight, "BetaRGB2.2", nullptr);
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(n));
    state.counters["MPix/s"] = benchmark::Counter(double(state.iterations()) * double(n) / 1e6,
                                                  benchmark::Counter::kIsRate);
}

// The fast runs take the thread count as their argument; 0 is band_thread_count
// (the machine's processor count).
BENCHMARK(BM_CameraToUplab_LittleCmsOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CameraToUplab_Fast)->Arg(1)->Arg(2)->Arg(4)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CameraToUplab_Cube_Fast)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UplabToBetaRGB_LittleCmsOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UplabToBetaRGB_Fast)->Arg(1)->Arg(2)->Arg(4)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UplabToBetaRGB_Cube_Fast)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UplabToSrgb_LittleCmsOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UplabToSrgb_Fast)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LabLook_WholeCall)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RgbLook_WholeCall)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MatchLabToRgb_WholeCall)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
