// One walk over a region of the preview for the histogram and the gamut
// diagram together: each row is read once, on the band threads, and both
// are taken from it while it is in cache. The two read the same pixels when
// they are drawn after a develop or for a selection, and the preview is
// large: reading it once is what keeps them quick.
#pragma once

#include <cstdint>
#include <vector>

#include "app/preview/gamut_diagram.h"
#include "app/preview/histogram.h"

namespace dvk {

// The histogram's counts into *counts (when `histogram` is given) and the
// diagram image into *diagram (when `diagram` is given). Inputs that do not
// share the preview, its size and the region are walked one after the other.
void takePreviewCensus(const HistogramInput* histogram, const DiagramInput* diagram, HistogramCounts* counts,
                       std::vector<std::uint8_t>* diagramImage);

// Both images (histogram first) from one walk.
struct HistogramAndDiagram {
    std::vector<std::uint8_t> histogram, diagram;
};
HistogramAndDiagram renderHistogramAndDiagram(const HistogramInput& histogram, const DiagramInput& diagram);

}  // namespace dvk
