#include "app/window/info_readout.h"

#include "app/common/number_text.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace dvk {

const char* const kZoneNames[kZoneCount] = {"0", "I", "II", "III", "IV", "V", "VI", "VII"};

float evOfValue(const float* table, std::size_t stride, float value, float grayPoint) {
    // lo: the last level whose value is not above `value` (-1 when none).
    long first = 0, count = static_cast<long>(kToneTableSize);
    while (count > 0) {
        const long half = count / 2;
        if (table[static_cast<std::size_t>(first + half) * stride] <= value) {
            first += half + 1;
            count -= half + 1;
        } else {
            count = half;
        }
    }
    const long last = static_cast<long>(kToneTableSize) - 1;
    const long lo = std::clamp(first - 1, 0L, last);
    const long hi = std::clamp(first, 0L, last);
    const float mid = (std::log2(static_cast<float>(lo + 1)) + std::log2(static_cast<float>(hi + 1))) / 2.0f;
    return -std::log2(grayPoint / 100.0f) - (15.999978f - mid);
}

double opticalDensity(double L) {
    const double f = (L + 16.0) / 116.0;
    const double Y = L < 8.0 ? (f - 4.0 / 29.0) * 12.841854934601665 : f * f * f * 100.0;
    if (!(Y > 0)) return std::numeric_limits<double>::quiet_NaN();
    return std::log10(100.0 / Y);
}

AreaMean meanOverArea(const float* preview, const float* labPreview, unsigned width, unsigned height, int x, int y,
                      int dx, int dy) {
    AreaMean m;
    if (!preview) return m;
    double sum[6] = {0, 0, 0, 0, 0, 0};
    for (long row = static_cast<long>(y) - dy; row <= static_cast<long>(y) + dy; ++row) {
        if (row < 0 || row >= static_cast<long>(height)) continue;
        for (long col = static_cast<long>(x) - dx; col <= static_cast<long>(x) + dx; ++col) {
            if (col < 0 || col >= static_cast<long>(width)) continue;
            const std::size_t i = (static_cast<std::size_t>(row) * width + static_cast<std::size_t>(col)) * 3;
            for (int c = 0; c < 3; ++c) sum[c] += preview[i + c];
            if (labPreview)
                for (int c = 0; c < 3; ++c) sum[3 + c] += labPreview[i + c];
            ++m.count;
        }
    }
    // An area wholly outside the image counts nothing and stays at 0.
    if (m.count == 0) return m;
    const double n = static_cast<double>(m.count);
    m.r = sum[0] / n, m.g = sum[1] / n, m.b = sum[2] / n;
    m.L = sum[3] / n, m.a = sum[4] / n, m.bb = sum[5] / n;
    return m;
}

InfoReadout readOutArea(const ReadoutInput& in) {
    InfoReadout out;
    const AreaMean m = meanOverArea(in.preview, in.labPreview, in.width, in.height, in.x, in.y, in.dx, in.dy);
    auto& f = out.fields;
    f["infoX"] = std::to_string(in.x);
    f["infoY"] = std::to_string(in.y);
    f["infoR"] = formatFixed(m.r * 255.0, 1);
    f["infoG"] = formatFixed(m.g * 255.0, 1);
    f["infoB"] = formatFixed(m.b * 255.0, 1);
    if (in.raw || !in.labPreview) {
        for (const char* name : {"infoDL", "infoL", "infoa", "infob"}) f[name].assign(1, '0');
    } else {
        f["infoL"] = formatFixed(m.L, 1);
        f["infoa"] = formatFixed(m.a, 1);
        f["infob"] = formatFixed(m.bb, 1);
        f["infoDL"] = formatFixed(opticalDensity(m.L), 2);
        if (in.LScale) {
            const float P = evOfValue(in.LScale, 1, static_cast<float>(m.L), in.grayPoint);
            for (int i = 0; i < kZoneCount; ++i)
                out.zoneTitles[i] = formatFixed(evOfValue(in.LScale, 1, kZoneBounds[i], in.grayPoint) - P, 1, true);
        }
    }
    if (in.grayScale) {
        const double mean[3] = {m.r, m.g, m.b};
        static const char* const names[3] = {"infoDR", "infoDG", "infoDB"};
        for (int c = 0; c < 3; ++c)
            f[names[c]] =
                formatFixed(evOfValue(in.grayScale + c, 3, static_cast<float>(mean[c]), in.grayPoint), 2, true);
    } else {
        for (const char* name : {"infoDR", "infoDG", "infoDB"}) f[name].clear();
    }
    return out;
}

std::optional<float> zoneClickCompression(float hlCompression, int zone, const std::string& title,
                                          const std::string& nextTitle, bool shift, float lastZoneTop) {
    double v = leadingNumber(title);
    if (shift) {
        // The middle of the zone: halfway to its upper end. The last zone
        // ends at L* 99, taken, as the other titles are, as a distance from
        // the picked lightness, to one decimal.
        const double w = zone < kZoneCount - 1 ? leadingNumber(nextTitle)
                                               : std::round(static_cast<double>(lastZoneTop) * 10.0) / 10.0;
        v = (v + w) * 0.5;
    }
    const float next = hlCompression + static_cast<float>(v);
    if (next == hlCompression) return std::nullopt;
    return next;
}

}  // namespace dvk
