// Throughput of the engine stages on a 24-megapixel image (6000 x 4000; set
// DVK_BENCH_MP to change the size), with one thread and with all cores. The
// per-pixel stages are split into row chunks, the banded stages go through
// their band runner. Items are pixels, so items_per_second reads as pixels per
// second; "vs_copy" is the stage's time over a copy of the same buffer on all
// cores measured in the same run (1.0 = the machine's memory bandwidth).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "core/aligned_buffer.h"
#include "core/band_runner.h"
#include "core/buffer_conversions.h"
#include "pipeline/stages/detail_stages.h"
#include "core/dvklib.h"
#include "pipeline/stages/four_channel_ops.h"
#include "pipeline/stages/highlight_recovery.h"
#include "pipeline/stages/lab_adjust.h"
#include "pipeline/processor/raw_processor.h"
#include "pipeline/stages/tone_stages.h"

namespace {

using namespace dvk;

int all_cores() { return std::max(1u, std::thread::hardware_concurrency()); }

struct Images {
    unsigned w = 6000, h = 4000;
    std::size_t spare_rows = 0;
    AlignedBuffer<float> rgbg, rgb, lab;
    AlignedBuffer<std::uint8_t> out;
    DVKLib mosaic, colour;
    double copy_seconds_rgbg = 0, copy_seconds_rgb = 0;

    Images() {
        if (const char* mp = std::getenv("DVK_BENCH_MP")) {
            const double m = std::max(0.1, std::atof(mp));
            w = unsigned(std::sqrt(m * 1e6 * 1.5)) & ~1u;
            h = unsigned(m * 1e6 / w) & ~1u;
        }
        spare_rows = std::size_t(2) * 110 * std::size_t(all_cores());
        const std::size_t n = std::size_t(w) * h;
        rgbg = allocate_aligned<float>((n + spare_rows * w) * 4);
        rgb = allocate_aligned<float>((n + spare_rows * w) * 3);
        lab = allocate_aligned<float>((n + spare_rows * w) * 3);
        out = allocate_aligned<std::uint8_t>(n * 6);
        std::uint32_t seed = 7;
        for (std::size_t i = 0; i < (n + spare_rows * w) * 4; ++i) {
            seed = seed * 1664525u + 1013904223u;
            rgbg[i] = float(seed >> 8) / float(1u << 24);
        }
        for (std::size_t i = 0; i < (n + spare_rows * w) * 3; ++i) {
            rgb[i] = rgbg[i];
            lab[i] = (i % 3 == 0) ? rgbg[i] * 100 : rgbg[i] * 120 - 60;
        }
        for (DVKLib* d : {&mosaic, &colour}) {
            dvklib_new(d);
            d->raw().imgdata.sizes.iwidth = static_cast<unsigned short>(w);
            d->raw().imgdata.sizes.iheight = static_cast<unsigned short>(h);
            d->raw().imgdata.idata.colors = 3;
        }
        mosaic.raw().imgdata.idata.filters = 0x94949494u;
        colour.raw().imgdata.rawdata.ioparams.shrink = 1;
        copy_seconds_rgbg = time_copy(n * 4);
        copy_seconds_rgb = time_copy(n * 3);
    }

    // A read and a write of every byte, like an in-place stage.
    double time_copy(std::size_t floats) {
        AlignedBuffer<float> dst = allocate_aligned<float>(floats);
        double best = 1e9;
        for (int k = 0; k < 3; ++k) {
            const auto t0 = std::chrono::steady_clock::now();
            run_row_chunks(h, all_cores(), [&](unsigned first, unsigned count) {
                const std::size_t per_row = floats / h;
                std::memcpy(dst.get() + first * per_row, rgbg.get() + first * per_row, count * per_row * sizeof(float));
            });
            best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        }
        return best;
    }
};

Images& images() {
    static Images im;
    return im;
}

// Runs fn over row chunks of the image (threads = 1 or all cores).
void per_pixel(benchmark::State& st, int channels, const std::function<void(float*, unsigned, unsigned)>& fn) {
    Images& im = images();
    const int threads = st.range(0) ? all_cores() : 1;
    float* base = channels == 4 ? im.rgbg.get() : (channels == 3 ? im.rgb.get() : im.lab.get());
    const int stride = channels == 5 ? 3 : channels;
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : st) {
        run_row_chunks(im.h, threads, [&](unsigned first, unsigned count) {
            // Chunks start on even rows so that mosaic blocks keep their phase.
            const unsigned f = first & ~1u, end = (first + count == im.h) ? im.h : ((first + count) & ~1u);
            fn(base + std::size_t(f) * im.w * stride, im.w, end - f);
        });
        benchmark::ClobberMemory();
    }
    const double per_iteration =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / double(st.iterations());
    st.SetItemsProcessed(int64_t(st.iterations()) * im.w * im.h);
    st.counters["threads"] = threads;
    const double copy = stride == 4 ? im.copy_seconds_rgbg : im.copy_seconds_rgb;
    st.counters["vs_copy"] = per_iteration / copy;
}

void BM_multiply_channels(benchmark::State& st) {
    per_pixel(st, 4, [](float* p, unsigned w, unsigned h) { multiply_channels(nullptr, p, w, int(h), 1, 1, 1, 1); });
}
void BM_clamp_rgbg_float(benchmark::State& st) {
    per_pixel(st, 4, [](float* p, unsigned w, unsigned h) { clamp_rgbg_float(nullptr, p, w, int(h)); });
}
void BM_black_shift_mosaic(benchmark::State& st) {
    per_pixel(st, 4, [](float* p, unsigned w, unsigned h) { black_shift(&images().mosaic, p, w, h, 0.01f); });
}
void BM_compress_highlights_mosaic(benchmark::State& st) {
    per_pixel(st, 4, [](float* p, unsigned w, unsigned h) { compress_highlights(&images().mosaic, p, w, h, 0.001f, 2.0f); });
}
void BM_compress_highlights_colour(benchmark::State& st) {
    per_pixel(st, 4, [](float* p, unsigned w, unsigned h) { compress_highlights(&images().colour, p, w, h, 0.001f, 2.0f); });
}
void BM_tone_curve_mosaic(benchmark::State& st) {
    per_pixel(st, 4, [](float* p, unsigned w, unsigned h) {
        apply_tone_curve(&images().mosaic, p, w, h, 1, 50.0f, 0.0f, 1.8f);
    });
}
void BM_tone_curve_colour(benchmark::State& st) {
    per_pixel(st, 4, [](float* p, unsigned w, unsigned h) {
        apply_tone_curve(&images().colour, p, w, h, 1, 50.0f, 0.0f, 1.8f);
    });
}
void BM_tone_curve_contrast_mosaic(benchmark::State& st) {
    per_pixel(st, 4, [](float* p, unsigned w, unsigned h) {
        apply_tone_curve(&images().mosaic, p, w, h, 1, 50.0f, 10.0f, 1.8f);
    });
}
void BM_clean_dot_noise_mosaic(benchmark::State& st) {
    per_pixel(st, 4, [](float* p, unsigned w, unsigned h) { clean_dot_noise(&images().mosaic, p, w, h); });
}
void BM_recover_highlights_mosaic(benchmark::State& st) {
    per_pixel(st, 4, [](float* p, unsigned w, unsigned h) {
        recover_highlights(&images().mosaic, p, w, h, 0, 1.0f, 2.0f, 1.0f, 1.5f, 1.0f);
    });
}
void BM_clamp_rgb_float(benchmark::State& st) {
    per_pixel(st, 3, [](float* p, unsigned w, unsigned h) { clamp_rgb_float(p, w, int(h)); });
}
void BM_rgbg_to_rgb_float(benchmark::State& st) {
    Images& im = images();
    per_pixel(st, 4, [&](float* p, unsigned w, unsigned h) {
        const std::size_t row = (p - im.rgbg.get()) / (std::size_t(w) * 4);
        rgbg_to_rgb_float(p, w, h, im.rgb.get() + row * w * 3, 32, 0);
    });
}
void BM_convert_to_16_bits(benchmark::State& st) {
    Images& im = images();
    per_pixel(st, 3, [&](float* p, unsigned w, unsigned h) {
        const std::size_t row = (p - im.rgb.get()) / (std::size_t(w) * 3);
        convert_rgb_float_to_bits(p, w, h, im.out.get() + row * w * 6, 16, false);
    });
}
void BM_convert_to_8_bits(benchmark::State& st) {
    Images& im = images();
    per_pixel(st, 3, [&](float* p, unsigned w, unsigned h) {
        const std::size_t row = (p - im.rgb.get()) / (std::size_t(w) * 3);
        convert_rgb_float_to_bits(p, w, h, im.out.get() + row * w * 3, 8, true);
    });
}
void BM_compress_rgb_range(benchmark::State& st) {
    skip_rgb_compression = false;
    per_pixel(st, 3, [](float* p, unsigned w, unsigned h) { compress_rgb_range(nullptr, p, w, h); });
}
void BM_make_adjust_stage2(benchmark::State& st) {
    per_pixel(st, 5, [](float* p, unsigned w, unsigned h) { make_adjust_stage2(nullptr, p, w, int(h), 0.5f, 99.0f); });
}
void BM_lab_optimize(benchmark::State& st) {
    per_pixel(st, 5, [](float* p, unsigned w, unsigned h) { lab_optimize(nullptr, p, w, h); });
}
void BM_user_saturation(benchmark::State& st) {
    per_pixel(st, 5, [](float* p, unsigned w, unsigned h) { scale_ab(p, w, h, 1.0); });
}

// Banded stages through the processor's runners, as the develop sequence runs them.
void banded(benchmark::State& st, const std::function<void(RawProcessor&, int threads)>& fn) {
    Images& im = images();
    static RawProcessor* p = nullptr;
    if (!p) p = new RawProcessor;
    libraw_data_t& id = p->dvklib()->libraw->imgdata;
    id.sizes.iwidth = static_cast<unsigned short>(im.w);
    id.sizes.iheight = static_cast<unsigned short>(im.h);
    id.idata.filters = 0x94949494u;
    id.idata.colors = 3;
    p->setSharpness(20);
    p->setLocalContrast(20);
    p->setSharpnessRadius(1.0f);
    const int threads = st.range(0) ? all_cores() : 1;
    for (auto _ : st) {
        fn(*p, threads);
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(int64_t(st.iterations()) * im.w * im.h);
    st.counters["threads"] = threads;
}

void BM_curve_worker_mosaic(benchmark::State& st) {
    banded(st, [](RawProcessor& p, int threads) {
        const int saved = band_thread_count;
        band_thread_count = threads;
        p.setHlCompression(0.001);
        p.rgbgImageApplyCurve(images().rgbg.get());
        band_thread_count = saved;
    });
}
// The develop's own calls with default settings: the balance in the curve
// pass, and the mosaic sharpening in bands that keep their rows in place.
void BM_balance_and_curve_mosaic(benchmark::State& st) {
    banded(st, [](RawProcessor& p, int threads) {
        const int saved = band_thread_count;
        band_thread_count = threads;
        p.setHlCompression(0);
        p.setEvRed(0.5);
        p.setEvBlue(0.3);
        p.rgbgImageApplyBalanceAndCurve(images().rgbg.get());
        band_thread_count = saved;
    });
}
// The three steps before demosaicing as the develop runs them: apart, and
// in the one pass that takes each band's rows through all three.
void BM_curve_sharpen_mix_apart(benchmark::State& st) {
    banded(st, [](RawProcessor& p, int threads) {
        const int saved = band_thread_count;
        band_thread_count = threads;
        p.dvklib()->libraw->imgdata.idata.filters = 0xb4b4b4b4u;  // RGGB with its second green
        p.setHlCompression(0);
        p.rgbgImageApplyBalanceAndCurve(images().rgbg.get());
        p.unsharpChannelsInBands(threads, 4, images().rgbg.get(), images().w, images().h);
        mix_green_channels(p.dvklib());
        band_thread_count = saved;
    });
}
void BM_curve_sharpen_mix_one_pass(benchmark::State& st) {
    banded(st, [](RawProcessor& p, int threads) {
        const int saved = band_thread_count;
        band_thread_count = threads;
        p.dvklib()->libraw->imgdata.idata.filters = 0xb4b4b4b4u;
        p.setHlCompression(0);
        p.balanceCurveAndSharpenInOnePass(threads, images().rgbg.get(), images().w, images().h);
        band_thread_count = saved;
    });
}
void BM_unsharp_in_bands_mosaic(benchmark::State& st) {
    banded(st, [](RawProcessor& p, int threads) {
        p.unsharpChannelsInBands(threads, 4, images().rgbg.get(), images().w, images().h);
    });
}
void BM_unsharp_channels_mosaic(benchmark::State& st) {
    banded(st, [](RawProcessor& p, int threads) {
        p.runRGBGSelectorInThreads(&RawProcessor::unsharpChannelsInThread, threads, 4, images().rgbg.get(), images().w,
                                   images().h);
    });
}
void BM_blur_ab_sharpness(benchmark::State& st) {
    banded(st, [](RawProcessor& p, int threads) {
        p.runRGBSelectorInThreads(&RawProcessor::blurABsharpnessInThread, threads, 6, images().lab.get(), images().w,
                                  images().h);
    });
}
void BM_local_contrast(benchmark::State& st) {
    banded(st, [](RawProcessor& p, int threads) {
        p.runRGBSelectorInThreads(&RawProcessor::localContrastInThread, threads, 25, images().lab.get(), images().w,
                                  images().h);
    });
}

}  // namespace

#define DVK_STAGE_BENCH(fn) BENCHMARK(fn)->Arg(0)->Arg(1)->ArgName("all_cores")->UseRealTime()->Unit(benchmark::kMillisecond)
DVK_STAGE_BENCH(BM_multiply_channels);
DVK_STAGE_BENCH(BM_clamp_rgbg_float);
DVK_STAGE_BENCH(BM_black_shift_mosaic);
DVK_STAGE_BENCH(BM_compress_highlights_mosaic);
DVK_STAGE_BENCH(BM_compress_highlights_colour);
DVK_STAGE_BENCH(BM_tone_curve_mosaic);
DVK_STAGE_BENCH(BM_tone_curve_colour);
DVK_STAGE_BENCH(BM_tone_curve_contrast_mosaic);
DVK_STAGE_BENCH(BM_clean_dot_noise_mosaic);
DVK_STAGE_BENCH(BM_recover_highlights_mosaic);
DVK_STAGE_BENCH(BM_clamp_rgb_float);
DVK_STAGE_BENCH(BM_rgbg_to_rgb_float);
DVK_STAGE_BENCH(BM_convert_to_16_bits);
DVK_STAGE_BENCH(BM_convert_to_8_bits);
DVK_STAGE_BENCH(BM_compress_rgb_range);
DVK_STAGE_BENCH(BM_make_adjust_stage2);
DVK_STAGE_BENCH(BM_lab_optimize);
DVK_STAGE_BENCH(BM_user_saturation);
DVK_STAGE_BENCH(BM_curve_worker_mosaic);
DVK_STAGE_BENCH(BM_balance_and_curve_mosaic);
DVK_STAGE_BENCH(BM_unsharp_in_bands_mosaic);
DVK_STAGE_BENCH(BM_curve_sharpen_mix_apart);
DVK_STAGE_BENCH(BM_curve_sharpen_mix_one_pass);
DVK_STAGE_BENCH(BM_unsharp_channels_mosaic);
DVK_STAGE_BENCH(BM_blur_ab_sharpness);
DVK_STAGE_BENCH(BM_local_contrast);
