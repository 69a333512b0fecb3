// How well a develop matches a colour target: the CIEDE2000 between the
// target's reference colours and the patches measured on the CIELab preview,
// after one exposure factor fitted on the neutral patches.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "profiling/patches.h"
#include "tools/dvk-profile/options.h"

namespace dvk {
class RawProcessor;
}

namespace dvk::profile_tool {

// The mean Lab of a rectangle of the Lab preview (width x height pixels).
std::array<double, 3> mean_lab(const float* lab, unsigned width, unsigned height, const Rect& r);

struct DeltaE {
    double mean = -1;
    double max = -1;
};

// CIEDE2000 over the patches, mean and largest. The measured XYZ are scaled
// by the one factor that fits the Y of the neutral reference patches (chroma
// below 5) best in the least-squares sense, so exposure does not count,
// colour does. Both negative when the rectangles and the reference do not
// pair up.
DeltaE de2000(const std::vector<std::array<double, 3>>& measuredLab, const std::vector<CIEPatch>& reference);

}  // namespace dvk::profile_tool
