#include "tools/dvk-profile/evaluate.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>

namespace dvk::profile_tool {

std::array<double, 3> mean_lab(const float* lab, unsigned width, unsigned height, const Rect& r) {
    const long x0 = std::max(0L, static_cast<long>(r.x)), y0 = std::max(0L, static_cast<long>(r.y));
    const long x1 = std::min(static_cast<long>(width), static_cast<long>(r.x + r.w));
    const long y1 = std::min(static_cast<long>(height), static_cast<long>(r.y + r.h));
    std::array<double, 3> sum{};
    long n = 0;
    for (long y = y0; y < y1; ++y)
        for (long x = x0; x < x1; ++x, ++n)
            for (int c = 0; c < 3; ++c) sum[c] += lab[(static_cast<std::size_t>(y) * width + x) * 3 + c];
    for (double& s : sum) s = n ? s / static_cast<double>(n) : 0;
    return sum;
}

DeltaE de2000(const std::vector<std::array<double, 3>>& measuredLab, const std::vector<CIEPatch>& reference) {
    if (measuredLab.empty() || measuredLab.size() != reference.size()) return {};
    const std::size_t n = reference.size();
    std::vector<cmsCIEXYZ> measured(n);
    std::vector<cmsCIELab> wanted(n);
    for (std::size_t i = 0; i < n; ++i) {
        const cmsCIELab lab{measuredLab[i][0], measuredLab[i][1], measuredLab[i][2]};
        cmsLab2XYZ(cmsD50_XYZ(), &measured[i], &lab);
        const cmsCIEXYZ ref{reference[i].XYZ[0] / 100, reference[i].XYZ[1] / 100, reference[i].XYZ[2] / 100};
        cmsXYZ2Lab(cmsD50_XYZ(), &wanted[i], &ref);
    }
    // k minimises the squared Y differences of the neutral patches.
    double num = 0, den = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (std::hypot(wanted[i].a, wanted[i].b) < 5) {
            num += reference[i].XYZ[1] / 100 * measured[i].Y;
            den += measured[i].Y * measured[i].Y;
        }
    const double k = den > 0 ? num / den : 1;
    double total = 0, largest = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const cmsCIEXYZ scaled{measured[i].X * k, measured[i].Y * k, measured[i].Z * k};
        cmsCIELab lab;
        cmsXYZ2Lab(cmsD50_XYZ(), &lab, &scaled);
        const double de = cmsCIE2000DeltaE(&lab, &wanted[i], 1, 1, 1);
        total += de;
        largest = std::max(largest, de);
    }
    return {total / static_cast<double>(n), largest};
}

}  // namespace dvk::profile_tool
