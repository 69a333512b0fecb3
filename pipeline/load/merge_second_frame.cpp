// merge_second_frame: two-frame files of 45-degree sensors keep a second,
// less sensitive frame; where the first frame clips, the second frame scaled
// by the exposure ratio of the two takes its place.
#include <libraw/libraw.h>

#include <memory>
#include <new>

#include "core/colour_pattern.h"
#include "pipeline/load/raw_loader.h"

namespace dvk {
namespace {

constexpr float kLow = 512.0f;     // below: too noisy to compare
constexpr float kHigh = 15000.0f;  // above: near clipping

}  // namespace

void merge_frames(const FrameMergeInput& in, const std::function<int(unsigned row, unsigned col)>& colour) {
    const unsigned shift = in.same_row ? 0 : 1;
    auto frame0_at = [&](unsigned row, unsigned col) { return in.frame0 + (std::size_t(row) * in.width0 + col) * 4; };

    // Frame 0: per-channel minimum, and sum and count of the usable samples.
    float min0[4] = {65535, 65535, 65535, 65535};
    double sum0[4] = {0, 0, 0, 0}, sum1[4] = {0, 0, 0, 0};
    double count0[4] = {0, 0, 0, 0}, count1[4] = {0, 0, 0, 0};
    for (unsigned row = 0; row < in.height0; ++row)
        for (unsigned col = 0; col < in.width0; ++col) {
            const float* px = frame0_at(row, col);
            const int only = colour(row, col);
            for (int c = 0; c < 4; ++c) {
                if (only >= 0 && c != only) continue;
                const float v = px[c];
                if (v < min0[c]) min0[c] = v;
                if (v > kLow && v < kHigh) {
                    sum0[c] += v;
                    count0[c] += 1;
                }
            }
        }

    // Frame 1 against its counterpart in frame 0, in the channels where that
    // counterpart holds data.
    auto for_each_pair = [&](auto&& fn) {
        for (unsigned row = 0; row < in.height1; ++row) {
            const unsigned row0 = row + shift;
            if (row0 >= in.height0) continue;
            for (unsigned col = 0; col < in.width1 && col < in.width0; ++col) {
                const int only = colour(row0, col);
                for (int c = 0; c < 4; ++c) {
                    if (only >= 0 && c != only) continue;
                    fn(c, float(in.frame1[std::size_t(row) * in.width1 + col][c]), frame0_at(row0, col)[c]);
                }
            }
        }
    };
    for_each_pair([&](int c, float v1, float& v0) {
        if (v0 > kLow && v0 < kHigh) {
            sum1[c] += v1;
            count1[c] += 1;
        }
    });

    // Exposure ratio of the two frames per channel.
    const bool all0 = count0[0] && count0[1] && count0[2] && count0[3];
    const bool all1 = count1[0] && count1[1] && count1[2] && count1[3];
    float factor[4];
    bool plausible = true;
    for (int c = 0; c < 4; ++c) {
        const double mean0 = all0 ? sum0[c] / count0[c] : sum0[c];
        const double mean1 = all1 ? sum1[c] / count1[c] : sum1[c];
        const double ratio = mean0 / mean1;
        factor[c] = float(ratio);
        if (!(ratio > 10 && ratio < 20)) plausible = false;
    }
    if (!plausible)
        for (int c = 0; c < 4; ++c) factor[c] = 14.0f * (in.cam_mul1[c] / in.cam_mul0[c]);

    bool clipped = false;
    for (int c = 0; c < 4; ++c)
        if (min0[c] > kHigh) clipped = true;
    if (clipped) {
        for_each_pair([&](int c, float v1, float& v0) { v0 = v1 * factor[c]; });
    } else {
        for_each_pair([&](int c, float v1, float& v0) {
            if (v1 <= kLow) return;
            const float x = v1 * factor[c];
            if (x > kHigh && x > v0) v0 = x;
        });
    }
}

int merge_second_frame(DVKLib* d, const char* path, int halfSize) {
    LibRaw_DVK& raw = *d->libraw;
    if (!raw.imgdata.rawdata.ioparams.fuji_width || raw.imgdata.idata.raw_count < 2) return 0;
    if (!d->image_data()) return 0;

    std::unique_ptr<LibRaw_DVK> second(new (std::nothrow) LibRaw_DVK());
    if (!second) return LIBRAW_UNSUFFICIENT_MEMORY;
    copy_decode_options(*second, raw);
    second->imgdata.params.half_size = halfSize;
    set_shot_select(*second, 1);
    int ret = second->open_file(path);
    if (ret == LIBRAW_SUCCESS) ret = second->unpack();
    if (ret == LIBRAW_SUCCESS) ret = second->raw2image();
    if (ret != LIBRAW_SUCCESS) return ret;

    const bool half = raw.imgdata.rawdata.ioparams.shrink != 0;
    FrameMergeInput in{};
    in.frame0 = d->image_data();
    in.width0 = raw.imgdata.sizes.iwidth;
    in.height0 = raw.imgdata.sizes.iheight;
    in.frame1 = second->imgdata.image;
    in.width1 = second->imgdata.sizes.iwidth;
    in.height1 = second->imgdata.sizes.iheight;
    in.same_row = half;
    for (int c = 0; c < 4; ++c) {
        in.cam_mul0[c] = raw.imgdata.color.cam_mul[c];
        in.cam_mul1[c] = second->imgdata.color.cam_mul[c];
    }
    const ColourPattern colour(raw);
    merge_frames(in, [&](unsigned row, unsigned col) { return half ? -1 : colour(row, col); });
    raw.imgdata.color.maximum *= 16;
    return 0;
}

}  // namespace dvk
