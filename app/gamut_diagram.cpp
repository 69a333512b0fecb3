#include "app/gamut_diagram.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include <lcms2.h>

#include "colour/profile.h"
#include "colour/profile_lookup.h"
#include "pipeline/aligned_buffer.h"
#include "pipeline/band_runner.h"
#include "pipeline/dvklib.h"
#include "pipeline/stages/gamut_map.h"
#include "app/histogram.h"

namespace dvk {

namespace {

constexpr int N = kDiagramSize;

std::uint8_t gamutByte(float v) {
    if (!(v > 0.0f)) return 0;
    if (v >= 255.0f) return 255;
    return static_cast<std::uint8_t>(v);
}

std::uint8_t plotByte(float v) {
    // round(v x 255 x 0.9 + 25.5), halves away from zero: 0..1 onto
    // 25.5..255; anything beyond stays on the byte's range.
    const double x = static_cast<double>(v) * 255.0 * 0.9 + 25.5;
    if (!(x > 0)) return 0;
    if (x >= 254.5) return 255;
    return static_cast<std::uint8_t>(x + 0.5);
}

// The brightness a point is compared by: 0.24 R + 0.7 G + 0.06 B, in
// hundredths (whole numbers: the comparison is exact).
std::uint64_t weight(std::uint64_t r, std::uint64_t g, std::uint64_t b) { return 24 * r + 70 * g + 6 * b; }

std::uint8_t isMarked(const std::uint8_t* t) {
    return t[0] == 255 || t[0] == 111 || t[1] == 255 || t[1] == 111 || t[2] == 255 || t[2] == 111;
}

void drawGrid(std::vector<std::uint8_t>& img) {
    const auto set = [&](int a, int b, std::uint8_t grey) {
        const int col = a + 128, row = 128 - b;
        if (col < 0 || col >= N || row < 0 || row >= N) return;
        std::uint8_t* p = &img[(static_cast<std::size_t>(row) * N + col) * 3];
        p[0] = p[1] = p[2] = grey;
    };
    for (int b = -128; b <= 127; ++b)
        for (int a = -128; a <= 127; ++a) {
            const bool aTen = a != 0 && a % 10 == 0;
            if (b == 0) {
                set(a, b, 192);
            } else if (b % 10 == 0) {
                set(a, b, a == 0 ? 192 : (a == -1 || a == 1) ? 100 : 25);
            } else if (b == -1 || b == 1) {
                if (a == 0 || aTen) set(a, b, 100);
            } else {
                if (a == 0) set(a, b, 192);
                else if (aTen) set(a, b, 25);
            }
        }
}

void drawGamut(std::vector<std::uint8_t>& img, const std::uint8_t* gamut, int channel, bool all, long x) {
    for (std::size_t i = 0; i < kGamutPoints; ++i) {
        const std::uint8_t* g = gamut + 3 * i;
        if (!all && std::abs(x - static_cast<long>(g[0])) > 2) continue;
        // The point (a - 128, b - 128): column a, row 256 - b.
        const int col = g[1], row = 256 - g[2];
        if (row >= N) continue;
        img[(static_cast<std::size_t>(row) * N + col) * 3 + channel] |= 111;
    }
}

}  // namespace

std::vector<std::uint8_t> renderDiagram(const DiagramInput& in) {
    std::vector<std::uint8_t> img(static_cast<std::size_t>(N) * N * 3, 0);
    drawGrid(img);
    // The slice in double precision: L* 50 gives 127 (50 x 2.55 is just below 127.5).
    const long x = std::lround(in.diagramL * 2.55);
    if (in.gamutArr && !in.labOutput) drawGamut(img, in.gamutArr, 0, in.fullGamut, x);
    if (in.diagGamutArr) drawGamut(img, in.diagGamutArr, 1, in.fullGamut, x);
    if (!in.preview || !in.labPreview || in.raw) return img;

    // Each pixel's target and colour are found on the band threads, a chunk
    // of rows at a time; the chunk's points are then drawn one after the other
    // in pixel order, as the rule (a later point wins over a darker or marked
    // one) needs. Chunks keep the points in cache and the buffer small.
    const PixelSpan s = pixelSpan(in.rect, in.width, in.height);
    const std::size_t columns = static_cast<std::size_t>(s.endColumn - s.firstColumn);
    const unsigned rows = static_cast<unsigned>(s.endRow - s.firstRow);
    if (columns == 0 || rows == 0) return img;
    constexpr std::uint64_t kNone = ~std::uint64_t(0);
    constexpr std::size_t kChunkPoints = std::size_t(1) << 18;
    const unsigned chunkRows = static_cast<unsigned>(std::clamp<std::size_t>(kChunkPoints / columns, 1, rows));
    AlignedBuffer<std::uint64_t> points = allocate_aligned<std::uint64_t>(std::size_t(chunkRows) * columns);
    if (!points) return img;
    // Each cell's weight, and whether it is marked (a byte 255 or 111,
    // which any point replaces), kept beside the raster.
    std::vector<std::uint16_t> cellWeight(static_cast<std::size_t>(N) * N);
    std::vector<std::uint8_t> cellMarked(static_cast<std::size_t>(N) * N);
    for (std::size_t i = 0; i < cellWeight.size(); ++i) {
        const std::uint8_t* t = &img[i * 3];
        cellWeight[i] = static_cast<std::uint16_t>(weight(t[0], t[1], t[2]));
        cellMarked[i] = isMarked(t);
    }
    const int threads = band_thread_count > 0 ? band_thread_count : 1;
    for (unsigned chunk = 0; chunk < rows; chunk += chunkRows) {
        const unsigned chunkCount = std::min(chunkRows, rows - chunk);
        run_row_chunks(chunkCount, threads, [&](unsigned first, unsigned n) {
            for (unsigned k = first; k < first + n; ++k) {
                const long row = s.firstRow + static_cast<long>(chunk + k);
                const std::size_t base =
                    (static_cast<std::size_t>(row) * in.width + static_cast<std::size_t>(s.firstColumn)) * 3;
                const float* lab = in.labPreview + base;
                const float* rgb = in.preview + base;
                std::uint64_t* out = points.get() + static_cast<std::size_t>(k) * columns;
                for (std::size_t c = 0; c < columns; ++c, lab += 3, rgb += 3) {
                    out[c] = kNone;
                    // The pixel's slice in single precision.
                    if (!in.fullGamut && std::lround(lab[0] * 2.55f) != x) continue;
                    // Target (trunc a*, trunc b*): column a + 128, row 128 - b, on the raster.
                    const float a = lab[1], b = lab[2];
                    if (!(a > -129.0f && a < 128.0f && b > -128.0f && b < 129.0f)) continue;
                    const int col = static_cast<int>(a) + 128, r = 128 - static_cast<int>(b);
                    if (col < 0 || col >= N || r < 0 || r >= N) continue;
                    const std::uint64_t cell = static_cast<std::uint64_t>(r) * N + static_cast<std::uint64_t>(col);
                    const std::uint64_t n0 = plotByte(rgb[0]), n1 = plotByte(rgb[1]), n2 = plotByte(rgb[2]);
                    out[c] = (weight(n0, n1, n2) << 40) | (cell << 24) | (n2 << 16) | (n1 << 8) | n0;
                }
            }
        });
        const std::size_t count = std::size_t(chunkCount) * columns;
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint64_t p = points.get()[i];
            if (p == kNone) continue;
            const std::size_t cell = static_cast<std::size_t>((p >> 24) & 0xFFFF);
            const std::uint16_t w = static_cast<std::uint16_t>(p >> 40);
            if (!cellMarked[cell] && w <= cellWeight[cell]) continue;
            std::uint8_t* t = &img[cell * 3];
            t[0] = static_cast<std::uint8_t>(p);
            t[1] = static_cast<std::uint8_t>(p >> 8);
            t[2] = static_cast<std::uint8_t>(p >> 16);
            cellWeight[cell] = w;
            cellMarked[cell] = isMarked(t);
        }
    }
    return img;
}

std::vector<std::uint8_t> gamutOfProfile(const std::shared_ptr<const Profile>& profile, std::string* error) {
    const auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return std::vector<std::uint8_t>();
    };
    const std::shared_ptr<const Profile> lab = getDVKProfileRef("Lab", nullptr);
    if (!profile || !lab) return fail("no profile");
    const std::uint32_t space = profile->colour_space();
    const bool cmyk = space == cmsSigCmykData;
    if (!cmyk && space != cmsSigRgbData) return fail("the profile is neither RGB nor CMYK");

    cmsHTRANSFORM t = nullptr;
    {
        std::scoped_lock lock(profile->lock(), lab->lock());
        cmsHPROFILE profiles[2] = {profile->handle(), lab->handle()};
        cmsBool bpc[2] = {FALSE, FALSE};
        cmsUInt32Number intents[2] = {cmsGetHeaderRenderingIntent(profile->handle()),
                                      cmsGetHeaderRenderingIntent(lab->handle())};
        cmsFloat64Number adaptation[2] = {1.0, 1.0};
        t = cmsCreateExtendedTransform(nullptr, 2, profiles, bpc, intents, adaptation, nullptr, 0,
                                       cmyk ? TYPE_CMYK_FLT : TYPE_RGB_FLT, TYPE_Lab_FLT, cmsFLAGS_NOCACHE);
    }
    if (!t) return fail("no transform from the profile to CIELab");

    std::vector<float> rgb(kGamutPoints * 3);
    gamut_surface_points(rgb.data());
    const int channels = cmyk ? 4 : 3;
    std::vector<float> samples(kGamutPoints * channels);
    for (std::size_t i = 0; i < kGamutPoints; ++i) {
        const float* p = &rgb[3 * i];
        float* s = &samples[i * channels];
        if (!cmyk) {
            std::copy_n(p, 3, s);
            continue;
        }
        // Cyan, magenta, yellow with the common black taken out (LittleCMS
        // reads float CMYK in percent).
        const float k = std::min({p[0], p[1], p[2]});
        for (int c = 0; c < 3; ++c) s[c] = k < 1.0f ? std::clamp((p[c] - k) / (1.0f - k), 0.0f, 1.0f) * 100.0f : 0.0f;
        s[3] = k * 100.0f;
    }
    std::vector<float> out(kGamutPoints * 3);
    const unsigned chunk = 4096;
    const unsigned chunks = static_cast<unsigned>((kGamutPoints + chunk - 1) / chunk);
    run_row_chunks(chunks, band_thread_count > 0 ? band_thread_count : 1, [&](unsigned first, unsigned count) {
        const std::size_t begin = static_cast<std::size_t>(first) * chunk;
        const std::size_t end = std::min(kGamutPoints, static_cast<std::size_t>(first + count) * chunk);
        cmsDoTransform(t, &samples[begin * channels], &out[begin * 3], static_cast<cmsUInt32Number>(end - begin));
    });
    cmsDeleteTransform(t);

    std::vector<std::uint8_t> gamut(kGamutPoints * 3);
    for (std::size_t i = 0; i < kGamutPoints; ++i) {
        gamut[3 * i] = gamutByte(out[3 * i] * 2.55f);
        gamut[3 * i + 1] = gamutByte(out[3 * i + 1] + 128.0f);
        gamut[3 * i + 2] = gamutByte(out[3 * i + 2] + 128.0f);
    }
    return gamut;
}

}  // namespace dvk
