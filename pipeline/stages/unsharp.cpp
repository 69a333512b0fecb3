// Unsharp masks: the mosaic channel mask before demosaicing and the Lab
// lightness mask with its mid-tone weight; L sharpening and the plain blur.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/aligned_buffer.h"
#include "pipeline/stages/box_blur.h"
#include "pipeline/stages/detail_stages.h"
#include "pipeline/stages/mirrored_window.h"
#include "pipeline/stages/stage_support.h"
#include "core/vector_math.h"

namespace dvk {

namespace {

constexpr double kPositiveShare = 0.42857142857142855;  // 3/7 of a brightening step

inline float unsharp_value(float v, float blurred, double weight) {
    const double d = (static_cast<double>(v) - blurred) * weight;
    return static_cast<float>(v + (d > 0 ? d * kPositiveShare : d));
}

// Full strength at L 52.9, none at L 5.8 and from L 100 up.
inline double lightness_weight(float L) {
    const double t = (2.0 * (L - 5.8) / 0.942) / 100.0 - 1.0;
    const double w = 1.0 - t * t;
    return w < 0 ? 0.0 : (w > 1 ? 1.0 : w);
}

// The unsharp mask of one row of `channels`-float pixels (strided samples).
template <int Channels, bool LightnessWeight>
void unsharp_row(float* p, const float* blurred, unsigned width, double amount) {
    for (unsigned x = 0; x < width; ++x) {
        const float v = p[static_cast<std::size_t>(x) * Channels];
        const double weight = LightnessWeight ? amount * lightness_weight(v) : amount;
        p[static_cast<std::size_t>(x) * Channels] = unsharp_value(v, blurred[x], weight);
    }
}

// The unsharp mask of n contiguous samples.
DVK_SIMD_CLONES void unsharp_samples(float* __restrict p, const float* __restrict blurred, std::size_t n,
                                     double amount) {
    for (std::size_t i = 0; i < n; ++i) p[i] = unsharp_value(p[i], blurred[i], amount);
}

void report(const char* who, unsigned width, unsigned height) {
    std::fprintf(stderr, "Can't allocate %lu bytes in %s\n",
                 static_cast<unsigned long>(width) * height * 4, who);
}

}  // namespace

void rgbg_unsharp_channel(DVKLib* d, float* image, unsigned width, unsigned height, unsigned radius, int channel,
                          double amount) {
    if (!image || width == 0 || height == 0) return;
    const double divisor = mosaic_form(d) ? radius + 1.0 : 2.0 * radius + 1.0;
    const bool ok = box_blur_rows(image, 4, channel, 1, width, height, radius, divisor,
                                  [&](unsigned row, const float* blurred) {
                                      unsharp_row<4, false>(image + static_cast<std::size_t>(row) * width * 4 + channel,
                                                            blurred, width, amount);
                                  });
    if (!ok) report("rgbg_unsharp_channel", width, height);
}

void rgbg_unsharp_channels(DVKLib* d, float* const* rows, unsigned width, unsigned height, unsigned radius,
                           double amount) {
    if (!rows || width == 0 || height == 0) return;
    const double divisor = mosaic_form(d) ? radius + 1.0 : 2.0 * radius + 1.0;
    const std::size_t n = static_cast<std::size_t>(width) * 4;
    const bool ok = box_blur_rows(rows, 4, 0, 4, width, height, radius, divisor, [&](unsigned row, const float* blurred) {
        unsharp_samples(rows[row], blurred, n, amount);
    });
    if (!ok) report("rgbg_unsharp_channels", width, height);
}

void rgbg_unsharp_channels(DVKLib* d, float* image, unsigned width, unsigned height, unsigned radius, double amount) {
    if (!image || width == 0 || height == 0) return;
    const std::vector<float*> rows = contiguous_rows(image, width, height, 4);
    rgbg_unsharp_channels(d, rows.data(), width, height, radius, amount);
}

namespace {

// The site colours of a pattern that repeats every two rows and columns:
// colour[row & 1][col & 1]; false for any other pattern.
bool two_by_two_colours(const DVKLib* d, unsigned char colour[2][2]) {
    if (!d || !d->libraw) return false;
    const SiteColours sites(d);
    for (unsigned r = 0; r < SiteColours::kPeriod; ++r)
        for (unsigned c = 0; c < SiteColours::kPeriod; ++c)
            if (sites.at(r, c) != sites.at(r & 1, c & 1)) return false;
    for (unsigned r = 0; r < 2; ++r)
        for (unsigned c = 0; c < 2; ++c) colour[r][c] = static_cast<unsigned char>(sites.at(r, c));
    return true;
}

// The vertical step of the site blur for one row: the running sums of all
// four channels advance and are divided as in the blur of every channel.
DVK_SIMD_CLONES void advance_site_sums(double* __restrict sums, const float* add, const float* sub, std::size_t n,
                                       double divisor, float* __restrict out) {
    for (std::size_t i = 0; i < n; ++i) {
        sums[i] += static_cast<double>(add[i]) - static_cast<double>(sub[i]);
        out[i] = static_cast<float>(sums[i] / divisor);
    }
}

// The horizontal step for `Rows` rows side by side (rows of four-channel
// vertical results): two running sums a row, of the channel the row's sites
// hold at even columns (`ce`) and of the one at odd columns (`co`), across
// the whole row; each is kept at the columns of its sites, in `out` (one
// double a pixel, row after row of `width`).
template <int Rows>
void sum_sites_across(const float* const* v, int ce, int co, const long* add_col, const long* sub_col,
                      const long* start_col, std::size_t starts, long width, double* __restrict out) {
    double se[Rows] = {}, so[Rows] = {};
    for (int k = 0; k < Rows; ++k)
        for (std::size_t j = 0; j < starts; ++j) {
            se[k] += v[k][start_col[j] * 4 + ce];
            so[k] += v[k][start_col[j] * 4 + co];
        }
    for (long x = 0; x < width; ++x) {
        const long a = add_col[x] * 4, b = sub_col[x] * 4;
        for (int k = 0; k < Rows; ++k) {
            se[k] += static_cast<double>(v[k][a + ce]) - static_cast<double>(v[k][b + ce]);
            so[k] += static_cast<double>(v[k][a + co]) - static_cast<double>(v[k][b + co]);
            out[static_cast<std::size_t>(k) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                (x & 1) ? so[k] : se[k];
        }
    }
}

DVK_SIMD_CLONES void divide_site_sums(const double* __restrict sums, std::size_t n, double divisor,
                                      float* __restrict out) {
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<float>(sums[i] / divisor);
}

// The unsharp mask of the sites of one row (the sample of channel `ce` at
// even columns, of `co` at odd ones): gathered into `line`, masked as one
// contiguous run, put back.
void unsharp_sites_row(float* p, const float* blurred, std::size_t width, int ce, int co, double amount,
                       float* line) {
    const std::size_t pairs = width / 2;
    for (std::size_t k = 0; k < pairs; ++k) {
        line[2 * k] = p[8 * k + static_cast<std::size_t>(ce)];
        line[2 * k + 1] = p[8 * k + 4 + static_cast<std::size_t>(co)];
    }
    if (width & 1) line[width - 1] = p[4 * (width - 1) + static_cast<std::size_t>(ce)];
    unsharp_samples(line, blurred, width, amount);
    for (std::size_t k = 0; k < pairs; ++k) {
        p[8 * k + static_cast<std::size_t>(ce)] = line[2 * k];
        p[8 * k + 4 + static_cast<std::size_t>(co)] = line[2 * k + 1];
    }
    if (width & 1) p[4 * (width - 1) + static_cast<std::size_t>(ce)] = line[width - 1];
}

}  // namespace

bool rgbg_unsharp_sites(DVKLib* d, float* const* rows, unsigned width, unsigned height, unsigned radius,
                        double amount, const std::function<void(unsigned first, unsigned end)>& ready,
                        bool mix_greens) {
    unsigned char colour[2][2];
    if (!mosaic_form(d) || !two_by_two_colours(d, colour)) return false;
    if (!rows || width == 0 || height == 0) return true;
    const double divisor = radius + 1.0;
    const long r = static_cast<long>(radius);
    const long h = static_cast<long>(height), w = static_cast<long>(width);
    const std::size_t row_floats = static_cast<std::size_t>(width) * 4;
    constexpr long kBlockRows = 8;
    constexpr int kGroup = 4;  // rows summed across side by side: eight running sums
    // As in the streaming blur: a row is masked once the window has passed
    // it (r + 1 rows on, or at the end for the rows the bottom mirror reads
    // again), its blurred sites waiting in a ring meanwhile; a band too short
    // for the mirror to stay within it is read from a copy.
    MirroredRows source(rows, h, row_floats, r, ready);
    const long bottom = h - 2 * r - 2;
    const std::size_t pending_rows = static_cast<std::size_t>(std::min<long>(h, 3 * r + 3 + kBlockRows));
    AlignedBuffer<double> sums = allocate_aligned_zeroed<double>(row_floats);
    AlignedBuffer<float> vrows = allocate_aligned<float>(kBlockRows * row_floats);
    AlignedBuffer<double> across = allocate_aligned<double>(kBlockRows * static_cast<std::size_t>(width));
    AlignedBuffer<float> pending = allocate_aligned<float>(pending_rows * static_cast<std::size_t>(width));
    AlignedBuffer<float> line = allocate_aligned<float>(width);
    if (!source.ok() || !sums || !vrows || !across || !pending || !line) {
        report("rgbg_unsharp_channels", width, height);
        return true;
    }
    source.begin();
    const auto row_at = [&](long y) { return source.row(y); };
    for (long y = -r - 1; y <= r - 1; ++y) {
        const float* src = row_at(y);
        for (std::size_t i = 0; i < row_floats; ++i) sums[i] += src[i];
    }
    const MirroredColumns columns = mirrored_columns(w, r);
    const long* add_col = columns.add.data();
    const long* sub_col = columns.sub.data();
    const long* start_col = columns.start.data();
    const std::size_t starts = columns.start.size();
    const auto vrow = [&](long k) { return vrows.get() + static_cast<std::size_t>(k) * row_floats; };
    const auto blurred_row = [&](long y) {
        return pending.get() + static_cast<std::size_t>(y) % pending_rows * static_cast<std::size_t>(width);
    };
    const auto mask = [&](long y) {
        const unsigned char* c = colour[y & 1];
        float* p = rows[y];
        unsharp_sites_row(p, blurred_row(y), width, c[0], c[1], amount, line.get());
        if (mix_greens)
            for (int parity = 0; parity < 2; ++parity)
                if (c[parity] == 3)
                    for (std::size_t x = static_cast<std::size_t>(parity); x < width; x += 2) p[4 * x + 1] = p[4 * x + 3];
    };
    long next_emit = 0;
    for (long y0 = 0; y0 < h; y0 += kBlockRows) {
        const long n = std::min(kBlockRows, h - y0);
        for (long k = 0; k < n; ++k)
            advance_site_sums(sums.get(), row_at(y0 + k + r), row_at(y0 + k - r - 1), row_floats, divisor, vrow(k));
        // Rows of one parity side by side (their sites hold the same channels).
        for (long parity = 0; parity < 2; ++parity) {
            const unsigned char* c = colour[(y0 + parity) & 1];
            long ks[kBlockRows];
            long count = 0;
            for (long k = parity; k < n; k += 2) ks[count++] = k;
            for (long g = 0; g < count; g += kGroup) {
                const long m = std::min<long>(kGroup, count - g);
                const float* v[kGroup];
                for (long j = 0; j < kGroup; ++j) v[j] = vrow(ks[g + std::min(j, m - 1)]);
                double* out[kGroup];
                if (m == kGroup) {
                    sum_sites_across<kGroup>(v, c[0], c[1], add_col, sub_col, start_col, starts, w, across.get());
                    for (long j = 0; j < kGroup; ++j) out[j] = across.get() + static_cast<std::size_t>(j) * width;
                } else {
                    for (long j = 0; j < m; ++j)
                        sum_sites_across<1>(v + j, c[0], c[1], add_col, sub_col, start_col, starts, w,
                                            across.get() + static_cast<std::size_t>(j) * width);
                    for (long j = 0; j < m; ++j) out[j] = across.get() + static_cast<std::size_t>(j) * width;
                }
                for (long j = 0; j < m; ++j) divide_site_sums(out[j], width, divisor, blurred_row(y0 + ks[g + j]));
            }
        }
        source.make_through(y0 + n - 1);
        const long passed = std::min(y0 + n - 1 - r - 1, bottom - 1);
        for (; next_emit <= passed; ++next_emit) mask(next_emit);
    }
    for (; next_emit < h; ++next_emit) mask(next_emit);
    return true;
}

void rgb_unsharp_channel(float* image, unsigned width, unsigned height, unsigned radius, int channel, double amount) {
    if (!image || width == 0 || height == 0) return;
    const bool ok = box_blur_rows(image, 3, channel, 1, width, height, radius, 2.0 * radius + 1.0,
                                  [&](unsigned row, const float* blurred) {
                                      unsharp_row<3, true>(image + static_cast<std::size_t>(row) * width * 3 + channel,
                                                           blurred, width, amount);
                                  });
    if (!ok) report("rgb_unsharp_channel", width, height);
}

void blur_channel(float* image, unsigned width, unsigned height, unsigned radius, int channel) {
    if (!image || width == 0 || height == 0) return;
    const bool ok = box_blur_rows(image, 3, channel, 1, width, height, radius, 2.0 * radius + 1.0,
                                  [&](unsigned row, const float* blurred) {
                                      float* p = image + static_cast<std::size_t>(row) * width * 3 + channel;
                                      for (unsigned x = 0; x < width; ++x) p[x * 3] = blurred[x];
                                  });
    if (!ok)
        std::fprintf(stderr, "Can't allocate %lu bytes in blur\n", static_cast<unsigned long>(width) * height * 4);
}

namespace {

// The L mask of a Lab image (rows of three floats a pixel).
void unsharp_l(float* const* rows, unsigned width, unsigned height, unsigned radius, double amount) {
    const bool ok = box_blur_rows(rows, 3, 0, 1, width, height, radius, 2.0 * radius + 1.0,
                                  [&](unsigned row, const float* blurred) {
                                      unsharp_row<3, true>(rows[row], blurred, width, amount);
                                  });
    if (!ok) report("rgb_unsharp_channel", width, height);
}

}  // namespace

void sharpen_l_channel(DVKLib* d, float* const* rows, unsigned width, unsigned height, int enabled, float sharpness,
                       float baseRadius) {
    if (!(sharpness > 0) || !enabled || !rows || width == 0 || height == 0) return;
    const double amount = sharpness / 18.0;
    unsharp_l(rows, width, height, static_cast<unsigned>(static_cast<int>(baseRadius)), amount);
    unsharp_l(rows, width, height, static_cast<unsigned>(static_cast<int>(baseRadius + 1)), amount);
}

void sharpen_l_channel(DVKLib* d, float* lab, unsigned width, unsigned height, int enabled, float sharpness,
                       float baseRadius) {
    if (!(sharpness > 0) || !enabled || !lab || width == 0 || height == 0) return;
    const std::vector<float*> rows = contiguous_rows(lab, width, height, 3);
    sharpen_l_channel(d, rows.data(), width, height, enabled, sharpness, baseRadius);
}

void blur_ab_and_sharpen_l(DVKLib* d, float* const* rows, unsigned width, unsigned height, int blurAB, int enabled,
                           float sharpness, float baseRadius) {
    if (!rows || width == 0 || height == 0) return;
    const bool sharpen = sharpness > 0 && enabled;
    if (!blurAB || !sharpen || static_cast<int>(baseRadius) != 1) {
        blur_ab_channels(d, rows, width, height, blurAB);
        sharpen_l_channel(d, rows, width, height, enabled, sharpness, baseRadius);
        return;
    }
    // The a and b blurs and the first L mask share their radius and divisor,
    // and each channel's blur reads that channel alone: one pass does all
    // three, then the second L mask follows.
    const double amount = sharpness / 18.0;
    const bool ok = box_blur_rows(rows, 3, 0, 3, width, height, 1, 3.0, [&](unsigned row, const float* blurred) {
        float* p = rows[row];
        for (unsigned x = 0; x < width; ++x) {
            const float L = p[3 * x];
            p[3 * x] = unsharp_value(L, blurred[3 * x], amount * lightness_weight(L));
            p[3 * x + 1] = blurred[3 * x + 1];
            p[3 * x + 2] = blurred[3 * x + 2];
        }
    });
    if (!ok) {
        report("blur_ab_and_sharpen_l", width, height);
        return;
    }
    unsharp_l(rows, width, height, static_cast<unsigned>(static_cast<int>(baseRadius + 1)), amount);
}

void blur_ab_and_sharpen_l(DVKLib* d, float* lab, unsigned width, unsigned height, int blurAB, int enabled,
                           float sharpness, float baseRadius) {
    if (!lab || width == 0 || height == 0) return;
    const std::vector<float*> rows = contiguous_rows(lab, width, height, 3);
    blur_ab_and_sharpen_l(d, rows.data(), width, height, blurAB, enabled, sharpness, baseRadius);
}

}  // namespace dvk
