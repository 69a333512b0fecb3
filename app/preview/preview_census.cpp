#include "app/preview/preview_census.h"

#include <algorithm>

#include "core/band_runner.h"
#include "core/dvklib.h"
#include "platform/log.h"

namespace dvk {

namespace {

bool sameRegion(const HistogramInput& h, const DiagramInput& d) {
    return h.preview == d.preview && h.labPreview == d.labPreview && h.width == d.width && h.height == d.height &&
           h.rect == d.rect;
}

}  // namespace

void takePreviewCensus(const HistogramInput* histogram, const DiagramInput* diagram, HistogramCounts* counts,
                       std::vector<std::uint8_t>* diagramImage) {
    if (histogram && diagram && !sameRegion(*histogram, *diagram)) {
        takePreviewCensus(histogram, nullptr, counts, nullptr);
        takePreviewCensus(nullptr, diagram, nullptr, diagramImage);
        return;
    }
    const bool counting = histogram && counts && histogram->preview;
    bool plotting = diagram && diagramImage;
    if (plotting) *diagramImage = diagramBackground(*diagram);
    plotting = plotting && diagramPlotsPixels(*diagram);
    if (counts) *counts = HistogramCounts();
    if (!counting && !plotting) return;

    const float* rgb = counting ? histogram->preview : diagram->preview;
    const float* lab = counting ? histogram->labPreview : diagram->labPreview;
    const unsigned width = counting ? histogram->width : diagram->width;
    const PixelSpan s =
        pixelSpan(counting ? histogram->rect : diagram->rect, width, counting ? histogram->height : diagram->height);
    const std::size_t columns = static_cast<std::size_t>(s.endColumn - s.firstColumn);
    const unsigned rows = static_cast<unsigned>(s.endRow - s.firstRow);
    if (columns == 0 || rows == 0) return;
    const bool lightness = counting && histogramCountsLightness(*histogram);

    // Runs of rows, one a thread; small regions stay on fewer threads.
    const int threads = std::max(1, std::min(band_thread_count, static_cast<int>(rows / 64) + 1));
    std::vector<HistogramTally> tallies(counting ? static_cast<std::size_t>(threads) : 0);
    std::vector<DiagramRun> runs;
    for (int t = 0; plotting && t < threads; ++t) {
        runs.emplace_back(*diagram);
        if (!runs.back().valid()) {
            log_line("No memory for the gamut diagram's points");
            plotting = false;
        }
    }
    if (!counting && !plotting) return;
    run_row_chunks(static_cast<unsigned>(threads), threads, [&](unsigned first, unsigned count) {
        for (unsigned t = first; t < first + count; ++t) {
            const long r0 = s.firstRow + static_cast<long>(std::uint64_t(rows) * t / unsigned(threads));
            const long r1 = s.firstRow + static_cast<long>(std::uint64_t(rows) * (t + 1) / unsigned(threads));
            for (long row = r0; row < r1; ++row) {
                const std::size_t base =
                    (static_cast<std::size_t>(row) * width + static_cast<std::size_t>(s.firstColumn)) * 3;
                if (counting) tallies[t].countRow(rgb + base, lightness ? lab + base : nullptr, columns);
                if (plotting) runs[t].playRow(rgb + base, lab + base, columns);
            }
        }
    });
    if (counting) *counts = histogramCounts(tallies, lightness);
    if (plotting)
        for (const DiagramRun& run : runs) run.layOn(*diagramImage);
}

HistogramAndDiagram renderHistogramAndDiagram(const HistogramInput& histogram, const DiagramInput& diagram) {
    HistogramCounts counts;
    HistogramAndDiagram out;
    takePreviewCensus(&histogram, &diagram, &counts, &out.diagram);
    out.histogram = drawHistogram(histogram, counts);
    return out;
}

}  // namespace dvk
